// The device kind an OID question is answered for: 1 an LEDM device, 2 a
// legacy device, as the device-data module says for the host it was last
// given; 0 when the module cannot be loaded.
#pragma once

#include "core/Win32.h"

namespace MPrint {

class OIDObject {
public:
    virtual ~OIDObject() = default;
    virtual DWORD getDeviceType();
};

// Always an LEDM device: the connection reads LEDM trees over HTTP.
class LEDMOIDObject : public OIDObject {
public:
    DWORD getDeviceType() override { return 1; }
};

} // namespace MPrint
