// Turns the octet strings devices return into the module's narrow strings.
// Modes: 0 copies the bytes; 1 decodes by the device's language (a Roman
// table of the device maker, ISO 8859-2/-5/-9, or UTF-8) and encodes with the
// language's code page; 2 reads UTF-8 and writes it again (invalid sequences
// become U+FFFD). The output is always terminated; text that does not fit is
// cut at a character boundary.
#pragma once

#include "core/Win32.h"

namespace MPrint {

enum DeviceTextMode : DWORD { DeviceTextCopy = 0, DeviceTextByLanguage = 1, DeviceTextUtf8 = 2 };

// False for null buffers, an empty source, no room, an unknown mode, or a
// byte the language's table cannot map (the output is empty then).
bool convertDeviceString(const BYTE* source, int sourceLength, char* output, int outputSize, DWORD mode,
                         int languageId);

} // namespace MPrint
