#include "core/XmlEncoding.h"

#include "core/StringConversion.h"
#include "core/Win32.h"

#include <cstring>

namespace {

const char kEncodingAttribute[] = "encoding=\"";
const char kUtf8[] = "UTF-8";
const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n";

} // namespace

bool isXmlEncodingUtf8(const char* xml)
{
    if (!xml)
        return false;
    const char* attribute = std::strstr(xml, kEncodingAttribute);
    if (!attribute)
        return false;
    const char* value = attribute + sizeof(kEncodingAttribute) - 1;
    return std::strncmp(value, kUtf8, sizeof(kUtf8) - 1) == 0;
}

std::string ansiXmlToUtf8(const char* xml)
{
    if (!xml || !*xml)
        return {};
    std::wstring wide;
    convertString(std::string(xml), wide, CP_THREAD_ACP);
    return wideXmlToUtf8(wide);
}

std::string wideXmlToUtf8(const std::wstring& xml)
{
    std::string text;
    convertToUtf8(xml, text);
    const size_t attribute = text.find(kEncodingAttribute);
    if (attribute == std::string::npos) {
        // A document may hold only one declaration, at its very start: one
        // that names no encoding (or names it in single quotes) is replaced,
        // not followed by a second one that no reader would accept.
        const size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
        if (text.compare(start, 5, "<?xml") == 0 && start + 5 < text.size() &&
            text[start + 5] != '\0' && std::strchr(" \t\r\n", text[start + 5])) {
            const size_t end = text.find("?>", start);
            if (end != std::string::npos)
                return kDeclaration + text.substr(end + 2);
        }
        return kDeclaration + text.substr(start);
    }
    const size_t value = attribute + sizeof(kEncodingAttribute) - 1;
    const size_t close = text.find('"', value);
    if (close != std::string::npos && close > value)
        text.replace(value, close - value, kUtf8);
    return text;
}

bool isUndeclaredAnsiXml(const std::string& text)
{
    for (const char* mark : {"\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"})
        if (text.compare(0, std::strlen(mark), mark) == 0)
            return false;
    if (text.compare(0, 5, "<?xml") == 0 && text.substr(0, text.find("?>")).find("encoding") != std::string::npos)
        return false;
    if (text.empty() || text.size() >= 0x7FFFFFFF)
        return false;
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr,
                               0) == 0;
}
