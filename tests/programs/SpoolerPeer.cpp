// A second process for spooler tests: runs one spooler command given on its
// command line through the loaded winspool.drv and prints what it saw, so
// that tests can check that two processes see one spooler.
//   jobs QUEUE                 -> "job ID STATUS DOCUMENT" per job
//   setjob QUEUE ID COMMAND    -> "ok" | "error N"
//   startdoc QUEUE DOCUMENT    -> "job ID" (a finished document of 10 bytes)
//   getdata QUEUE KEY VALUE    -> "string TEXT" | "dword N" | "error N"
//   setdata QUEUE KEY VALUE TEXT -> "ok" | "error N"
#include "core/ProcAddress.h"

#include <winspool.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::wstring wide(const char* text)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring result(size > 0 ? size - 1 : 0, L'\0');
    if (size > 1)
        MultiByteToWideChar(CP_UTF8, 0, text, -1, result.data(), size);
    return result;
}

std::string narrow(const std::wstring& text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string result(size > 0 ? size - 1 : 0, '\0');
    if (size > 1)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, result.data(), size, nullptr, nullptr);
    return result;
}

struct Spooler {
    HMODULE module = LoadLibraryW(L"winspool.drv");
    decltype(&OpenPrinterW) open = procAddress<decltype(&OpenPrinterW)>(module, "OpenPrinterW");
    decltype(&ClosePrinter) close = procAddress<decltype(&ClosePrinter)>(module, "ClosePrinter");
    decltype(&EnumJobsW) enumJobs = procAddress<decltype(&EnumJobsW)>(module, "EnumJobsW");
    decltype(&SetJobW) setJob = procAddress<decltype(&SetJobW)>(module, "SetJobW");
    decltype(&StartDocPrinterW) startDoc = procAddress<decltype(&StartDocPrinterW)>(module, "StartDocPrinterW");
    decltype(&WritePrinter) write = procAddress<decltype(&WritePrinter)>(module, "WritePrinter");
    decltype(&EndDocPrinter) endDoc = procAddress<decltype(&EndDocPrinter)>(module, "EndDocPrinter");
    decltype(&GetPrinterDataExW) getData = procAddress<decltype(&GetPrinterDataExW)>(module, "GetPrinterDataExW");
    decltype(&SetPrinterDataExW) setData = procAddress<decltype(&SetPrinterDataExW)>(module, "SetPrinterDataExW");
    bool ready() const
    {
        return open && close && enumJobs && setJob && startDoc && write && endDoc && getData && setData;
    }
};

} // namespace

int main(int argc, char** argv)
{
    Spooler spooler;
    if (argc < 3 || !spooler.ready()) {
        std::printf("usage or load failure\n");
        return 2;
    }
    const std::string command = argv[1];
    std::wstring queue = wide(argv[2]);
    const ACCESS_MASK access = command == "setdata" ? PRINTER_ALL_ACCESS : PRINTER_ACCESS_USE;
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, access};
    HANDLE printer = nullptr;
    if (!spooler.open(queue.data(), &printer, &defaults)) {
        std::printf("error %lu\n", GetLastError());
        return 1;
    }
    int rc = 0;
    if (command == "jobs") {
        DWORD needed = 0, count = 0;
        spooler.enumJobs(printer, 0, 1000, 1, nullptr, 0, &needed, &count);
        std::vector<BYTE> buffer(needed + 1);
        if (spooler.enumJobs(printer, 0, 1000, 1, buffer.data(), needed, &needed, &count)) {
            const auto* jobs = reinterpret_cast<const JOB_INFO_1W*>(buffer.data());
            for (DWORD i = 0; i < count; ++i)
                std::printf("job %lu %lu %s\n", jobs[i].JobId, jobs[i].Status,
                            narrow(jobs[i].pDocument ? jobs[i].pDocument : L"").c_str());
        } else {
            std::printf("error %lu\n", GetLastError());
            rc = 1;
        }
    } else if (command == "setjob" && argc >= 5) {
        if (spooler.setJob(printer, std::strtoul(argv[3], nullptr, 10), 0, nullptr, std::strtoul(argv[4], nullptr, 10)))
            std::printf("ok\n");
        else
            std::printf("error %lu\n", GetLastError());
    } else if (command == "startdoc" && argc >= 4) {
        std::wstring document = wide(argv[3]);
        DOC_INFO_1W info{document.data(), nullptr, nullptr};
        const DWORD job = spooler.startDoc(printer, 1, reinterpret_cast<LPBYTE>(&info));
        char data[10] = "123456789";
        DWORD written = 0;
        if (job && spooler.write(printer, data, sizeof(data), &written) && spooler.endDoc(printer))
            std::printf("job %lu\n", job);
        else
            std::printf("error %lu\n", GetLastError());
    } else if (command == "getdata" && argc >= 5) {
        const std::wstring key = wide(argv[3]), value = wide(argv[4]);
        BYTE data[1024] = {};
        DWORD type = 0, needed = 0;
        const DWORD error = spooler.getData(printer, key.c_str(), value.c_str(), &type, data, sizeof(data) - 2, &needed);
        if (error != ERROR_SUCCESS)
            std::printf("error %lu\n", error);
        else if (type == REG_DWORD && needed == sizeof(DWORD))
            std::printf("dword %lu\n", *reinterpret_cast<DWORD*>(data));
        else
            std::printf("string %s\n", narrow(reinterpret_cast<wchar_t*>(data)).c_str());
    } else if (command == "setdata" && argc >= 6) {
        const std::wstring key = wide(argv[3]), value = wide(argv[4]), text = wide(argv[5]);
        const DWORD error = spooler.setData(printer, key.c_str(), value.c_str(), REG_SZ,
                                            reinterpret_cast<LPBYTE>(const_cast<wchar_t*>(text.c_str())),
                                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
        if (error == ERROR_SUCCESS)
            std::printf("ok\n");
        else
            std::printf("error %lu\n", error);
    } else {
        std::printf("unknown command\n");
        rc = 2;
    }
    spooler.close(printer);
    return rc;
}
