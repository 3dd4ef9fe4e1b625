// The shipped module's property-sheet callbacks outside the shell: the
// device-properties marker the printer-properties page leaves is taken back
// when the next device sheet opens, whatever the page answered.
#include "extension/KRVProperties.h"
#include "support/PrivateCurrentUser.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <compstui.h>

#include <cstdint>

VRELM_TEST_SHARES(policy_settings);

namespace {

using SheetFn = int(WINAPI*)(PPROPSHEETUI_INFO, LPARAM);

TEST(PropertySheetExports, DeviceSheetOutsideTheShellLeavesNoDevicePropertiesMarker)
{
    testenv::PrivateCurrentUser hkcu;
    ASSERT_TRUE(hkcu.isActive());
    closePropertyStore();
    HMODULE module = LoadLibraryW((testenv::binDir() + L"\\vrelm101.dll").c_str());
    ASSERT_NE(nullptr, module);
    auto devPropSheetInit = reinterpret_cast<SheetFn>(reinterpret_cast<void*>(GetProcAddress(module, "DevPropSheetInit")));
    ASSERT_NE(nullptr, devPropSheetInit);
    const struct {
        const char* page;
        std::uint64_t marker;
    } rows[] = {
        {"page confirmed", GetCurrentProcessId()},
        {"page cancelled", ~std::uint64_t{0}},
    };
    PROPSHEETUI_INFO sheet = {};
    sheet.cbSize = sizeof(sheet);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.page);
        ASSERT_TRUE(setProcessProperty(krv::kInDevProp, row.marker));
        EXPECT_EQ(0, devPropSheetInit(&sheet, 0));
        EXPECT_EQ(0u, getProcessProperty(krv::kInDevProp));
    }
    FreeLibrary(module);
    closePropertyStore();
}

} // namespace
