#include "Mutator.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>

namespace fuzz {

namespace {

const uint64_t kInterestingNumbers[] = {
    0, 1, 0x7F, 0x80, 0xFF, 0x100, 0x7FFF, 0x8000, 0xFFFF, 0x10000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFE,
    0xFFFFFFFF, 0x100000000ull, 0x7FFFFFFFFFFFFFFFull, 0x8000000000000000ull, ~0ull, 56, 57, 4096, 65535,
};

const char* const kNumberTexts[] = {
    "0", "-1", "-0", "4294967295", "4294967296", "18446744073709551616", "99999999999999999999999",
    "2147483648", "-2147483649", "0x10", "1e10", "+5", " 7 ", "00000000000000000000001", "NaN", "",
    "3.5", "1,000", "\xEF\xBC\x91",
};

// Sequences no UTF-8 decoder should accept: overlong forms, surrogates,
// lone continuation bytes, leads cut short, bytes past U+10FFFF.
const char* const kBadUtf8[] = {
    "\xC0\x80", "\xC1\xBF", "\xE0\x80\x80", "\xED\xA0\x80", "\xED\xBF\xBF", "\xF4\x90\x80\x80", "\xF8\x88\x80\x80\x80",
    "\x80", "\xBF", "\xC3", "\xE2\x82", "\xF0\x9F\x98", "\xFE", "\xFF", "\xEF\xBB\xBF", "\xEF\xBF\xBE",
};

const char* const kEncodings[] = {
    "UTF-8", "utf-16", "UTF-16LE", "UTF-16BE", "ucs-2", "UCS-4", "ISO-8859-1", "windows-1252", "windows-1255",
    "shift_jis", "EUC-JP", "big5", "koi8-r", "us-ascii", "UTF-7", "ebcdic-cp-us", "bogus", "", "utf-8 ",
    "x-user-defined", "ISO-2022-JP", "UTF-32",
};

const char* const kXmlWords[] = {
    "<!DOCTYPE a [<!ENTITY e \"x\">]>", "<![CDATA[", "]]>", "<!--", "-->", "<?pi x?>", "&amp;", "&lt;",
    "&#0;", "&#xD800;", "&#x10FFFF;", "&#65;", "&e;", "&unknown;", " xmlns=\"urn:x\"", " xmlns:a=\"urn:a\"",
    "<a:b>", "</a:b>", "\r\n", "\t", " a=\"1\"", " a='1' a='2'", "<", ">", "/>", "</", "\"", "'", "=",
    "<?xml version=\"1.0\"?>",
};

const char* const kTextWords[] = {
    "\r\n", "\r\n\r\n", "\n", "\0", ":", " ", "%", "%00", "\\", "..", "/", "http://", "https://",
};

} // namespace

Mutator::Mutator(InputShape shape, uint64_t seed, size_t maxBytes, std::vector<std::string> dictionary)
    : shape_(shape), state_(seed ? seed : 0x9E3779B97F4A7C15ull), maxBytes_(maxBytes), dictionary_(std::move(dictionary))
{
}

uint64_t Mutator::next()
{
    // xorshift64*
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return state_ * 0x2545F4914F6CDD1Dull;
}

std::string Mutator::number()
{
    if (chance(50))
        return kNumberTexts[below(std::size(kNumberTexts))];
    return std::to_string(kInterestingNumbers[below(std::size(kInterestingNumbers))] + below(3) - 1);
}

std::string Mutator::word()
{
    if (!dictionary_.empty() && chance(70))
        return dictionary_[below(dictionary_.size())];
    if (shape_ == InputShape::Xml && chance(70))
        return kXmlWords[below(std::size(kXmlWords))];
    const char* text = kTextWords[below(std::size(kTextWords))];
    return std::string(text, *text ? std::strlen(text) : 1);
}

std::string Mutator::mutate(const std::string& base, const std::vector<std::string>& others)
{
    std::string data = base;
    const size_t count = 1 + below(4);
    for (size_t i = 0; i < count; ++i)
        applyOne(data, others);
    if (data.size() > maxBytes_)
        data.resize(maxBytes_);
    if (shape_ == InputShape::Xml)
        capXmlNames(data);
    return data;
}

void Mutator::applyOne(std::string& data, const std::vector<std::string>& others)
{
    const unsigned byteOps = 10;
    const unsigned textOps = shape_ == InputShape::Bytes ? 0 : 3;
    const unsigned xmlOps = shape_ == InputShape::Xml ? 8 : 0;
    const unsigned op = static_cast<unsigned>(below(byteOps + textOps + xmlOps));
    if (op >= byteOps + textOps) {
        if (applyXml(data, op - byteOps - textOps))
            return;
    } else if (op >= byteOps) {
        if (applyText(data, op - byteOps))
            return;
    }
    const size_t size = data.size();
    switch (op % byteOps) {
    case 0: // flip one bit
        if (size)
            data[below(size)] ^= static_cast<char>(1u << below(8));
        break;
    case 1: // one byte to an interesting or random value
        if (size) {
            const char values[] = {0, '\x7F', '\x80', '\xFF', '<', '>', '&', '"', '\n', '%'};
            data[below(size)] = chance(50) ? values[below(std::size(values))] : static_cast<char>(next());
        }
        break;
    case 2: { // a few random bytes inserted
        std::string bytes(1 + below(8), '\0');
        for (char& c : bytes)
            c = static_cast<char>(next());
        data.insert(below(size + 1), bytes);
        break;
    }
    case 3: // a range removed
        if (size) {
            const size_t at = below(size);
            data.erase(at, 1 + below(std::min<size_t>(size - at, chance(80) ? 16 : size)));
        }
        break;
    case 4: // a range copied elsewhere
        if (size) {
            const size_t at = below(size);
            const std::string part = data.substr(at, 1 + below(std::min<size_t>(size - at, 256)));
            data.insert(below(size + 1), part);
        }
        break;
    case 5: // cut short
        data.resize(below(size + 1));
        break;
    case 6: { // a chunk repeated many times
        if (!size)
            break;
        const size_t at = below(size);
        const std::string chunk = data.substr(at, 1 + below(std::min<size_t>(size - at, 64)));
        const size_t room = maxBytes_ > size ? maxBytes_ - size : 0;
        size_t times = chance(50) ? 2 + below(64) : 1 + below(room / chunk.size() + 1);
        times = std::min(times, room / chunk.size());
        std::string repeated;
        repeated.reserve(chunk.size() * times);
        for (size_t i = 0; i < times; ++i)
            repeated += chunk;
        data.insert(at, repeated);
        break;
    }
    case 7: // spliced with another input
        if (!others.empty()) {
            const std::string& other = others[below(others.size())];
            data = data.substr(0, below(size + 1)) + other.substr(below(other.size() + 1));
        }
        break;
    case 8: { // 1, 2, 4 or 8 bytes overwritten with an interesting number
        const size_t width = size_t{1} << below(4);
        if (size >= width) {
            uint64_t value = kInterestingNumbers[below(std::size(kInterestingNumbers))];
            if (chance(20))
                value = size + below(16) - 8;
            std::memcpy(&data[below(size - width + 1)], &value, width);
        }
        break;
    }
    default: // a word inserted
        data.insert(below(size + 1), word());
        break;
    }
}

bool Mutator::applyText(std::string& data, unsigned op)
{
    switch (op) {
    case 0: { // a run of digits replaced by a number out of range
        std::vector<size_t> starts;
        for (size_t i = 0; i < data.size(); ++i) {
            if (data[i] >= '0' && data[i] <= '9' && (i == 0 || data[i - 1] < '0' || data[i - 1] > '9'))
                starts.push_back(i);
        }
        if (starts.empty())
            return false;
        const size_t at = starts[below(starts.size())];
        size_t end = at;
        while (end < data.size() && data[end] >= '0' && data[end] <= '9')
            ++end;
        data.replace(at, end - at, number());
        return true;
    }
    case 1: // invalid UTF-8
        data.insert(below(data.size() + 1), kBadUtf8[below(std::size(kBadUtf8))]);
        return true;
    default:
        data.insert(below(data.size() + 1), word());
        return true;
    }
}

bool Mutator::pickElement(const std::string& data, size_t& begin, size_t& end)
{
    std::vector<size_t> opens;
    for (size_t i = 0; i + 1 < data.size(); ++i) {
        const char c = data[i + 1];
        if (data[i] == '<' && c != '/' && c != '?' && c != '!')
            opens.push_back(i);
    }
    if (opens.empty())
        return false;
    begin = opens[below(opens.size())];
    size_t nameEnd = begin + 1;
    while (nameEnd < data.size() && !std::strchr(" \t\r\n/>", data[nameEnd]))
        ++nameEnd;
    const std::string close = "</" + data.substr(begin + 1, nameEnd - begin - 1);
    const size_t closeAt = data.find(close, nameEnd);
    const size_t selfClose = data.find("/>", nameEnd);
    if (closeAt != std::string::npos) {
        end = data.find('>', closeAt);
        end = end == std::string::npos ? data.size() : end + 1;
    } else if (selfClose != std::string::npos) {
        end = selfClose + 2;
    } else {
        return false;
    }
    return true;
}

bool Mutator::applyXml(std::string& data, unsigned op)
{
    size_t begin = 0;
    size_t end = 0;
    switch (op) {
    case 0: { // the whole text as UTF-16, with or without a byte-order mark
        const bool bigEndian = chance(30);
        std::string wide;
        if (chance(70))
            wide = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        for (unsigned char c : data) {
            wide += bigEndian ? '\0' : static_cast<char>(c);
            wide += bigEndian ? static_cast<char>(c) : '\0';
        }
        if (chance(30)) // a lone surrogate
            wide.insert(below(wide.size() / 2 + 1) * 2, bigEndian ? "\xD8\x3D" : "\x3D\xD8", 2);
        if (chance(10) && !wide.empty()) // an odd byte count
            wide.pop_back();
        data.swap(wide);
        return true;
    }
    case 1: { // a declared encoding, in place of any declaration there
        if (data.compare(0, 5, "<?xml") == 0) {
            const size_t close = data.find("?>");
            data.erase(0, close == std::string::npos ? data.size() : close + 2);
        }
        data.insert(0, std::string("<?xml version=\"1.0\" encoding=\"") + kEncodings[below(std::size(kEncodings))] +
                           "\"?>");
        return true;
    }
    case 2: { // deep nesting, closed or not
        const size_t depth = 1 + below(chance(50) ? 64 : 20000);
        std::string open;
        std::string close;
        for (size_t i = 0; i < depth; ++i) {
            open += "<n>";
            close += "</n>";
        }
        const size_t at = data.find('>') == std::string::npos ? 0 : data.find('>') + 1;
        data.insert(std::min(at + below(data.size() - std::min(at, data.size()) + 1), data.size()),
                    open + (chance(70) ? close : std::string()));
        return true;
    }
    case 3: { // a long element name (cut to the cap afterwards)
        const std::string name(1 + below(kMaxXmlNameBytes * 2), static_cast<char>('a' + below(26)));
        data.insert(below(data.size() + 1), "<" + name + ">" + number() + "</" + name + ">");
        return true;
    }
    case 4: // an element removed
        if (!pickElement(data, begin, end))
            return false;
        data.erase(begin, end - begin);
        return true;
    case 5: // an element repeated
        if (!pickElement(data, begin, end))
            return false;
        data.insert(end, data.substr(begin, end - begin));
        return true;
    case 6: { // an extra element of a known name
        const std::string name = dictionary_.empty() ? std::string("x") : dictionary_[below(dictionary_.size())];
        if (name.empty() || !std::isalpha(static_cast<unsigned char>(name[0])))
            return false;
        const std::string values[] = {number(), "true", "false", "enabled", std::string(), "<![CDATA[x]]>", "&#0;",
                                      std::string(300 + below(3000), 'v')};
        const std::string element = "<" + name + ">" + values[below(std::size(values))] + "</" + name + ">";
        const size_t at = data.rfind('<');
        data.insert(at == std::string::npos || chance(30) ? below(data.size() + 1) : at, element);
        return true;
    }
    default: { // an element's text replaced
        std::vector<size_t> texts;
        for (size_t i = 0; i + 1 < data.size(); ++i) {
            if (data[i] == '>' && data[i + 1] != '<')
                texts.push_back(i + 1);
        }
        if (texts.empty())
            return false;
        begin = texts[below(texts.size())];
        end = data.find('<', begin);
        if (end == std::string::npos)
            end = data.size();
        data.replace(begin, end - begin, chance(70) ? number() : word());
        return true;
    }
    }
}

namespace {

// The cap over a sequence of code units (bytes, or UTF-16 units).
template <typename Unit>
void capNames(std::vector<Unit>& units, size_t maxUnits)
{
    std::vector<Unit> out;
    out.reserve(units.size());
    bool inTag = false;
    bool afterAmp = false;
    size_t run = 0;
    for (Unit unit : units) {
        const unsigned value = static_cast<unsigned>(unit);
        const bool delimiter = value && value < 0x80 && std::strchr(" \t\r\n<>/=\"';", static_cast<int>(value));
        if (delimiter) {
            run = 0;
            afterAmp = false;
            if (value == '<')
                inTag = true;
            else if (value == '>')
                inTag = false;
        } else {
            if (value == '&')
                afterAmp = true;
            if ((inTag || afterAmp) && ++run > maxUnits)
                continue;
        }
        out.push_back(unit);
    }
    units.swap(out);
}

} // namespace

void Mutator::capXmlNames(std::string& text)
{
    // UTF-16 by its byte-order mark or by "<" as a 16-bit unit: its names
    // are runs of units, which byte pairs such as "<n" can form in any number.
    const bool little = text.size() >= 2 && ((text[0] == '\xFF' && text[1] == '\xFE') ||
                                             (text[0] == '<' && text[1] == '\0'));
    const bool big = text.size() >= 2 && ((text[0] == '\xFE' && text[1] == '\xFF') ||
                                          (text[0] == '\0' && text[1] == '<'));
    if (little || big) {
        std::vector<uint16_t> units(text.size() / 2);
        for (size_t i = 0; i < units.size(); ++i) {
            const auto low = static_cast<unsigned char>(text[2 * i + (big ? 1 : 0)]);
            const auto high = static_cast<unsigned char>(text[2 * i + (big ? 0 : 1)]);
            units[i] = static_cast<uint16_t>(low | high << 8);
        }
        capNames(units, kMaxXmlNameBytes / 2);
        std::string out;
        for (uint16_t unit : units) {
            out += static_cast<char>(big ? unit >> 8 : unit & 0xFF);
            out += static_cast<char>(big ? unit & 0xFF : unit >> 8);
        }
        if (text.size() % 2)
            out += text.back();
        text.swap(out);
        return;
    }
    std::vector<char> bytes(text.begin(), text.end());
    capNames(bytes, kMaxXmlNameBytes);
    text.assign(bytes.begin(), bytes.end());
}

} // namespace fuzz
