// Texts of the dialogs: resource strings of the resource module in the
// user-interface language, "%1" arguments, values that are either a text
// pointer or a string id, and system messages with a fallback.
#pragma once

#include "core/Win32.h"

#include <string>

class LumoraPrintingExtension;

namespace MPrint {
class ResourceLoader;
}

namespace uitext {

// The extension's loader, or null without an extension or settings.
MPrint::ResourceLoader* loader(LumoraPrintingExtension* extension);
// The resource module, or null.
HMODULE resourceModule(LumoraPrintingExtension* extension);
// Empty when the id has no string.
std::wstring load(LumoraPrintingExtension* extension, UINT id);
// The string with "%1" replaced by the argument (which is never expanded).
std::wstring format(LumoraPrintingExtension* extension, UINT id, const std::wstring& argument);
// A value whose high word is not 0 is a text pointer; else a string id.
std::wstring textOrStringId(LumoraPrintingExtension* extension, LPARAM value);
// FormatMessage text of a Win32 code or HRESULT in the language, without
// the trailing line break; the fallback when the system has none.
std::wstring systemMessage(DWORD code, LANGID language, const std::wstring& fallback);
// The number after the first six characters of a "RCLID_<n>" text, or
// false when the text does not contain "RCLID_".
bool parseResourceToken(const wchar_t* text, UINT& id);

} // namespace uitext
