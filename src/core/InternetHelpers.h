// Downloads over WinINet and opening a URL with the shell. The downloads
// block for up to the time-out per network operation and never throw; the
// caller's status keeps its value when the URL could not be opened at all,
// and is 500 when the server's status could not be read.
#pragma once

#include "core/InternetHandle.h"
#include "core/Win32.h"

#include <string>

// Downloads url into filePath (created or truncated). True only for a 2xx
// answer whose every byte was written: a body shorter than its declared
// length, or one still arriving after four time-outs, fails. Redirects to
// http or https are followed up to ten times. The file stays on disk in every case;
// it is complete only on success.
bool httpGetToFile(const wchar_t* url, const wchar_t* filePath, DWORD* status, DWORD timeoutMs);

// Downloads url and appends the body, byte for byte (NUL bytes included),
// to out; nothing is appended on failure. Bodies over 64 MB fail. The temporary file used on the
// way is removed in every case.
bool httpGetToString(const wchar_t* url, std::string& out, DWORD* status, DWORD timeoutMs);

// InternetOpenUrlW through the session, for http and https with the three
// time-outs (milliseconds) on the request's own connection; other schemes
// without. The connection handle comes back through connection and must
// outlive the request. Null on failure.
HINTERNET openUrlWithTimeouts(HINTERNET session, const wchar_t* url, DWORD flags, DWORD timeout,
                              InternetHandle& connection);

// Opens url with the shell ("open") on a detached thread and returns at
// once. The thread holds a reference on this module until it has ended, so
// the host may unload the module meanwhile. Reports nothing.
void openUrlAsync(const wchar_t* url, HWND parentWindow);
