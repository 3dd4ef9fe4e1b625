// The destination is an http URL that opens (any answer of the server),
// each network phase bounded by 1500 ms; a redirect is an answer and is not
// followed. The port is not used.
#pragma once

#include "bidi/DestinationVerify.h"

class DestinationVerifyURL : public DestinationVerify {
public:
    static constexpr unsigned long kPhaseTimeoutMs = 1500;

    explicit DestinationVerifyURL(const Address& address) : DestinationVerify(address) {}
    bool Verify() override;
};
