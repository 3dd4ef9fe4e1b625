#include "bidi/CompositeBidiConnection.h"

#include <new>

namespace MPrint {

CompositeBidiConnection::~CompositeBidiConnection() { Close(); }

bool CompositeBidiConnection::Connect(const wchar_t*, const wchar_t* portName, DWORD, DWORD)
{
    return connectWith(portName, std::unique_ptr<OIDObject>(new (std::nothrow) OIDObject()));
}

} // namespace MPrint
