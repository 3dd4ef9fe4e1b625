// The directory separator and fresh temporary file names.
#pragma once

#include <string>

// The separator the shell appends to a directory, worked out on first use
// and fixed for the process.
const wchar_t* getPathSeparator();
wchar_t getPathSeparatorChar();

// The full name of a file that does not exist, "QZM....tmp", in directory
// (or the user's temporary directory when it is null, empty or too long).
// The system creates the file to reserve the name; it is deleted again so
// the name is free for the caller. Falls back to "c:\temp\qztemp.tmp".
std::wstring makeTempFileName(const wchar_t* directory);
