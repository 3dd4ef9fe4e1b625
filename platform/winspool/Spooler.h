// Internals of the spooler stand-in (winspool.drv). All state lives in the
// registry of the prefix, so every process sees one spooler; changes are made
// under one named mutex. Handles are per process.
#pragma once

#include "core/Win32.h"

#include <winspool.h>
#include <winsplp.h>

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace spool {

// Windows' own layout under HKLM.
inline constexpr wchar_t kPrintRoot[] = L"SYSTEM\\CurrentControlSet\\Control\\Print";
inline constexpr wchar_t kPrintersPath[] = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";
inline constexpr wchar_t kMonitorsPath[] = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors";
inline constexpr wchar_t kDriversPath[] =
    L"SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Drivers\\Version-3";
inline constexpr wchar_t kLocalPortsPath[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
// The stand-in's own: jobs, remote servers, client providers.
inline constexpr wchar_t kStandInPath[] = L"SOFTWARE\\VrelmSpoolerStandIn";
inline constexpr wchar_t kJobsPath[] = L"SOFTWARE\\VrelmSpoolerStandIn\\Jobs";
inline constexpr wchar_t kServersPath[] = L"SOFTWARE\\VrelmSpoolerStandIn\\Servers";
inline constexpr wchar_t kProvidersPath[] = L"SOFTWARE\\VrelmSpoolerStandIn\\Providers";

inline constexpr wchar_t kEnvironment[] = L"Windows x64";
inline constexpr size_t kMaxPrinterName = 220;  // longest queue name the spooler accepts
inline constexpr size_t kMaxKeyPath = 512;      // longest printer-data key path
inline constexpr DWORD kMaxValueSize = 1u << 20;

// A registry key owner. Every read is bounded by the value's real size;
// strings are returned without trusting a terminator.
class RegKey {
public:
    RegKey() = default;
    ~RegKey() { close(); }
    RegKey(RegKey&& other) noexcept : key_(other.key_) { other.key_ = nullptr; }
    RegKey& operator=(RegKey&& other) noexcept;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    LONG open(HKEY root, const std::wstring& path, REGSAM access = KEY_READ);
    LONG create(HKEY root, const std::wstring& path, REGSAM access = KEY_READ | KEY_WRITE);
    void close();
    HKEY get() const { return key_; }
    bool valid() const { return key_ != nullptr; }

    LONG readValue(const wchar_t* name, DWORD& type, std::vector<BYTE>& data) const;
    std::wstring readString(const wchar_t* name, const std::wstring& fallback = L"") const;
    DWORD readDword(const wchar_t* name, DWORD fallback = 0) const;
    std::vector<BYTE> readBinary(const wchar_t* name) const;
    LONG writeValue(const wchar_t* name, DWORD type, const void* data, DWORD size) const;
    LONG writeString(const wchar_t* name, const std::wstring& value) const;
    LONG writeDword(const wchar_t* name, DWORD value) const;
    std::vector<std::wstring> subkeys() const;
    std::vector<std::wstring> valueNames() const;

private:
    HKEY key_ = nullptr;
};

// Text of a REG_SZ/REG_MULTI_SZ payload, bounded by its size.
std::wstring textOf(const std::vector<BYTE>& data);
std::vector<std::wstring> multiTextOf(const std::vector<BYTE>& data);
std::vector<BYTE> multiTextBytes(const std::vector<std::wstring>& items);
bool equalsNoCase(const std::wstring& a, const std::wstring& b);
std::wstring safeText(const wchar_t* text, size_t limit = 4096);  // null → empty, bounded

// The cross-process lock. The wait is bounded; held() is false after a
// time-out and the caller fails with ERROR_TIMEOUT.
class SpoolLock {
public:
    SpoolLock();
    ~SpoolLock();
    SpoolLock(const SpoolLock&) = delete;
    SpoolLock& operator=(const SpoolLock&) = delete;
    bool held() const { return held_; }

private:
    HANDLE mutex_ = nullptr;
    bool held_ = false;
};

// The rights switch: VRELM_SPOOLER_RIGHTS=user in the process environment.
bool restrictedUser();
// VRELM_SPOOLER_RIGHTS=withdrawn: handles keep the access they were granted,
// but every printer-data change is refused with ERROR_ACCESS_DENIED, as a
// server does that checks each change against rights withdrawn since the open.
bool changesWithdrawn();

// One line per call in the file named by VRELM_SPOOLER_LOG (if set).
void logCall(const wchar_t* function, std::initializer_list<std::wstring> args, DWORD error);
std::wstring hexOf(const void* data, size_t size, size_t limit = 4096);
std::wstring numberText(DWORD value);

// A queue is local (server empty) or on a stand-in remote server "\\PC7".
struct QueueRef {
    std::wstring server;  // "" or "\\name"
    std::wstring name;    // the queue name without the server part
    std::wstring keyPath() const;
    std::wstring fullName() const;
};
std::wstring serverKeyName(const std::wstring& serverOrProvider);  // backslashes → commas
std::wstring localServerName();                                  // "\\COMPUTER"
bool isLocalServer(const std::wstring& server);                  // "", "\\COMPUTER", "\\localhost"
bool knownRemoteServer(const std::wstring& server);
bool validQueueName(const std::wstring& name);
// Splits "\\server\queue" or "queue"; the server is made "" when local.
bool splitPrinterName(const std::wstring& text, QueueRef& ref);
bool queueExists(const QueueRef& ref);

// Per-process handles. Values are never reused, so a stale handle is refused.
enum class HandleKind { Server, Printer, Xcv };
} // namespace spool
namespace qzmon {
class LoadedMonitor;
}
namespace spool {
struct PrinterHandle {
    HandleKind kind = HandleKind::Printer;
    ACCESS_MASK access = 0;
    std::wstring server;  // for Server handles
    QueueRef queue;       // for Printer handles
    DWORD docJob = 0;     // job of StartDocPrinter, 0 when none
    bool pageOpen = false;
    std::shared_ptr<qzmon::LoadedMonitor> monitor;  // for Xcv handles
    HANDLE xcv = nullptr;
    std::wstring xcvObject;
};
HANDLE addHandle(std::shared_ptr<PrinterHandle> handle);
std::shared_ptr<PrinterHandle> findHandle(HANDLE handle);  // sets ERROR_INVALID_HANDLE when null
std::shared_ptr<PrinterHandle> removeHandle(HANDLE handle);
std::shared_ptr<PrinterHandle> findPrinter(HANDLE handle, ACCESS_MASK needed);  // queue handles only

// Structures with strings packed after the fixed part. A first pass measures,
// the second writes; a fill function runs once per pass.
class Packer {
public:
    Packer(BYTE* buffer, DWORD size, size_t fixed) : buffer_(buffer), size_(size), offset_(fixed) {}
    bool writing() const { return buffer_ != nullptr; }
    LPWSTR text(const std::wstring& value);
    LPWSTR textOrNull(const std::wstring& value) { return value.empty() ? nullptr : text(value); }
    BYTE* bytes(const void* data, size_t size, size_t align = 8);
    size_t needed() const { return offset_; }

private:
    BYTE* buffer_;
    DWORD size_;
    size_t offset_;
};

template <class T, class Item, class Fill>
BOOL packArray(const std::vector<Item>& items, LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned,
               Fill fill)
{
    Packer measure(nullptr, 0, sizeof(T) * items.size());
    for (const Item& item : items) {
        T scratch{};
        fill(measure, scratch, item);
    }
    const size_t total = measure.needed();
    if (total > 0xFFFFFFFFu) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    if (needed)
        *needed = static_cast<DWORD>(total);
    if (returned)
        *returned = 0;
    if (!buffer && size != 0) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    if (total > size || (total > 0 && !buffer)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    Packer write(buffer, size, sizeof(T) * items.size());
    T* fixed = reinterpret_cast<T*>(buffer);
    for (size_t i = 0; i < items.size(); ++i) {
        T value{};
        fill(write, value, items[i]);
        memcpy(&fixed[i], &value, sizeof(T));
    }
    if (returned)
        *returned = static_cast<DWORD>(items.size());
    return TRUE;
}

template <class T, class Item, class Fill>
BOOL packOne(const Item& item, LPBYTE buffer, DWORD size, LPDWORD needed, Fill fill)
{
    std::vector<Item> one{item};
    return packArray<T>(one, buffer, size, needed, nullptr, fill);
}

// Queue snapshot used by GetPrinterW/EnumPrintersW.
struct QueueInfo {
    QueueRef ref;
    std::wstring share, port, driver, comment, location, sepFile, printProcessor, datatype, parameters, guid;
    DWORD attributes = 0, priority = 1, defaultPriority = 0, startTime = 0, untilTime = 0, status = 0, jobs = 0;
    std::vector<BYTE> devMode;
};
bool readQueue(const QueueRef& ref, QueueInfo& info);
std::vector<QueueRef> listQueues(const std::wstring& server);  // "" = local
std::vector<BYTE> defaultDevMode(const std::wstring& queueName);
bool validDevMode(const void* devMode, size_t size);
DWORD createQueue(const QueueRef& ref, const std::wstring& driver, const std::wstring& port, DWORD attributes,
                  const PRINTER_INFO_2W* extra);
DWORD deleteQueue(const QueueRef& ref);
void ensureDriver(const std::wstring& driver);

// Jobs (implemented in Jobs.cpp).
struct JobInfo {
    DWORD id = 0;
    std::wstring printer, document, datatype, user, machine, statusText, printProcessor, parameters, notifyName,
        driver, spoolFile;
    DWORD status = 0, priority = 1, totalPages = 0, pagesPrinted = 0, size = 0, position = 0;
    SYSTEMTIME submitted{};
    std::vector<BYTE> devMode;
};
std::vector<JobInfo> listJobs(const QueueRef& queue);  // in id order, positions set
DWORD addJob(const QueueRef& queue, const std::wstring& document, const std::wstring& datatype, DWORD status,
             DWORD& jobId);
DWORD removeJob(DWORD jobId);
DWORD setJobStatus(DWORD jobId, DWORD setBits, DWORD clearBits);
DWORD deleteJobsOf(const QueueRef& queue);
DWORD renameJobsQueue(const QueueRef& from, const QueueRef& to);

// Port monitors (implemented in Monitors.cpp).
struct PortInfo {
    std::wstring name, monitorDll, description;
    DWORD type = PORT_TYPE_WRITE;
};
std::vector<PortInfo> listPorts(const std::wstring& server);
bool portExists(const std::wstring& port);
void closeXcv(PrinterHandle& handle);
DWORD openXcv(const std::wstring& what, const std::wstring& name, ACCESS_MASK access, PrinterHandle& handle);

std::wstring driverDirectory();  // "<system>\spool\drivers\x64" or "%VRELM_SPOOLER_DRIVER_ROOT%\x64", created when missing

} // namespace spool
