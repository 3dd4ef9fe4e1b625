#include "destination/PdlInfo.h"

#include <cctype>
#include <climits>

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads the digit run at pos; a run too long for an int saturates.
int readNumber(const std::string& text, size_t& pos)
{
    long long value = 0;
    while (pos < text.size() && isDigit(text[pos])) {
        value = value * 10 + (text[pos] - '0');
        if (value > INT_MAX)
            value = INT_MAX;
        ++pos;
    }
    return static_cast<int>(value);
}

} // namespace

PdlInfo::PdlInfo(DWORD family, const std::string& description, const std::string& version)
{
    assign(family, description, version);
}

void PdlInfo::assign(DWORD family, const std::string& description, const std::string& version)
{
    family_ = family;
    description_ = description;
    version_ = version;
    parseVersion();
}

bool PdlInfo::operator==(const PdlInfo& other) const
{
    return family_ == other.family_ && description_ == other.description_ && version_ == other.version_;
}

void PdlInfo::parseVersion()
{
    major_ = -1;
    minor_ = -1;
    remainder_.clear();

    static const char kPrefix[] = "VERSION ";
    const size_t prefixLength = sizeof(kPrefix) - 1;
    bool prefixed = version_.size() >= prefixLength;
    for (size_t i = 0; prefixed && i < prefixLength; ++i)
        prefixed = static_cast<char>(toupper(static_cast<unsigned char>(version_[i]))) == kPrefix[i];
    const std::string text = prefixed ? version_.substr(prefixLength) : version_;

    size_t pos = 0;
    while (pos < text.size() && !isDigit(text[pos]))
        ++pos;
    if (pos == text.size())
        return;
    // A run that ends the text ("3", "PS 3") is the major version as well:
    // PostScript devices often report their language level that way.
    major_ = readNumber(text, pos);
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        if (pos < text.size() && isDigit(text[pos]))
            minor_ = readNumber(text, pos);
    }
    remainder_ = text.substr(pos);
}
