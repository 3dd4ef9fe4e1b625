// Loading and unloading the shipped module, against an empty DLL built the
// same way (same compiler, static runtime, optimisation and stripping).
#include "BenchHarness.h"

#include <string>

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

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const bench::Options options = bench::parseOptions(argc, argv);
    bench::Table table(options);
    const std::wstring module = besideThisProgram(L"vrelm101.dll");
    const std::wstring empty = besideThisProgram(L"emptymodule.dll");
    table.run(L"module load (LoadLibrary+FreeLibrary) vs an empty DLL", [&] { return loadAndFree(module); },
              [&] { return loadAndFree(empty); });
    return table.exitCode();
}
