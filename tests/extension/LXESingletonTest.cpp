// The process's hold on its printing extension, over a private
// HKEY_CURRENT_USER: counting, teardown together with the policy, and
// threads racing to acquire and release.
#include "extension/LXESingleton.h"

#include "core/RegistryKey.h"
#include "core/SettingsKeys.h"
#include "extension/LumoraPrintingExtension.h"
#include "extension/ManagedPrintPolicy.h"
#include "support/PrivateCurrentUser.h"
#include "support/SharedState.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

VRELM_TEST_SHARES(policy_settings);

namespace {

// The process's policy object goes with each extension; a test that failed
// half-way may leave one behind.
void dropPolicy()
{
    if (MPrint::ManagedPrintPolicy::hasInstance())
        delete MPrint::ManagedPrintPolicy::instance();
}


class LXESingletonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(hkcu_.isActive());
        dropPolicy();
    }
    void TearDown() override
    {
        EXPECT_EQ(nullptr, LumoraPrintingExtension::current()) << "a test left the extension held";
        dropPolicy();
    }

    testenv::PrivateCurrentUser hkcu_;
};

TEST_F(LXESingletonTest, OneExtensionFromFirstAcquireToLastRelease)
{
    EXPECT_EQ(0, LXESingleton::release(nullptr));
    RegistryKey(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess, true).setString(L"CurrentAddress", L"first");

    LumoraPrintingExtension* first = LXESingleton::acquire();
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(first, LumoraPrintingExtension::current());
    EXPECT_TRUE(MPrint::ManagedPrintPolicy::hasInstance()); // the settings asked it
    EXPECT_EQ(first, LXESingleton::acquire());
    EXPECT_EQ(0, LXESingleton::release(nullptr)); // changes nothing
    EXPECT_EQ(1, LXESingleton::release(first));
    EXPECT_EQ(first, LumoraPrintingExtension::current());
    EXPECT_EQ(L"first", first->getDestination());

    EXPECT_EQ(0, LXESingleton::release(first));
    EXPECT_EQ(nullptr, LumoraPrintingExtension::current());
    EXPECT_FALSE(MPrint::ManagedPrintPolicy::hasInstance()); // gone with the extension

    // A release too many must not leave the count below zero.
    EXPECT_EQ(0, LXESingleton::release(first));

    // The next acquire builds a fresh extension from the stored settings.
    RegistryKey(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess).setString(L"CurrentAddress", L"second");
    LumoraPrintingExtension* second = LXESingleton::acquire();
    ASSERT_NE(nullptr, second);
    EXPECT_EQ(L"second", second->getDestination());
    EXPECT_EQ(0, LXESingleton::release(second));
    EXPECT_EQ(nullptr, LumoraPrintingExtension::current());
}

TEST_F(LXESingletonTest, ThreadsNeverShareTwoExtensions)
{
    // Each holder checks that the process's extension is the one it holds,
    // before and after letting the others run: a second extension created
    // beside it, or its deletion under a holder, breaks that.
    constexpr int kThreads = 6;
    constexpr int kRounds = 40;
    std::atomic<int> mismatches{0};
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int round = 0; round < kRounds; ++round) {
                LumoraPrintingExtension* extension = LXESingleton::acquire();
                if (!extension) {
                    ++failures;
                    continue;
                }
                if (LumoraPrintingExtension::current() != extension || !extension->getSettings())
                    ++mismatches;
                Sleep(round % 3);
                if (LumoraPrintingExtension::current() != extension)
                    ++mismatches;
                LXESingleton::release(extension);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(0, failures.load());
    EXPECT_EQ(0, mismatches.load());
    EXPECT_EQ(nullptr, LumoraPrintingExtension::current());
    EXPECT_FALSE(MPrint::ManagedPrintPolicy::hasInstance());
}

} // namespace
