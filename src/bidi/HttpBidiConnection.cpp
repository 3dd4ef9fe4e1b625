#include "bidi/HttpBidiConnection.h"

#include <new>

namespace MPrint {

HttpBidiConnection::~HttpBidiConnection() { Close(); }

bool HttpBidiConnection::Connect(const wchar_t*, const wchar_t* address, DWORD, DWORD)
{
    return connectWith(address, std::unique_ptr<OIDObject>(new (std::nothrow) LEDMOIDObject()));
}

} // namespace MPrint
