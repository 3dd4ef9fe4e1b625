#include "destination/Address.h"

#include "core/Socket.h"

namespace {

const std::wstring kHttpPrefix = L"http://";
const std::wstring kHttpsPrefix = L"https://";
const std::wstring kUncPrefix = L"\\\\";

// In the order they are tested; the semicolon appears twice.
constexpr wchar_t kInvalidCharacters[] = {L'\\', L'/', L'`', L'\'', L'~', L'!', L'@', L'#', L'$', L'%', L'^',
                                          L'&',  L'*', L'(', L')',  L'+', L'=', L'<', L'>', L'?', L',', L'"',
                                          L';',  L'[', L'{', L']',  L'}', L':', L';', L'\r', L'\t', L'\n'};
static_assert(sizeof(kInvalidCharacters) / sizeof(kInvalidCharacters[0]) == 32);

bool startsWith(const std::wstring& text, const std::wstring& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

bool Address::isIPAddress() const
{
    if (text_.empty())
        return false;
    const int family = MPrint::getAddressFamily(text_.c_str());
    return family == AF_INET || family == AF_INET6;
}

bool Address::isHttpUrl() const
{
    return startsWith(text_, kHttpPrefix);
}

bool Address::isHttpsUrl() const
{
    return startsWith(text_, kHttpsPrefix);
}

bool Address::isUNCPath() const
{
    return startsWith(text_, kUncPrefix) && !containsInvalidCharacter(L"\\");
}

bool Address::isHostName() const
{
    if (text_.empty() || text_.front() == L'.' || text_.back() == L'.')
        return false;
    return !containsInvalidCharacter(std::wstring());
}

bool Address::isValid() const
{
    if (text_.empty())
        return false;
    return isHttpUrl() || isHttpsUrl() || isIPAddress() || isUNCPath() || isHostName();
}

bool Address::containsInvalidCharacter(const std::wstring& exceptions) const
{
    for (wchar_t c : kInvalidCharacters) {
        if (text_.find(c) == std::wstring::npos)
            continue;
        if (exceptions.empty() || exceptions.find(c) == std::wstring::npos)
            return true;
    }
    return false;
}
