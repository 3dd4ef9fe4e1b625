// Owner of one BSTR. Taking a BSTR from a COM out-parameter is explicit
// (receive()), so no BSTR is adopted or freed by accident. Narrow texts
// convert through the ANSI code page, as the platform's COM support does.
#pragma once

#include "core/Win32.h"

#include <oleauto.h>
#include <string>
#include <utility>

class BString {
public:
    BString() = default;
    explicit BString(const wchar_t* text);
    explicit BString(const std::wstring& text);
    explicit BString(const std::string& ansiText);
    BString(const BString& other);
    BString& operator=(const BString& other);
    ~BString();

    BSTR get() const { return value_; }
    // Frees the current string; the address is for a COM out-parameter.
    BSTR* receive();
    // The caller now owns the BSTR.
    BSTR release();

    // Length in characters, embedded NULs included.
    size_t length() const;
    std::wstring str() const;
    // Null when a conversion or allocation failed.
    explicit operator bool() const { return value_ != nullptr; }

private:
    BSTR value_ = nullptr;
};
