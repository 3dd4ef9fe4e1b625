// The process-wide loader of the maker's device-data module: the local
// printer-driver directory + "3\vrelm112.dll", with all five entry points or
// not at all. instance() loads it on first use under a lock (a failed load is
// retried by the next call) and keeps it loaded for the life of the process:
// it is never freed under the loader lock. The module keeps "the host last
// given to Initialize" process-wide, so deviceTypeOf() makes the
// Initialize/GetDeviceType pair one step that no other thread splits.
#pragma once

#include "tickets/DeviceDataModule.h"

#include <mutex>
#include <string>

namespace MPrint {

class XMLTreeLibrary {
public:
    // The loaded library, or null when it cannot be loaded.
    static XMLTreeLibrary* instance();

    bool initialize(const wchar_t* host);
    // The kind of the host last given to initialize (1 LEDM, else legacy).
    DWORD getDeviceType();
    // initialize(host) then getDeviceType(), with no other call between;
    // *initialized receives initialize's result.
    DWORD deviceTypeOf(const wchar_t* host, bool* initialized);
    bool getTreeFromRootNodeName(const wchar_t* host, const wchar_t* rootName, char** tree, ULONGLONG* second,
                                 BYTE flag);
    bool releaseTree(char* tree);

    // Where the module is looked for: the driver directory's "3" folder.
    static std::wstring modulePath();

private:
    XMLTreeLibrary() = default;
    bool load();

    HMODULE module_ = nullptr;
    GetXMLTreeFromTreeIDFn getXMLTreeFromTreeID_ = nullptr;
    GetXMLTreeFromRootNodeNameFn getXMLTreeFromRootNodeName_ = nullptr;
    ReleaseTreeFn releaseTree_ = nullptr;
    InitializeFn initialize_ = nullptr;
    GetDeviceTypeFn getDeviceType_ = nullptr;
    std::mutex pairLock_; // held across an Initialize/GetDeviceType pair
};

} // namespace MPrint
