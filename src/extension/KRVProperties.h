// Named 64-bit values private to one process, passed between the module's
// entry points. They live as REG_QWORD values in the volatile key HKCU
// "Software\Tarvokin\QZ Print Settings\KRVProperties" (gone after a
// restart), named [printer + "-"] + property + process id ("%X"). Absent
// reads as 0. Registry failures are silent: a failed write answers false, a
// failed read or delete 0. When the settings key cannot be opened for all
// access, every write and delete is a no-op.
#pragma once

#include "core/Win32.h"

#include <cstdint>
#include <string>

// HKCU "Software\Tarvokin\QZ Print Settings" opens (or is created) with all access.
// The store's keys, once open, stay open for the process.
bool isPropertyStoreWritable();
// Closes the kept keys; the next call opens them again. For a process whose
// HKEY_CURRENT_USER was redirected (RegOverridePredefKey) after first use.
void closePropertyStore();

bool setProcessProperty(const std::wstring& name, std::uint64_t value);
std::uint64_t getProcessProperty(const std::wstring& name);
// Deletes the value and answers what it held (0 when absent), so that a
// caller can move a value in one step.
std::uint64_t deleteProcessProperty(const std::wstring& name);

// True when the marker holds this process's id.
inline bool isProcessMarker(const wchar_t* name)
{
    return getProcessProperty(name) == GetCurrentProcessId();
}

// A process marker holding the process id for a scope, deleted however the
// scope ends: one left behind would stand for the whole process's life.
class ProcessMarkerScope {
public:
    explicit ProcessMarkerScope(const wchar_t* name) : name_(name) { setProcessProperty(name_, GetCurrentProcessId()); }
    ~ProcessMarkerScope() { deleteProcessProperty(name_); }
    ProcessMarkerScope(const ProcessMarkerScope&) = delete;
    ProcessMarkerScope& operator=(const ProcessMarkerScope&) = delete;

private:
    const wchar_t* name_;
};

// As above, prefixed with the printer's name: printerName when not null,
// else the name the spooler gives for the handle (level 1); with neither,
// or an empty name, no prefix.
bool setPrinterProcessProperty(HANDLE printer, const wchar_t* printerName, const std::wstring& name,
                               std::uint64_t value);
std::uint64_t getPrinterProcessProperty(HANDLE printer, const wchar_t* printerName, const std::wstring& name);
std::uint64_t deletePrinterProcessProperty(HANDLE printer, const wchar_t* printerName, const std::wstring& name);

// Install progress: the state is kept only while the marker is set.
bool setInstallMarker();
void clearInstallMarker();
bool setInstallState(std::uint64_t state);
std::uint64_t getInstallState();
void clearInstallState();

// A REG_DWORD 1 under HKCU "...\QZ Print Settings\CancelJob" named with the
// process id in decimal; taking it deletes it.
bool setCancelJobFlag();
bool takeCancelJobFlag();

// ieframe.dll's IEIsProtectedModeProcess: its answer on S_OK, true on
// E_ACCESSDENIED, false otherwise or when it is missing.
bool isProtectedModeProcess();

// Marker names (process scope unless marked printer scope).
namespace krv {
inline constexpr wchar_t kPrtInit[] = L"QZPrtInit";
inline constexpr wchar_t kUIOpen[] = L"QZLumoUIOpen";
inline constexpr wchar_t kDocPropId[] = L"QZLumoDocPropId";          // printer
inline constexpr wchar_t kCancelDocProp[] = L"QZLumoCancelDocProp";  // printer and process
inline constexpr wchar_t kInDevProp[] = L"QZLumoInDevProp";
inline constexpr wchar_t kPromptAtPrint[] = L"QZLumoPromptAtPrint"; // printer
inline constexpr wchar_t kChangePortPauseJob[] = L"QZLumoChangePortPauseJob";
inline constexpr wchar_t kRunMakePermanent[] = L"QZLumoRunMakePermanent";
inline constexpr wchar_t kCancelJob[] = L"QZLumoCancelJob";
inline constexpr wchar_t kApplyPolicy[] = L"QZLumoApplyPolicy";
inline constexpr wchar_t kLastJobStartTime[] = L"QZLumoLastJobStartTime"; // printer
inline constexpr wchar_t kAssociateJobInfo[] = L"QZLumoAssociateJobInfo";
inline constexpr wchar_t kEndDocProcessJobInfo[] = L"QZLumoEndDocProcessJobInfo";
inline constexpr wchar_t kFirstJob[] = L"QZLumoFirstJob";
inline constexpr wchar_t kUpdateNowProtectedMode[] = L"LumoUpdateNowProtectedMode";
inline constexpr wchar_t kFreeDVTs[] = L"QZFreeDVTs";
inline constexpr wchar_t kProxyGetDevMode[] = L"proxyGetDevMode";
inline constexpr wchar_t kInstallMarker[] = L"_QZExInstallReg";
inline constexpr wchar_t kInstallState[] = L"_QZInstallState";
inline constexpr std::uint64_t kInstallMarkerValue = 0x10203040;
} // namespace krv
