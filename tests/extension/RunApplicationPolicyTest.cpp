// The browser's rundll32 policy: which host, module and system need an
// entry, and whether it is there. The host's file name and the system's
// version are the test's (a program named iexplore.exe on a version 6
// system cannot be had otherwise); the entry is the machine's real key.
#include "extension/RunApplicationPolicy.h"

#include "support/TestEnv.h"

#include <gtest/gtest.h>

namespace {

const std::wstring kPolicyKey = L"SOFTWARE\\Microsoft\\Internet Explorer\\Low Rights\\Rundll32Policy";

class HostedPolicy : public RunApplicationPolicy {
public:
    HostedPolicy(const wchar_t* host, DWORD major, DWORD minor)
        : RunApplicationPolicy(osFlagsFor(major, minor)), host_(host)
    {
    }
    bool getHostExeName(std::wstring& name) override
    {
        if (!host_)
            return false;
        name = host_;
        return true;
    }

private:
    const wchar_t* host_;
};

TEST(RunApplicationPolicyTest, OnlyTheBrowserOnVersion6NeedsTheEntry)
{
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kPolicyKey + L"\\VRELM101.DLL").c_str());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kPolicyKey + L"\\vrelm104.DLL").c_str());
    struct Row {
        const char* name;
        const wchar_t* host;
        DWORD major, minor;
        const wchar_t* module;
        bool withoutEntry, withEntry;
    } rows[] = {
        {"browser on 6.1", L"iexplore.exe", 6, 1, L"VRELM101.DLL", false, true},
        {"browser in capitals on 6.0, module in small letters", L"IEXPLORE.EXE", 6, 0, L"vrelm101.dll", false, true},
        {"browser on 6.1, the other module", L"iExplore.exe", 6, 1, L"vrelm104.DLL", false, true},
        {"browser on 5.0", L"iexplore.exe", 5, 0, L"VRELM101.DLL", true, true},
        {"browser on 5.1", L"iexplore.exe", 5, 1, L"VRELM101.DLL", true, true},
        {"browser on 5.2", L"iexplore.exe", 5, 2, L"VRELM101.DLL", true, true},
        {"browser on 10.0", L"iexplore.exe", 10, 0, L"VRELM101.DLL", true, true},
        {"another host on 6.1", L"wordpad.exe", 6, 1, L"VRELM101.DLL", true, true},
        {"a module without a row", L"iexplore.exe", 6, 1, L"vrelm105.DLL", true, true},
        {"no host name", nullptr, 6, 1, L"VRELM101.DLL", true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        HostedPolicy policy(row.host, row.major, row.minor);
        EXPECT_EQ(row.withoutEntry, policy.ensurePolicy(row.module));
        const bool created = policy.createPolicy(row.module, nullptr);
        EXPECT_EQ(!row.withoutEntry, created) << "an entry is made only where one is needed";
        EXPECT_EQ(row.withEntry, policy.ensurePolicy(row.module));
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kPolicyKey + L"\\VRELM101.DLL").c_str());
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kPolicyKey + L"\\vrelm104.DLL").c_str());
    }
}

TEST(RunApplicationPolicyTest, AModulesEntryGetsNoValues)
{
    HostedPolicy policy(L"iexplore.exe", 6, 1);
    ASSERT_TRUE(policy.createPolicy(L"VRELM101.DLL", L"iexplore.exe"));
    RegistryKey entry(HKEY_LOCAL_MACHINE, kPolicyKey + L"\\VRELM101.DLL", RegistryKey::kRead);
    ASSERT_TRUE(entry.isOpen());
    DWORD value = 0;
    EXPECT_FALSE(entry.queryDword(L"Policy", &value));
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kPolicyKey + L"\\VRELM101.DLL").c_str());

    // A program's row writes them.
    const RunApplicationPolicy::Row program = {L"iexplore.exe", HKEY_LOCAL_MACHINE, L"", L"", L"helper.exe", 4};
    RegistryKey scratch(HKEY_LOCAL_MACHINE, kPolicyKey + L"\\Scratch" + std::to_wstring(GetCurrentProcessId()),
                        RegistryKey::kAllAccess, true);
    ASSERT_TRUE(policy.writePolicyValues(program, scratch));
    std::wstring text;
    EXPECT_TRUE(scratch.queryDword(L"Policy", &value));
    EXPECT_EQ(1u, value);
    EXPECT_TRUE(scratch.queryString(L"AppName", text));
    EXPECT_EQ(L"helper.exe", text);
    EXPECT_TRUE(scratch.queryString(L"AppPath", text));
    EXPECT_EQ(L"%Windir%\\System32", text);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kPolicyKey + L"\\Scratch" + std::to_wstring(GetCurrentProcessId())).c_str());

    // The running program's own name: the test executable.
    RunApplicationPolicy running;
    std::wstring host;
    ASSERT_TRUE(running.getHostExeName(host));
    EXPECT_EQ(L"RunApplicationPolicyTest.exe", host);
}

} // namespace
