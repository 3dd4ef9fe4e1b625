// "QZ Keravin Print Monitor", the body that vrelm106.DLL loads (vrelm107.DLL).
// Its ports (UNC shares, Novell queues, the Waypost service) live under
// "Ports\<port>" with their kind and target, and under "<kind>\<port>" where
// the driver looks for them. It also keeps per-job state for job accounting
// ("JobInfoData") and the Waypost service ("WaypostPrintEvent") in volatile
// keys, and takes upgrade requests for its companion file.
#include "monitorbase/MonitorCore.h"

#include <winver.h>

#include <array>
#include <cstring>

namespace {

constexpr wchar_t kMonitorName[] = L"QZ Keravin Print Monitor";
constexpr wchar_t kUncKind[] = L"QZ UNC Port";
constexpr wchar_t kNovellKind[] = L"QZ UNC Novell Port";
constexpr wchar_t kWaypostKind[] = L"QZ Waypost Port";

constexpr DWORD kRecordHeader = 96;  // command record: strings start here
constexpr DWORD kJobRecordSize = 88;
constexpr DWORD kJobMessageType = 7;
constexpr DWORD kWaypostType = 6;
constexpr DWORD kWaypostReplyHeader = 88;

struct CommandRecord {
    std::wstring first;
    std::wstring second;
};

// The record of "FindPortSubString", "GetPortName", "AddNewPort" and "AddNewWPPort".
DWORD parseCommandRecord(const qzmon::XcvCall& call, CommandRecord& record)
{
    const BYTE* in = call.input;
    const DWORD size = call.inputSize;
    if (!in || size < kRecordHeader + 4 || qzmon::readU32(in, 0) != size || qzmon::readU32(in, 4) != 3 ||
        qzmon::readU32(in, 8) != kRecordHeader)
        return ERROR_INVALID_DATA;
    if (!qzmon::readText(in, size, kRecordHeader, record.first))
        return ERROR_INVALID_DATA;
    const ULONGLONG second = kRecordHeader + (record.first.size() + 1) * sizeof(wchar_t);
    if (qzmon::readU64(in, 16) != second || !qzmon::readText(in, size, static_cast<DWORD>(second), record.second))
        return ERROR_INVALID_DATA;
    if (second + (record.second.size() + 1) * sizeof(wchar_t) != size)
        return ERROR_INVALID_DATA;
    return ERROR_SUCCESS;
}

bool isKeravinKind(const std::wstring& kind)
{
    return kind == kUncKind || kind == kNovellKind || kind == kWaypostKind;
}

// The port name of a target: "\\server\share" becomes "server share"; on a
// Novell network every backslash becomes a blank; Waypost ports are named as given.
std::wstring portNameFor(const std::wstring& kind, const std::wstring& target)
{
    if (kind == kWaypostKind)
        return target;
    if (target.size() <= 2 || target.compare(0, 2, L"\\\\") != 0)
        return {};
    std::wstring name = target.substr(2);
    for (wchar_t& c : name) {
        if (c == L'\\') {
            c = L' ';
            if (kind == kUncKind)
                break;
        }
    }
    return name;
}

bool endsWithNoCase(const std::wstring& text, const std::wstring& tail)
{
    return text.size() >= tail.size() && qzmon::equalsNoCase(text.substr(text.size() - tail.size()), tail);
}

bool containsNoCase(const std::wstring& text, const std::wstring& part)
{
    return qzmon::lowerCase(text).find(qzmon::lowerCase(part)) != std::wstring::npos;
}

// The ports that other monitors keep in the spooler's registry layout.
std::vector<std::wstring> otherMonitorPorts(const std::wstring& onlyMonitor = {})
{
    std::vector<std::wstring> ports;
    HKEY monitors = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, qzmon::kMonitorsPath, 0, KEY_READ, &monitors) != ERROR_SUCCESS)
        return ports;
    for (const std::wstring& monitor : qzmon::registrySubkeys(monitors)) {
        if (monitor == kMonitorName || (!onlyMonitor.empty() && !qzmon::equalsNoCase(monitor, onlyMonitor)))
            continue;
        HKEY key = nullptr;
        if (RegOpenKeyExW(monitors, (monitor + L"\\Ports").c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
            for (std::wstring& port : qzmon::registrySubkeys(key))
                ports.push_back(std::move(port));
            RegCloseKey(key);
        }
    }
    RegCloseKey(monitors);
    return ports;
}

bool fileVersion(const std::wstring& path, std::wstring& version)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0)
        return false;
    std::vector<BYTE> block(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data()) ||
        !VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) || !fixed ||
        fixedSize < sizeof(VS_FIXEDFILEINFO) || fixed->dwSignature != 0xFEEF04BD)
        return false;
    wchar_t text[64] = {};
    swprintf(text, 64, L"%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
             HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
    version = text;
    return true;
}

// Lays out NUL-terminated strings after a fixed part; offsets from the start.
class ReplyBuilder {
public:
    explicit ReplyBuilder(DWORD fixedSize) : bytes_(fixedSize, 0) {}
    DWORD addText(const std::wstring& text)
    {
        if (text.empty())
            return 0;
        const DWORD offset = static_cast<DWORD>(bytes_.size());
        const BYTE* begin = reinterpret_cast<const BYTE*>(text.c_str());
        bytes_.insert(bytes_.end(), begin, begin + (text.size() + 1) * sizeof(wchar_t));
        return offset;
    }
    std::vector<BYTE>& bytes() { return bytes_; }

private:
    std::vector<BYTE> bytes_;
};

DWORD deliver(qzmon::XcvCall& call, const std::vector<BYTE>& reply)
{
    call.needed = static_cast<DWORD>(reply.size());
    if (!call.output || call.outputSize < reply.size())
        return ERROR_INSUFFICIENT_BUFFER;
    std::memcpy(call.output, reply.data(), reply.size());
    return ERROR_SUCCESS;
}

class KeravinMonitor : public qzmon::Monitor {
public:
    using Monitor::Monitor;
    const wchar_t* name() const override { return kMonitorName; }

    std::vector<qzmon::PortEntry> ports() override
    {
        std::vector<qzmon::PortEntry> entries;
        const qzmon::MonitorKey ports = portsKey();
        for (const std::wstring& port : ports.subkeys()) {
            std::wstring kind;
            ports.open(port).getString(L"Kind", kind);
            entries.push_back({port, kind.empty() ? std::wstring(kMonitorName) : kind});
        }
        return entries;
    }

    DWORD xcvData(const std::wstring& command, qzmon::XcvCall& call) override
    {
        if (command == L"FindPortSubString" || command == L"GetPortName" || command == L"AddNewPort" ||
            command == L"AddNewWPPort") {
            CommandRecord record;
            const DWORD status = parseCommandRecord(call, record);
            if (status != ERROR_SUCCESS)
                return status;
            if (command == L"FindPortSubString")
                return findPortSubString(record, call);
            if (command == L"GetPortName")
                return getPortName(record, call);
            return addNewPort(command, record, call);
        }
        if (command == L"UpgradePrintMonitor")
            return upgrade(call);
        if (command == L"JobInfoData")
            return jobInfoData(call);
        if (command == L"WaypostPrintEvent")
            return waypostEvent(call);
        if (command == L"FreeDVTs")
            return ERROR_SUCCESS;  // nothing cached between jobs that could be released
        return ERROR_INVALID_FUNCTION;
    }

private:
    // The stored spelling of one of this monitor's ports of the given kind.
    bool ownPort(const std::wstring& name, const std::wstring& kind, std::wstring& stored) const
    {
        const qzmon::MonitorKey ports = portsKey();
        for (const std::wstring& port : ports.subkeys()) {
            std::wstring portKind;
            if (qzmon::equalsNoCase(port, name) && ports.open(port).getString(L"Kind", portKind) && portKind == kind) {
                stored = port;
                return true;
            }
        }
        return false;
    }

    DWORD findPortSubString(const CommandRecord& record, qzmon::XcvCall& call)
    {
        const std::wstring& needle = record.second;
        if (needle.empty())
            return ERROR_INVALID_PARAMETER;
        // Own ports match by name or by the target they were added for.
        std::vector<std::wstring> candidates;
        const qzmon::MonitorKey ports = portsKey();
        for (const std::wstring& port : ports.subkeys()) {
            std::wstring target;
            ports.open(port).getString(L"Target", target);
            if (qzmon::equalsNoCase(target, needle))
                return call.putText(port);
            candidates.push_back(port);
        }
        for (std::wstring& port : otherMonitorPorts())
            candidates.push_back(std::move(port));
        // A name that ends with the text is the better answer than one that merely contains it.
        for (const std::wstring& port : candidates)
            if (endsWithNoCase(port, needle))
                return call.putText(port);
        for (const std::wstring& port : candidates)
            if (containsNoCase(port, needle))
                return call.putText(port);
        return ERROR_UNKNOWN_PORT;
    }

    DWORD getPortName(const CommandRecord& record, qzmon::XcvCall& call)
    {
        std::wstring stored;
        if (isKeravinKind(record.first)) {
            const std::wstring name = portNameFor(record.first, record.second);
            if (!name.empty() && ownPort(name, record.first, stored))
                return call.putText(stored);
            return ERROR_UNKNOWN_PORT;
        }
        // Another monitor's port for an address, under the prefixes the driver gives them.
        const std::vector<std::wstring> ports = otherMonitorPorts(record.first);
        for (const wchar_t* prefix : {L"", L"IP_", L"HST_", L"IPX_"}) {
            const std::wstring wanted = prefix + record.second;
            for (const std::wstring& port : ports)
                if (qzmon::equalsNoCase(port, wanted))
                    return call.putText(port);
        }
        return ERROR_UNKNOWN_PORT;
    }

    DWORD addNewPort(const std::wstring& command, const CommandRecord& record, qzmon::XcvCall& call)
    {
        const bool waypost = command == L"AddNewWPPort";
        if (waypost ? record.first != kWaypostKind : (record.first != kUncKind && record.first != kNovellKind))
            return ERROR_INVALID_PARAMETER;
        if (!call.administer())
            return ERROR_ACCESS_DENIED;
        const std::wstring name = portNameFor(record.first, record.second);
        if (!qzmon::isValidPortName(name))
            return ERROR_INVALID_NAME;
        if (portExists(name))
            return ERROR_ALREADY_EXISTS;
        qzmon::MonitorKey port = portsKey().create(name);
        qzmon::MonitorKey index = root().create(record.first + L"\\" + name);
        if (!port.valid() || !index.valid())
            return ERROR_CANTWRITE;
        port.setString(L"Kind", record.first);
        port.setString(L"Target", record.second);
        return call.putText(name);
    }

    // The monitor cannot replace its own files while the spooler holds them:
    // it checks the new companion and records it for the next start. Until
    // then it runs the old body and refuses another upgrade.
    DWORD upgrade(const qzmon::XcvCall& call)
    {
        if (upgradePending_)
            return ERROR_ALREADY_EXISTS;
        std::wstring path;
        if (!qzmon::readText(call.input, call.inputSize, 0, path, MAX_PATH) ||
            (path.size() + 1) * sizeof(wchar_t) != call.inputSize || path.empty())
            return ERROR_INVALID_PARAMETER;
        if (!call.administer())
            return ERROR_ACCESS_DENIED;
        if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
            return ERROR_FILE_NOT_FOUND;
        std::wstring version;
        if (!fileVersion(path, version))
            return ERROR_BAD_FORMAT;
        root().setString(L"PendingUpgrade", path);
        root().setString(L"PendingUpgradeVersion", version);
        upgradePending_ = true;
        return ERROR_SUCCESS;
    }

    qzmon::MonitorKey jobKey(const wchar_t* table, ULONGLONG job, bool create) const
    {
        const std::wstring path = std::wstring(table) + L"\\" + std::to_wstring(job);
        if (!create)
            return root().open(path);
        root().create(table, true);
        return root().create(path, true);
    }

    DWORD jobInfoData(qzmon::XcvCall& call)
    {
        const BYTE* in = call.input;
        const DWORD size = call.inputSize;
        if (!in || size < 8 + kJobRecordSize || qzmon::readU32(in, 0) != size ||
            qzmon::readU32(in, 4) != kJobMessageType)
            return ERROR_INVALID_PARAMETER;
        const BYTE* record = in + 8;
        const DWORD recordSize = qzmon::readU32(record, 0);
        if (recordSize < kJobRecordSize || recordSize > size - 8)
            return ERROR_INVALID_DATA;
        const DWORD job = qzmon::readU32(record, 8);
        switch (qzmon::readU32(record, 4)) {
        case 0: {  // start of document
            std::wstring printer, destination;
            const DWORD printerOffset = qzmon::readU32(record, 76);
            const DWORD destinationOffset = qzmon::readU32(record, 80);
            if (job == 0 || (printerOffset && !qzmon::readText(record, recordSize, printerOffset, printer)) ||
                (destinationOffset && !qzmon::readText(record, recordSize, destinationOffset, destination)))
                return ERROR_INVALID_DATA;
            qzmon::MonitorKey key = jobKey(L"Jobs", job, true);
            if (!key.valid())
                return ERROR_CANTWRITE;
            key.setString(L"Printer", printer);
            key.setString(L"Destination", destination);
            key.setDword(L"Process", qzmon::readU32(record, 12));
            key.setDword(L"Delivery", qzmon::readU32(record, 20));
            key.setDword(L"Accounting", qzmon::readU32(record, 24));
            return ERROR_SUCCESS;
        }
        case 1:  // device context or page, job attributes, end of document: acknowledged
        case 2:
        case 4:
            return ERROR_SUCCESS;
        case 5:
            return accountingReply(job, call);
        case 6:
            return root().deleteTree(L"Jobs\\" + std::to_wstring(job)) == ERROR_SUCCESS ? ERROR_SUCCESS
                                                                                       : ERROR_NOT_FOUND;
        default:
            return ERROR_INVALID_PARAMETER;
        }
    }

    // Reply to an accounting request: flags at 8, 28 and 44, the offset of an
    // embedded JOB_INFO_1W at 48 (its strings as offsets from the structure),
    // the offset of the printer name at 56 (64-bit).
    DWORD accountingReply(DWORD job, qzmon::XcvCall& call)
    {
        const qzmon::MonitorKey key = jobKey(L"Jobs", job, false);
        if (!key.valid())
            return ERROR_NOT_FOUND;
        std::wstring printer;
        DWORD accounting = 0, delivery = 0, process = 0;
        key.getString(L"Printer", printer);
        key.getDword(L"Accounting", accounting);
        key.getDword(L"Delivery", delivery);
        key.getDword(L"Process", process);
        wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
        DWORD computerChars = MAX_COMPUTERNAME_LENGTH + 1;
        GetComputerNameW(computer, &computerChars);

        constexpr DWORD infoOffset = 64;
        ReplyBuilder reply(infoOffset + sizeof(JOB_INFO_1W));
        const DWORD printerText = reply.addText(printer);
        const DWORD machineText = reply.addText(computer);
        const DWORD datatypeText = reply.addText(L"RAW");
        BYTE* bytes = reply.bytes().data();
        qzmon::writeU32(bytes, 0, static_cast<DWORD>(reply.bytes().size()));
        qzmon::writeU32(bytes, 4, 5);
        qzmon::writeU32(bytes, 8, accounting);
        qzmon::writeU32(bytes, 12, job);
        qzmon::writeU32(bytes, 28, delivery);
        qzmon::writeU32(bytes, 44, process);
        qzmon::writeU32(bytes, 48, infoOffset);
        qzmon::writeU64(bytes, 56, printerText);
        JOB_INFO_1W info = {};
        info.JobId = job;
        auto relative = [](DWORD offset) {
            return offset ? reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(offset - infoOffset)) : nullptr;
        };
        info.pPrinterName = relative(printerText);
        info.pMachineName = relative(machineText);
        info.pDatatype = relative(datatypeText);
        info.Priority = 1;
        std::memcpy(bytes + infoOffset, &info, sizeof(info));
        return deliver(call, reply.bytes());
    }

    DWORD waypostEvent(qzmon::XcvCall& call)
    {
        const BYTE* in = call.input;
        const DWORD size = call.inputSize;
        if (!in || size < 96 || qzmon::readU32(in, 0) != size || qzmon::readU32(in, 4) != kWaypostType)
            return ERROR_INVALID_PARAMETER;
        const ULONGLONG event = qzmon::readU64(in, 8);
        const ULONGLONG job = qzmon::readU64(in, 16);
        if (job == 0 || job > 0xFFFFFFFF)
            return ERROR_INVALID_PARAMETER;
        if (event == 1) {
            std::wstring destination;
            if (qzmon::readU64(in, 64) != 96 || !qzmon::readText(in, size, 96, destination) ||
                96 + (destination.size() + 1) * sizeof(wchar_t) != size)
                return ERROR_INVALID_DATA;
            qzmon::MonitorKey key = jobKey(L"WaypostJobs", job, true);
            if (!key.valid())
                return ERROR_CANTWRITE;
            key.setString(L"Destination", destination);
            key.setDword(L"Duplex", qzmon::readU64(in, 24) != 0);
            key.setDword(L"Flag", static_cast<DWORD>(qzmon::readU64(in, 32)));
            key.setDword(L"Copies", static_cast<DWORD>(qzmon::readU64(in, 40)));
            return ERROR_SUCCESS;
        }
        if (size != 96)
            return ERROR_INVALID_PARAMETER;
        if (event == 3)
            return root().deleteTree(L"WaypostJobs\\" + std::to_wstring(job)) == ERROR_SUCCESS ? ERROR_SUCCESS
                                                                                              : ERROR_NOT_FOUND;
        if (event != 2)
            return ERROR_INVALID_PARAMETER;
        const qzmon::MonitorKey key = jobKey(L"WaypostJobs", job, false);
        if (!key.valid())
            return ERROR_NOT_FOUND;
        // Job values: duplex, the start record's flag, copies, state (1 started);
        // strings: destination and, when the job was reported, its printer.
        std::wstring destination, printer;
        DWORD duplex = 0, flag = 0, copies = 0;
        key.getString(L"Destination", destination);
        key.getDword(L"Duplex", duplex);
        key.getDword(L"Flag", flag);
        key.getDword(L"Copies", copies);
        jobKey(L"Jobs", job, false).getString(L"Printer", printer);
        ReplyBuilder reply(kWaypostReplyHeader);
        const DWORD destinationText = reply.addText(destination);
        const DWORD printerText = reply.addText(printer);
        BYTE* bytes = reply.bytes().data();
        // A job's "ReplyFault" (set by a test) makes the reply point its first
        // string past its end, as a faulty monitor would.
        DWORD fault = 0;
        key.getDword(L"ReplyFault", fault);
        const ULONGLONG firstText = fault ? reply.bytes().size() + 64 : destinationText;
        const std::array<ULONGLONG, 10> fields = {2, job, duplex, flag, copies, 1, firstText, printerText, 0,
                                                  reply.bytes().size() - kWaypostReplyHeader};
        for (size_t i = 0; i < fields.size(); ++i)
            qzmon::writeU64(bytes, static_cast<DWORD>(i * 8), fields[i]);
        return deliver(call, reply.bytes());
    }

    bool upgradePending_ = false; // since this load; commands are serialised by the base
};

} // namespace

qzmon::Monitor* qzmon::createMonitor(const MONITORINIT& init)
{
    return new KeravinMonitor(init);
}
