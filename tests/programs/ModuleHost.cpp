// A host process for the module: loads the module DLL named by its first
// argument, runs the commands that follow through the probe exports, prints
// what it saw and unloads. Copied under other names ("spoolsv.exe", ...) it
// is whatever kind of host its name says.
#include "core/ProcAddress.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using ProbeHostFlagsFn = void(__cdecl*)(DWORD*, DWORD*, HMODULE*);
using ProbeScopeFn = void(__cdecl*)(const char*, const wchar_t*);
using ProbeLogTraceFn = void(__cdecl*)(const char*);
using ProbeIsSpoolerProcessFn = DWORD(__cdecl*)();
using ProbeSetPrinterStringFn = DWORD(__cdecl*)(const wchar_t*, const wchar_t*, const wchar_t*);

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s module.dll [flags|scope:NAME|scopew:NAME=ARG|long:N|trace:TEXT|printerdata:QUEUE=NAME=TEXT|spoolerprocess]...\n", argv[0]);
        return 2;
    }
    HMODULE module = LoadLibraryA(argv[1]);
    if (!module) {
        std::printf("load-failed=%lu\n", GetLastError());
        return 3;
    }
    auto flags = procAddress<ProbeHostFlagsFn>(module, "ProbeHostFlags");
    auto scope = procAddress<ProbeScopeFn>(module, "ProbeScope");
    auto trace = procAddress<ProbeLogTraceFn>(module, "ProbeLogTrace");
    if (!flags || !scope || !trace) {
        std::printf("not-a-probe-module\n");
        FreeLibrary(module);
        return 4;
    }
    for (int i = 2; i < argc; ++i) {
        const std::string command = argv[i];
        if (command == "flags") {
            DWORD inSpooler = 9, inShell = 9;
            HMODULE seen = nullptr;
            flags(&inSpooler, &inShell, &seen);
            std::printf("spooler=%lu shell=%lu module=%s\n", inSpooler, inShell,
                        seen == module ? "self" : "other");
        } else if (command.rfind("scope:", 0) == 0) {
            scope(command.c_str() + 6, nullptr);
        } else if (command.rfind("scopew:", 0) == 0) {
            const std::string rest = command.substr(7);
            const size_t colon = rest.find('=');
            const std::string name = rest.substr(0, colon);
            const std::string arg = colon == std::string::npos ? "" : rest.substr(colon + 1);
            const std::wstring wide(arg.begin(), arg.end());
            scope(name.c_str(), wide.c_str());
        } else if (command.rfind("long:", 0) == 0) {
            const std::string name(std::strtoul(command.c_str() + 5, nullptr, 10), 'x');
            scope(name.c_str(), L"");
        } else if (command.rfind("trace:", 0) == 0) {
            trace(command.c_str() + 6);
        } else if (command == "spoolerprocess") {
            auto spooler = procAddress<ProbeIsSpoolerProcessFn>(module, "ProbeIsSpoolerProcess");
            std::printf("spoolerprocess=%lu\n", spooler ? spooler() : 9ul);
        } else if (command.rfind("printerdata:", 0) == 0) {
            auto setString = procAddress<ProbeSetPrinterStringFn>(module, "ProbeSetPrinterString");
            const std::string rest = command.substr(12);
            const size_t first = rest.find('=');
            const size_t second = first == std::string::npos ? first : rest.find('=', first + 1);
            if (!setString || second == std::string::npos) {
                std::printf("printerdata=unusable\n");
                continue;
            }
            auto wide = [](const std::string& text) { return std::wstring(text.begin(), text.end()); };
            const DWORD taken = setString(wide(rest.substr(0, first)).c_str(),
                                          wide(rest.substr(first + 1, second - first - 1)).c_str(),
                                          wide(rest.substr(second + 1)).c_str());
            std::printf("printerdata=%lu error=%lu\n", taken, GetLastError());
        } else {
            std::printf("unknown-command=%s\n", command.c_str());
        }
    }
    std::fflush(stdout);
    FreeLibrary(module);
    return 0;
}
