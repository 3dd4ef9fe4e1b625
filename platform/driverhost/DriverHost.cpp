// driverhost.exe: a stand-in for the printer driver that calls the module.
// It links the module's library and drives it as the driver will once the
// driver entry points exist, printing what it sees for the demo.
//
//   driverhost.exe queue QUEUE              the queue as the spooler reports it
//   driverhost.exe policy POLICYFILE        the user's settings under the administrator's policy
//   driverhost.exe history                  a destination into the target history and back
//   driverhost.exe settings QUEUE           printer data written as this user (deferred when refused)
//   driverhost.exe printerdata QUEUE        the queue's printer data
//   driverhost.exe print QUEUE [pick]       a document printed through the module's document events to one
//                                           of two emulated devices; "pick": the person chooses
//   driverhost.exe cleanup                  removes the demo user's settings
//
// The demo user's HKEY_CURRENT_USER is a key of its own (kDemoUser), so the
// demo never touches the prefix user's settings. Exit code 0 on success.
#include "core/RegistryKey.h"
#include "core/SettingsKeys.h"
#include "core/StringConversion.h"
#include "core/Win32.h"
#include "VagantUIExtension/DiscoveryServicesManager.h"
#include "destination/Device.h"
#include "destination/PdlInfo.h"
#include "destination/PrintPath.h"
#include "destination/PrintPathAttr.h"
#include "destination/PrinterSettings.h"
#include "discovery/DiscoveryClassIds.h"
#include "destination/TargetHistoryList.h"
#include "extension/LXESingleton.h"
#include "extension/LumoraPrintingExtension.h"
#include "extension/LumoraSettings.h"
#include "extension/ManagedPrintPolicy.h"
#include "access/MonitorAccess.h"
#include "extension/DeviceConfiguration.h"
#include "shared/SpoolerQueries.h"
#include "winspool/SpoolerControl.h"

#include <winsock2.h>

#include <atomic>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

const wchar_t kDemoRoot[] = L"Software\\VrelmDemo";
const wchar_t kDemoUser[] = L"Software\\VrelmDemo\\User";
constexpr DWORD kPipeHostWaitMs = 10000;

std::string u8(const std::wstring& text)
{
    std::string out;
    convertToUtf8(text, out);
    return out;
}

int fail(const char* what, DWORD error = GetLastError())
{
    std::printf("FAILED: %s (error %lu)\n", what, error);
    std::fflush(stdout);
    return 1;
}

// Gives this process the demo user's HKEY_CURRENT_USER.
class DemoUser {
public:
    DemoUser()
    {
        if (RegCreateKeyExW(HKEY_CURRENT_USER, kDemoUser, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root_, nullptr) !=
            ERROR_SUCCESS) {
            root_ = nullptr;
            return;
        }
        active_ = RegOverridePredefKey(HKEY_CURRENT_USER, root_) == ERROR_SUCCESS;
    }
    ~DemoUser()
    {
        if (active_)
            RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        if (root_)
            RegCloseKey(root_);
    }
    DemoUser(const DemoUser&) = delete;
    DemoUser& operator=(const DemoUser&) = delete;
    bool active() const { return active_; }

private:
    HKEY root_ = nullptr;
    bool active_ = false;
};

// The extension for the scope, released in every case.
class HeldExtension {
public:
    HeldExtension() : extension_(LXESingleton::acquire()) {}
    ~HeldExtension()
    {
        if (extension_)
            LXESingleton::release(extension_);
    }
    HeldExtension(const HeldExtension&) = delete;
    HeldExtension& operator=(const HeldExtension&) = delete;
    LumoraPrintingExtension* operator->() const { return extension_; }
    explicit operator bool() const { return extension_ && extension_->getSettings(); }

private:
    LumoraPrintingExtension* extension_;
};

class Printer {
public:
    explicit Printer(const std::wstring& name, ACCESS_MASK access = PRINTER_ACCESS_USE)
    {
        std::wstring copy = name;
        PRINTER_DEFAULTSW defaults = {nullptr, nullptr, access};
        HANDLE handle = nullptr;
        if (OpenPrinterW(copy.data(), &handle, &defaults))
            handle_ = handle;
    }
    ~Printer()
    {
        if (handle_)
            ClosePrinter(handle_);
    }
    Printer(const Printer&) = delete;
    Printer& operator=(const Printer&) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_ = nullptr;
};

// A printer data value as text, or "(not set)".
std::wstring printerValue(HANDLE printer, const wchar_t* name)
{
    BYTE data[1024] = {};
    DWORD type = 0, needed = 0;
    if (GetPrinterDataW(printer, const_cast<LPWSTR>(name), &type, data, sizeof(data) - 2, &needed) != ERROR_SUCCESS)
        return L"(not set)";
    if (type == REG_DWORD && needed == sizeof(DWORD))
        return std::to_wstring(*reinterpret_cast<const DWORD*>(data));
    if (type == REG_SZ || type == REG_EXPAND_SZ)
        return L"\"" + std::wstring(reinterpret_cast<const wchar_t*>(data)) + L"\"";
    return L"(" + std::to_wstring(needed) + L" bytes)";
}

const char* promptName(DWORD method)
{
    static const char* const names[] = {"every job", "first job only", "only on errors"};
    return method < 3 ? names[method] : "?";
}

const char* verifyName(DWORD level)
{
    static const char* const names[] = {"high", "medium", "low"};
    return level < 3 ? names[level] : "?";
}

// --- 1. the queue -----------------------------------------------------------

std::wstring portMonitor(const std::wstring& port)
{
    DWORD needed = 0, count = 0;
    EnumPortsW(nullptr, 2, nullptr, 0, &needed, &count);
    // Other processes may add ports between the size query and the fill.
    std::vector<BYTE> buffer(needed + 4096);
    if (!EnumPortsW(nullptr, 2, buffer.data(), static_cast<DWORD>(buffer.size()), &needed, &count))
        return L"?";
    const auto* ports = reinterpret_cast<const PORT_INFO_2W*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        if (ports[i].pPortName && _wcsicmp(ports[i].pPortName, port.c_str()) == 0)
            return ports[i].pDescription ? ports[i].pDescription : L"?";
    }
    return L"no monitor lists it";
}

int showQueue(const std::wstring& queue)
{
    Printer printer(queue);
    if (!printer.get())
        return fail("OpenPrinterW");
    BYTE* info = nullptr;
    if (!getPrinterAlloc(printer.get(), 2, &info)) {
        if (info)
            GlobalFree(info);
        return fail("GetPrinterW level 2");
    }
    const auto* level2 = reinterpret_cast<const PRINTER_INFO_2W*>(info);
    const std::wstring port = level2->pPortName ? level2->pPortName : L"";
    std::printf("queue \"%s\": driver \"%s\", port %s (%s), status %s\n", u8(level2->pPrinterName).c_str(),
                u8(level2->pDriverName ? level2->pDriverName : L"").c_str(), u8(port).c_str(),
                u8(portMonitor(port)).c_str(), level2->Status == 0 ? "ready" : "not ready");
    GlobalFree(info);

    BYTE* driver = nullptr;
    const bool haveDriver = getPrinterDriverAlloc(printer.get(), 3, &driver);
    if (haveDriver) {
        const auto* level3 = reinterpret_cast<const DRIVER_INFO_3W*>(driver);
        std::printf("driver file: %s\n", u8(level3->pDriverPath ? level3->pDriverPath : L"").c_str());
    }
    if (driver)
        GlobalFree(driver);
    return haveDriver ? 0 : fail("GetPrinterDriverW level 3");
}

// --- 2. policy and settings ---------------------------------------------------

struct DiscoveryRow {
    const char* name;
    GUID classId;
};

const DiscoveryRow kDiscoveryServices[] = {
    {"local ports", discoveryids::kLocalPorts},
    {"network shares", discoveryids::kNetworkShares},
    {"TCP/IP network", discoveryids::kTcpIp},
    {"Bluetooth", discoveryids::kBluetooth},
};

std::string policyText(MPrint::ManagedPrintPolicy& policy, const wchar_t* name)
{
    std::wstring text;
    DWORD number = 0;
    if (policy.getString(name, text))
        return u8(text);
    if (policy.getDword(name, number))
        return number ? "true" : "false";
    return "(not set)";
}

void showColourSchedule(MPrint::ManagedPrintPolicy& policy)
{
    static const wchar_t* const days[] = {L"Sunday", L"Monday", L"Tuesday", L"Wednesday",
                                          L"Thursday", L"Friday", L"Saturday"};
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const std::wstring day = days[now.wDayOfWeek % 7];
    std::wstring mode;
    std::string schedule = "no rule for the day";
    if (policy.getString((day + L"Color").c_str(), mode)) {
        schedule = u8(mode);
        DWORD onHour = 0, offHour = 0, onMinute = 0, offMinute = 0;
        if (_wcsicmp(mode.c_str(), L"Specify time") == 0 && policy.getDword((day + L"ColorOnHour").c_str(), onHour) &&
            policy.getDword((day + L"ColorOffHour").c_str(), offHour) &&
            policy.getDword((day + L"ColorOnMinute").c_str(), onMinute) &&
            policy.getDword((day + L"ColorOffMinute").c_str(), offMinute)) {
            char window[64] = {};
            std::snprintf(window, sizeof(window), " %02lu:%02lu-%02lu:%02lu", onHour, onMinute, offHour, offMinute);
            schedule += window;
        }
    }
    std::printf("colour printing now (%s %02u:%02u): %s  [%s: %s]\n", u8(day).c_str(), now.wHour, now.wMinute,
                policy.getBool(L"Color", true) ? "allowed" : "NOT allowed", u8(day).c_str(), schedule.c_str());
}

int showPolicy(const std::wstring& policyFile)
{
    RegistryKey user(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess, true);
    if (!user.isOpen())
        return fail("creating the user's settings key", static_cast<DWORD>(user.getLastError()));
    // The user's own choices, as the settings dialog stores them.
    const DWORD userPrompt = LumoraSettings::kPromptOnError, userVerify = LumoraSettings::kVerifyLow;
    user.setDword(L"PromptMethod", userPrompt);
    user.setDword(L"DeviceVerifyLevel", userVerify);
    user.setDword(L"EnableProfiles", 1);
    // The administrator's policy location.
    if (!user.setString(L"Policy", policyFile))
        return fail("writing the policy location", static_cast<DWORD>(user.getLastError()));
    std::printf("policy location (HKCU\\%s, \"Policy\"): %s\n", u8(settingskeys::kSettings).c_str(), u8(policyFile).c_str());

    HeldExtension extension;
    if (!extension)
        return fail("acquiring the printing extension");
    LumoraSettings& settings = *extension->getSettings();
    MPrint::ManagedPrintPolicy* policy = MPrint::ManagedPrintPolicy::instance();
    if (!policy->hasPolicy())
        return fail("no policy in force", 0);
    std::printf("printing extension acquired; policy in force: yes\n");
    std::printf("  %-22s %-16s %-18s %s\n", "setting", "user's own", "policy says", "in effect");
    std::printf("  %-22s %-16s %-18s %s\n", "prompt for destination", promptName(userPrompt),
                policyText(*policy, L"WhenPrinting").c_str(), promptName(settings.getPromptMethod()));
    std::printf("  %-22s %-16s %-18s %s\n", "device verification", verifyName(userVerify),
                policyText(*policy, L"DeviceVerifyLevel").c_str(), verifyName(settings.getDeviceVerifyLevel()));
    std::printf("  %-22s %-16s %-18s %s\n", "profiles shown", "yes", policyText(*policy, L"ShowProfiles").c_str(),
                settings.isProfilesEnabled() ? "yes" : "no");
    showColourSchedule(*policy);
    std::string allowed, blocked;
    for (const DiscoveryRow& row : kDiscoveryServices)
        (policy->isDiscoveryServiceAllowed(row.classId) ? allowed : blocked) += std::string(" ") + row.name + ",";
    if (!allowed.empty())
        allowed.pop_back();
    if (!blocked.empty())
        blocked.pop_back();
    std::printf("printer discovery allowed:%s; blocked:%s\n", allowed.empty() ? " none" : allowed.c_str(),
                blocked.empty() ? " none" : blocked.c_str());
    return 0;
}

// --- 3. target history ----------------------------------------------------------

MPrint::PrintPath* officeDestination()
{
    MPrint::Device device("QZ LaserWorks 4250 MFP", "Front desk MFP");
    device.addPdl(PdlInfo(47, "PCL XL", "3.0"));
    device.addPdl(PdlInfo(6, "PostScript", "3.0"));
    auto* path = new MPrint::PrintPath;
    path->setDevice(device, true);
    path->setDiscoveryId(kDiscoveryServices[2].classId);
    path->setStringAttribute(PrintPathAttr::DisplayString, L"Front desk MFP", true);
    path->setStringAttribute(PrintPathAttr::Address, L"lw4250.office.example", true);
    path->setStringAttribute(PrintPathAttr::HostnameAddress, L"lw4250.office.example", true);
    path->setNumericAttribute(PrintPathAttr::LumoIsColorDevice, 1, true);
    return path;
}

int showHistory()
{
    std::wstring profile;
    {
        HeldExtension extension;
        if (!extension)
            return fail("acquiring the printing extension");
        LumoraSettings& settings = *extension->getSettings();
        profile = settings.getCurrentProfile();
        TargetHistoryList history(settings.getTargetHistoryKey());
        history.setResolver(DiscoveryServicesManager::GetInstance());
        history.load();
        if (history.add(officeDestination()) == history.end())
            return fail("adding the destination", 0);
        history.save();
        std::printf("added \"Front desk MFP\" to profile \"%s\" and saved (%zu entr%s)\n", u8(profile).c_str(),
                    history.size(), history.size() == 1 ? "y" : "ies");
    }

    // Read back by a fresh extension, as the next print job would.
    HeldExtension extension;
    if (!extension)
        return fail("acquiring the printing extension again");
    RegistryKey& key = extension->getSettings()->getTargetHistoryKey();
    TargetHistoryList history(key);
    history.setResolver(DiscoveryServicesManager::GetInstance());
    history.load();
    if (history.size() == 0)
        return fail("the history came back empty", 0);
    std::printf("read back from HKCU\\%s\\%s\\Target History:\n", u8(settingskeys::kSettings).c_str(), u8(profile).c_str());
    for (auto it = history.begin(); it != history.end(); ++it) {
        const MPrint::PrintPath& path = *it->get();
        const MPrint::Device& device = path.getDevice();
        std::printf("  \"%s\": model %s, address %s, PDLs", u8(history.getDisplayString(it)).c_str(),
                    device.getModelName().c_str(), u8(path.getStringAttribute(PrintPathAttr::Address)).c_str());
        for (auto pdl = device.pdlBegin(); pdl != device.pdlEnd(); ++pdl)
            std::printf(" %s %s (family %lu);", (*pdl)->getDescription().c_str(), (*pdl)->getVersion().c_str(),
                        (*pdl)->getFamily());
        std::printf("\n");
    }
    std::wstring stored;
    if (!key.queryString(L"Target0", stored))
        return fail("reading Target0", static_cast<DWORD>(key.getLastError()));
    std::printf("stored print-path XML (value \"Target0\"):\n%s\n", u8(stored).c_str());
    return 0;
}

// --- 4. printer settings as a user without administration rights ---------------

// bin\qzkrvmonhost.exe, the port monitor's pipe, for the object's scope.
class PipeHost {
public:
    PipeHost()
    {
        const std::wstring suffix = std::to_wstring(GetCurrentProcessId());
        const std::wstring stopName = L"VrelmDemoPipeHostStop-" + suffix;
        const std::wstring readyName = L"VrelmDemoPipeHostReady-" + suffix;
        stop_ = CreateEventW(nullptr, TRUE, FALSE, stopName.c_str());
        HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, readyName.c_str());
        wchar_t self[MAX_PATH] = {};
        const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring exe(self, length < MAX_PATH ? length : 0);
        exe = exe.substr(0, exe.find_last_of(L'\\') + 1) + L"qzkrvmonhost.exe";
        std::wstring command = L"\"" + exe + L"\" /parent=" + suffix + L" /stop=" + stopName + L" /ready=" + readyName;
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        if (stop_ && ready &&
            CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
            process_ = info.hProcess;
            processId_ = info.dwProcessId;
            CloseHandle(info.hThread);
            HANDLE waits[] = {ready, process_};
            ready_ = WaitForMultipleObjects(2, waits, FALSE, kPipeHostWaitMs) == WAIT_OBJECT_0;
        }
        if (ready)
            CloseHandle(ready);
    }
    ~PipeHost() { stop(); }
    PipeHost(const PipeHost&) = delete;
    PipeHost& operator=(const PipeHost&) = delete;

    bool ready() const { return ready_; }
    DWORD processId() const { return processId_; }
    // True when the host ended by itself within the wait.
    bool stop()
    {
        bool clean = true;
        if (process_) {
            SetEvent(stop_);
            if (WaitForSingleObject(process_, kPipeHostWaitMs) != WAIT_OBJECT_0) {
                TerminateProcess(process_, 1);
                WaitForSingleObject(process_, kPipeHostWaitMs);
                clean = false;
            }
            CloseHandle(process_);
            process_ = nullptr;
        }
        if (stop_) {
            CloseHandle(stop_);
            stop_ = nullptr;
        }
        return clean;
    }

private:
    HANDLE process_ = nullptr;
    HANDLE stop_ = nullptr;
    DWORD processId_ = 0;
    bool ready_ = false;
};

int writeSettings(const std::wstring& queue)
{
    wchar_t rights[32] = {};
    GetEnvironmentVariableW(L"VRELM_SPOOLER_RIGHTS", rights, 32);
    std::printf("acting as: %s\n", _wcsicmp(rights, L"user") == 0 ? "a user without administration rights"
                                                                   : "an administrator");
    {
        Printer reader(queue);
        if (!reader.get())
            return fail("OpenPrinterW");
        DWORD value = 0;
        const DWORD refused = SetPrinterDataW(reader.get(), const_cast<LPWSTR>(L"LumoNewInstall"), REG_DWORD,
                                              reinterpret_cast<BYTE*>(&value), sizeof(value));
        std::printf("SetPrinterDataW directly: error %lu%s\n", refused,
                    refused == ERROR_ACCESS_DENIED ? " (access denied)" : "");
    }

    PipeHost host;
    if (!host.ready())
        return fail("starting qzkrvmonhost.exe");
    std::printf("port monitor pipe \\\\.\\pipe\\QZKRVMon served by qzkrvmonhost.exe (process %lu)\n", host.processId());
    {
        PrinterSettings settings(queue.c_str(), PRINTER_ALL_ACCESS);
        if (!settings.setDword(L"LumoNewInstall", 0) || !settings.setString(L"mplDestinationName", L"Front desk MFP"))
            return fail("PrinterSettings writes");
        Printer reader(queue);
        std::wstring seen;
        settings.getString(L"mplDestinationName", seen);
        DWORD flag = 0xFFFFFFFF;
        settings.getDword(L"LumoNewInstall", flag);
        std::printf("PrinterSettings wrote LumoNewInstall=%lu, mplDestinationName=\"%s\" into a deferred batch;\n"
                    "  the queue still has LumoNewInstall=%s, mplDestinationName=%s\n",
                    flag, u8(seen).c_str(), u8(printerValue(reader.get(), L"LumoNewInstall")).c_str(),
                    u8(printerValue(reader.get(), L"mplDestinationName")).c_str());
        if (!settings.commitDeferred())
            return fail("committing the batch through the monitor's pipe");
        std::printf("batch committed through the monitor's pipe\n");
    }
    const bool clean = host.stop();
    std::printf("qzkrvmonhost.exe %s\n", clean ? "stopped" : "did not stop in time and was ended");
    return 0;
}

int listPrinterData(const std::wstring& queue)
{
    Printer printer(queue);
    if (!printer.get())
        return fail("OpenPrinterW");
    std::printf("printer data of \"%s\":\n", u8(queue).c_str());
    for (DWORD index = 0;; ++index) {
        wchar_t name[512] = {};
        BYTE data[2048] = {};
        DWORD nameBytes = 0, type = 0, dataBytes = 0;
        const DWORD error = EnumPrinterDataW(printer.get(), index, name, sizeof(name) - 2, &nameBytes, &type, data,
                                             sizeof(data) - 2, &dataBytes);
        if (error == ERROR_NO_MORE_ITEMS)
            break;
        if (error != ERROR_SUCCESS)
            return fail("EnumPrinterDataW", error);
        std::printf("  %-20s %s\n", u8(name).c_str(), u8(printerValue(printer.get(), name)).c_str());
    }
    return 0;
}

// An emulated network printer: a listener on port 9100 of a loopback
// address that keeps what each connection sends until it closes.
class EmulatedPrinter {
public:
    explicit EmulatedPrinter(unsigned char third)
    {
        for (int last = 10 + GetCurrentProcessId() % 200; last < 250 && listener_ == INVALID_SOCKET; last += 17) {
            SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
            sockaddr_in at{};
            at.sin_family = AF_INET;
            at.sin_port = htons(9100);
            at.sin_addr.s_addr = htonl(0x7F000000u | (77u << 16) | (unsigned(third) << 8) | unsigned(last));
            if (s != INVALID_SOCKET && bind(s, reinterpret_cast<sockaddr*>(&at), sizeof(at)) == 0 &&
                listen(s, 4) == 0) {
                listener_ = s;
                host_ = L"127.77." + std::to_wstring(third) + L"." + std::to_wstring(last);
            } else if (s != INVALID_SOCKET) {
                closesocket(s);
            }
        }
        if (listener_ != INVALID_SOCKET)
            thread_ = std::thread(&EmulatedPrinter::serve, this);
    }
    ~EmulatedPrinter()
    {
        stopping_ = true;
        if (thread_.joinable())
            thread_.join();
        if (listener_ != INVALID_SOCKET)
            closesocket(listener_);
    }
    EmulatedPrinter(const EmulatedPrinter&) = delete;
    EmulatedPrinter& operator=(const EmulatedPrinter&) = delete;

    const std::wstring& host() const { return host_; }
    std::string received() const
    {
        std::lock_guard<std::mutex> guard(lock_);
        return received_;
    }

private:
    // Bounded waits throughout, so the destructor's join returns.
    bool readable(SOCKET s)
    {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(s, &set);
        timeval wait{0, 100 * 1000};
        return select(0, &set, nullptr, nullptr, &wait) > 0;
    }
    void serve()
    {
        while (!stopping_) {
            if (!readable(listener_))
                continue;
            SOCKET client = accept(listener_, nullptr, nullptr);
            if (client == INVALID_SOCKET)
                continue;
            std::string bytes;
            char piece[4096];
            for (int idle = 0; !stopping_ && idle < 50 && bytes.size() < (1u << 20);) {
                if (!readable(client)) {
                    ++idle;
                    continue;
                }
                const int n = recv(client, piece, sizeof(piece), 0);
                if (n <= 0)
                    break;
                bytes.append(piece, static_cast<size_t>(n));
            }
            closesocket(client);
            std::lock_guard<std::mutex> guard(lock_);
            received_ += bytes;
        }
    }

    SOCKET listener_ = INVALID_SOCKET;
    std::wstring host_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
    mutable std::mutex lock_;
    std::string received_;
};

MPrint::PrintPath* networkDestination(const std::wstring& name, const std::wstring& host, const char* model)
{
    auto* path = new MPrint::PrintPath();
    path->setDevice(MPrint::Device(model, model), true);
    path->setDiscoveryId(discoveryids::kTcpIp);
    path->setStringAttribute(PrintPathAttr::DisplayString, name, true);
    path->setStringAttribute(PrintPathAttr::Address, host, true);
    path->setStringAttribute(PrintPathAttr::IPAddress, host, true);
    // The driver declares PCL 6; the user accepted these devices for it once.
    path->setStringAttribute(std::wstring(PrintPathAttr::IgnorePDLCheck) + L"PCL6", L"PCL6", true);
    SYSTEMTIME now{};
    GetSystemTime(&now);
    path->setNumericAttribute(PrintPathAttr::LastConfigTime, MPrint::makeDeviceStamp(now), true);
    path->setNumericAttribute(PrintPathAttr::ValidateDevice, 0, true);
    return path;
}

using DocumentEventFn = int(WINAPI*)(HANDLE, HDC, int, ULONG, PVOID, ULONG, PVOID);

// Prints one document through the module's document events, as the driver
// does: start of document (the chooser), the job spooled, the job's creation
// reported, end of document; then shows which device received it.
int printDocument(const std::wstring& queue, bool personPicks)
{
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return fail("starting Winsock");
    std::unique_ptr<EmulatedPrinter> front = std::make_unique<EmulatedPrinter>(1);
    std::unique_ptr<EmulatedPrinter> back = std::make_unique<EmulatedPrinter>(2);
    if (front->host().empty() || back->host().empty())
        return fail("listening on port 9100 of a loopback address");
    const struct {
        const wchar_t* name;
        EmulatedPrinter* device;
    } devices[] = {{L"Front desk laser", front.get()}, {L"Back office laser", back.get()}};
    if (!qzmon::registerStandInMonitors())
        return fail("registering the port monitors");
    {
        HeldExtension extension;
        if (!extension)
            return fail("acquiring the printing extension");
        LumoraSettings& settings = *extension->getSettings();
        TargetHistoryList history(settings.getTargetHistoryKey());
        history.load();
        for (const auto& device : devices) {
            history.add(networkDestination(device.name, device.device->host(), "QZ LaserPro 4000"));
            std::printf("emulated printer \"%s\" listens on %s:9100\n", u8(device.name).c_str(),
                        u8(device.device->host()).c_str());
        }
        history.save();
        RegistryKey user(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess, true);
        user.setDword(L"PromptMethod", personPicks ? LumoraSettings::kPromptAlways : LumoraSettings::kPromptOnError);
        user.setString(L"CurrentAddress", devices[1].name);
    }
    if (!personPicks)
        std::printf("the chooser answers on its own with the last destination, \"%s\"\n", u8(devices[1].name).c_str());

    wchar_t self[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder(self, length);
    folder = folder.substr(0, folder.find_last_of(L'\\') + 1);
    HMODULE module = LoadLibraryW((folder + L"vrelm101.dll").c_str());
    auto documentEvent =
        module ? reinterpret_cast<DocumentEventFn>(reinterpret_cast<void*>(GetProcAddress(module, "QZDrvDocumentEvent")))
               : nullptr;
    HANDLE printer = nullptr;
    if (!documentEvent || !OpenPrinterW(const_cast<wchar_t*>(queue.c_str()), &printer, nullptr)) {
        if (module)
            FreeLibrary(module);
        return fail("loading the module and opening the queue");
    }
    wchar_t document[] = L"Quarterly report.pdf";
    DOCINFOW info = {sizeof(DOCINFOW), document, nullptr, nullptr, 0};
    const DOCINFOW* pointer = &info;
    documentEvent(printer, nullptr, 5, sizeof(pointer), &pointer, 0, nullptr);
    DOC_INFO_1W spooled{document, nullptr, nullptr};
    DWORD job = StartDocPrinterW(printer, 1, reinterpret_cast<LPBYTE>(&spooled));
    const std::string page = "\x1B%-12345X@PJL JOB NAME=\"Quarterly report\"\r\n%!PS demo page\r\n\x1B%-12345X";
    DWORD written = 0;
    bool spooledOk = job != 0 && WritePrinter(printer, const_cast<char*>(page.data()),
                                                static_cast<DWORD>(page.size()), &written);
    if (job)
        documentEvent(printer, nullptr, 13, sizeof(job), &job, 0, nullptr);
    spooledOk = EndDocPrinter(printer) && spooledOk;
    const std::wstring port = getPrinterPortName(printer);
    ClosePrinter(printer);
    FreeLibrary(module);
    std::printf("job %lu \"%s\" (%zu bytes) spooled; the queue prints to port %s now\n", job, u8(document).c_str(),
                page.size(), u8(port).c_str());

    int result = spooledOk ? 1 : fail("spooling the document");
    const DWORD start = GetTickCount();
    for (bool arrived = false; spooledOk && !arrived && GetTickCount() - start < 10000; Sleep(arrived ? 0 : 50)) {
        for (const auto& device : devices) {
            const std::string bytes = device.device->received();
            if (bytes.empty())
                continue;
            arrived = true;
            result = bytes == page ? 0 : fail("the device received other bytes", 0);
            std::printf("\"%s\" (%s) received the job: %zu bytes%s\n", u8(device.name).c_str(),
                        u8(device.device->host()).c_str(), bytes.size(),
                        bytes == page ? ", exactly what was spooled" : "");
        }
    }
    if (spooledOk && result == 1)
        result = fail("waiting for the job at a device", 0);
    const SpoolerControlApi* control = nullptr;
    SpoolerControlApi api;
    if (api.load())
        control = &api;
    for (const auto& device : devices) {
        if (control)
            control->removePort(L"Standard TCP/IP Port", (L"IP_" + device.device->host()).c_str());
    }
    back.reset();
    front.reset();
    WSACleanup();
    return result;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring verb = argc > 1 ? argv[1] : L"";
    int result = 2;
    if (verb == L"queue" && argc == 3) {
        result = showQueue(argv[2]);
    } else if (verb == L"settings" && argc == 3) {
        result = writeSettings(argv[2]);
    } else if (verb == L"printerdata" && argc == 3) {
        result = listPrinterData(argv[2]);
    } else if (verb == L"cleanup" && argc == 2) {
        const LONG error = RegDeleteTreeW(HKEY_CURRENT_USER, kDemoRoot);
        result = error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND ? 0 : fail("removing the demo user", error);
    } else if (verb == L"print" && (argc == 3 || (argc == 4 && std::wstring(argv[3]) == L"pick"))) {
        DemoUser user;
        result = user.active() ? printDocument(argv[2], argc == 4)
                               : fail("giving the demo user its own HKEY_CURRENT_USER");
    } else if ((verb == L"policy" && argc == 3) || (verb == L"history" && argc == 2)) {
        DemoUser user;
        if (!user.active())
            result = fail("giving the demo user its own HKEY_CURRENT_USER");
        else
            result = verb == L"policy" ? showPolicy(argv[2]) : showHistory();
    } else {
        std::fprintf(stderr, "usage: driverhost queue|settings|printerdata QUEUE | print QUEUE [pick] | policy FILE | "
                             "history | cleanup\n");
    }
    std::fflush(stdout);
    return result;
}
