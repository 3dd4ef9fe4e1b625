// qzkrvmonhost.exe: the Keravin monitor's named pipe "\\.\pipe\QZKRVMon".
// It does for an unprivileged client what the spooler would refuse: Xcv
// opens and transceives on any registered monitor (loaded here as the
// spooler loads them), storing printer data, adding a copy of a queue,
// setting a queue's port. Every message is one request and one reply of the
// same size with a 56-byte header; each connection carries one exchange.
//
//   qzkrvmonhost.exe [/parent=<pid>] [/stop=<event name>] [/ready=<event name>]
// It ends when the stop event is set or the parent process ends, and sets
// the ready event once the pipe accepts connections.
#include "access/MonitorAccess.h"
#include "monitorbase/MonitorCore.h"
#include "monitorbase/PipeServer.h"

#include <atomic>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace {

constexpr wchar_t kPipeName[] = L"\\\\.\\pipe\\QZKRVMon";
constexpr wchar_t kPrintersPath[] = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";
constexpr DWORD kMagic = 0xB4789687;
constexpr DWORD kValuesMagic = 0xE80081E5;
constexpr DWORD kAddPrinterMagic = 0x570030AF;
constexpr DWORD kHeaderSize = 56;
constexpr DWORD kMaxMessage = 16 * 1024 * 1024;
constexpr DWORD kIoTimeoutMs = 5000;

enum Field : DWORD {
    kTotal = 4, kOpcode = 8, kNameOffset = 12, kSuccess = 16, kError = 20, kHandle = 24,
    kInputOffset = 32, kInputSize = 36, kOutputOffset = 40, kOutputSize = 44, kNeeded = 48,
};

struct Request {
    std::vector<BYTE> bytes;
    std::wstring name;
    BYTE* input = nullptr;
    DWORD inputSize = 0;
    BYTE* output = nullptr;
    DWORD outputSize = 0;

    DWORD field(Field f) const { return qzmon::readU32(bytes.data(), f); }
};

// Checks every offset and size against the message; false for a malformed one.
bool parse(Request& request)
{
    BYTE* data = request.bytes.data();
    const DWORD total = static_cast<DWORD>(request.bytes.size());
    const DWORD nameOffset = request.field(kNameOffset);
    if (nameOffset && !qzmon::readText(data, total, nameOffset, request.name))
        return false;
    auto area = [&](Field offsetField, Field sizeField, BYTE*& where, DWORD& size) {
        const DWORD offset = request.field(offsetField);
        size = request.field(sizeField);
        if (offset == 0)
            return size == 0;
        if (offset < kHeaderSize || offset > total || size > total - offset)
            return false;
        where = data + offset;
        return true;
    };
    return area(kInputOffset, kInputSize, request.input, request.inputSize) &&
           area(kOutputOffset, kOutputSize, request.output, request.outputSize);
}

struct Reply {
    bool success = false;
    DWORD error = ERROR_SUCCESS;
    ULONGLONG handle = 0;
    DWORD needed = 0;
    bool setHandle = false;
};

HKEY openPrinterKey(const std::wstring& printer, REGSAM access)
{
    HKEY key = nullptr;
    if (printer.empty() || printer.find(L'\\') != std::wstring::npos ||
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kPrintersPath) + L"\\" + printer).c_str(), 0, access,
                      &key) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

// Whether some monitor keeps this port, and which.
std::wstring monitorOfPort(const std::wstring& port)
{
    HKEY monitors = nullptr;
    if (port.empty() || RegOpenKeyExW(HKEY_LOCAL_MACHINE, qzmon::kMonitorsPath, 0, KEY_READ, &monitors) != ERROR_SUCCESS)
        return {};
    std::wstring owner;
    for (const std::wstring& name : qzmon::registrySubkeys(monitors)) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(monitors, (name + L"\\Ports\\" + port).c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
            owner = name;
            RegCloseKey(key);
            break;
        }
    }
    RegCloseKey(monitors);
    // The local monitor keeps its ports where Windows does.
    if (owner.empty() && RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports",
                                      port.c_str(), RRF_RT_ANY, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
        owner = L"Local Port";
    return owner;
}

class Host {
public:
    Reply handle(Request& request)
    {
        switch (request.field(kOpcode)) {
        case 0: return open(request);
        case 1: return transceive(request);
        case 2: return close(request);
        case 3: return setPort(request);
        case 5: return storePrinterData(request);
        case 6: return refreshPrinter(request);
        case 7: return addPrinter(request);
        default: return failure(ERROR_NOT_SUPPORTED);
        }
    }

private:
    struct OpenXcv {
        qzmon::LoadedMonitor* monitor;
        HANDLE xcv;
    };

    static Reply failure(DWORD error)
    {
        Reply reply;
        reply.error = error;
        return reply;
    }

    static Reply success()
    {
        Reply reply;
        reply.success = true;
        return reply;
    }

    qzmon::LoadedMonitor* monitor(const std::wstring& name)
    {
        auto found = monitors_.find(qzmon::lowerCase(name));
        if (found != monitors_.end())
            return found->second.get();
        std::unique_ptr<qzmon::LoadedMonitor> loaded = qzmon::LoadedMonitor::load(name);
        if (!loaded)
            return nullptr;
        return (monitors_[qzmon::lowerCase(name)] = std::move(loaded)).get();
    }

    Reply open(const Request& request)
    {
        static const std::wstring monitorPrefix = L",XcvMonitor ";
        static const std::wstring portPrefix = L",XcvPort ";
        std::lock_guard<std::mutex> guard(lock_);
        std::wstring object, monitorName;
        if (request.name.rfind(monitorPrefix, 0) == 0) {
            object = monitorName = request.name.substr(monitorPrefix.size());
        } else if (request.name.rfind(portPrefix, 0) == 0) {
            object = request.name.substr(portPrefix.size());
            monitorName = monitorOfPort(object);
            if (monitorName.empty())
                return failure(ERROR_UNKNOWN_PORT);
        } else {
            return failure(ERROR_INVALID_PRINTER_NAME);
        }
        qzmon::LoadedMonitor* loaded = monitor(monitorName);
        if (!loaded)
            return failure(ERROR_UNKNOWN_PRINT_MONITOR);
        HANDLE xcv = nullptr;
        if (!loaded->xcvOpen(object, SERVER_ACCESS_ADMINISTER, xcv))
            return failure(GetLastError() ? GetLastError() : ERROR_INVALID_NAME);
        const ULONGLONG id = nextHandle_++;
        handles_[id] = {loaded, xcv};
        Reply reply = success();
        reply.handle = id;
        reply.setHandle = true;
        return reply;
    }

    Reply transceive(Request& request)
    {
        std::lock_guard<std::mutex> guard(lock_);
        auto found = handles_.find(qzmon::readU64(request.bytes.data(), kHandle));
        if (found == handles_.end())
            return failure(ERROR_INVALID_HANDLE);
        if (request.name.empty())
            return failure(ERROR_INVALID_PARAMETER);
        Reply reply = success();  // the monitor was reached; its own status goes to the error field
        reply.error = found->second.monitor->xcvData(found->second.xcv, request.name, request.input,
                                                     request.inputSize, request.output, request.outputSize,
                                                     &reply.needed);
        return reply;
    }

    Reply close(const Request& request)
    {
        std::lock_guard<std::mutex> guard(lock_);
        auto found = handles_.find(qzmon::readU64(request.bytes.data(), kHandle));
        if (found == handles_.end())
            return failure(ERROR_INVALID_HANDLE);
        found->second.monitor->xcvClose(found->second.xcv);
        handles_.erase(found);
        return success();
    }

    // Printer data through the spooler, with this process's (the monitor's) rights.
    static Reply storePrinterData(const Request& request)
    {
        const BYTE* block = request.input;
        const DWORD size = request.inputSize;
        if (!block || size < 12 || qzmon::readU32(block, 0) != kValuesMagic)
            return failure(ERROR_INVALID_DATA);
        const DWORD count = qzmon::readU32(block, 8);
        const ULONGLONG headerSize = 12 + 4ULL * count;
        if (count == 0 || qzmon::readU32(block, 4) != headerSize || headerSize > size)
            return failure(ERROR_INVALID_DATA);
        struct Value {
            std::wstring key, name;
            DWORD type;
            const BYTE* data;
            DWORD size;
        };
        std::vector<Value> values;
        for (DWORD i = 0; i < count; ++i) {
            const DWORD offset = qzmon::readU32(block, 12 + 4 * i);
            if (offset < headerSize || offset > size || size - offset < 24)
                return failure(ERROR_INVALID_DATA);
            const BYTE* entry = block + offset;
            const ULONGLONG entrySize = qzmon::readU64(entry, 0);
            const DWORD nameOffset = qzmon::readU32(entry, 8);
            const DWORD dataSize = qzmon::readU32(entry, 16);
            const DWORD dataOffset = qzmon::readU32(entry, 20);
            std::wstring fullName;
            if (entrySize < 24 || entrySize > size - offset || dataOffset > entrySize ||
                dataSize > entrySize - dataOffset ||
                !qzmon::readText(entry, static_cast<DWORD>(entrySize), nameOffset, fullName) || fullName.empty())
                return failure(ERROR_INVALID_DATA);
            // "Key\...\Value" names a value in a printer-data key; a bare name the driver's data.
            const size_t split = fullName.rfind(L'\\');
            Value value{L"PrinterDriverData", fullName, qzmon::readU32(entry, 12), entry + dataOffset, dataSize};
            if (split != std::wstring::npos) {
                value.key = fullName.substr(0, split);
                value.name = fullName.substr(split + 1);
            }
            if (value.key.empty() || value.name.empty())
                return failure(ERROR_INVALID_DATA);
            values.push_back(value);
        }
        HANDLE printer = nullptr;
        PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
        if (!OpenPrinterW(const_cast<LPWSTR>(request.name.c_str()), &printer, &defaults))
            return failure(GetLastError());
        DWORD error = ERROR_SUCCESS;
        for (const Value& value : values) {
            // An entry of type REG_NONE without data asks for the value's removal.
            if (value.type == REG_NONE && value.size == 0) {
                error = DeletePrinterDataExW(printer, value.key.c_str(), value.name.c_str());
                if (error == ERROR_FILE_NOT_FOUND)
                    error = ERROR_SUCCESS;
            } else {
                error = SetPrinterDataExW(printer, value.key.c_str(), value.name.c_str(), value.type,
                                          const_cast<BYTE*>(value.data), value.size);
            }
            if (error != ERROR_SUCCESS)
                break;
        }
        ClosePrinter(printer);
        return error == ERROR_SUCCESS ? success() : failure(error);
    }

    // Command 3: the queue (main text) is to print to the port (argument).
    static Reply setPort(const Request& request)
    {
        std::wstring port;
        if (!qzmon::readText(request.input, request.inputSize, 0, port) || port.empty())
            return failure(ERROR_INVALID_PARAMETER);
        if (monitorOfPort(port).empty())
            return failure(ERROR_UNKNOWN_PORT);
        HANDLE printer = nullptr;
        PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
        if (!OpenPrinterW(const_cast<LPWSTR>(request.name.c_str()), &printer, &defaults))
            return failure(GetLastError());
        DWORD needed = 0;
        GetPrinterW(printer, 5, nullptr, 0, &needed);
        std::vector<BYTE> info(needed ? needed : 1);
        DWORD error = ERROR_SUCCESS;
        if (needed && GetPrinterW(printer, 5, info.data(), needed, &needed)) {
            auto* level5 = reinterpret_cast<PRINTER_INFO_5W*>(info.data());
            level5->pPortName = const_cast<LPWSTR>(port.c_str());
            if (!SetPrinterW(printer, 5, info.data(), 0))
                error = GetLastError();
        } else {
            error = GetLastError() ? GetLastError() : ERROR_INVALID_DATA;
        }
        ClosePrinter(printer);
        return error == ERROR_SUCCESS ? success() : failure(error);
    }

    // Command 6: the queue's settings are to be re-read; the monitor keeps none
    // of its own, so it only confirms that the queue exists.
    static Reply refreshPrinter(const Request& request)
    {
        HANDLE printer = nullptr;
        if (!OpenPrinterW(const_cast<LPWSTR>(request.name.c_str()), &printer, nullptr))
            return failure(GetLastError());
        ClosePrinter(printer);
        return success();
    }

    // Command 7: a copy of the queue (main text) under the name that follows the
    // 16-byte block, with its printer data.
    static Reply addPrinter(const Request& request)
    {
        const BYTE* in = request.input;
        std::wstring newName;
        if (!in || request.inputSize < 18 || qzmon::readU32(in, 0) != kAddPrinterMagic ||
            qzmon::readU32(in, 4) != 16 || qzmon::readU32(in, 8) != 2 || qzmon::readU32(in, 12) != 16 ||
            !qzmon::readText(in, request.inputSize, 16, newName) || newName.empty() ||
            16 + (newName.size() + 1) * sizeof(wchar_t) != request.inputSize)
            return failure(ERROR_INVALID_DATA);
        HANDLE existing = nullptr;
        if (!OpenPrinterW(const_cast<LPWSTR>(request.name.c_str()), &existing, nullptr))
            return failure(GetLastError());
        DWORD needed = 0;
        GetPrinterW(existing, 2, nullptr, 0, &needed);
        std::vector<BYTE> info(needed ? needed : 1);
        if (!needed || !GetPrinterW(existing, 2, info.data(), needed, &needed)) {
            const DWORD error = GetLastError();
            ClosePrinter(existing);
            return failure(error ? error : ERROR_INVALID_DATA);
        }
        ClosePrinter(existing);
        auto* level2 = reinterpret_cast<PRINTER_INFO_2W*>(info.data());
        level2->pPrinterName = const_cast<LPWSTR>(newName.c_str());
        level2->pShareName = nullptr;
        level2->Attributes &= ~PRINTER_ATTRIBUTE_SHARED;
        HANDLE added = AddPrinterW(nullptr, 2, info.data());
        if (!added)
            return failure(GetLastError());
        ClosePrinter(added);
        copyPrinterData(request.name, newName);
        return success();
    }

    static void copyPrinterData(const std::wstring& from, const std::wstring& to)
    {
        HKEY source = openPrinterKey(from, KEY_READ);
        HKEY target = openPrinterKey(to, KEY_ALL_ACCESS);
        if (source && target) {
            for (const std::wstring& name : qzmon::registrySubkeys(source)) {
                HKEY child = nullptr;
                if (RegCreateKeyExW(target, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr) ==
                    ERROR_SUCCESS) {
                    RegCopyTreeW(source, name.c_str(), child);
                    RegCloseKey(child);
                }
            }
        }
        if (source)
            RegCloseKey(source);
        if (target)
            RegCloseKey(target);
    }

    std::mutex lock_;  // guards monitors_, handles_, nextHandle_
    std::map<std::wstring, std::unique_ptr<qzmon::LoadedMonitor>> monitors_;
    std::map<ULONGLONG, OpenXcv> handles_;
    ULONGLONG nextHandle_ = 0x4B520001;
};

void serve(Host& host, HANDLE pipe)
{
    Request request;
    request.bytes.resize(kHeaderSize);
    if (qzmon::pipeTransfer(pipe, request.bytes.data(), kHeaderSize, false, kIoTimeoutMs) &&
        qzmon::readU32(request.bytes.data(), 0) == kMagic) {
        const DWORD total = request.field(kTotal);
        if (total >= kHeaderSize && total <= kMaxMessage) {
            request.bytes.resize(total);
            if (qzmon::pipeTransfer(pipe, request.bytes.data() + kHeaderSize, total - kHeaderSize, false, kIoTimeoutMs)) {
                Reply reply = parse(request) ? host.handle(request) : Reply{false, ERROR_INVALID_DATA};
                BYTE* data = request.bytes.data();
                qzmon::writeU32(data, kSuccess, reply.success ? 1 : 0);
                qzmon::writeU32(data, kError, reply.error);
                if (reply.setHandle)
                    qzmon::writeU64(data, kHandle, reply.handle);
                qzmon::writeU32(data, kNeeded, reply.needed);
                if (qzmon::pipeTransfer(pipe, data, total, true, kIoTimeoutMs))
                    qzmon::waitForClientClose(pipe, kIoTimeoutMs);
            }
        }
    }
    qzmon::endClient(pipe);
}

std::wstring option(int argc, wchar_t** argv, const std::wstring& name)
{
    const std::wstring prefix = L"/" + name + L"=";
    for (int i = 1; i < argc; ++i)
        if (std::wstring(argv[i]).rfind(prefix, 0) == 0)
            return std::wstring(argv[i]).substr(prefix.size());
    return {};
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    // This process acts with the monitor's rights, whatever its parent simulates.
    SetEnvironmentVariableW(L"VRELM_SPOOLER_RIGHTS", nullptr);
    qzmon::registerStandInMonitors();

    std::vector<HANDLE> stops;
    const std::wstring stopName = option(argc, argv, L"stop");
    if (!stopName.empty()) {
        HANDLE stop = OpenEventW(SYNCHRONIZE, FALSE, stopName.c_str());
        if (!stop)
            return 2;
        stops.push_back(stop);
    }
    const std::wstring parent = option(argc, argv, L"parent");
    if (!parent.empty()) {
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, wcstoul(parent.c_str(), nullptr, 10));
        if (!process)
            return 2;
        stops.push_back(process);
    }

    Host host;
    std::atomic<int> running{0};
    const std::wstring readyName = option(argc, argv, L"ready");
    auto announce = [&readyName] {
        if (HANDLE ready = readyName.empty() ? nullptr : OpenEventW(EVENT_MODIFY_STATE, FALSE, readyName.c_str())) {
            SetEvent(ready);
            CloseHandle(ready);
        }
    };
    const bool served = qzmon::acceptPipeClients(kPipeName, stops, announce, [&host, &running](HANDLE pipe) {
        ++running;
        std::thread([&host, &running, pipe] {
            serve(host, pipe);
            --running;
        }).detach();
    });
    if (!served)
        return 3;
    // Let exchanges in flight finish (each is bounded by the I/O time-out).
    for (int i = 0; i < 400 && running > 0; ++i)
        Sleep(25);
    return 0;
}
