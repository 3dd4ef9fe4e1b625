// The module's own rundll32 entries started in a process of their own:
// the command line "rundll32.exe "<module>",<entry> <arguments>" and a
// start that does not wait. The module's path is quoted: unquoted, a folder
// with a blank makes rundll32 run nothing while the start still succeeds.
#pragma once

#include "core/Win32.h"

#include <string>

namespace rundll {

// The module's own file name: "VRELM101.DLL" when it cannot be read.
std::wstring moduleFileName();
// The folder of a module path with its trailing separator; empty without one.
std::wstring moduleDirectory(const std::wstring& moduleFile);
std::wstring commandLine(const std::wstring& moduleFile, const wchar_t* entry);
// Appends the text between double quotes; false (line unchanged) when the
// text holds a double quote, which the entry could not read back.
bool appendQuoted(std::wstring& line, const std::wstring& text);
// CreateProcessW of the system directory's rundll32.exe with the command
// line, in the directory (null: the caller's); the handles are closed at once.
bool start(const std::wstring& commandLine, const wchar_t* directory);

} // namespace rundll
