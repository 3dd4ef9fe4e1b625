#include "ui/UiText.h"

#include "core/ResourceLoader.h"
#include "core/TextFormat.h"
#include "extension/LumoraPrintingExtension.h"

#include <cwchar>
#include <vector>

namespace uitext {

MPrint::ResourceLoader* loader(LumoraPrintingExtension* extension)
{
    if (!extension || !extension->getSettings())
        return nullptr;
    return &extension->getSettings()->getResourceLoader();
}

HMODULE resourceModule(LumoraPrintingExtension* extension)
{
    MPrint::ResourceLoader* resources = loader(extension);
    return resources ? resources->getModule() : nullptr;
}

std::wstring load(LumoraPrintingExtension* extension, UINT id)
{
    MPrint::ResourceLoader* resources = loader(extension);
    return resources ? resources->loadString(id) : std::wstring();
}

std::wstring format(LumoraPrintingExtension* extension, UINT id, const std::wstring& argument)
{
    const std::wstring pattern = load(extension, id);
    if (pattern.empty())
        return pattern;
    // Room for the pattern and the argument in full: nothing is cut.
    std::vector<wchar_t> buffer(pattern.size() * (argument.size() + 1) + 1);
    insertArguments(buffer.data(), buffer.size(), pattern.c_str(), 1, argument.c_str());
    return buffer.data();
}

std::wstring textOrStringId(LumoraPrintingExtension* extension, LPARAM value)
{
    if (static_cast<ULONG_PTR>(value) > 0xFFFF)
        return reinterpret_cast<const wchar_t*>(value);
    return load(extension, LOWORD(value));
}

std::wstring systemMessage(DWORD code, LANGID language, const std::wstring& fallback)
{
    wchar_t buffer[1024] = {};
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                  language, buffer, 1024, nullptr);
    if (!length && language)
        length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                buffer, 1024, nullptr);
    while (length && (buffer[length - 1] == L'\n' || buffer[length - 1] == L'\r'))
        buffer[--length] = 0;
    return length ? std::wstring(buffer, length) : fallback;
}

bool parseResourceToken(const wchar_t* text, UINT& id)
{
    if (!text || !wcsstr(text, L"RCLID_") || wcslen(text) < 6)
        return false;
    id = static_cast<UINT>(wcstoul(text + 6, nullptr, 10));
    return true;
}

} // namespace uitext
