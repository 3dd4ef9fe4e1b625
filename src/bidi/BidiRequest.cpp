#include "bidi/BidiRequest.h"

#include "core/StringConversion.h"

#include <cerrno>
#include <cwchar>

namespace MPrint {

bool resetBidiValue(BidiRequest* request)
{
    if (!request)
        return false;
    request->value = BidiValue();
    return true;
}

bool setBidiValueString(BidiRequest* request, const std::wstring& text)
{
    if (!resetBidiValue(request))
        return false;
    request->value.status = BidiEmptyOrUnconvertible;
    std::string utf8;
    if (text.empty() || !convertToUtf8(text, utf8) || utf8.empty())
        return false;
    request->value.status = BidiHasValue;
    request->value.type = BidiText;
    request->value.text = std::move(utf8);
    return true;
}

bool setBidiValueInteger(BidiRequest* request, const std::wstring& text)
{
    if (!resetBidiValue(request) || text.empty())
        return false;
    errno = 0;
    const long value = std::wcstol(text.c_str(), nullptr, 10);
    if (errno == ERANGE)
        return false;
    request->value.status = BidiHasValue;
    request->value.type = BidiInteger;
    request->value.integer = value;
    return true;
}

bool setBidiValueBinary(BidiRequest* request, const std::wstring& text)
{
    if (!resetBidiValue(request) || text.empty())
        return false;
    std::string bytes;
    if (!convertString(text, bytes, 0) || bytes.empty())
        return false;
    request->value.binary.assign(bytes.begin(), bytes.end());
    request->value.binaryLength = static_cast<DWORD>(bytes.size());
    request->value.text = std::move(bytes);
    request->value.type = BidiBinary;
    request->value.status = BidiHasValue;
    return true;
}

bool setBidiValueByType(BidiRequest* request, const std::wstring& text, DWORD type)
{
    switch (type) {
    case BidiText: return setBidiValueString(request, text);
    case BidiInteger: return setBidiValueInteger(request, text);
    case BidiBinary: return setBidiValueBinary(request, text);
    default: return false;
    }
}

bool setRequestOID(BidiRequest* request, const std::string& oid)
{
    if (!request || oid.empty())
        return false;
    request->oid = oid;
    return true;
}

} // namespace MPrint
