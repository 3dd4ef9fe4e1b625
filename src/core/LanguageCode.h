// The two-letter code of a Windows language id; "EN" for any language
// without one of its own.
#pragma once

#include "core/Win32.h"

#include <string>

void getLanguageCode(LANGID language, std::wstring& code);
