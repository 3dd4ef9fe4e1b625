// The Trebuk port's server connects to the destination on its (normalised)
// port: an IP address (kind 2) or a host name (kind 4). The server's own
// retries bound how long a dead device takes to fail.
#pragma once

#include "bidi/DestinationVerify.h"

class DestinationVerifyPML : public DestinationVerify {
public:
    DestinationVerifyPML(const Address& address, uint32_t port) : DestinationVerify(address, port) {}
    bool Verify() override;
};
