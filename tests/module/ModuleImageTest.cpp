// The product DLL as shipped: it loads, exports only what its .def lists,
// and imports no runtime DLL that would have to travel with it.
#include "support/SharedState.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

VRELM_TEST_SHARES(policy_settings);

namespace {
std::vector<std::string> importedModules(HMODULE module)
{
    std::vector<std::string> names;
    auto* base = reinterpret_cast<const BYTE*>(module);
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress)
        return names;
    for (auto* desc = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); desc->Name;
         ++desc) {
        std::string name = reinterpret_cast<const char*>(base + desc->Name);
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        names.push_back(name);
    }
    return names;
}
} // namespace

TEST(ModuleImage, LoadsAndNeedsNoRuntimeDlls)
{
    HMODULE module = LoadLibraryW((testenv::binDir() + L"\\vrelm101.dll").c_str());
    ASSERT_NE(nullptr, module);
    const std::vector<std::string> imports = importedModules(module);
    EXPECT_FALSE(imports.empty());
    for (const std::string& name : imports) {
        SCOPED_TRACE(name);
        EXPECT_EQ(std::string::npos, name.find("libstdc++"));
        EXPECT_EQ(std::string::npos, name.find("libgcc"));
        EXPECT_EQ(std::string::npos, name.find("winpthread"));
    }
    for (const char* name : {"InstallMonitor", "PrinterEventInitPre", "PrinterEventInitPost", "PrinterEventRefresh",
                             "PrinterEventDelete", "DriverEventInit", "DriverEventDelete", "DocPropSheetInit",
                             "DocPropSheetDestroy", "DevPropSheetInit", "DevPropSheetDestroy", "CommonUIProp",
                             "QZDrvDocumentPropertySheets", "QZDrvDevicePropertySheetsPre",
                             "QZDrvDevicePropertySheetsPost"})
        EXPECT_NE(nullptr, GetProcAddress(module, name)) << name;
    // Test-only probes never reach the product.
    EXPECT_EQ(nullptr, GetProcAddress(module, "ProbeHostFlags"));
    FreeLibrary(module);
}
