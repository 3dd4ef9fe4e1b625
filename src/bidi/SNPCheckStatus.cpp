#include "bidi/SNPCheckStatus.h"

#include "bidi/BidiConnectionFactory.h"
#include "bidi/PolicySource.h"
#include "core/ProcAddress.h"

namespace MPrint {

namespace {

using GetHostedDeviceStatusFn = UINT_PTR(WINAPI*)(HWND, LPCWSTR, LPCWSTR, DWORD*);
using CloseHostedDeviceStatusFn = BOOL(WINAPI*)(UINT_PTR);

// The folder of the module this code is linked into, with its backslash.
std::wstring ownFolder()
{
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&ownFolder), &self))
        return {};
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    const std::wstring file(path, length);
    const size_t slash = file.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : file.substr(0, slash + 1);
}

} // namespace

SNPCheckStatus::SNPCheckStatus() : lastStatus_(new DWORD(0)) {}

SNPCheckStatus::~SNPCheckStatus()
{
    if (module_ && !closeHostedDeviceStatus()) {
        // The watch goes on writing through the pointer and running the
        // module's code: both must stay.
        module_.release();
        lastStatus_ = nullptr;
    }
    delete lastStatus_;
}

bool SNPCheckStatus::isSupported(const wchar_t* printerName)
{
    if (computed_)
        return supported_;
    const std::wstring folder = ownFolder();
    modulePath_ = folder.empty() ? std::wstring() : folder + L"vrelm104.DLL";
    const DWORD attributes = modulePath_.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(modulePath_.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        supported_ = false;
    else if (printerName && driverVerifyPdlIs(printerName, L"PCL3"))
        supported_ = false;
    else
        supported_ = policyBool(L"CheckStatus", true);
    computed_ = true;
    return supported_;
}

bool SNPCheckStatus::getHostedDeviceStatus(const wchar_t* printerName, const wchar_t* destination, HWND window)
{
    InterlockedExchange(reinterpret_cast<volatile LONG*>(lastStatus_), 0);
    if (statusHandle_ != 0)
        return false;
    if (!module_) {
        if (!isSupported(nullptr))
            return false;
        // A missing or broken module shows no system message box.
        const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
        module_.reset(LoadLibraryW(modulePath_.c_str()));
        SetErrorMode(previous);
        if (!module_)
            return false;
    }
    const auto open = procAddress<GetHostedDeviceStatusFn>(module_.get(), "GetHostedDeviceStatus");
    if (!open)
        return false;
    statusHandle_ = open(window, printerName, destination, lastStatus_);
    return statusHandle_ != 0;
}

bool SNPCheckStatus::closeHostedDeviceStatus()
{
    if (statusHandle_ == 0) {
        module_.reset();
        return true;
    }
    const auto close = procAddress<CloseHostedDeviceStatusFn>(module_.get(), "CloseHostedDeviceStatus");
    if (!close || !close(statusHandle_))
        return false;
    statusHandle_ = 0;
    module_.reset();
    return true;
}

DWORD SNPCheckStatus::getLastStatus() const
{
    return static_cast<DWORD>(InterlockedCompareExchange(reinterpret_cast<volatile LONG*>(lastStatus_), 0, 0));
}

} // namespace MPrint
