// The settings sheet with its two pages on templates 115 and 116: the
// current settings checked, a click and OK writing the new value, Cancel
// writing nothing. Driven through the sheet's own messages.
#include "ui/SettingsDialog.h"

#include "support/DialogDriver.h"
#include "support/SharedState.h"
#include "support/UiTestEnv.h"
#include "ui/OwnerDrawAutoButton.h"
#include "ui/resources/SettingsDialogIds.h"

#include <gtest/gtest.h>

#include <commctrl.h>

VRELM_TEST_SHARES(policy_settings);

using testenv::DialogDriver;

namespace {

class SettingsDialogTest : public testenv::UiSuite {
protected:
    void SetUp() override
    {
        settings()->setPromptMethod(1);
        settings()->setDeviceVerifyLevel(2);
    }
    LumoraSettings* settings() { return extension()->getSettings(); }

    static bool checked(HWND page, int id)
    {
        auto* button = static_cast<OwnerDrawAutoButton*>(GetPropW(GetDlgItem(page, id), L"PtrLumoOwnerDrawControl"));
        return button && button->isChecked();
    }
};

TEST_F(SettingsDialogTest, PagesShowTheSettingsAndOkWritesTheChoice)
{
    DialogDriver driver;
    bool firstJobChecked = false;
    bool alwaysChecked = true;
    bool lowChecked = false;
    driver.onDialog([&](HWND sheet) {
        HWND general = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
        firstJobChecked = checked(general, IDC_PROMPT_FIRST_JOB);
        alwaysChecked = checked(general, IDC_PROMPT_ALWAYS);
        SendMessageW(general, WM_COMMAND, MAKEWPARAM(IDC_PROMPT_ON_ERROR, BN_CLICKED), 0);
        SendMessageW(sheet, PSM_SETCURSEL, 1, 0);
        HWND verify = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
        lowChecked = checked(verify, IDC_VERIFY_LOW);
        SendMessageW(verify, WM_COMMAND, MAKEWPARAM(IDC_VERIFY_HIGH, BN_CLICKED), 0);
        PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
    });
    MPrint::showSettingsDialog(nullptr, extension());
    EXPECT_TRUE(firstJobChecked);
    EXPECT_FALSE(alwaysChecked);
    EXPECT_TRUE(lowChecked);
    EXPECT_EQ(LumoraSettings::kPromptOnError, settings()->getPromptMethod());
    EXPECT_EQ(LumoraSettings::kVerifyHigh, settings()->getDeviceVerifyLevel());
    EXPECT_EQ(1u, driver.dialogsSeen().size());
}

TEST_F(SettingsDialogTest, CancelWritesNothing)
{
    DialogDriver driver;
    driver.onDialog([&](HWND sheet) {
        HWND general = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
        SendMessageW(general, WM_COMMAND, MAKEWPARAM(IDC_PROMPT_ALWAYS, BN_CLICKED), 0);
        PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    });
    MPrint::showSettingsDialog(nullptr, extension());
    EXPECT_EQ(LumoraSettings::kPromptFirstJob, settings()->getPromptMethod());
    EXPECT_EQ(LumoraSettings::kVerifyLow, settings()->getDeviceVerifyLevel());
}

} // namespace
