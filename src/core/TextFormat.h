// Positional message formatting, trimming and number parsing.
#pragma once

#include <cstddef>
#include <string>

// Copies format into destination (capacity wide characters, terminator
// included), replacing %1..%9 by the numbered texts that follow count and
// %% by %. A number above count, % followed by anything else, and a % that
// ends the format write nothing. Arguments are inserted as they are (a % in
// one is not expanded). The text is cut at the capacity and always
// terminated. False only when there is no room at all.
bool insertArguments(wchar_t* destination, size_t capacity, const wchar_t* format, int count, ...);

// Removes white space (iswspace) at the start and/or the end.
void trimWhitespace(std::wstring& text, bool leading, bool trailing);

// strtol in base 16 (white space, sign and 0x allowed); 0 for null or no digits.
long parseHex(const char* text);
