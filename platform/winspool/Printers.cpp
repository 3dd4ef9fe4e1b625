// Queues: open/close, query, change, add, delete, enumerate.
#include "Spooler.h"

#include <algorithm>

using namespace spool;

namespace spool {

std::vector<BYTE> defaultDevMode(const std::wstring& queueName)
{
    DEVMODEW mode{};
    const size_t nameChars = std::min<size_t>(queueName.size(), CCHDEVICENAME - 1);
    memcpy(mode.dmDeviceName, queueName.c_str(), nameChars * sizeof(wchar_t));
    mode.dmSpecVersion = DM_SPECVERSION;
    mode.dmDriverVersion = 0x0600;
    mode.dmSize = sizeof(DEVMODEW);
    mode.dmDriverExtra = 0;
    mode.dmFields = DM_ORIENTATION | DM_PAPERSIZE | DM_COPIES | DM_DEFAULTSOURCE | DM_PRINTQUALITY | DM_COLOR |
                    DM_DUPLEX | DM_YRESOLUTION | DM_COLLATE | DM_FORMNAME;
    mode.dmOrientation = DMORIENT_PORTRAIT;
    mode.dmPaperSize = DMPAPER_LETTER;
    mode.dmCopies = 1;
    mode.dmDefaultSource = DMBIN_AUTO;
    mode.dmPrintQuality = 600;
    mode.dmColor = DMCOLOR_COLOR;
    mode.dmDuplex = DMDUP_SIMPLEX;
    mode.dmYResolution = 600;
    mode.dmCollate = DMCOLLATE_TRUE;
    wcscpy_s(mode.dmFormName, CCHFORMNAME, L"Letter");
    std::vector<BYTE> bytes(sizeof(mode));
    memcpy(bytes.data(), &mode, sizeof(mode));
    return bytes;
}

bool validDevMode(const void* devMode, size_t size)
{
    if (!devMode || size < offsetof(DEVMODEW, dmFields) + sizeof(DWORD))
        return false;
    const DEVMODEW* mode = static_cast<const DEVMODEW*>(devMode);
    if (mode->dmSize < offsetof(DEVMODEW, dmFields) + sizeof(DWORD) || mode->dmSize > sizeof(DEVMODEW))
        return false;
    return size_t{mode->dmSize} + mode->dmDriverExtra <= size;
}

void ensureDriver(const std::wstring& driver)
{
    if (driver.empty() || driver.size() > 255 || driver.find(L'\\') != std::wstring::npos)
        return;
    RegKey key;
    const std::wstring path = std::wstring(kDriversPath) + L"\\" + driver;
    if (key.open(HKEY_LOCAL_MACHINE, path) == ERROR_SUCCESS)
        return;
    if (key.create(HKEY_LOCAL_MACHINE, path) != ERROR_SUCCESS)
        return;
    key.writeDword(L"Version", 3);
    key.writeString(L"Driver", L"UNIDRV.DLL");
    key.writeString(L"Configuration File", L"UNIDRVUI.DLL");
    key.writeString(L"Data File", L"UNIDRV.GPD");
    key.writeString(L"Help File", L"UNIDRV.HLP");
    key.writeString(L"Datatype", L"RAW");
    key.writeString(L"Monitor", L"");
    key.writeString(L"Manufacturer", L"");
    const std::vector<BYTE> none = multiTextBytes({});
    key.writeValue(L"Dependent Files", REG_MULTI_SZ, none.data(), static_cast<DWORD>(none.size()));
}

bool readQueue(const QueueRef& ref, QueueInfo& info)
{
    RegKey key;
    if (!validQueueName(ref.name) || key.open(HKEY_LOCAL_MACHINE, ref.keyPath()) != ERROR_SUCCESS)
        return false;
    info = QueueInfo{};
    info.ref = ref;
    info.share = key.readString(L"Share Name");
    info.port = key.readString(L"Port");
    info.driver = key.readString(L"Printer Driver");
    info.comment = key.readString(L"Description");
    info.location = key.readString(L"Location");
    info.sepFile = key.readString(L"Separator File");
    info.printProcessor = key.readString(L"Print Processor", L"winprint");
    info.datatype = key.readString(L"Datatype", L"RAW");
    info.parameters = key.readString(L"Parameters");
    info.guid = key.readString(L"ObjectGUID");
    info.attributes = key.readDword(L"Attributes");
    info.priority = key.readDword(L"Priority", 1);
    info.defaultPriority = key.readDword(L"Default Priority");
    info.startTime = key.readDword(L"StartTime");
    info.untilTime = key.readDword(L"UntilTime");
    info.status = key.readDword(L"Status");
    info.devMode = key.readBinary(L"Default DevMode");
    if (!validDevMode(info.devMode.data(), info.devMode.size()))
        info.devMode = defaultDevMode(ref.name);
    info.jobs = static_cast<DWORD>(listJobs(ref).size());
    return true;
}

std::vector<QueueRef> listQueues(const std::wstring& server)
{
    std::vector<QueueRef> queues;
    RegKey key;
    const std::wstring path = server.empty()
                                  ? std::wstring(kPrintersPath)
                                  : std::wstring(kServersPath) + L"\\" + serverKeyName(server) + L"\\Printers";
    if (key.open(HKEY_LOCAL_MACHINE, path) != ERROR_SUCCESS)
        return queues;
    for (const std::wstring& name : key.subkeys()) {
        if (validQueueName(name))
            queues.push_back(QueueRef{server, name});
    }
    std::sort(queues.begin(), queues.end(),
              [](const QueueRef& a, const QueueRef& b) { return _wcsicmp(a.name.c_str(), b.name.c_str()) < 0; });
    return queues;
}

DWORD createQueue(const QueueRef& ref, const std::wstring& driver, const std::wstring& port, DWORD attributes,
                  const PRINTER_INFO_2W* extra)
{
    if (!validQueueName(ref.name))
        return ERROR_INVALID_PRINTER_NAME;
    if (queueExists(ref))
        return ERROR_PRINTER_ALREADY_EXISTS;
    RegKey key;
    LONG rc = key.create(HKEY_LOCAL_MACHINE, ref.keyPath());
    if (rc != ERROR_SUCCESS)
        return static_cast<DWORD>(rc);
    key.writeString(L"Name", ref.name);
    key.writeString(L"Port", port);
    key.writeString(L"Printer Driver", driver);
    key.writeDword(L"Attributes", attributes);
    key.writeDword(L"Priority", extra && extra->Priority ? extra->Priority : 1);
    key.writeDword(L"Default Priority", extra ? extra->DefaultPriority : 0);
    key.writeDword(L"StartTime", extra ? extra->StartTime : 0);
    key.writeDword(L"UntilTime", extra ? extra->UntilTime : 0);
    key.writeDword(L"Status", 0);
    key.writeDword(L"dnsTimeout", 15000);
    key.writeDword(L"txTimeout", 45000);
    key.writeString(L"Share Name", extra ? safeText(extra->pShareName) : L"");
    key.writeString(L"Description", extra ? safeText(extra->pComment) : L"");
    key.writeString(L"Location", extra ? safeText(extra->pLocation) : L"");
    key.writeString(L"Separator File", extra ? safeText(extra->pSepFile) : L"");
    const std::wstring processor = extra ? safeText(extra->pPrintProcessor) : L"";
    key.writeString(L"Print Processor", processor.empty() ? L"winprint" : processor);
    const std::wstring datatype = extra ? safeText(extra->pDatatype) : L"";
    key.writeString(L"Datatype", datatype.empty() ? L"RAW" : datatype);
    key.writeString(L"Parameters", extra ? safeText(extra->pParameters) : L"");
    std::vector<BYTE> mode = defaultDevMode(ref.name);
    if (extra && extra->pDevMode && validDevMode(extra->pDevMode, 0x10000)) {
        const BYTE* given = reinterpret_cast<const BYTE*>(extra->pDevMode);
        mode.assign(given, given + extra->pDevMode->dmSize + extra->pDevMode->dmDriverExtra);
    }
    key.writeValue(L"Default DevMode", REG_BINARY, mode.data(), static_cast<DWORD>(mode.size()));
    RegKey data;
    data.create(key.get(), L"PrinterDriverData");
    // A connection to a remote queue brings its driver along, as point and print does.
    ensureDriver(driver);
    return ERROR_SUCCESS;
}

DWORD deleteQueue(const QueueRef& ref)
{
    if (!queueExists(ref))
        return ERROR_INVALID_PRINTER_NAME;
    deleteJobsOf(ref);
    const LONG rc = RegDeleteTreeW(HKEY_LOCAL_MACHINE, ref.keyPath().c_str());
    return static_cast<DWORD>(rc);
}

} // namespace spool

namespace {

constexpr ACCESS_MASK kRestrictedBits =
    PRINTER_ACCESS_ADMINISTER | SERVER_ACCESS_ADMINISTER | WRITE_DAC | WRITE_OWNER | DELETE;

ACCESS_MASK mapAccess(ACCESS_MASK requested, bool server)
{
    ACCESS_MASK mapped = requested & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL | MAXIMUM_ALLOWED);
    if (requested & GENERIC_READ)
        mapped |= server ? SERVER_READ : PRINTER_READ;
    if (requested & GENERIC_WRITE)
        mapped |= server ? SERVER_WRITE : PRINTER_WRITE;
    if (requested & GENERIC_EXECUTE)
        mapped |= server ? SERVER_EXECUTE : PRINTER_EXECUTE;
    if (requested & (GENERIC_ALL | MAXIMUM_ALLOWED))
        mapped |= server ? SERVER_ALL_ACCESS : PRINTER_ALL_ACCESS;
    if (mapped == 0)
        mapped = server ? SERVER_ACCESS_ENUMERATE : PRINTER_ACCESS_USE;
    if ((requested & MAXIMUM_ALLOWED) && restrictedUser())
        mapped &= ~kRestrictedBits;
    return mapped;
}

DWORD openByName(const std::wstring& name, ACCESS_MASK requested, PrinterHandle& handle)
{
    std::wstring rest = name;
    std::wstring server;
    if (name.compare(0, 2, L"\\\\") == 0) {
        const size_t slash = name.find(L'\\', 2);
        server = name.substr(0, slash);
        rest = slash == std::wstring::npos ? L"" : name.substr(slash + 1);
        if (server.size() <= 2)
            return ERROR_INVALID_PRINTER_NAME;
        if (isLocalServer(server))
            server.clear();
        else if (!knownRemoteServer(server))
            return ERROR_INVALID_PRINTER_NAME;
    }
    if (rest.empty()) {
        handle.kind = HandleKind::Server;
        handle.server = server;
        handle.access = mapAccess(requested, true);
    } else if (rest[0] == L',') {
        if (!server.empty())
            return ERROR_INVALID_PRINTER_NAME;  // remote monitors are not emulated
        handle.kind = HandleKind::Xcv;
        handle.access = mapAccess(requested, true);
        static const std::wstring monitor = L",XcvMonitor ", port = L",XcvPort ";
        if (rest.compare(0, monitor.size(), monitor) == 0)
            return restrictedUser() && (handle.access & kRestrictedBits)
                       ? ERROR_ACCESS_DENIED
                       : openXcv(L"monitor", rest.substr(monitor.size()), handle.access, handle);
        if (rest.compare(0, port.size(), port) == 0)
            return restrictedUser() && (handle.access & kRestrictedBits)
                       ? ERROR_ACCESS_DENIED
                       : openXcv(L"port", rest.substr(port.size()), handle.access, handle);
        return ERROR_INVALID_PRINTER_NAME;
    } else {
        handle.kind = HandleKind::Printer;
        handle.queue = QueueRef{server, rest};
        handle.access = mapAccess(requested, false);
        if (!validQueueName(rest) || !queueExists(handle.queue))
            return ERROR_INVALID_PRINTER_NAME;
    }
    if (restrictedUser() && (handle.access & kRestrictedBits))
        return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

std::wstring describe(const QueueInfo& info)
{
    return info.ref.fullName() + L"," + info.driver + L"," + info.location;
}

LPDEVMODEW packDevMode(Packer& packer, const std::vector<BYTE>& mode)
{
    return reinterpret_cast<LPDEVMODEW>(packer.bytes(mode.data(), mode.size()));
}

BOOL packPrinters(const std::vector<QueueInfo>& queues, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed,
                  LPDWORD returned)
{
    switch (level) {
    case 1:
        return packArray<PRINTER_INFO_1W>(queues, buffer, size, needed, returned,
                                          [](Packer& p, PRINTER_INFO_1W& out, const QueueInfo& q) {
                                              out.Flags = PRINTER_ENUM_ICON8;
                                              out.pDescription = p.text(describe(q));
                                              out.pName = p.text(q.ref.fullName());
                                              out.pComment = p.text(q.comment);
                                          });
    case 2:
        return packArray<PRINTER_INFO_2W>(queues, buffer, size, needed, returned,
                                          [](Packer& p, PRINTER_INFO_2W& out, const QueueInfo& q) {
                                              out.pServerName = p.textOrNull(q.ref.server);
                                              out.pPrinterName = p.text(q.ref.fullName());
                                              out.pShareName = p.text(q.share);
                                              out.pPortName = p.text(q.port);
                                              out.pDriverName = p.text(q.driver);
                                              out.pComment = p.text(q.comment);
                                              out.pLocation = p.text(q.location);
                                              out.pDevMode = packDevMode(p, q.devMode);
                                              out.pSepFile = p.text(q.sepFile);
                                              out.pPrintProcessor = p.text(q.printProcessor);
                                              out.pDatatype = p.text(q.datatype);
                                              out.pParameters = p.text(q.parameters);
                                              out.pSecurityDescriptor = nullptr;
                                              out.Attributes = q.attributes;
                                              out.Priority = q.priority;
                                              out.DefaultPriority = q.defaultPriority;
                                              out.StartTime = q.startTime;
                                              out.UntilTime = q.untilTime;
                                              out.Status = q.status;
                                              out.cJobs = q.jobs;
                                              out.AveragePPM = 0;
                                          });
    case 4:
        return packArray<PRINTER_INFO_4W>(queues, buffer, size, needed, returned,
                                          [](Packer& p, PRINTER_INFO_4W& out, const QueueInfo& q) {
                                              out.pPrinterName = p.text(q.ref.fullName());
                                              out.pServerName = p.textOrNull(q.ref.server);
                                              out.Attributes = q.attributes;
                                          });
    case 5:
        return packArray<PRINTER_INFO_5W>(queues, buffer, size, needed, returned,
                                          [](Packer& p, PRINTER_INFO_5W& out, const QueueInfo& q) {
                                              out.pPrinterName = p.text(q.ref.fullName());
                                              out.pPortName = p.text(q.port);
                                              out.Attributes = q.attributes;
                                              out.DeviceNotSelectedTimeout = 15000;
                                              out.TransmissionRetryTimeout = 45000;
                                          });
    case 6:
        return packArray<PRINTER_INFO_6>(queues, buffer, size, needed, returned,
                                         [](Packer&, PRINTER_INFO_6& out, const QueueInfo& q) {
                                             out.dwStatus = q.status;
                                         });
    case 7:
        return packArray<PRINTER_INFO_7W>(queues, buffer, size, needed, returned,
                                          [](Packer& p, PRINTER_INFO_7W& out, const QueueInfo& q) {
                                              out.pszObjectGUID = p.textOrNull(q.guid);
                                              out.dwAction = q.guid.empty() ? DSPRINT_UNPUBLISH : DSPRINT_PUBLISH;
                                          });
    case 8:
    case 9:
        return packArray<PRINTER_INFO_8W>(queues, buffer, size, needed, returned,
                                          [](Packer& p, PRINTER_INFO_8W& out, const QueueInfo& q) {
                                              out.pDevMode = packDevMode(p, q.devMode);
                                          });
    default:
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
}

std::wstring perUserDevModePath()
{
    return L"Printers\\DevModePerUser";
}

bool portsKnown(const std::wstring& portList)
{
    // A queue may pool several ports: "LPT1:,LPT2:".
    size_t start = 0;
    while (start <= portList.size()) {
        size_t end = portList.find(L',', start);
        if (end == std::wstring::npos)
            end = portList.size();
        const std::wstring port = portList.substr(start, end - start);
        if (!port.empty() && !portExists(port))
            return false;
        start = end + 1;
    }
    return !portList.empty();
}

bool driverKnown(const std::wstring& driver)
{
    RegKey key;
    return !driver.empty() && driver.size() < 256 &&
           key.open(HKEY_LOCAL_MACHINE, std::wstring(kDriversPath) + L"\\" + driver) == ERROR_SUCCESS;
}

DWORD renameQueue(PrinterHandle& handle, const std::wstring& newName)
{
    if (newName == handle.queue.name)
        return ERROR_SUCCESS;
    QueueRef target{handle.queue.server, newName};
    if (!validQueueName(newName))
        return ERROR_INVALID_PRINTER_NAME;
    if (!equalsNoCase(newName, handle.queue.name) && queueExists(target))
        return ERROR_PRINTER_ALREADY_EXISTS;
    // Registry key names ignore case: a change of case goes through a temporary key.
    const QueueRef temp{handle.queue.server, newName + L" renaming"};
    RegKey from;
    LONG rc = from.open(HKEY_LOCAL_MACHINE, handle.queue.keyPath(), KEY_READ);
    if (rc != ERROR_SUCCESS)
        return ERROR_INVALID_PRINTER_NAME;
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, temp.keyPath().c_str());
    RegKey staging;
    rc = staging.create(HKEY_LOCAL_MACHINE, temp.keyPath(), KEY_ALL_ACCESS);
    if (rc == ERROR_SUCCESS)
        rc = RegCopyTreeW(from.get(), nullptr, staging.get());
    from.close();
    staging.close();
    if (rc != ERROR_SUCCESS) {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, temp.keyPath().c_str());
        return static_cast<DWORD>(rc);
    }
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, handle.queue.keyPath().c_str());
    RegKey final;
    rc = final.create(HKEY_LOCAL_MACHINE, target.keyPath(), KEY_ALL_ACCESS);
    if (rc == ERROR_SUCCESS) {
        RegKey source;
        source.open(HKEY_LOCAL_MACHINE, temp.keyPath(), KEY_READ);
        rc = RegCopyTreeW(source.get(), nullptr, final.get());
        final.writeString(L"Name", newName);
    }
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, temp.keyPath().c_str());
    renameJobsQueue(handle.queue, target);
    handle.queue = target;
    return static_cast<DWORD>(rc);
}

// The name a SetPrinter level carries: none or empty keeps the queue's own.
DWORD renameFromInfo(PrinterHandle& handle, const wchar_t* printerName)
{
    if (!printerName || !*printerName)
        return ERROR_SUCCESS;
    QueueRef named;
    if (!splitPrinterName(safeText(printerName, kMaxPrinterName * 2 + 8), named))
        return ERROR_INVALID_PRINTER_NAME;
    return renameQueue(handle, named.name);
}

DWORD writeDevMode(const RegKey& key, const wchar_t* value, const DEVMODEW* mode)
{
    if (!validDevMode(mode, 0x10000))
        return ERROR_INVALID_PARAMETER;
    return static_cast<DWORD>(
        key.writeValue(value, REG_BINARY, mode, static_cast<DWORD>(mode->dmSize) + mode->dmDriverExtra));
}

DWORD setPrinter(PrinterHandle& handle, DWORD level, LPBYTE data, DWORD command)
{
    if (level != 0 && command != 0)
        return ERROR_INVALID_PARAMETER;
    if (level != 0 && !data)
        return ERROR_INVALID_PARAMETER;
    SpoolLock lock;
    if (!lock.held())
        return ERROR_TIMEOUT;
    RegKey key;
    if (key.open(HKEY_LOCAL_MACHINE, handle.queue.keyPath(), KEY_READ | KEY_WRITE) != ERROR_SUCCESS)
        return ERROR_INVALID_PRINTER_NAME;
    switch (level) {
    case 0: {
        DWORD status = key.readDword(L"Status");
        switch (command) {
        case PRINTER_CONTROL_PAUSE:
            status |= PRINTER_STATUS_PAUSED;
            break;
        case PRINTER_CONTROL_RESUME:
            status &= ~DWORD{PRINTER_STATUS_PAUSED};
            break;
        case PRINTER_CONTROL_PURGE:
            deleteJobsOf(handle.queue);
            break;
        case PRINTER_CONTROL_SET_STATUS:
            if (!data)
                return ERROR_INVALID_PARAMETER;
            memcpy(&status, data, sizeof(status));
            break;
        default:
            return ERROR_INVALID_PRINTER_COMMAND;
        }
        return static_cast<DWORD>(key.writeDword(L"Status", status));
    }
    case 2: {
        const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(data);
        const std::wstring port = safeText(info->pPortName);
        const std::wstring driver = safeText(info->pDriverName);
        if (!port.empty() && !portsKnown(port))
            return ERROR_UNKNOWN_PORT;
        if (!driver.empty() && handle.queue.server.empty() && !driverKnown(driver))
            return ERROR_UNKNOWN_PRINTER_DRIVER;
        if (info->pDevMode && !validDevMode(info->pDevMode, 0x10000))
            return ERROR_INVALID_PARAMETER;
        if (!port.empty())
            key.writeString(L"Port", port);
        if (!driver.empty())
            key.writeString(L"Printer Driver", driver);
        key.writeString(L"Share Name", safeText(info->pShareName));
        key.writeString(L"Description", safeText(info->pComment));
        key.writeString(L"Location", safeText(info->pLocation));
        key.writeString(L"Separator File", safeText(info->pSepFile));
        if (info->pPrintProcessor && *info->pPrintProcessor)
            key.writeString(L"Print Processor", safeText(info->pPrintProcessor));
        if (info->pDatatype && *info->pDatatype)
            key.writeString(L"Datatype", safeText(info->pDatatype));
        key.writeString(L"Parameters", safeText(info->pParameters));
        key.writeDword(L"Attributes", info->Attributes);
        key.writeDword(L"Priority", info->Priority);
        key.writeDword(L"Default Priority", info->DefaultPriority);
        key.writeDword(L"StartTime", info->StartTime);
        key.writeDword(L"UntilTime", info->UntilTime);
        if (info->pDevMode)
            writeDevMode(key, L"Default DevMode", info->pDevMode);
        key.close();
        return renameFromInfo(handle, info->pPrinterName);
    }
    case 4: {
        const auto* info = reinterpret_cast<const PRINTER_INFO_4W*>(data);
        key.writeDword(L"Attributes", info->Attributes);
        key.close();
        return renameFromInfo(handle, info->pPrinterName);
    }
    case 5: {
        const auto* info = reinterpret_cast<const PRINTER_INFO_5W*>(data);
        const std::wstring port = safeText(info->pPortName);
        if (!port.empty() && !portsKnown(port))
            return ERROR_UNKNOWN_PORT;
        if (!port.empty())
            key.writeString(L"Port", port);
        key.writeDword(L"Attributes", info->Attributes);
        key.writeDword(L"dnsTimeout", info->DeviceNotSelectedTimeout);
        key.writeDword(L"txTimeout", info->TransmissionRetryTimeout);
        return ERROR_SUCCESS;
    }
    case 6:
        return static_cast<DWORD>(key.writeDword(L"Status", reinterpret_cast<const PRINTER_INFO_6*>(data)->dwStatus));
    case 7: {
        const auto* info = reinterpret_cast<const PRINTER_INFO_7W*>(data);
        if (info->dwAction == DSPRINT_UNPUBLISH)
            RegDeleteValueW(key.get(), L"ObjectGUID");
        return ERROR_SUCCESS;
    }
    case 8: {
        const auto* info = reinterpret_cast<const PRINTER_INFO_8W*>(data);
        return writeDevMode(key, L"Default DevMode", info->pDevMode);
    }
    case 9: {
        const auto* info = reinterpret_cast<const PRINTER_INFO_9W*>(data);
        RegKey user;
        LONG rc = user.create(HKEY_CURRENT_USER, perUserDevModePath());
        if (rc != ERROR_SUCCESS)
            return static_cast<DWORD>(rc);
        if (!info->pDevMode) {
            RegDeleteValueW(user.get(), handle.queue.fullName().c_str());
            return ERROR_SUCCESS;
        }
        return writeDevMode(user, handle.queue.fullName().c_str(), info->pDevMode);
    }
    default:
        return ERROR_INVALID_LEVEL;
    }
}

BOOL finish(const wchar_t* function, std::initializer_list<std::wstring> args, DWORD error)
{
    logCall(function, args, error);
    SetLastError(error);
    return error == ERROR_SUCCESS;
}

std::vector<QueueRef> providerPrinters(const std::wstring& provider, bool& known)
{
    std::vector<QueueRef> queues;
    RegKey key;
    known = key.open(HKEY_LOCAL_MACHINE, std::wstring(kProvidersPath) + L"\\" + serverKeyName(provider)) ==
            ERROR_SUCCESS;
    for (const std::wstring& name : key.valueNames()) {
        QueueRef ref;
        if (splitPrinterName(name, ref) && queueExists(ref))
            queues.push_back(ref);
    }
    return queues;
}

} // namespace

extern "C" {

WINBOOL WINAPI OpenPrinterW(LPWSTR pPrinterName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSW pDefault)
{
    const std::wstring name = safeText(pPrinterName, 1024);
    const ACCESS_MASK requested = pDefault ? pDefault->DesiredAccess : 0;
    if (!phPrinter)
        return finish(L"OpenPrinterW", {name, hexOf(&requested, 0)}, ERROR_INVALID_PARAMETER);
    *phPrinter = nullptr;
    if (pPrinterName && wcsnlen(pPrinterName, 1024) >= 1024)
        return finish(L"OpenPrinterW", {name}, ERROR_INVALID_PRINTER_NAME);
    auto handle = std::make_shared<PrinterHandle>();
    const DWORD error = openByName(name, requested, *handle);
    wchar_t access[16];
    swprintf(access, 16, L"%08lX", static_cast<unsigned long>(requested));
    if (error == ERROR_SUCCESS)
        *phPrinter = addHandle(std::move(handle));
    return finish(L"OpenPrinterW", {name, access}, error);
}

WINBOOL WINAPI OpenPrinterA(LPSTR pPrinterName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSA pDefault)
{
    std::wstring name;
    if (pPrinterName) {
        const int chars = MultiByteToWideChar(CP_ACP, 0, pPrinterName, static_cast<int>(strnlen(pPrinterName, 1024)),
                                              nullptr, 0);
        name.resize(static_cast<size_t>(std::max(chars, 0)));
        if (chars > 0)
            MultiByteToWideChar(CP_ACP, 0, pPrinterName, static_cast<int>(strnlen(pPrinterName, 1024)), name.data(),
                                chars);
    }
    PRINTER_DEFAULTSW defaults{};
    if (pDefault)
        defaults.DesiredAccess = pDefault->DesiredAccess;
    return OpenPrinterW(pPrinterName ? name.data() : nullptr, phPrinter, pDefault ? &defaults : nullptr);
}

WINBOOL WINAPI ClosePrinter(HANDLE hPrinter)
{
    std::shared_ptr<PrinterHandle> handle = removeHandle(hPrinter);
    if (!handle)
        return finish(L"ClosePrinter", {}, ERROR_INVALID_HANDLE);
    if (handle->kind == HandleKind::Xcv)
        closeXcv(*handle);
    if (handle->docJob) {
        // An open document ends with its handle, as in Windows.
        SpoolLock lock;
        if (lock.held())
            setJobStatus(handle->docJob, 0, JOB_STATUS_SPOOLING);
    }
    return finish(L"ClosePrinter", {handle->kind == HandleKind::Printer ? handle->queue.fullName() : handle->server},
                  ERROR_SUCCESS);
}

WINBOOL WINAPI GetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD cbBuf, LPDWORD pcbNeeded)
{
    std::shared_ptr<PrinterHandle> handle = findPrinter(hPrinter, 0);
    if (!handle)
        return finish(L"GetPrinterW", {numberText(Level)}, GetLastError());
    if (!pcbNeeded)
        return finish(L"GetPrinterW", {handle->queue.fullName(), numberText(Level)}, ERROR_INVALID_PARAMETER);
    QueueInfo info;
    if (!readQueue(handle->queue, info))
        return finish(L"GetPrinterW", {handle->queue.fullName(), numberText(Level)}, ERROR_INVALID_PRINTER_NAME);
    if (Level == 9) {
        RegKey user;
        if (user.open(HKEY_CURRENT_USER, perUserDevModePath()) == ERROR_SUCCESS) {
            std::vector<BYTE> mode = user.readBinary(handle->queue.fullName().c_str());
            info.devMode = validDevMode(mode.data(), mode.size()) ? mode : std::vector<BYTE>();
        } else {
            info.devMode.clear();
        }
    }
    const BOOL ok = packPrinters({info}, Level, pPrinter, cbBuf, pcbNeeded, nullptr);
    return finish(L"GetPrinterW", {handle->queue.fullName(), numberText(Level)}, ok ? ERROR_SUCCESS : GetLastError());
}

WINBOOL WINAPI SetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD Command)
{
    // A user's own device mode (level 9) needs no administration right.
    std::shared_ptr<PrinterHandle> handle =
        findPrinter(hPrinter, Level == 9 ? PRINTER_ACCESS_USE : PRINTER_ACCESS_ADMINISTER);
    if (!handle)
        return finish(L"SetPrinterW", {numberText(Level), numberText(Command)}, GetLastError());
    const std::wstring before = handle->queue.fullName();
    const DWORD error = setPrinter(*handle, Level, pPrinter, Command);
    std::wstring detail;
    if (error == ERROR_SUCCESS && pPrinter && Level == 5)
        detail = safeText(reinterpret_cast<PRINTER_INFO_5W*>(pPrinter)->pPortName);
    else if (error == ERROR_SUCCESS && Level != 0)
        detail = handle->queue.fullName();
    return finish(L"SetPrinterW", {before, numberText(Level), numberText(Command), detail}, error);
}

HANDLE WINAPI AddPrinterW(LPWSTR pName, DWORD Level, LPBYTE pPrinter)
{
    const std::wstring server = safeText(pName, 1024);
    auto fail = [&](DWORD error, const std::wstring& queue) -> HANDLE {
        finish(L"AddPrinterW", {server, queue, numberText(Level)}, error);
        return nullptr;
    };
    if (Level != 2)
        return fail(ERROR_INVALID_LEVEL, L"");
    if (!pPrinter)
        return fail(ERROR_INVALID_PARAMETER, L"");
    const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(pPrinter);
    QueueRef ref;
    ref.server = isLocalServer(server) ? L"" : server;
    ref.name = safeText(info->pPrinterName, kMaxPrinterName + 8);
    if (!ref.server.empty() && !knownRemoteServer(ref.server))
        return fail(ERROR_INVALID_NAME, ref.name);
    if (restrictedUser())
        return fail(ERROR_ACCESS_DENIED, ref.name);
    if (!validQueueName(ref.name))
        return fail(ERROR_INVALID_PRINTER_NAME, ref.name);
    const std::wstring driver = safeText(info->pDriverName);
    const std::wstring port = safeText(info->pPortName);
    if (!info->pPrintProcessor || !*info->pPrintProcessor)
        return fail(ERROR_INVALID_PARAMETER, ref.name);
    SpoolLock lock;
    if (!lock.held())
        return fail(ERROR_TIMEOUT, ref.name);
    if (queueExists(ref))
        return fail(ERROR_PRINTER_ALREADY_EXISTS, ref.name);
    if (ref.server.empty() && !driverKnown(driver))
        return fail(ERROR_UNKNOWN_PRINTER_DRIVER, ref.name);
    if (ref.server.empty() && !portsKnown(port))
        return fail(ERROR_UNKNOWN_PORT, ref.name);
    const DWORD error = createQueue(ref, driver, port, info->Attributes, info);
    if (error != ERROR_SUCCESS)
        return fail(error, ref.name);
    auto handle = std::make_shared<PrinterHandle>();
    handle->kind = HandleKind::Printer;
    handle->queue = ref;
    handle->access = PRINTER_ALL_ACCESS;
    HANDLE result = addHandle(std::move(handle));
    finish(L"AddPrinterW", {server, ref.name, numberText(Level)}, ERROR_SUCCESS);
    return result;
}

WINBOOL WINAPI DeletePrinter(HANDLE hPrinter)
{
    std::shared_ptr<PrinterHandle> handle = findPrinter(hPrinter, DELETE);
    if (!handle)
        return finish(L"DeletePrinter", {}, GetLastError());
    SpoolLock lock;
    const DWORD error = lock.held() ? deleteQueue(handle->queue) : ERROR_TIMEOUT;
    return finish(L"DeletePrinter", {handle->queue.fullName()}, error);
}

WINBOOL WINAPI EnumPrintersW(DWORD Flags, LPWSTR Name, DWORD Level, LPBYTE pPrinterEnum, DWORD cbBuf,
                             LPDWORD pcbNeeded, LPDWORD pcReturned)
{
    const std::wstring name = safeText(Name, 1024);
    const std::initializer_list<std::wstring> args = {hexOf(&Flags, sizeof(Flags)), name, numberText(Level)};
    if (!pcbNeeded || !pcReturned)
        return finish(L"EnumPrintersW", args, ERROR_INVALID_PARAMETER);
    *pcReturned = 0;
    if (Level != 1 && Level != 2 && Level != 4 && Level != 5)
        return finish(L"EnumPrintersW", args, ERROR_INVALID_LEVEL);
    std::vector<QueueRef> refs;
    if (Flags & PRINTER_ENUM_NAME) {
        if (name.empty() || isLocalServer(name)) {
            refs = listQueues(L"");
        } else if (name.find(L'!') != std::wstring::npos) {
            bool known = false;
            refs = providerPrinters(name, known);
            if (!known)
                return finish(L"EnumPrintersW", args, ERROR_INVALID_NAME);
        } else if (name.compare(0, 2, L"\\\\") == 0 && name.find(L'\\', 2) == std::wstring::npos) {
            if (!knownRemoteServer(name))
                return finish(L"EnumPrintersW", args, RPC_S_SERVER_UNAVAILABLE);
            refs = listQueues(name);
        } else {
            return finish(L"EnumPrintersW", args, ERROR_INVALID_NAME);
        }
    } else if (Flags & PRINTER_ENUM_LOCAL) {
        refs = listQueues(L"");
    }
    std::vector<QueueInfo> queues;
    for (const QueueRef& ref : refs) {
        QueueInfo info;
        if (readQueue(ref, info))
            queues.push_back(std::move(info));
    }
    const BOOL ok = packPrinters(queues, Level, pPrinterEnum, cbBuf, pcbNeeded, pcReturned);
    return finish(L"EnumPrintersW", args, ok ? ERROR_SUCCESS : GetLastError());
}

WINBOOL WINAPI GetDefaultPrinterW(LPWSTR pszBuffer, LPDWORD pcchBuffer)
{
    if (!pcchBuffer)
        return finish(L"GetDefaultPrinterW", {}, ERROR_INVALID_PARAMETER);
    RegKey key;
    key.open(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows");
    std::wstring device = key.readString(L"Device");
    device = device.substr(0, device.find(L','));
    if (device.empty())
        return finish(L"GetDefaultPrinterW", {}, ERROR_FILE_NOT_FOUND);
    const DWORD needed = static_cast<DWORD>(device.size() + 1);
    if (!pszBuffer || *pcchBuffer < needed) {
        *pcchBuffer = needed;
        return finish(L"GetDefaultPrinterW", {device}, ERROR_INSUFFICIENT_BUFFER);
    }
    memcpy(pszBuffer, device.c_str(), needed * sizeof(wchar_t));
    *pcchBuffer = needed;
    return finish(L"GetDefaultPrinterW", {device}, ERROR_SUCCESS);
}

WINBOOL WINAPI SetDefaultPrinterW(LPCWSTR pszPrinter)
{
    QueueRef ref;
    const std::wstring name = safeText(pszPrinter, 1024);
    QueueInfo info;
    if (!splitPrinterName(name, ref) || !readQueue(ref, info))
        return finish(L"SetDefaultPrinterW", {name}, ERROR_INVALID_PRINTER_NAME);
    RegKey key;
    key.create(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows");
    const DWORD error =
        static_cast<DWORD>(key.writeString(L"Device", ref.fullName() + L",winspool," + info.port));
    return finish(L"SetDefaultPrinterW", {name}, error);
}

} // extern "C"
