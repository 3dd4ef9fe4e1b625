// Documents from outside the module (policy files, managed printer lists)
// on their way to the SAX pipeline: an http or https location is
// downloaded, anything else is read as a file, and undeclared text in the
// ANSI code page is converted to UTF-8; the reader decodes everything else
// as the document declares itself, so callers never convert a document.
#pragma once

#include "core/Win32.h"

#include <string>

// A location naming "http://" or "https://" anywhere is a web location.
bool isWebLocation(const wchar_t* location);

// The whole file as bytes, read until its size is reached. out is written
// only on true.
bool readWholeFile(const wchar_t* path, std::string& out);

// The document's bytes as the SAX reader expects them. An empty download
// fails, an empty file does not. status (may be null) receives the HTTP
// status of a download. bytes is written only on true.
bool fetchDocument(const wchar_t* location, std::string& bytes, DWORD* status, DWORD timeoutMs);
