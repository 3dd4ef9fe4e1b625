#include "tickets/XMLTreeLibrary.h"

#include "core/ProcAddress.h"
#include "core/ScopedHandle.h"

#include <atomic>
#include <winspool.h>

namespace MPrint {

namespace {

std::mutex loadLock;                 // guards the first load
std::atomic<bool> loaded{false};

} // namespace

std::wstring XMLTreeLibrary::modulePath()
{
    wchar_t directory[MAX_PATH + 1] = {};
    DWORD needed = 0;
    if (!GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(directory), MAX_PATH * sizeof(wchar_t),
                                    &needed))
        return {};
    std::wstring path(directory, wcsnlen(directory, MAX_PATH));
    if (path.empty())
        return {};
    if (path.back() != L'\\')
        path += L'\\';
    return path + devicedata::kModuleFolder + L"\\" + devicedata::kModuleName;
}

bool XMLTreeLibrary::load()
{
    const std::wstring path = modulePath();
    if (path.empty())
        return false;
    ScopedModule owner(loadOutsideModule(path.c_str()));
    if (!owner)
        return false;
    HMODULE module = owner.get();
    getXMLTreeFromTreeID_ = procAddress<GetXMLTreeFromTreeIDFn>(module, devicedata::kGetXMLTreeFromTreeID);
    getXMLTreeFromRootNodeName_ =
        procAddress<GetXMLTreeFromRootNodeNameFn>(module, devicedata::kGetXMLTreeFromRootNodeName);
    releaseTree_ = procAddress<ReleaseTreeFn>(module, devicedata::kReleaseTree);
    initialize_ = procAddress<InitializeFn>(module, devicedata::kInitialize);
    getDeviceType_ = procAddress<GetDeviceTypeFn>(module, devicedata::kGetDeviceType);
    if (!getXMLTreeFromTreeID_ || !getXMLTreeFromRootNodeName_ || !releaseTree_ || !initialize_ || !getDeviceType_) {
        getXMLTreeFromTreeID_ = nullptr;
        getXMLTreeFromRootNodeName_ = nullptr;
        releaseTree_ = nullptr;
        initialize_ = nullptr;
        getDeviceType_ = nullptr;
        return false;
    }
    // Kept for the life of the process: never freed under the loader lock.
    module_ = owner.release();
    return true;
}

XMLTreeLibrary* XMLTreeLibrary::instance()
{
    static XMLTreeLibrary library;
    if (loaded.load(std::memory_order_acquire))
        return &library;
    std::lock_guard<std::mutex> guard(loadLock);
    if (!loaded.load(std::memory_order_relaxed) && library.load())
        loaded.store(true, std::memory_order_release);
    return loaded.load(std::memory_order_relaxed) ? &library : nullptr;
}

bool XMLTreeLibrary::initialize(const wchar_t* host)
{
    std::lock_guard<std::mutex> guard(pairLock_);
    return host && initialize_(host) != FALSE;
}

DWORD XMLTreeLibrary::getDeviceType()
{
    std::lock_guard<std::mutex> guard(pairLock_);
    return getDeviceType_();
}

DWORD XMLTreeLibrary::deviceTypeOf(const wchar_t* host, bool* initialized)
{
    std::lock_guard<std::mutex> guard(pairLock_);
    const bool ok = host && initialize_(host) != FALSE;
    if (initialized)
        *initialized = ok;
    return getDeviceType_();
}

bool XMLTreeLibrary::getTreeFromRootNodeName(const wchar_t* host, const wchar_t* rootName, char** tree,
                                             ULONGLONG* second, BYTE flag)
{
    return host && rootName && tree && second && getXMLTreeFromRootNodeName_(host, rootName, tree, second, flag);
}

bool XMLTreeLibrary::releaseTree(char* tree) { return releaseTree_(tree) != FALSE; }

} // namespace MPrint
