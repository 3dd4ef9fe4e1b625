// The maker's device-data module (vrelm112.dll, in the driver directory's
// "3" folder): device trees by root element name for a host, and the kind of
// the host last given to Initialize. Shared by the module's loader and the
// stand-in so both sides agree on every export.
#pragma once

#include "core/Win32.h"

extern "C" {

// Trees by numeric id; required at load, never called here.
typedef BOOL(WINAPI* GetXMLTreeFromTreeIDFn)(const wchar_t* host, DWORD treeId, char** tree, ULONGLONG* size,
                                             BYTE flag);
// A NUL-terminated narrow XML text whose top element is rootName, allocated
// by the module (free it with ReleaseTree); *size is its length or 0.
// Non-zero on success; an unknown root leaves *tree null.
typedef BOOL(WINAPI* GetXMLTreeFromRootNodeNameFn)(const wchar_t* host, const wchar_t* rootName, char** tree,
                                                   ULONGLONG* size, BYTE flag);
// Frees a tree of GetXMLTreeFromRootNodeName; accepts null.
typedef BOOL(WINAPI* ReleaseTreeFn)(char* tree);
// Names the device the following calls are about; non-zero for a known one.
typedef BOOL(WINAPI* InitializeFn)(const wchar_t* host);
// 1: an LEDM device; any other value: a legacy device.
typedef DWORD(WINAPI* GetDeviceTypeFn)(void);

} // extern "C"

namespace devicedata {

constexpr wchar_t kModuleName[] = L"vrelm112.dll";
constexpr wchar_t kModuleFolder[] = L"3";
constexpr char kGetXMLTreeFromTreeID[] = "GetXMLTreeFromTreeID";
constexpr char kGetXMLTreeFromRootNodeName[] = "GetXMLTreeFromRootNodeName";
constexpr char kReleaseTree[] = "ReleaseTree";
constexpr char kInitialize[] = "Initialize";
constexpr char kGetDeviceType[] = "GetDeviceType";

} // namespace devicedata
