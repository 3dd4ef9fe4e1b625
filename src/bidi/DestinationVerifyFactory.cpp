#include "bidi/DestinationVerifyFactory.h"

#include "bidi/DestinationVerifyPING.h"
#include "bidi/DestinationVerifyPML.h"
#include "bidi/DestinationVerifyURL.h"

#include <new>

DestinationVerify* DestinationVerifyFactory::Create(const Address& address, int type, uint32_t port)
{
    switch (type) {
    case kUrl:
        return new (std::nothrow) DestinationVerifyURL(address);
    case kPing:
        return new (std::nothrow) DestinationVerifyPING(address, port);
    case kPml:
        return new (std::nothrow) DestinationVerifyPML(address, port);
    default:
        return nullptr;
    }
}
