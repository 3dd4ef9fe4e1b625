#include "bidi/OIDObject.h"

#include "tickets/XMLTreeLibrary.h"

namespace MPrint {

DWORD OIDObject::getDeviceType()
{
    XMLTreeLibrary* library = XMLTreeLibrary::instance();
    return library ? library->getDeviceType() : 0;
}

} // namespace MPrint
