// The message boxes of the printing core and the discovery services as the
// user's language asks: each box its caller shows reads right to left,
// right-aligned, in a right-to-left user interface and as it was otherwise.
// The extension's language reaches the boxes through the query the
// extension installs when it is made.
// Wine's message box ignores both flags (checked: its window and text
// styles are the same with and without them), so the box's call is read
// where the module makes it.
#include "core/UserMessageBox.h"

#include "discovery/UNCPathDiscovery.h"
#include "extension/DeviceConfiguration.h"
#include "extension/DocumentEvents.h"
#include "extension/KRVProperties.h"
#include "extension/LXESingleton.h"
#include "extension/LumoraPrintingExtension.h"
#include "extension/LumoraSettings.h"
#include "extension/ManagedPrintPolicy.h"
#include "support/PrivateCurrentUser.h"
#include "support/ScopedImportPatch.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

VRELM_TEST_SHARES(policy_settings);

namespace {

constexpr UINT kRightToLeft = MB_RIGHT | MB_RTLREADING;
constexpr LANGID kHebrew = 0x040D;

struct Shown {
    HWND owner;
    std::wstring text;
    UINT flags;
};
std::vector<Shown> g_shown;

int WINAPI recordMessageBox(HWND owner, LPCWSTR text, LPCWSTR, UINT flags)
{
    g_shown.push_back({owner, text ? text : L"", flags});
    return IDOK;
}

class UserMessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(hkcu_.isActive());
        closePropertyStore();
        ASSERT_TRUE(patch_.active());
        ASSERT_NE(nullptr, hold_.get());
        ASSERT_NE(nullptr, hold_.get()->getSettings());
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue_.error());
        ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(queue_.name().c_str()), &printer_, nullptr));
        g_shown.clear();
    }
    void TearDown() override
    {
        ClosePrinter(printer_);
        deleteProcessProperty(krv::kCancelJob);
        closePropertyStore();
    }
    MPrint::ResourceLoader& loader() { return hold_.get()->getSettings()->getResourceLoader(); }

    testenv::PrivateCurrentUser hkcu_;
    testenv::ScopedImportPatch patch_{GetModuleHandleW(nullptr), "user32.dll", "MessageBoxW",
                                      reinterpret_cast<void*>(&recordMessageBox)};
    ExtensionHold hold_;
    testspool::ScopedQueue queue_{testspool::uniqueQueueName(L"Message Boxes")};
    HANDLE printer_ = nullptr;
};

TEST_F(UserMessageBoxTest, EveryCallersBoxFollowsTheLanguagesDirection)
{
    // A static queue whose device could not be verified: its next document is refused.
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue_.setDword(L"", L"StaticMode", 1));
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue_.setDword(L"", L"LumoDeviceVerify", 0));
    wchar_t documentName[] = L"Minutes.doc";
    DOCINFOW document = {sizeof(DOCINFOW), documentName, nullptr, nullptr, 0};
    const DOCINFOW* documentPointer = &document;
    HWND browser = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, browser);
    MPrint::UNCPathDiscovery unc;

    const struct {
        const char* caller;
        std::function<void()> show;
        UINT flags;
        HWND owner; // null: the active window, whichever it is
    } rows[] = {
        {"start of a document on a queue whose device failed verification",
         [&] {
             EXPECT_EQ(0, LumoraUI::documentEvent(printer_, nullptr, 5, sizeof(documentPointer), &documentPointer));
             EXPECT_EQ(GetCurrentProcessId(), getProcessProperty(krv::kCancelJob)) << "the document's job goes";
         },
         MB_ICONHAND | MB_SETFOREGROUND, nullptr},
        {"device configuration without a print path",
         [&] { EXPECT_EQ(0u, MPrint::configureDeviceForPrintPath(browser, queue_.name(), nullptr)); }, MB_ICONHAND,
         browser},
        {"printer browse dialog on a selection it cannot take",
         [&] {
             EXPECT_EQ(1, MPrint::UNCPathDiscovery::browseCallback(browser, BFFM_VALIDATEFAILEDW, 0,
                                                                    reinterpret_cast<LPARAM>(&unc)));
         },
         MB_ICONERROR, browser},
    };
    const LANGID before = loader().getLanguage();
    for (const LANGID language : {LANGID{0x0409}, kHebrew}) {
        loader().setLanguage(language);
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(row.caller) + (language == kHebrew ? ", Hebrew" : ", English"));
            g_shown.clear();
            deleteProcessProperty(krv::kCancelJob);
            row.show();
            ASSERT_EQ(1u, g_shown.size());
            EXPECT_EQ(row.flags | (language == kHebrew ? kRightToLeft : 0), g_shown[0].flags);
            if (row.owner) {
                EXPECT_EQ(row.owner, g_shown[0].owner);
            }
        }
    }
    loader().setLanguage(before);
    DestroyWindow(browser);
}

} // namespace
