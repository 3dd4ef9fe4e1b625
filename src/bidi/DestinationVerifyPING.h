// The destination accepts a TCP connection on its (normalised) port: an
// IPv4 address or a host name, with the system's connect time-out.
#pragma once

#include "bidi/DestinationVerify.h"

class DestinationVerifyPING : public DestinationVerify {
public:
    DestinationVerifyPING(const Address& address, uint32_t port) : DestinationVerify(address, port) {}
    bool Verify() override;
};
