// XML texts made UTF-8 with a declaration that says so.
#pragma once

#include <string>

// True when the first encoding="..." value begins with "UTF-8" (exact case;
// a single-quoted value is not recognised).
bool isXmlEncodingUtf8(const char* xml);
// The text, in the calling thread's ANSI code page, converted to UTF-8 as
// wideXmlToUtf8 does. Null or empty text gives an empty result.
std::string ansiXmlToUtf8(const char* xml);
// The text in UTF-8. A double-quoted, non-empty encoding value becomes
// "UTF-8"; without one, a UTF-8 declaration line is put in front, in place
// of a declaration (and a byte-order mark) the text already starts with.
std::string wideXmlToUtf8(const std::wstring& xml);

// True only for a document that the XML reader cannot take as it stands: no
// byte-order mark (UTF-8 or UTF-16), no encoding in an XML declaration at its
// start, and bytes that are not UTF-8. Such text is taken to be in the ANSI
// code page (ansiXmlToUtf8); every other document goes to the reader as it
// was fetched, which decodes it as it declares (UTF-8 when it declares nothing).
bool isUndeclaredAnsiXml(const std::string& text);
