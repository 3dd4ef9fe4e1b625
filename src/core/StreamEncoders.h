// Writers of the textual forms used by the module's XML records and URLs:
// Base64, XML character escaping, percent-encoding and GUID text. Each takes
// the stream first and returns it, so that calls chain.
//
// XML escaping writes only what XML 1.0 can carry and read back: the five
// entities for & < > " ', tab, line feed and carriage return as character
// references, one reference per code point (a surrogate pair becomes one),
// and nothing for other control characters, lone surrogates, U+FFFE, U+FFFF.
#pragma once

#include "core/Win32.h"

#include <cstddef>
#include <ostream>
#include <string>

// Standard alphabet, '=' padding, no line breaks; nothing for no bytes.
std::ostream& Base64Encode(std::ostream& out, const void* bytes, size_t count);
// Decodes into out; the byte count, or 0 when text or out is null, the
// length is not a multiple of 4, a character is not ASCII, or the bytes do
// not fit outCapacity. Other characters outside the alphabet count as 0.
size_t Base64Decode(const wchar_t* text, size_t charCount, BYTE* out, size_t outCapacity);

// Narrow text escaped byte by byte; bytes of 128 and above pass unchanged
// (UTF-8 stays UTF-8).
std::ostream& XmlEscape(std::ostream& out, const char* bytes, size_t count);
std::ostream& XmlEscape(std::ostream& out, const std::string& text);
std::ostream& XmlEscape(std::ostream& out, char byte);
// Wide text: ASCII apart from the entities goes out as itself, every other
// code point as a hexadecimal character reference, so the output is ASCII.
std::ostream& XmlEscape(std::ostream& out, const std::wstring& text);

// Percent-encoding ("%2.2X") of bytes 128 and above, control bytes, space
// and # % & ' + / : ; < = > ? @ [ \ ] ^ ` { | } ~.
std::ostream& UrlEncode(std::ostream& out, const char* text);
std::ostream& UrlEncode(std::ostream& out, char byte);
// Converted to the ANSI code page first.
std::ostream& UrlEncode(std::ostream& out, const wchar_t* text);

// 8-4-4-4-12 lower-case hexadecimal without braces; the stream is left in
// decimal mode with a blank fill.
std::ostream& WriteGuid(std::ostream& out, const GUID& guid);
std::wostream& WriteGuid(std::wostream& out, const GUID& guid);
