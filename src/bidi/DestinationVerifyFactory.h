// Makes the verifier of a verification type: 1 URL, 2 PING (TCP connect),
// 3 PML (through the Trebuk port's server). Any other type has none, and a
// destination without a verifier counts as verified.
#pragma once

#include "bidi/DestinationVerify.h"

class DestinationVerifyFactory {
public:
    static constexpr int kUrl = 1;
    static constexpr int kPing = 2;
    static constexpr int kPml = 3;

    // A new verifier owned by the caller, or null.
    static DestinationVerify* Create(const Address& address, int type, uint32_t port);
};
