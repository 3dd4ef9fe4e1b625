// The exports of the maker's remote-port module (vrelm109.dll), declared once
// for the module's wrapper and the stand-in. Texts handed out are released
// with FreeQZString, which accepts null.
#pragma once

#include "core/Win32.h"

namespace remoteport {

inline constexpr wchar_t kModuleName[] = L"vrelm109.dll";

// 0 on success; *port receives a text of the module.
using GetRemotePortNameFn = DWORD(WINAPI*)(const wchar_t* printer, const wchar_t* server, wchar_t** port);
// 0 on success; the three texts are the port's address, monitor and description.
using GetRemotePortInformationFn = DWORD(WINAPI*)(const wchar_t* port, const wchar_t* server, wchar_t** address,
                                                  wchar_t** monitor, wchar_t** description);
using FreeQZStringFn = void(WINAPI*)(wchar_t* text);

} // namespace remoteport
