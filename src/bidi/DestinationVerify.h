// A check that a destination answers before it is accepted: the address
// and port to check, and Verify. Every failure is a false result.
#pragma once

#include "destination/Address.h"

#include <cstdint>

class DestinationVerify {
public:
    static constexpr uint32_t kDefaultPort = 9100;

    explicit DestinationVerify(const Address& address, uint32_t port = kDefaultPort)
        : address_(address), port_(port)
    {
    }
    virtual ~DestinationVerify() = default;
    DestinationVerify(const DestinationVerify&) = delete;
    DestinationVerify& operator=(const DestinationVerify&) = delete;

    // True when the destination answered.
    virtual bool Verify() = 0;

    const Address& getAddress() const { return address_; }
    uint32_t getPort() const { return port_; }

    // A stored port as the device is reached: 0 and 1 are 9100, 2 and 3
    // both 9101; others as they are.
    static uint32_t normalisePort(uint32_t port);

protected:
    Address address_;
    uint32_t port_;
};
