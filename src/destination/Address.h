// A destination address as text (a print path's "Address", a user's entry,
// a port's address) and its classification: numeric IPv4/IPv6 address,
// http or https URL, UNC path, host name. Prefix tests are case-sensitive.
#pragma once

#include "core/Win32.h"

#include <string>

class Address {
public:
    Address() = default;
    explicit Address(const std::wstring& text) : text_(text) {}
    virtual ~Address() = default;
    Address(const Address&) = default;
    Address& operator=(const Address&) = default;
    Address& operator=(const std::wstring& text)
    {
        text_ = text;
        return *this;
    }

    const std::wstring& getString() const { return text_; }
    bool operator==(const Address& other) const { return text_ == other.text_; }
    bool operator!=(const Address& other) const { return text_ != other.text_; }

    bool isIPAddress() const;
    bool isHttpUrl() const;
    bool isHttpsUrl() const;
    // Two leading backslashes and no invalid character but the backslash.
    bool isUNCPath() const;
    // Not empty, no leading or trailing '.', no invalid character.
    bool isHostName() const;
    bool isValid() const;
    // Any character of the invalid set that the exceptions do not hold.
    bool containsInvalidCharacter(const std::wstring& exceptions) const;

private:
    std::wstring text_;
};
