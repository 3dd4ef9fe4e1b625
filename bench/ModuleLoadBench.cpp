// Loading and unloading the shipped module, against an empty DLL built the
// same way (same compiler, static runtime, optimisation and stripping).
#include "BenchHarness.h"

#include <string>
#include <vector>

namespace {

std::wstring besideThisProgram(const wchar_t* name)
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    folder.resize(folder.find_last_of(L'\\') + 1);
    return folder + name;
}

bool loadAndFree(const std::wstring& path)
{
    HMODULE module = LoadLibraryW(path.c_str());
    if (!module)
        return false;
    return FreeLibrary(module) != FALSE;
}

// A host of the module (the spooler, an application) has the module's platform
// DLLs loaded already: hold them, so that the row times the module's own load
// and not a cold load of every DLL it imports.
std::vector<HMODULE> holdImportsOf(const std::wstring& path)
{
    std::vector<HMODULE> held;
    HMODULE image = LoadLibraryExW(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    if (!image)
        return held;
    const auto* base = reinterpret_cast<const BYTE*>(image);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress) {
        for (auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
             entry->Name; ++entry) {
            if (HMODULE dependency = LoadLibraryA(reinterpret_cast<const char*>(base + entry->Name)))
                held.push_back(dependency);
        }
    }
    FreeLibrary(image);
    return held;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const bench::Options options = bench::parseOptions(argc, argv);
    bench::Table table(options);
    const std::wstring module = besideThisProgram(L"vrelm101.dll");
    const std::wstring empty = besideThisProgram(L"emptymodule.dll");
    const std::vector<HMODULE> held = holdImportsOf(module);
    table.run(L"module load (LoadLibrary+FreeLibrary) vs an empty DLL, the module's imports held as a host holds them", [&] { return loadAndFree(module); },
              [&] { return loadAndFree(empty); });
    for (HMODULE dependency : held)
        FreeLibrary(dependency);
    return table.exitCode();
}
