// Loading the policy from its real sources in the Wine prefix: the settings
// values (HKCU, HKLM), the loopback policy server, policy files, the
// volatile cache and its refresh rules across processes, the directory
// (the "ADSLoginSimulator" override and ADsOpenObject answered by the LDAP
// stand-in provider) and the "USERID" variable.
#include "extension/ManagedPrintPolicy.h"

#include "extension/KRVProperties.h"
#include "extension/ModuleEntry.h"
#include "support/ChildRun.h"
#include "support/HttpTestServer.h"
#include "support/PolicyTestEnv.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <iads.h>

#include <cstdio>
#include <optional>
#include <string>
#include <variant>
#include <vector>

VRELM_TEST_SHARES(policy_settings);

using MPrint::ManagedPrintPolicy;

namespace {

constexpr DWORD kMarkerOn = 19728374;
const char kUserQuery[] = "userName=Jane%20Doe%26Co"; // USERNAME as the fixture sets it
const char kPolicyDocument[] = "<p><Color>0</Color><ShowProfiles>0</ShowProfiles></p>";

const wchar_t kStandinClsid[] = L"{6B1F5C2E-8D44-4C1B-9E3A-5A0C7D2B91E4}";
const wchar_t kStandinProgId[] = L"VrelmStandin.LDAPNamespace";
const wchar_t kProvidersLdap[] = L"Software\\Microsoft\\ADs\\Providers\\LDAP";

std::optional<std::wstring> environment(const wchar_t* name)
{
    wchar_t value[1024] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, 1024);
    if (length == 0 || length >= 1024)
        return std::nullopt;
    return std::wstring(value);
}

void setEnvironment(const wchar_t* name, const std::optional<std::wstring>& value)
{
    SetEnvironmentVariableW(name, value ? value->c_str() : nullptr);
}

std::wstring userName()
{
    wchar_t user[128] = {};
    DWORD length = 127;
    return GetUserNameW(user, &length) ? user : L"unknown";
}

class PolicyLoadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server_.started());
        savedUser_ = environment(L"USERNAME");
        savedDnsDomain_ = environment(L"USERDNSDOMAIN");
        savedDomain_ = environment(L"USERDOMAIN");
        SetEnvironmentVariableW(L"USERNAME", L"Jane Doe&Co");
        SetEnvironmentVariableW(L"USERDNSDOMAIN", nullptr);
        testenv::clearPolicyState();
        address_ = testenv::policyLocalAddress();
        ASSERT_FALSE(address_.empty()) << "the computer name must resolve";
        for (const wchar_t* host : {L"printpolicy", L"localhost", L"127.0.0.1"}) {
            deleteProcessProperty(address_ + L"-PSHostLastChecked-" + host);
            deleteProcessProperty(address_ + L"-PSHostResolveState-" + host);
        }
        hkcu_ = std::make_unique<RegistryKey>(HKEY_CURRENT_USER, settingskeys::kSettings,
                                              RegistryKey::kAllAccess, true);
        hklm_ = std::make_unique<RegistryKey>(HKEY_LOCAL_MACHINE, settingskeys::kSettings,
                                              RegistryKey::kAllAccess, true);
        server_.answer("/policy", testenv::HttpAnswer::ok(kPolicyDocument));
    }
    void TearDown() override
    {
        hkcu_.reset();
        hklm_.reset();
        testenv::clearPolicyState();
        setEnvironment(L"USERNAME", savedUser_);
        setEnvironment(L"USERDNSDOMAIN", savedDnsDomain_);
        setEnvironment(L"USERDOMAIN", savedDomain_);
    }

    ManagedPrintPolicy* freshPolicy()
    {
        if (ManagedPrintPolicy::hasInstance())
            delete ManagedPrintPolicy::instance();
        return ManagedPrintPolicy::instance();
    }

    // The cache subkey's value: absent, a DWORD or a string.
    std::variant<std::monostate, DWORD, std::wstring> cached(const wchar_t* name)
    {
        RegistryKey cache(hkcu_->getHandle(), address_, RegistryKey::kRead);
        DWORD number = 0;
        std::wstring text;
        if (cache.queryDword(name, &number))
            return number;
        if (cache.queryString(name, text))
            return text;
        return std::monostate{};
    }
    std::wstring cachedLocation()
    {
        auto value = cached(L"Policy");
        return std::holds_alternative<std::wstring>(value) ? std::get<std::wstring>(value) : L"<none>";
    }
    bool cachedNoPolicy() { return !std::holds_alternative<std::monostate>(cached(L"NoPolicy")); }
    void stampCache(DWORD lastQuery, DWORD refresh)
    {
        RegistryKey cache(hkcu_->getHandle(), address_, RegistryKey::kAllAccess);
        ASSERT_TRUE(cache.isOpen());
        cache.setDword(L"LastPolicyQuery", lastQuery);
        cache.setDword(L"RefreshPolicy", refresh);
    }

    std::wstring writeFile(const std::wstring& name, const std::string& bytes)
    {
        const std::wstring path = dir_.file(name);
        EXPECT_TRUE(testenv::writeFile(path, bytes));
        return path;
    }

    testenv::Winsock winsock_;
    testenv::HttpTestServer server_;
    testenv::TempDir dir_;
    std::wstring address_;
    std::unique_ptr<RegistryKey> hkcu_;
    std::unique_ptr<RegistryKey> hklm_;
    std::optional<std::wstring> savedUser_, savedDnsDomain_, savedDomain_;
};

struct LocationCase {
    const char* name;
    std::wstring policy;
    std::optional<std::wstring> queryText; // "MPPQueryString"
    std::string path;                      // what the server is asked; empty: nothing
    std::string query;
    bool fromServer;
    std::wstring policyServer;
};

TEST_F(PolicyLoadTest, LocationClassification)
{
    server_.answer("/policy.XML", testenv::HttpAnswer::ok(kPolicyDocument));
    server_.answer("/lists.xml/get", testenv::HttpAnswer::ok(kPolicyDocument));
    SetEnvironmentVariableW(L"POLICY_TEST_DEPT", L"sales");
    const std::wstring policyFile = writeFile(L"policy.xml", kPolicyDocument);
    const std::string user = kUserQuery;
    const LocationCase cases[] = {
        {"URL without query", server_.url("/policy"), std::nullopt, "/policy", user, false, L""},
        {"URL with query", server_.url("/policy?site=3"), std::nullopt, "/policy", "site=3&" + user, false, L""},
        {"URL ending .XML", server_.url("/policy.XML"), std::nullopt, "/policy.XML", "", false, L""},
        {"URL holding .xml", server_.url("/lists.xml/get"), L"?dept=7", "/lists.xml/get", "", false, L""},
        {"query text with ?", server_.url("/policy"), L"?dept=7", "/policy", user + "&dept=7", false, L""},
        {"query text expanded", server_.url("/policy"), L"dept=%POLICY_TEST_DEPT%", "/policy",
         user + "&dept=sales", false, L""},
        {"existing file", policyFile, L"dept=7", "", "", false, L""},
        {"missing file: default server", dir_.file(L"absent.xml"), std::nullopt, "", "", false, L"printpolicy"},
        {"empty: default server", L"", std::nullopt, "", "", false, L"printpolicy"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        testenv::clearPolicyState();
        hkcu_->setDword(L"KRVZMA", kMarkerOn);
        hkcu_->setString(L"Policy", row.policy.c_str());
        if (row.queryText)
            hkcu_->setString(L"MPPQueryString", row.queryText->c_str());
        server_.clearRequests();

        ManagedPrintPolicy* policy = freshPolicy();
        const bool loaded = policy->hasPolicy();
        const auto requests = server_.requests();
        if (row.path.empty()) {
            EXPECT_EQ(0u, requests.size());
        } else {
            ASSERT_EQ(1u, requests.size());
            EXPECT_EQ(row.path, requests[0].path);
            EXPECT_EQ(row.query, requests[0].query);
        }
        EXPECT_EQ(row.fromServer, policy->isPolicyFromServer());
        EXPECT_EQ(row.policyServer, policy->getPolicyServer());
        // Loaded exactly when a document was read; otherwise the cache says so.
        const bool documentRead = !row.path.empty() || row.policy == policyFile;
        EXPECT_EQ(documentRead, loaded);
        EXPECT_EQ(!documentRead, cachedNoPolicy());
        if (documentRead) {
            // The document overrides the defaults written before it.
            EXPECT_FALSE(policy->getBool(L"ShowProfiles", true));
            EXPECT_TRUE(policy->getBool(L"LocalPorts", false));
            EXPECT_FALSE(policy->getBool(L"Bluetooth", true));
        }
    }
}

// A host name (no scheme, no path) names the policy server, always asked
// on port 80 for "/policy".
TEST_F(PolicyLoadTest, HostNameNamesThePolicyServer)
{
    testenv::HttpTestServer port80(80);
    ASSERT_TRUE(port80.started()) << "binds 127.0.0.1:80 (the tests run as root)";
    port80.answer("/policy", testenv::HttpAnswer::ok(kPolicyDocument));
    for (const wchar_t* host : {L"127.0.0.1", L"localhost"}) {
        SCOPED_TRACE(testenv::narrow(host));
        testenv::clearPolicyState();
        hkcu_->setString(L"Policy", host);
        hkcu_->setString(L"MPPQueryString", L"dept=7");
        port80.clearRequests();

        ManagedPrintPolicy* policy = freshPolicy();
        EXPECT_TRUE(policy->hasPolicy());
        EXPECT_TRUE(policy->isPolicyFromServer());
        EXPECT_EQ(host, policy->getPolicyServer());
        const auto requests = port80.requests();
        ASSERT_EQ(1u, requests.size());
        EXPECT_EQ("/policy", requests[0].path);
        EXPECT_EQ(std::string(kUserQuery) + "&dept=7", requests[0].query);
        EXPECT_FALSE(policy->getBool(L"ShowProfiles", true));
    }
}

TEST_F(PolicyLoadTest, QueryCarriesEncodedNamesAndTheModuleVersion)
{
    // The module's own version: the library stands in the product DLL here.
    HMODULE module = LoadLibraryW((testenv::binDir() + L"\\vrelm101.dll").c_str());
    ASSERT_NE(nullptr, module);
    ModuleEntry::onProcessAttach(module);
    SetEnvironmentVariableW(L"USERDNSDOMAIN", L"corp.example");
    SetEnvironmentVariableW(L"USERDOMAIN", L"CORP #1+2");
    hkcu_->setString(L"Policy", server_.url("/policy").c_str());
    hkcu_->setString(L"MPPQueryString", L"?site=3");

    freshPolicy()->hasPolicy();
    ModuleEntry::onProcessAttach(nullptr);
    FreeLibrary(module);
    const auto requests = server_.requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ(std::string(kUserQuery) + "&domainName=CORP%20%231%2B2&mpdVersion=1.0.0.1&site=3", requests[0].query);
}

struct MarkerCase {
    const char* name;
    std::optional<DWORD> userMarker, machineMarker;
    std::optional<std::wstring> userPolicy, machinePolicy, userQueryText;
    bool asked;
    std::optional<DWORD> userMarkerAfter;
};

TEST_F(PolicyLoadTest, MarkersSwitchTheServerPolicy)
{
    const std::wstring url = server_.url("/policy");
    const MarkerCase cases[] = {
        {"query text alone switches it on", {}, {}, {}, {}, L"a=1", false, kMarkerOn},
        {"location alone switches it on", {}, {}, url, {}, {}, true, kMarkerOn},
        {"marker of another value", 5, {}, url, {}, {}, false, 5},
        {"machine marker and location", {}, kMarkerOn, {}, url, {}, true, std::nullopt},
        {"user marker wins over machine", 0, kMarkerOn, url, url, {}, false, 0},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        testenv::clearPolicyState();
        if (row.userMarker)
            hkcu_->setDword(L"KRVZMA", *row.userMarker);
        if (row.machineMarker)
            hklm_->setDword(L"KRVZMA", *row.machineMarker);
        if (row.userPolicy)
            hkcu_->setString(L"Policy", row.userPolicy->c_str());
        if (row.machinePolicy)
            hklm_->setString(L"Policy", row.machinePolicy->c_str());
        if (row.userQueryText)
            hkcu_->setString(L"MPPQueryString", row.userQueryText->c_str());
        server_.clearRequests();

        EXPECT_EQ(row.asked, freshPolicy()->hasPolicy());
        EXPECT_EQ(row.asked ? 1u : 0u, server_.count("/policy"));
        EXPECT_EQ(!row.asked, cachedNoPolicy());
        if (!row.asked) {
            EXPECT_EQ((std::variant<std::monostate, DWORD, std::wstring>{DWORD{10800000}}), cached(L"RefreshPolicy"));
        }
        DWORD marker = 0;
        const bool hasMarker = hkcu_->queryDword(L"KRVZMA", &marker);
        EXPECT_EQ(row.userMarkerAfter.has_value(), hasMarker);
        if (row.userMarkerAfter && hasMarker) {
            EXPECT_EQ(*row.userMarkerAfter, marker);
        }
    }
}

// One load in a process of its own; prints what it found.
TEST(PolicyChild, Load)
{
    CHILD_TEST_ONLY();
    testenv::Winsock winsock;
    ManagedPrintPolicy* policy = ManagedPrintPolicy::instance();
    const bool loaded = policy->hasPolicy();
    std::printf("loaded=%d showProfiles=%d\n", loaded ? 1 : 0, policy->getBool(L"ShowProfiles", true) ? 1 : 0);
    delete policy;
}

TEST_F(PolicyLoadTest, SecondProcessWithinRefreshTimeAsksNothing)
{
    hkcu_->setString(L"Policy", server_.url("/policy").c_str());
    const auto load = [] {
        const auto result = testenv::runSelf("PolicyChild.Load");
        EXPECT_EQ(0u, result.exitCode) << result.output;
        return result.output.find("loaded=1 showProfiles=0") != std::string::npos;
    };
    EXPECT_TRUE(load());
    EXPECT_EQ(1u, server_.count("/policy"));
    EXPECT_TRUE(load()); // from the cache
    EXPECT_EQ(1u, server_.count("/policy"));

    stampCache(GetTickCount() - 3600001, 1); // one hour, just past
    EXPECT_TRUE(load());
    EXPECT_EQ(2u, server_.count("/policy"));
}

TEST_F(PolicyLoadTest, FailedFetchIsNotTakenForAPolicyLater)
{
    struct Row {
        const char* name;
        testenv::HttpAnswer answer;
    } rows[] = {
        {"server error", testenv::HttpAnswer::withStatus(500, kPolicyDocument)},
        {"malformed document", testenv::HttpAnswer::ok("<p><ShowProfiles>0</ShowProfiles><Color>")},
        {"empty document", testenv::HttpAnswer::ok("")},
    };
    hkcu_->setString(L"Policy", server_.url("/policy").c_str());
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        RegDeleteTreeW(HKEY_CURRENT_USER, (std::wstring(settingskeys::kSettings) + L"\\" + address_).c_str());
        server_.answer("/policy", row.answer);
        server_.clearRequests();
        EXPECT_FALSE(freshPolicy()->hasPolicy());
        EXPECT_TRUE(cachedNoPolicy());

        const auto later = testenv::runSelf("PolicyChild.Load");
        EXPECT_NE(std::string::npos, later.output.find("loaded=0 showProfiles=1")) << later.output;
        EXPECT_EQ(1u, server_.count("/policy"));
    }
}

struct RefreshCase {
    const char* name;
    int age; // ms before now; negative: a stamp in the future
    DWORD refresh;
    bool sameLocation;
    bool asked;
};

TEST_F(PolicyLoadTest, CacheRefreshRules)
{
    ASSERT_GT(GetTickCount(), 100000u);
    const RefreshCase cases[] = {
        {"24 hours, a second old", 1000, 24, true, false},
        {"5000 ms, 100 ms old", 100, 5000, true, false},
        {"5000 ms, 6 s old", 6000, 5000, true, true},
        {"stamp in the future (tick count wrapped)", -60000, 24, true, true},
        {"cached from another location", 1000, 24, false, true},
    };
    const std::wstring url = server_.url("/policy");
    hkcu_->setString(L"Policy", url.c_str());
    ASSERT_TRUE(freshPolicy()->hasPolicy());
    const std::wstring location = cachedLocation();
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        {
            RegistryKey cache(hkcu_->getHandle(), address_, RegistryKey::kAllAccess);
            cache.setString(L"Policy", row.sameLocation ? location.c_str() : L"http://elsewhere/policy");
        }
        stampCache(GetTickCount() - row.age, row.refresh);
        server_.clearRequests();
        EXPECT_TRUE(freshPolicy()->hasPolicy());
        EXPECT_EQ(row.asked ? 1u : 0u, server_.count("/policy"));
    }

    // reset() loads again at once, whatever the cache says.
    stampCache(GetTickCount() - 1000, 24);
    server_.clearRequests();
    ManagedPrintPolicy* policy = freshPolicy();
    policy->reset();
    EXPECT_EQ(1u, server_.count("/policy"));
    EXPECT_TRUE(policy->hasPolicy());
}

TEST_F(PolicyLoadTest, UserIdentity)
{
    // From the policy document.
    server_.answer("/policy", testenv::HttpAnswer::ok("<p><Userid>jdoe@corp</Userid></p>"));
    hkcu_->setString(L"Policy", server_.url("/policy").c_str());
    freshPolicy()->hasPolicy();
    EXPECT_EQ(L"jdoe@corp", environment(L"USERID").value_or(L"<unset>"));

    // Built from the user and this computer's address, and cached.
    server_.answer("/policy", testenv::HttpAnswer::ok(kPolicyDocument));
    freshPolicy()->reset();
    const std::wstring built = userName() + L"-" + address_;
    EXPECT_EQ(built, environment(L"USERID").value_or(L"<unset>"));
    EXPECT_EQ((std::variant<std::monostate, DWORD, std::wstring>{built}), cached(L"Userid"));

    // Both policies off: nothing is set.
    testenv::clearPolicyState();
    hkcu_->setDword(L"KRVZMA", 0);
    freshPolicy()->hasPolicy();
    EXPECT_FALSE(environment(L"USERID").has_value());
}

TEST_F(PolicyLoadTest, ReachabilityOfThePolicyServerIsRemembered)
{
    // A fresh "resolved" memo for the default server is believed: its
    // address is built without asking the resolver (it would fail here).
    setProcessProperty(address_ + L"-PSHostResolveState-printpolicy", 2766);
    setProcessProperty(address_ + L"-PSHostLastChecked-printpolicy", GetTickCount());
    hkcu_->setDword(L"KRVZMA", kMarkerOn);
    hkcu_->setString(L"Policy", L"");
    ManagedPrintPolicy* policy = freshPolicy();
    EXPECT_FALSE(policy->hasPolicy());
    EXPECT_TRUE(policy->isPolicyFromServer());
    EXPECT_EQ(L"http://printpolicy/policy?" + testenv::widen(kUserQuery), cachedLocation());
    EXPECT_TRUE(cachedNoPolicy()); // the fetch failed

    // A fresh "unresolved" memo for a name that resolves: not asked.
    testenv::clearPolicyState();
    hkcu_->setString(L"Policy", L"localhost");
    setProcessProperty(address_ + L"-PSHostResolveState-localhost", 0xBAD0001);
    setProcessProperty(address_ + L"-PSHostLastChecked-localhost", GetTickCount());
    policy = freshPolicy();
    EXPECT_FALSE(policy->hasPolicy());
    EXPECT_FALSE(policy->isPolicyFromServer());
    EXPECT_EQ(L"", cachedLocation());
    // reset() resolves again and remembers the answer.
    policy->reset();
    EXPECT_TRUE(policy->isPolicyFromServer());
    EXPECT_EQ(L"http://localhost/policy?" + testenv::widen(kUserQuery), cachedLocation());
    EXPECT_EQ(2766u, getProcessProperty(address_ + L"-PSHostResolveState-localhost"));
}

// The directory: the group-policy key is read only when a directory answers.
class DirectoryPolicyTest : public PolicyLoadTest {
protected:
    void SetUp() override
    {
        PolicyLoadTest::SetUp();
        hkcu_->setDword(L"KRVZMA", 0); // no server policy: only the directory counts
        hkcu_->setDword(L"KRVADS", kMarkerOn);
        group_ = std::make_unique<RegistryKey>(HKEY_CURRENT_USER, settingskeys::kGroupPolicy,
                                               RegistryKey::kAllAccess, true);
        group_->setString(L"JobAccountingURL", L"http://group/accounting");
        registerStandin();
    }
    void TearDown() override
    {
        group_.reset();
        unregisterStandin();
        SetEnvironmentVariableW(L"VRELM_LDAP_STANDIN_DOMAIN", nullptr);
        PolicyLoadTest::TearDown();
    }

    // ADSI finds the "LDAP:" namespace's ProgID under its providers key and
    // the class through HKCR; Wine reads ProgIDs from the machine's classes
    // only, so the stand-in is registered there for the test's duration.
    void registerStandin()
    {
        const std::wstring dll = testenv::binDir() + L"\\ldapstandin.dll";
        RegistryKey server(HKEY_LOCAL_MACHINE,
                           std::wstring(L"Software\\Classes\\CLSID\\") + kStandinClsid + L"\\InprocServer32",
                           RegistryKey::kAllAccess, true);
        server.setString(L"", dll);
        server.setString(L"ThreadingModel", L"Both");
        RegistryKey progId(HKEY_LOCAL_MACHINE, std::wstring(L"Software\\Classes\\") + kStandinProgId + L"\\CLSID",
                           RegistryKey::kAllAccess, true);
        progId.setString(L"", kStandinClsid);
        RegistryKey provider(HKEY_LOCAL_MACHINE, kProvidersLdap, RegistryKey::kAllAccess, true);
        provider.queryString(L"", savedProvider_);
        provider.setString(L"", kStandinProgId);
        // COM unloads the provider when the policy uninitialises; kept
        // loaded here so that its record of binds survives.
        standin_ = LoadLibraryW(dll.c_str());
    }
    void unregisterStandin()
    {
        if (standin_)
            FreeLibrary(standin_);
        RegistryKey provider(HKEY_LOCAL_MACHINE, kProvidersLdap, RegistryKey::kAllAccess, true);
        provider.setString(L"", savedProvider_.empty() ? std::wstring(L"LDAPNamespace") : savedProvider_);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(L"Software\\Classes\\") + kStandinProgId).c_str());
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(L"Software\\Classes\\CLSID\\") + kStandinClsid).c_str());
    }

    struct Binds {
        LONG count = 0;
        std::wstring path;
        LONG flags = -1;
        BOOL credentials = TRUE;
    };
    Binds standinBinds()
    {
        using CallsFn = LONG(WINAPI*)(wchar_t*, DWORD, LONG*, BOOL*);
        Binds binds;
        HMODULE standin = GetModuleHandleW(L"ldapstandin.dll");
        if (!standin)
            return binds;
        auto calls = reinterpret_cast<CallsFn>(reinterpret_cast<void*>(GetProcAddress(standin, "LdapStandinCalls")));
        wchar_t path[512] = {};
        binds.count = calls(path, 512, &binds.flags, &binds.credentials);
        binds.path = path;
        return binds;
    }

    std::unique_ptr<RegistryKey> group_;
    std::wstring savedProvider_;
    HMODULE standin_ = nullptr;
};

struct DirectoryCase {
    const char* name;
    std::optional<DWORD> simulator;
    std::optional<std::wstring> dnsDomain;     // USERDNSDOMAIN
    std::optional<std::wstring> standinDomain; // the directory the stand-in serves
    LONG binds;
    bool groupPolicy;
};

TEST_F(DirectoryPolicyTest, GroupPolicyOnlyWhenTheDirectoryAnswers)
{
    const DirectoryCase cases[] = {
        {"simulated login", 1, L"localhost", L"corp.example", 0, true},
        {"simulated absence", 0, L"localhost", L"corp.example", 0, false},
        {"no DNS domain", std::nullopt, std::nullopt, L"corp.example", 0, false},
        {"unresolvable DNS domain", std::nullopt, L"nowhere.invalid", L"corp.example", 0, false},
        {"directory answers", std::nullopt, L"localhost", L"corp.example", 1, true},
        {"directory refuses", 0xFFFFFFFF, L"localhost", std::nullopt, 1, false},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        if (row.simulator)
            hkcu_->setDword(L"ADSLoginSimulator", *row.simulator);
        else
            hkcu_->deleteValue(L"ADSLoginSimulator");
        setEnvironment(L"USERDNSDOMAIN", row.dnsDomain);
        setEnvironment(L"VRELM_LDAP_STANDIN_DOMAIN", row.standinDomain);
        const LONG before = standinBinds().count;

        ManagedPrintPolicy* policy = freshPolicy();
        EXPECT_EQ(row.groupPolicy, policy->hasPolicy());
        std::wstring url;
        EXPECT_EQ(row.groupPolicy, policy->getString(L"JobAccountingURL", url));
        const Binds binds = standinBinds();
        EXPECT_EQ(row.binds, binds.count - before);
        if (row.binds) {
            EXPECT_EQ(L"LDAP://rootDSE", binds.path);
            EXPECT_EQ(LONG{ADS_SECURE_AUTHENTICATION}, binds.flags);
            EXPECT_FALSE(binds.credentials);
        }
    }
}

} // namespace
