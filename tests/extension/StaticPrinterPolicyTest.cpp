// The policy routine of queues that do not take the printing extension,
// with a server policy in force: a queue whose own data turns the policy
// off leaves the process's policy object knowing it, also when no
// verification of the queue follows; one without leaves the policy on.
#include "extension/StaticPrinterPolicy.h"

#include "extension/KRVProperties.h"
#include "extension/LXESingleton.h"
#include "extension/ManagedPrintPolicy.h"
#include "support/PolicyTestEnv.h"
#include "support/PrivateCurrentUser.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

VRELM_TEST_SHARES(policy_settings);

namespace {

constexpr DWORD kPrinterPolicyOff = 972565793;

TEST(StaticPrinterPolicy, QueueThatTurnsThePolicyOffIsHeardByThePolicy)
{
    testenv::PrivateCurrentUser hkcu;
    ASSERT_TRUE(hkcu.isActive());
    closePropertyStore();
    ASSERT_NE(nullptr, testspool::control());
    testenv::Winsock sockets;
    testenv::TempDir dir;
    ASSERT_FALSE(testenv::policyLocalAddress().empty()) << "the computer name must resolve";
    RegistryKey cache = testenv::makeServerPolicyInForce(dir.file(L"policy.xml"));
    ASSERT_TRUE(cache.isOpen());

    const struct {
        const char* what;
        bool optsOut;
    } rows[] = {{"queue under the policy", false}, {"queue that turns it off", true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ExtensionHold hold;
        ASSERT_NE(nullptr, hold.get());
        MPrint::ManagedPrintPolicy* policy = MPrint::ManagedPrintPolicy::instance();
        ASSERT_TRUE(policy->hasPolicy());
        ASSERT_FALSE(policy->arePoliciesOffForPrinter(nullptr));

        testspool::ScopedQueue queue(testspool::uniqueQueueName(L"Static Policy"));
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.error());
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.setDword(L"", L"StaticMode", 1));
        // Features applied for the device alone: no verification follows, which would ask the policy too.
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.setDword(L"", L"DMCEACValue", 2));
        if (row.optsOut) {
            for (const wchar_t* name : {L"KRVZMA", L"KRVADS"})
                ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.setDword(L"", name, kPrinterPolicyOff));
        }
        LumoraUI::applyPolicySettingsToStaticPrinter(nullptr, queue.name().c_str());
        EXPECT_EQ(row.optsOut, policy->arePoliciesOffForPrinter(nullptr));
        EXPECT_EQ(0u, getProcessProperty(krv::kApplyPolicy));
    }
    closePropertyStore();
}

} // namespace
