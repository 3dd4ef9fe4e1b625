// With the stand-in in place of winspool.drv, every Wine DLL that imports from
// winspool.drv still loads, and the imports nothing here uses fail cleanly.
#include "core/ProcAddress.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

namespace {

TEST(SpoolerWineDlls, EveryImporterLoadsAgainstTheStandIn)
{
    ASSERT_NE(testspool::control(), nullptr) << "winspool.drv is not the stand-in";
    HMODULE spooler = GetModuleHandleW(L"winspool.drv");
    ASSERT_NE(spooler, nullptr);
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(spooler, path, MAX_PATH);
    EXPECT_EQ(std::wstring(path), testenv::binDir() + L"\\winspool.drv");
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring spool = std::wstring(system) + L"\\spool\\";
    // Wine keeps the print processor and the PostScript driver in the spool folders.
    for (const std::wstring& name : {std::wstring(L"comdlg32.dll"), std::wstring(L"localui.dll"),
                                     std::wstring(L"ntprint.dll"), std::wstring(L"prntvpt.dll"),
                                     std::wstring(L"wbemprox.dll"), std::wstring(L"unicows.dll"),
                                     spool + L"prtprocs\\x64\\winprint.dll", spool + L"drivers\\x64\\3\\wineps.drv"}) {
        SCOPED_TRACE(testenv::narrow(name));
        HMODULE module = LoadLibraryW(name.c_str());
        EXPECT_NE(module, nullptr) << GetLastError();
        if (module)
            FreeLibrary(module);
    }
}

TEST(SpoolerWineDlls, UnusedImportsFailWithNotSupported)
{
    HMODULE spooler = LoadLibraryW(L"winspool.drv");
    ASSERT_NE(spooler, nullptr);
    using AddPortFn = BOOL(WINAPI*)(LPWSTR, HWND, LPWSTR);
    auto addPort = procAddress<AddPortFn>(spooler, "AddPortW");
    ASSERT_NE(addPort, nullptr);
    SetLastError(0);
    EXPECT_FALSE(addPort(nullptr, nullptr, const_cast<wchar_t*>(L"Local Port")));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_NOT_SUPPORTED});
    using CapabilitiesFn = int(WINAPI*)(LPCWSTR, LPCWSTR, WORD, LPWSTR, const DEVMODEW*);
    auto capabilities = procAddress<CapabilitiesFn>(spooler, "DeviceCapabilitiesW");
    ASSERT_NE(capabilities, nullptr);
    EXPECT_EQ(capabilities(L"Any", L"LPT1:", DC_PAPERS, nullptr, nullptr), -1);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_NOT_SUPPORTED});
    FreeLibrary(spooler);
}

} // namespace
