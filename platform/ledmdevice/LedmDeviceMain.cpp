// The emulated LEDM device as a program, for the demo and for tests that
// need the device in another process:
//   ledmdevice.exe [/model=<name or folder>] [/revision=1|2]
//                  [/address-file=<file>] [/stop=<event name>] [/lifetime=<seconds>]
// It prints the address it listens on (port 8080), writes it to the address
// file when one is named, and runs until the named event is set or the
// lifetime (default 600 s, at most 3600 s) is over.
#include "support/LedmDevice.h"

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

bool option(const wchar_t* argument, const wchar_t* name, std::wstring& value)
{
    const size_t length = std::wcslen(name);
    if (std::wcsncmp(argument, name, length) != 0)
        return false;
    value = argument + length;
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    std::wstring model = L"office-ledm", revision = L"1", addressFile, stopName, lifetime = L"600";
    for (int i = 1; i < argc; ++i) {
        if (!option(argv[i], L"/model=", model) && !option(argv[i], L"/revision=", revision) &&
            !option(argv[i], L"/address-file=", addressFile) && !option(argv[i], L"/stop=", stopName) &&
            !option(argv[i], L"/lifetime=", lifetime)) {
            std::fwprintf(stderr, L"unknown argument: %ls\n", argv[i]);
            return 2;
        }
    }
    unsigned long seconds = std::wcstoul(lifetime.c_str(), nullptr, 10);
    if (seconds == 0 || seconds > 3600)
        seconds = 3600;
    HANDLE stop = stopName.empty() ? nullptr : CreateEventW(nullptr, TRUE, FALSE, stopName.c_str());

    testenv::LedmDevice device(model, revision == L"2" ? 2 : 1);
    if (!device.started()) {
        std::fwprintf(stderr, L"no loopback address could be bound at port %u\n", testenv::LedmDevice::kPort);
        return 1;
    }
    std::wprintf(L"LEDM device %ls (revision %ls) at http://%ls:%u/\n", model.c_str(), revision.c_str(),
                 device.host().c_str(), testenv::LedmDevice::kPort);
    std::fflush(stdout);
    if (!addressFile.empty()) {
        // Written whole, then renamed, so a reader never sees half of it.
        const std::wstring partial = addressFile + L".part";
        FILE* file = _wfopen(partial.c_str(), L"wb");
        if (!file)
            return 1;
        std::fprintf(file, "%ls", device.host().c_str());
        std::fclose(file);
        if (!MoveFileExW(partial.c_str(), addressFile.c_str(), MOVEFILE_REPLACE_EXISTING))
            return 1;
    }
    if (stop)
        WaitForSingleObject(stop, seconds * 1000);
    else
        Sleep(seconds * 1000);
    if (stop)
        CloseHandle(stop);
    return 0;
}
