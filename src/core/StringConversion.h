// Code-page conversions between narrow and wide strings. Code page 0 is the
// ANSI code page (CP_ACP); 65001 is UTF-8. Input is taken up to its first
// NUL. On false the output is unchanged.
#pragma once

#include <string>

bool convertString(const std::string& input, std::string& output, unsigned codePage);
bool convertString(const std::string& input, std::wstring& output, unsigned codePage);
bool convertString(const std::wstring& input, std::string& output, unsigned codePage);
bool convertString(const std::wstring& input, std::wstring& output, unsigned codePage);
bool convertToUtf8(const std::wstring& input, std::string& output);
