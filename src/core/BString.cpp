#include "core/BString.h"

#include "core/StringConversion.h"

BString::BString(const wchar_t* text) : value_(text ? SysAllocString(text) : nullptr) {}

BString::BString(const std::wstring& text)
    : value_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())))
{
}

BString::BString(const std::string& ansiText)
{
    std::wstring wide;
    if (convertString(ansiText, wide, CP_ACP))
        value_ = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

BString::BString(const BString& other)
    : value_(other.value_ ? SysAllocStringLen(other.value_, SysStringLen(other.value_)) : nullptr)
{
}

BString& BString::operator=(const BString& other)
{
    if (this != &other) {
        BString copy(other);
        std::swap(value_, copy.value_);
    }
    return *this;
}

BString::~BString()
{
    SysFreeString(value_);
}

BSTR* BString::receive()
{
    SysFreeString(value_);
    value_ = nullptr;
    return &value_;
}

BSTR BString::release()
{
    BSTR value = value_;
    value_ = nullptr;
    return value;
}

size_t BString::length() const
{
    return value_ ? SysStringLen(value_) : 0;
}

std::wstring BString::str() const
{
    return value_ ? std::wstring(value_, SysStringLen(value_)) : std::wstring();
}
