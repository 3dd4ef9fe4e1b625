// The discovery service of network printers reached over TCP/IP: a browse
// through the maker's module vrelm103.DLL (Search), the name resolution of a
// browsed printer (ResolveName), typed addresses "[community@]host[:port]"
// (Resolve) and the device check of a path (ValidateDevice).
//
// Each browse or resolution run has its own search handle, valid only while
// that run lasts: RequestCancel stops the running Search and nothing else,
// and once cancelled no further record of that run is announced. A Search
// leaves the started flag (Start/Stop) as it was.
#pragma once

#include "core/ScopedHandle.h"
#include "core/Socket.h"
#include "discovery/BasicDiscoveryService.h"
#include "discovery/TcpBrowseExports.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

namespace MPrint {

class TCPIPAddressDiscovery : public BasicDiscoveryService {
public:
    static constexpr uint32_t kModeBrowse = 0;
    static constexpr uint32_t kModeResolve = 1;
    static constexpr uint32_t kModeOff = 2;
    static constexpr uint32_t kDefaultTimeoutMs = 19000;
    static constexpr uint32_t kDeviceNotReachable = 2;
    static constexpr uint32_t kNoAnswer = 10;

    // The module name is the browse module's, or another for a process that
    // must do without it.
    explicit TCPIPAddressDiscovery(const wchar_t* moduleName = tcpbrowse::kModuleName);
    ~TCPIPAddressDiscovery() override;

    // 56 (searchable on a worker, resolves addresses) when the browse module
    // loads, else 16.
    uint32_t GetSearchCapabilities() override;
    // Announces every printer the browse finds; 3 when browsing is off, 9
    // without the module, 5 when cancelled.
    uint32_t Search(HWND window, DestinationContext* context, PrintPathList& list, uint32_t flags) override;
    // Stops the running Search; true when the module stopped it. No effect
    // on a later Search.
    bool RequestCancel() override;
    uint32_t Resolve(HWND owner, const std::wstring& address, const std::wstring& nickname,
                     const std::wstring& displayString, PrintPathList& list) override;
    // 0 when the device answers a PML connection on its port (9100, 9101,
    // 9102 for "Port" 0-1, 2, 3), 2 when not; 0 for WSD devices, 3 for null.
    uint32_t ValidateDevice(HWND owner, PrintPath* path) override;

    // A null domain clears it.
    virtual void SetDiscoveryParameters(const char* serviceType, uint32_t mode, uint32_t timeoutMs,
                                        const char* domain);
    // Fills in address, host name and model of a browsed path; 0, 9 without
    // the module or path, 10 when no answer came.
    virtual uint32_t ResolveName(HWND window, PrintPath* path, uint32_t timeoutMs);

    // One browse or resolution run: the callback's context.
    struct Run;

private:
    static void WINAPI onRecord(void* argument, void* context, int event);
    void announce(Run& run, const tcpbrowse::PrinterRecord& record);
    void fillResolved(Run& run, const tcpbrowse::PrinterRecord& record);
    bool loadModule();
    tcpbrowse::StartDiscoveryFn startFunction();
    tcpbrowse::StopDiscoveryFn stopFunction();
    uint32_t runDiscovery(Run& run, uint32_t timeoutMs, const char* instanceName);
    // The address, ids and flags every path of this service carries.
    void stamp(PrintPath& path, const std::wstring& address);
    std::wstring defaultCommunity(const std::wstring& printerName);

    std::wstring moduleName_;
    std::mutex moduleLock_; // guards module_ while it is loaded
    ScopedModule module_;
    std::mutex runLock_;    // guards searchRun_
    Run* searchRun_ = nullptr;
    std::string serviceType_ = "_printer._tcp.";
    std::string domain_;
    uint32_t timeoutMs_ = kDefaultTimeoutMs;
    uint32_t mode_ = kModeBrowse;
    // "TCPAddressDiscovery" as the last Search read it (0 or 1).
    std::atomic<uint32_t> reverseLookupOff_{0};
    std::once_flag socketsOnce_;
    std::unique_ptr<Socket::Initializer> sockets_;
};

} // namespace MPrint
