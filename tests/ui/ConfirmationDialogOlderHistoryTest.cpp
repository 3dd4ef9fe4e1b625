// The chooser over a history that an older release wrote ("name=address"
// beside print-path documents): the printing extension's discovery
// services resolve the older entry when the chooser loads the history, so
// the chooser lists it and its save keeps it, now as a document.
#include "ui/ConfirmationDialog.h"

#include "VagantUIExtension/ComponentRegistrationTable.h"
#include "core/RegistryKey.h"
#include "destination/PrintPath.h"
#include "destination/PrintPathAttr.h"
#include "destination/TargetHistoryList.h"
#include "support/DialogDriver.h"
#include "support/FakeDestinationWorkflow.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"
#include "support/UiTestEnv.h"
#include "ui/UiText.h"
#include "ui/resources/StringIds.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

VRELM_TEST_SHARES(cluster_node, policy_settings);

using MPrint::ConfirmationDialog;
using MPrint::TreeViewNode;
using testenv::DialogDriver;

namespace {

class ChooserOlderHistoryTest : public testenv::UiSuite {
protected:
    void SetUp() override
    {
        ASSERT_EQ(linkComponentRegistrations, 1) << "the module's discovery services";
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue_.error());
        extension()->createDestinationContext(queue_.name());
        extension()->getDestinationContext()->setPrinterName(queue_.name());
        settings().setPromptMethod(LumoraSettings::kPromptAlways);
        RegDeleteTreeW(settings().getSettingsKey().getHandle(), defaultName().c_str());
        settings().setCurrentProfileName(L"");
    }

    static LumoraSettings& settings() { return *extension()->getSettings(); }
    static std::wstring defaultName() { return uitext::load(extension(), LumoraSettings::kDefaultProfileStringId); }
    static RegistryKey historyKey()
    {
        return RegistryKey(settings().getSettingsKey().getHandle(), defaultName() + L"\\Target History",
                           RegistryKey::kAllAccess, true);
    }

    testspool::ScopedQueue queue_{testspool::uniqueQueueName(L"Older History"), L"Vrelm Test Driver", L"LPT1:"};
    testenv::FakeDestinationWorkflow workflow_;
};

TEST_F(ChooserOlderHistoryTest, OlderEntryIsListedAndStillStoredAfterTheChooserSaved)
{
    {
        auto* current = new MPrint::PrintPath();
        current->setStringAttribute(PrintPathAttr::DisplayString, L"Front desk", true);
        current->setStringAttribute(PrintPathAttr::Address, L"10.0.0.1", true);
        TargetHistoryList list(historyKey());
        list.add(current);
        list.save();
    }
    RegistryKey key = historyKey();
    ASSERT_TRUE(key.setString(L"Target1", L"Old Laser = 127.0.0.9"));
    ASSERT_TRUE(key.setDword(L"TargetAge1", 1));
    ASSERT_TRUE(key.setDword(L"HistoryLength", 2));
    extension()->setDestination(L"Front desk");

    ConfirmationDialog chooser(extension(), LumoraPrintingExtension::kModeSelectDestination);
    DialogDriver driver;
    std::vector<std::wstring> listed;
    driver.onDialog([&](HWND dialog) {
        for (TreeViewNode* n = chooser.getTree()->getFirstChild(chooser.getRootNode()); n;
             n = chooser.getTree()->getNextSibling(n))
            listed.push_back(n->getText());
        DialogDriver::click(dialog, IDOK);
    });
    driver.onDialog([](HWND) {}); // the verification runs by itself
    EXPECT_EQ(ConfirmationDialog::kResultChosen,
              LumoraDialog::doModal(&chooser, nullptr, ConfirmationDialog::kTemplate, IDS_CHOOSER_HEADING_PRINT));
    EXPECT_EQ((std::vector<std::wstring>{L"Front desk", L"Old Laser"}), listed);

    // Saved by the chooser: both entries, each now a document (the older
    // text would otherwise still be there, unread and unsaved).
    DWORD length = 0;
    ASSERT_TRUE(key.queryDword(L"HistoryLength", &length));
    ASSERT_EQ(2u, length);
    for (DWORD n = 0; n < length; ++n) {
        std::wstring text;
        ASSERT_TRUE(key.queryString(L"Target" + std::to_wstring(n), text));
        EXPECT_EQ(0u, text.rfind(L"<?xml", 0)) << testenv::narrow(text);
    }
    TargetHistoryList stored(key);
    stored.load();
    std::vector<std::wstring> displays;
    for (auto it = stored.begin(); it != stored.end(); ++it)
        displays.push_back(stored.getDisplayString(it));
    EXPECT_EQ((std::vector<std::wstring>{L"Front desk", L"Old Laser"}), displays);
    ASSERT_EQ(2u, stored.size());
    EXPECT_EQ(L"127.0.0.9", (++stored.begin())->get()->getStringAttribute(PrintPathAttr::Address));
}

} // namespace
