// Jobs, kept under the stand-in's own key "Jobs\<id>" so that every process
// sees one job list. A job asked to be deleted while it is still spooling or
// printing stays in the list with JOB_STATUS_DELETING until that ends.
// Bytes written to a job go to its spool file. A job on a Standard TCP/IP
// port that is ready to print (spooled, not paused) is sent to the port's
// host on its raw port when it is resumed or its document ends, then leaves
// the queue; a failed send leaves it with JOB_STATUS_ERROR.
#include "Spooler.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>

using namespace spool;

namespace {

constexpr DWORD kJobBusy = JOB_STATUS_SPOOLING | JOB_STATUS_PRINTING;
constexpr DWORD kJobControlRetain = 8;
constexpr DWORD kJobControlRelease = 9;
constexpr DWORD kJobStatusRetained = 0x2000;  // JOB_STATUS_RETAINED, missing from mingw

std::wstring jobPath(DWORD id)
{
    return std::wstring(kJobsPath) + L"\\" + std::to_wstring(id);
}

bool readJob(DWORD id, JobInfo& job)
{
    RegKey key;
    if (id == 0 || key.open(HKEY_LOCAL_MACHINE, jobPath(id)) != ERROR_SUCCESS)
        return false;
    job = JobInfo{};
    job.id = id;
    job.printer = key.readString(L"Printer");
    job.document = key.readString(L"Document");
    job.datatype = key.readString(L"Datatype", L"RAW");
    job.user = key.readString(L"User");
    job.machine = key.readString(L"Machine");
    job.statusText = key.readString(L"StatusText");
    job.printProcessor = key.readString(L"PrintProcessor", L"winprint");
    job.parameters = key.readString(L"Parameters");
    job.notifyName = key.readString(L"NotifyName");
    job.driver = key.readString(L"Driver");
    job.spoolFile = key.readString(L"SpoolFile");
    job.status = key.readDword(L"Status");
    job.priority = key.readDword(L"Priority", 1);
    job.totalPages = key.readDword(L"TotalPages");
    job.pagesPrinted = key.readDword(L"PagesPrinted");
    job.size = key.readDword(L"Size");
    const std::vector<BYTE> submitted = key.readBinary(L"Submitted");
    if (submitted.size() == sizeof(SYSTEMTIME))
        memcpy(&job.submitted, submitted.data(), sizeof(SYSTEMTIME));
    job.devMode = key.readBinary(L"DevMode");
    if (!validDevMode(job.devMode.data(), job.devMode.size()))
        job.devMode.clear();
    return true;
}

std::vector<DWORD> allJobIds()
{
    std::vector<DWORD> ids;
    RegKey key;
    if (key.open(HKEY_LOCAL_MACHINE, kJobsPath) != ERROR_SUCCESS)
        return ids;
    for (const std::wstring& name : key.subkeys()) {
        wchar_t* end = nullptr;
        const unsigned long id = wcstoul(name.c_str(), &end, 10);
        if (end && *end == L'\0' && id > 0 && id <= 0xFFFFFFFFul)
            ids.push_back(static_cast<DWORD>(id));
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

DWORD finish(const wchar_t* function, std::initializer_list<std::wstring> args, DWORD error)
{
    logCall(function, args, error);
    SetLastError(error);
    return error;
}

constexpr wchar_t kRawPortsPath[] =
    L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Standard TCP/IP Port\\Ports\\";
constexpr DWORD kProtocolRaw = 1;
constexpr DWORD kDeliveryTimeoutMs = 5000;

struct RawTarget {
    std::wstring host;
    DWORD port = 9100;
    std::wstring spoolFile;
};

// Caller holds the SpoolLock. A local job that may print now, on a queue
// whose (first) port is a raw Standard TCP/IP port.
bool rawTargetOf(const JobInfo& job, RawTarget& target)
{
    if (job.status & (JOB_STATUS_PAUSED | JOB_STATUS_DELETING | kJobBusy | JOB_STATUS_ERROR))
        return false;
    QueueRef ref;
    QueueInfo queue;
    if (!splitPrinterName(job.printer, ref) || !ref.server.empty() || !readQueue(ref, queue))
        return false;
    const std::wstring port = queue.port.substr(0, queue.port.find(L','));
    RegKey key;
    if (port.empty() || port.find(L'\\') != std::wstring::npos ||
        key.open(HKEY_LOCAL_MACHINE, kRawPortsPath + port) != ERROR_SUCCESS)
        return false;
    if (key.readDword(L"Protocol", kProtocolRaw) != kProtocolRaw)
        return false;
    target.host = key.readString(L"IPAddress");
    if (target.host.empty())
        target.host = key.readString(L"HostName");
    target.port = key.readDword(L"PortNumber", 9100);
    target.spoolFile = job.spoolFile;
    return !target.host.empty() && target.port > 0 && target.port <= 65535;
}

// Connects within the time-out; INVALID_SOCKET on failure.
SOCKET connectRaw(const RawTarget& target)
{
    ADDRINFOW hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    ADDRINFOW* found = nullptr;
    if (GetAddrInfoW(target.host.c_str(), std::to_wstring(target.port).c_str(), &hints, &found) != 0 || !found)
        return INVALID_SOCKET;
    SOCKET s = socket(found->ai_family, found->ai_socktype, found->ai_protocol);
    bool connected = false;
    if (s != INVALID_SOCKET) {
        u_long nonBlocking = 1;
        ioctlsocket(s, FIONBIO, &nonBlocking);
        if (connect(s, found->ai_addr, static_cast<int>(found->ai_addrlen)) == 0) {
            connected = true;
        } else if (WSAGetLastError() == WSAEWOULDBLOCK) {
            fd_set writable, failed;
            FD_ZERO(&writable);
            FD_ZERO(&failed);
            FD_SET(s, &writable);
            FD_SET(s, &failed);
            timeval wait{static_cast<long>(kDeliveryTimeoutMs / 1000), 0};
            connected = select(0, nullptr, &writable, &failed, &wait) > 0 && FD_ISSET(s, &writable);
        }
        nonBlocking = 0;
        ioctlsocket(s, FIONBIO, &nonBlocking);
        const DWORD timeout = kDeliveryTimeoutMs;
        setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
    }
    FreeAddrInfoW(found);
    if (!connected && s != INVALID_SOCKET) {
        closesocket(s);
        s = INVALID_SOCKET;
    }
    return s;
}

// Sends the spool file (none: an empty job) in pieces; no lock is held.
DWORD sendRaw(const RawTarget& target, DWORD& sent)
{
    sent = 0;
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return ERROR_NETWORK_UNREACHABLE;
    DWORD error = ERROR_SUCCESS;
    HANDLE file = INVALID_HANDLE_VALUE;
    if (!target.spoolFile.empty())
        file = CreateFileW(target.spoolFile.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    SOCKET s = connectRaw(target);
    if (s == INVALID_SOCKET) {
        error = ERROR_NETWORK_UNREACHABLE;
    } else if (file != INVALID_HANDLE_VALUE) {
        std::vector<char> piece(64 * 1024);
        DWORD read = 0;
        while (error == ERROR_SUCCESS && ReadFile(file, piece.data(), static_cast<DWORD>(piece.size()), &read,
                                                  nullptr) && read > 0) {
            for (DWORD done = 0; done < read;) {
                const int n = send(s, piece.data() + done, static_cast<int>(read - done), 0);
                if (n <= 0) {
                    error = ERROR_WRITE_FAULT;
                    break;
                }
                done += static_cast<DWORD>(n);
                sent += static_cast<DWORD>(n);
            }
        }
    }
    if (s != INVALID_SOCKET) {
        shutdown(s, SD_SEND);
        closesocket(s);
    }
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    WSACleanup();
    return error;
}

// Call without the SpoolLock: the send happens outside it.
void deliverWhenReady(DWORD id)
{
    RawTarget target;
    {
        SpoolLock lock;
        JobInfo job;
        if (!lock.held() || !readJob(id, job) || !rawTargetOf(job, target))
            return;
        RegKey key;
        if (key.open(HKEY_LOCAL_MACHINE, jobPath(id), KEY_READ | KEY_WRITE) != ERROR_SUCCESS)
            return;
        key.writeDword(L"Status", job.status | JOB_STATUS_PRINTING);
    }
    DWORD sent = 0;
    const DWORD error = sendRaw(target, sent);
    SpoolLock lock;
    if (lock.held()) {
        if (error == ERROR_SUCCESS)
            setJobStatus(id, JOB_STATUS_PRINTED | JOB_STATUS_DELETING, JOB_STATUS_PRINTING);
        else
            setJobStatus(id, JOB_STATUS_ERROR, JOB_STATUS_PRINTING);
    }
    finish(L"DeliverJob", {numberText(id), target.host + L":" + numberText(target.port), numberText(sent)}, error);
}

// SetJobW's work under the lock; the Win32 code.
DWORD setJob(const PrinterHandle& handle, DWORD JobId, DWORD Level, LPBYTE pJob, DWORD Command);

// Appends to the job's spool file; the caller holds no lock.
DWORD appendToSpoolFile(const std::wstring& path, const void* data, DWORD size)
{
    if (path.empty() || size == 0)
        return ERROR_SUCCESS;
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError();
    DWORD written = 0;
    const bool ok = WriteFile(file, data, size, &written, nullptr) && written == size;
    const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    CloseHandle(file);
    return ok ? ERROR_SUCCESS : (error ? error : DWORD{ERROR_WRITE_FAULT});
}

DWORD addToJob(DWORD id, const wchar_t* value, DWORD amount)
{
    RegKey key;
    const LONG rc = key.open(HKEY_LOCAL_MACHINE, jobPath(id), KEY_READ | KEY_WRITE);
    if (rc != ERROR_SUCCESS)
        return ERROR_INVALID_PARAMETER;
    return static_cast<DWORD>(key.writeDword(value, key.readDword(value) + amount));
}

std::wstring spoolDirectory()
{
    wchar_t system[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::wstring();
    const std::wstring dir = std::wstring(system) + L"\\spool\\PRINTERS";
    CreateDirectoryW((std::wstring(system) + L"\\spool").c_str(), nullptr);
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
}

BOOL packJobs(const std::vector<JobInfo>& jobs, const std::vector<JobInfo>& queueOrder, DWORD level, LPBYTE buffer,
              DWORD size, LPDWORD needed, LPDWORD returned)
{
    switch (level) {
    case 1:
        return packArray<JOB_INFO_1W>(jobs, buffer, size, needed, returned,
                                      [](Packer& p, JOB_INFO_1W& out, const JobInfo& j) {
                                          out.JobId = j.id;
                                          out.pPrinterName = p.text(j.printer);
                                          out.pMachineName = p.text(j.machine);
                                          out.pUserName = p.text(j.user);
                                          out.pDocument = p.text(j.document);
                                          out.pDatatype = p.text(j.datatype);
                                          out.pStatus = p.textOrNull(j.statusText);
                                          out.Status = j.status;
                                          out.Priority = j.priority;
                                          out.Position = j.position;
                                          out.TotalPages = j.totalPages;
                                          out.PagesPrinted = j.pagesPrinted;
                                          out.Submitted = j.submitted;
                                      });
    case 2:
        return packArray<JOB_INFO_2W>(jobs, buffer, size, needed, returned,
                                      [](Packer& p, JOB_INFO_2W& out, const JobInfo& j) {
                                          out.JobId = j.id;
                                          out.pPrinterName = p.text(j.printer);
                                          out.pMachineName = p.text(j.machine);
                                          out.pUserName = p.text(j.user);
                                          out.pDocument = p.text(j.document);
                                          out.pNotifyName = p.text(j.notifyName);
                                          out.pDatatype = p.text(j.datatype);
                                          out.pPrintProcessor = p.text(j.printProcessor);
                                          out.pParameters = p.text(j.parameters);
                                          out.pDriverName = p.text(j.driver);
                                          out.pDevMode = reinterpret_cast<LPDEVMODEW>(
                                              p.bytes(j.devMode.data(), j.devMode.size()));
                                          out.pStatus = p.textOrNull(j.statusText);
                                          out.pSecurityDescriptor = nullptr;
                                          out.Status = j.status;
                                          out.Priority = j.priority;
                                          out.Position = j.position;
                                          out.TotalPages = j.totalPages;
                                          out.Size = j.size;
                                          out.Submitted = j.submitted;
                                          out.PagesPrinted = j.pagesPrinted;
                                      });
    case 3:
        return packArray<JOB_INFO_3>(jobs, buffer, size, needed, returned,
                                     [&queueOrder](Packer&, JOB_INFO_3& out, const JobInfo& j) {
                                         out.JobId = j.id;
                                         out.NextJobId = 0;
                                         for (size_t i = 0; i + 1 < queueOrder.size(); ++i) {
                                             if (queueOrder[i].id == j.id)
                                                 out.NextJobId = queueOrder[i + 1].id;
                                         }
                                         out.Reserved = 0;
                                     });
    default:
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
}

bool jobOfQueue(DWORD id, const QueueRef& queue, JobInfo& job)
{
    return readJob(id, job) && equalsNoCase(job.printer, queue.fullName());
}

DWORD controlJob(DWORD id, DWORD command)
{
    switch (command) {
    case 0:
        return ERROR_SUCCESS;
    case JOB_CONTROL_PAUSE:
        return setJobStatus(id, JOB_STATUS_PAUSED, 0);
    case JOB_CONTROL_RESUME:
        return setJobStatus(id, 0, JOB_STATUS_PAUSED);
    case JOB_CONTROL_CANCEL:
    case JOB_CONTROL_DELETE:
        return setJobStatus(id, JOB_STATUS_DELETING, 0);
    case JOB_CONTROL_RESTART:
        return setJobStatus(id, JOB_STATUS_RESTART, JOB_STATUS_ERROR | JOB_STATUS_PRINTED);
    case JOB_CONTROL_SENT_TO_PRINTER:
    case JOB_CONTROL_LAST_PAGE_EJECTED:
        return setJobStatus(id, JOB_STATUS_PRINTED | JOB_STATUS_DELETING, JOB_STATUS_PRINTING);
    case kJobControlRetain:
        return setJobStatus(id, kJobStatusRetained, 0);
    case kJobControlRelease:
        return setJobStatus(id, 0, kJobStatusRetained);
    default:
        return ERROR_INVALID_PARAMETER;
    }
}

} // namespace

namespace spool {

std::vector<JobInfo> listJobs(const QueueRef& queue)
{
    std::vector<JobInfo> jobs;
    const std::wstring name = queue.fullName();
    for (DWORD id : allJobIds()) {
        JobInfo job;
        if (readJob(id, job) && equalsNoCase(job.printer, name))
            jobs.push_back(std::move(job));
    }
    for (size_t i = 0; i < jobs.size(); ++i)
        jobs[i].position = static_cast<DWORD>(i + 1);
    return jobs;
}

// Caller holds the SpoolLock.
DWORD addJob(const QueueRef& queue, const std::wstring& document, const std::wstring& datatype, DWORD status,
             DWORD& jobId)
{
    QueueInfo info;
    if (!readQueue(queue, info))
        return ERROR_INVALID_PRINTER_NAME;
    RegKey root;
    LONG rc = root.create(HKEY_LOCAL_MACHINE, kStandInPath);
    if (rc != ERROR_SUCCESS)
        return static_cast<DWORD>(rc);
    DWORD id = std::max<DWORD>(root.readDword(L"NextJobId", 2), 2);
    for (int guard = 0; guard < 1000; ++guard, ++id) {
        RegKey existing;
        if (id != 0 && existing.open(HKEY_LOCAL_MACHINE, jobPath(id)) != ERROR_SUCCESS)
            break;
    }
    root.writeDword(L"NextJobId", id + 1 > 0x7FFFFFF0 ? 2 : id + 1);
    RegKey key;
    rc = key.create(HKEY_LOCAL_MACHINE, jobPath(id));
    if (rc != ERROR_SUCCESS)
        return static_cast<DWORD>(rc);
    wchar_t user[256] = {};
    DWORD userSize = 256;
    if (!GetUserNameW(user, &userSize))
        user[0] = L'\0';
    SYSTEMTIME now{};
    GetSystemTime(&now);
    key.writeString(L"Printer", queue.fullName());
    key.writeString(L"Document", document);
    key.writeString(L"Datatype", datatype.empty() ? info.datatype : datatype);
    key.writeString(L"User", user);
    key.writeString(L"Machine", localServerName());
    key.writeString(L"PrintProcessor", info.printProcessor);
    key.writeString(L"Driver", info.driver);
    key.writeDword(L"Status", status);
    key.writeDword(L"Priority", 1);
    key.writeDword(L"TotalPages", 0);
    key.writeDword(L"PagesPrinted", 0);
    key.writeDword(L"Size", 0);
    key.writeDword(L"OwnerProcess", GetCurrentProcessId());
    key.writeValue(L"Submitted", REG_BINARY, &now, sizeof(now));
    key.writeValue(L"DevMode", REG_BINARY, info.devMode.data(), static_cast<DWORD>(info.devMode.size()));
    jobId = id;
    return ERROR_SUCCESS;
}

DWORD removeJob(DWORD jobId)
{
    if (jobId == 0)
        return ERROR_INVALID_PARAMETER;
    RegKey key;
    if (key.open(HKEY_LOCAL_MACHINE, jobPath(jobId)) != ERROR_SUCCESS)
        return ERROR_INVALID_PARAMETER;
    const std::wstring spool = key.readString(L"SpoolFile");
    key.close();
    if (!spool.empty())
        DeleteFileW(spool.c_str());
    return static_cast<DWORD>(RegDeleteTreeW(HKEY_LOCAL_MACHINE, jobPath(jobId).c_str()));
}

// Caller holds the SpoolLock. A job marked for deletion leaves once idle.
DWORD setJobStatus(DWORD jobId, DWORD setBits, DWORD clearBits)
{
    RegKey key;
    if (jobId == 0 || key.open(HKEY_LOCAL_MACHINE, jobPath(jobId), KEY_READ | KEY_WRITE) != ERROR_SUCCESS)
        return ERROR_INVALID_PARAMETER;
    const DWORD status = (key.readDword(L"Status") & ~clearBits) | setBits;
    const LONG rc = key.writeDword(L"Status", status);
    key.close();
    if ((status & JOB_STATUS_DELETING) && !(status & kJobBusy))
        return removeJob(jobId);
    return static_cast<DWORD>(rc);
}

DWORD deleteJobsOf(const QueueRef& queue)
{
    for (const JobInfo& job : listJobs(queue))
        removeJob(job.id);
    return ERROR_SUCCESS;
}

DWORD renameJobsQueue(const QueueRef& from, const QueueRef& to)
{
    for (const JobInfo& job : listJobs(from)) {
        RegKey key;
        if (key.open(HKEY_LOCAL_MACHINE, jobPath(job.id), KEY_WRITE) == ERROR_SUCCESS)
            key.writeString(L"Printer", to.fullName());
    }
    return ERROR_SUCCESS;
}

} // namespace spool

extern "C" {

DWORD WINAPI StartDocPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pDocInfo)
{
    std::shared_ptr<PrinterHandle> handle = findPrinter(hPrinter, PRINTER_ACCESS_USE);
    if (!handle) {
        finish(L"StartDocPrinterW", {numberText(Level)}, GetLastError());
        return 0;
    }
    const std::wstring queue = handle->queue.fullName();
    if (Level < 1 || Level > 3) {
        finish(L"StartDocPrinterW", {queue, numberText(Level)}, ERROR_INVALID_LEVEL);
        return 0;
    }
    if (!pDocInfo) {
        finish(L"StartDocPrinterW", {queue, numberText(Level)}, ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (handle->docJob) {
        finish(L"StartDocPrinterW", {queue, numberText(Level)}, ERROR_INVALID_PRINTER_STATE);
        return 0;
    }
    // DOC_INFO_1/2/3 share their first three fields.
    const auto* info = reinterpret_cast<const DOC_INFO_1W*>(pDocInfo);
    const std::wstring document = safeText(info->pDocName, 1024);
    SpoolLock lock;
    if (!lock.held()) {
        finish(L"StartDocPrinterW", {queue, document}, ERROR_TIMEOUT);
        return 0;
    }
    DWORD id = 0;
    const DWORD error = addJob(handle->queue, document, safeText(info->pDatatype, 64), JOB_STATUS_SPOOLING, id);
    if (error != ERROR_SUCCESS) {
        finish(L"StartDocPrinterW", {queue, document}, error);
        return 0;
    }
    const std::wstring dir = spoolDirectory();
    RegKey key;
    if (!dir.empty() && key.open(HKEY_LOCAL_MACHINE, jobPath(id), KEY_WRITE) == ERROR_SUCCESS)
        key.writeString(L"SpoolFile", dir + L"\\" + std::to_wstring(id) + L".SPL");
    handle->docJob = id;
    finish(L"StartDocPrinterW", {queue, document, numberText(id)}, ERROR_SUCCESS);
    return id;
}

WINBOOL WINAPI StartPagePrinter(HANDLE hPrinter)
{
    std::shared_ptr<PrinterHandle> handle = findPrinter(hPrinter, 0);
    if (!handle)
        return finish(L"StartPagePrinter", {}, GetLastError()) == ERROR_SUCCESS;
    if (!handle->docJob)
        return finish(L"StartPagePrinter", {handle->queue.fullName()}, ERROR_SPL_NO_STARTDOC) == ERROR_SUCCESS;
    handle->pageOpen = true;
    return finish(L"StartPagePrinter", {handle->queue.fullName()}, ERROR_SUCCESS) == ERROR_SUCCESS;
}

WINBOOL WINAPI EndPagePrinter(HANDLE hPrinter)
{
    std::shared_ptr<PrinterHandle> handle = findPrinter(hPrinter, 0);
    if (!handle)
        return finish(L"EndPagePrinter", {}, GetLastError()) == ERROR_SUCCESS;
    if (!handle->docJob)
        return finish(L"EndPagePrinter", {handle->queue.fullName()}, ERROR_SPL_NO_STARTDOC) == ERROR_SUCCESS;
    SpoolLock lock;
    handle->pageOpen = false;
    const DWORD error = lock.held() ? addToJob(handle->docJob, L"TotalPages", 1) : ERROR_TIMEOUT;
    return finish(L"EndPagePrinter", {handle->queue.fullName()}, error) == ERROR_SUCCESS;
}

WINBOOL WINAPI WritePrinter(HANDLE hPrinter, LPVOID pBuf, DWORD cbBuf, LPDWORD pcWritten)
{
    std::shared_ptr<PrinterHandle> handle = findPrinter(hPrinter, 0);
    if (!handle)
        return finish(L"WritePrinter", {numberText(cbBuf)}, GetLastError()) == ERROR_SUCCESS;
    const std::wstring queue = handle->queue.fullName();
    if (!pcWritten || (!pBuf && cbBuf))
        return finish(L"WritePrinter", {queue, numberText(cbBuf)}, ERROR_INVALID_PARAMETER) == ERROR_SUCCESS;
    *pcWritten = 0;
    if (!handle->docJob)
        return finish(L"WritePrinter", {queue, numberText(cbBuf)}, ERROR_SPL_NO_STARTDOC) == ERROR_SUCCESS;
    std::wstring spoolFile;
    DWORD error = ERROR_TIMEOUT;
    {
        SpoolLock lock;
        JobInfo job;
        if (lock.held() && readJob(handle->docJob, job)) {
            spoolFile = job.spoolFile;
            error = addToJob(handle->docJob, L"Size", cbBuf);
        } else if (lock.held()) {
            error = ERROR_INVALID_PARAMETER;
        }
    }
    if (error == ERROR_SUCCESS)
        error = appendToSpoolFile(spoolFile, pBuf, cbBuf);
    if (error == ERROR_SUCCESS)
        *pcWritten = cbBuf;
    return finish(L"WritePrinter", {queue, numberText(cbBuf)}, error) == ERROR_SUCCESS;
}

WINBOOL WINAPI EndDocPrinter(HANDLE hPrinter)
{
    std::shared_ptr<PrinterHandle> handle = findPrinter(hPrinter, 0);
    if (!handle)
        return finish(L"EndDocPrinter", {}, GetLastError()) == ERROR_SUCCESS;
    if (!handle->docJob)
        return finish(L"EndDocPrinter", {handle->queue.fullName()}, ERROR_SPL_NO_STARTDOC) == ERROR_SUCCESS;
    const DWORD id = handle->docJob;
    handle->docJob = 0;
    handle->pageOpen = false;
    DWORD error = ERROR_TIMEOUT;
    {
        SpoolLock lock;
        if (lock.held())
            error = setJobStatus(id, 0, JOB_STATUS_SPOOLING);
    }
    if (error == ERROR_INVALID_PARAMETER)
        error = ERROR_SUCCESS;  // the job was deleted meanwhile
    else if (error == ERROR_SUCCESS)
        deliverWhenReady(id);
    return finish(L"EndDocPrinter", {handle->queue.fullName(), numberText(id)}, error) == ERROR_SUCCESS;
}

WINBOOL WINAPI AbortPrinter(HANDLE hPrinter)
{
    std::shared_ptr<PrinterHandle> handle = findPrinter(hPrinter, 0);
    if (!handle)
        return finish(L"AbortPrinter", {}, GetLastError()) == ERROR_SUCCESS;
    if (!handle->docJob)
        return finish(L"AbortPrinter", {handle->queue.fullName()}, ERROR_SPL_NO_STARTDOC) == ERROR_SUCCESS;
    SpoolLock lock;
    const DWORD id = handle->docJob;
    handle->docJob = 0;
    const DWORD error = lock.held() ? removeJob(id) : ERROR_TIMEOUT;
    return finish(L"AbortPrinter", {handle->queue.fullName(), numberText(id)}, error) == ERROR_SUCCESS;
}

WINBOOL WINAPI AddJobW(HANDLE hPrinter, DWORD Level, LPBYTE pData, DWORD cbBuf, LPDWORD pcbNeeded)
{
    std::shared_ptr<PrinterHandle> handle = findPrinter(hPrinter, PRINTER_ACCESS_USE);
    if (!handle)
        return finish(L"AddJobW", {numberText(Level)}, GetLastError()) == ERROR_SUCCESS;
    const std::wstring queue = handle->queue.fullName();
    if (Level != 1)
        return finish(L"AddJobW", {queue, numberText(Level)}, ERROR_INVALID_LEVEL) == ERROR_SUCCESS;
    if (!pcbNeeded)
        return finish(L"AddJobW", {queue}, ERROR_INVALID_PARAMETER) == ERROR_SUCCESS;
    const std::wstring dir = spoolDirectory();
    // The id is not known before the job exists: size the path for the longest id.
    const DWORD needed = static_cast<DWORD>(sizeof(ADDJOB_INFO_1W) + (dir.size() + 1 + 10 + 4 + 1) * sizeof(wchar_t));
    *pcbNeeded = needed;
    if (!pData || cbBuf < needed)
        return finish(L"AddJobW", {queue}, ERROR_INSUFFICIENT_BUFFER) == ERROR_SUCCESS;
    SpoolLock lock;
    if (!lock.held())
        return finish(L"AddJobW", {queue}, ERROR_TIMEOUT) == ERROR_SUCCESS;
    DWORD id = 0;
    const DWORD error = addJob(handle->queue, L"", L"", JOB_STATUS_SPOOLING, id);
    if (error != ERROR_SUCCESS)
        return finish(L"AddJobW", {queue}, error) == ERROR_SUCCESS;
    const std::wstring path = dir + L"\\" + std::to_wstring(id) + L".SPL";
    RegKey key;
    if (key.open(HKEY_LOCAL_MACHINE, jobPath(id), KEY_WRITE) == ERROR_SUCCESS)
        key.writeString(L"SpoolFile", path);
    auto* info = reinterpret_cast<ADDJOB_INFO_1W*>(pData);
    Packer packer(pData, cbBuf, sizeof(ADDJOB_INFO_1W));
    info->Path = packer.text(path);
    info->JobId = id;
    return finish(L"AddJobW", {queue, numberText(id)}, ERROR_SUCCESS) == ERROR_SUCCESS;
}

WINBOOL WINAPI ScheduleJob(HANDLE hPrinter, DWORD JobId)
{
    std::shared_ptr<PrinterHandle> handle = findPrinter(hPrinter, 0);
    if (!handle)
        return finish(L"ScheduleJob", {numberText(JobId)}, GetLastError()) == ERROR_SUCCESS;
    SpoolLock lock;
    JobInfo job;
    DWORD error = ERROR_TIMEOUT;
    if (lock.held())
        error = jobOfQueue(JobId, handle->queue, job) ? setJobStatus(JobId, 0, JOB_STATUS_SPOOLING)
                                                      : ERROR_INVALID_PARAMETER;
    return finish(L"ScheduleJob", {handle->queue.fullName(), numberText(JobId)}, error) == ERROR_SUCCESS;
}

WINBOOL WINAPI GetJobW(HANDLE hPrinter, DWORD JobId, DWORD Level, LPBYTE pJob, DWORD cbBuf, LPDWORD pcbNeeded)
{
    std::shared_ptr<PrinterHandle> handle = findPrinter(hPrinter, 0);
    if (!handle)
        return finish(L"GetJobW", {numberText(JobId), numberText(Level)}, GetLastError()) == ERROR_SUCCESS;
    const std::initializer_list<std::wstring> args = {handle->queue.fullName(), numberText(JobId), numberText(Level)};
    if (!pcbNeeded)
        return finish(L"GetJobW", args, ERROR_INVALID_PARAMETER) == ERROR_SUCCESS;
    if (Level < 1 || Level > 3)
        return finish(L"GetJobW", args, ERROR_INVALID_LEVEL) == ERROR_SUCCESS;
    const std::vector<JobInfo> jobs = listJobs(handle->queue);
    const auto found = std::find_if(jobs.begin(), jobs.end(), [JobId](const JobInfo& j) { return j.id == JobId; });
    if (found == jobs.end())
        return finish(L"GetJobW", args, ERROR_INVALID_PARAMETER) == ERROR_SUCCESS;
    const BOOL ok = packJobs({*found}, jobs, Level, pJob, cbBuf, pcbNeeded, nullptr);
    return finish(L"GetJobW", args, ok ? ERROR_SUCCESS : GetLastError()) == ERROR_SUCCESS;
}

WINBOOL WINAPI EnumJobsW(HANDLE hPrinter, DWORD FirstJob, DWORD NoJobs, DWORD Level, LPBYTE pJob, DWORD cbBuf,
                         LPDWORD pcbNeeded, LPDWORD pcReturned)
{
    std::shared_ptr<PrinterHandle> handle = findPrinter(hPrinter, 0);
    if (!handle)
        return finish(L"EnumJobsW", {numberText(Level)}, GetLastError()) == ERROR_SUCCESS;
    const std::initializer_list<std::wstring> args = {handle->queue.fullName(), numberText(FirstJob),
                                                      numberText(NoJobs), numberText(Level)};
    if (!pcbNeeded || !pcReturned)
        return finish(L"EnumJobsW", args, ERROR_INVALID_PARAMETER) == ERROR_SUCCESS;
    *pcReturned = 0;
    if (Level < 1 || Level > 3)
        return finish(L"EnumJobsW", args, ERROR_INVALID_LEVEL) == ERROR_SUCCESS;
    const std::vector<JobInfo> jobs = listJobs(handle->queue);
    std::vector<JobInfo> chosen;
    for (size_t i = FirstJob; i < jobs.size() && chosen.size() < NoJobs; ++i)
        chosen.push_back(jobs[i]);
    const BOOL ok = packJobs(chosen, jobs, Level, pJob, cbBuf, pcbNeeded, pcReturned);
    return finish(L"EnumJobsW", args, ok ? ERROR_SUCCESS : GetLastError()) == ERROR_SUCCESS;
}

WINBOOL WINAPI SetJobW(HANDLE hPrinter, DWORD JobId, DWORD Level, LPBYTE pJob, DWORD Command)
{
    std::shared_ptr<PrinterHandle> handle = findPrinter(hPrinter, 0);
    if (!handle)
        return finish(L"SetJobW", {numberText(JobId), numberText(Level), numberText(Command)}, GetLastError()) ==
               ERROR_SUCCESS;
    const std::initializer_list<std::wstring> args = {handle->queue.fullName(), numberText(JobId), numberText(Level),
                                                      numberText(Command)};
    if (Level > 3)
        return finish(L"SetJobW", args, ERROR_INVALID_LEVEL) == ERROR_SUCCESS;
    if (Level != 0 && !pJob)
        return finish(L"SetJobW", args, ERROR_INVALID_PARAMETER) == ERROR_SUCCESS;
    if (Command > kJobControlRelease)
        return finish(L"SetJobW", args, ERROR_INVALID_PARAMETER) == ERROR_SUCCESS;
    const DWORD error = setJob(*handle, JobId, Level, pJob, Command);
    if (error == ERROR_SUCCESS && Command == JOB_CONTROL_RESUME)
        deliverWhenReady(JobId);
    return finish(L"SetJobW", args, error) == ERROR_SUCCESS;
}

} // extern "C"

namespace {

DWORD setJob(const PrinterHandle& handle, DWORD JobId, DWORD Level, LPBYTE pJob, DWORD Command)
{
    SpoolLock lock;
    if (!lock.held())
        return ERROR_TIMEOUT;
    JobInfo job;
    if (!jobOfQueue(JobId, handle.queue, job))
        return ERROR_INVALID_PARAMETER;
    if (Level == 1 || Level == 2) {
        // JOB_INFO_1W and _2W differ in layout; take what the level names.
        LPWSTR document = Level == 1 ? reinterpret_cast<JOB_INFO_1W*>(pJob)->pDocument
                                     : reinterpret_cast<JOB_INFO_2W*>(pJob)->pDocument;
        LPWSTR status = Level == 1 ? reinterpret_cast<JOB_INFO_1W*>(pJob)->pStatus
                                   : reinterpret_cast<JOB_INFO_2W*>(pJob)->pStatus;
        const DWORD priority = Level == 1 ? reinterpret_cast<JOB_INFO_1W*>(pJob)->Priority
                                          : reinterpret_cast<JOB_INFO_2W*>(pJob)->Priority;
        if (priority != 0 && (priority < MIN_PRIORITY || priority > MAX_PRIORITY))
            return ERROR_INVALID_PRIORITY;
        RegKey key;
        if (key.open(HKEY_LOCAL_MACHINE, jobPath(JobId), KEY_WRITE) == ERROR_SUCCESS) {
            if (document)
                key.writeString(L"Document", safeText(document, 1024));
            key.writeString(L"StatusText", safeText(status, 1024));
            if (priority)
                key.writeDword(L"Priority", priority);
        }
    }
    return controlJob(JobId, Command);
}

} // namespace
