// The managed-list discovery services: capabilities by location and extra
// bits, the search handler, and the default list's one-time decision
// against a scripted policy and reader and against a loopback HTTP server
// (a list, a 403, a refused port).
#include "discovery/ManagedPortDiscovery.h"
#include "discovery/QZMPLDiscovery.h"
#include "extension/CachedManagedListHost.h"
#include "core/RegistryKey.h"
#include "core/SettingsKeys.h"
#include "support/HttpTestServer.h"
#include "support/PrivateCurrentUser.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using MPrint::ManagedPortDiscovery;
using MPrint::QZMPLDiscovery;

namespace {

const GUID kListId = {0x5a0c1d2e, 0x3f40, 0x4b51, {0x86, 0x27, 0x38, 0x49, 0x5a, 0x6b, 0x7c, 0x8d}};

} // namespace

TEST(ManagedPortDiscoveryTest, Capabilities)
{
    struct Row {
        const wchar_t* location;
        uint32_t extra;
        uint32_t expected;
    } rows[] = {
        {L"qzmpls://lists.example/office.xml", 0x4000, 0xE038},
        {L"\\\\server\\lists\\office.xml", 0x4000, 0xC038},
        {L"OKV:qzmpl://lists.example/okv.xml", 0, 0xA038}, // the scheme anywhere
        {L"QZMPL://lists.example/a.xml", 0, 0x8038},       // in its own case only
        {L"", 0, 0x8038},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.location));
        ManagedPortDiscovery service(kListId, L"Office", row.location);
        service.setExtraCapabilities(row.extra);
        EXPECT_EQ(service.GetSearchCapabilities(), row.expected);
    }
}

TEST(ManagedPortDiscoveryTest, LifecycleAndUnsupportedCalls)
{
    ManagedPortDiscovery service(kListId, L"Office", L"C:\\lists\\office.xml");
    PrintPathList list;
    EXPECT_EQ(service.Resolve(nullptr, L"10.0.0.5", L"n", L"d", list), 9u);
    EXPECT_EQ(service.ValidateDevice(nullptr, nullptr), 9u);
    EXPECT_EQ(service.Start(), 4u) << "not enabled";
    EXPECT_EQ(service.IsRunning(), 0u);
    service.SetEnabled(true);
    EXPECT_EQ(service.Start(), 0u);
    EXPECT_EQ(service.Start(), 0u);
    EXPECT_EQ(service.IsRunning(), 1u);
    EXPECT_EQ(service.Stop(), 0u);
    EXPECT_EQ(service.IsRunning(), 0u);
    service.setListType(ManagedPortDiscovery::kOkvFormat);
    EXPECT_EQ(service.getListType(), 1u);
    EXPECT_EQ(service.getName(), L"Office");
    EXPECT_EQ(service.getListLocation(), L"C:\\lists\\office.xml");
}

TEST(ManagedPortDiscoveryTest, SearchRunsTheHandler)
{
    struct Call {
        ManagedPortDiscovery* service = nullptr;
        HWND window = nullptr;
        PrintPathList* list = nullptr;
        bool cancelled = true;
        int count = 0;
    } call;
    ManagedPortDiscovery service(kListId, L"Office", L"C:\\lists\\office.xml");
    PrintPathList list;
    const HWND window = reinterpret_cast<HWND>(0x1234);
    EXPECT_EQ(service.Search(window, nullptr, list, 40), 0u) << "no handler: success, no results";

    service.setSearchHandler(
        [](ManagedPortDiscovery* s, HWND w, PrintPathList& l, void* context) -> uint32_t {
            auto* c = static_cast<Call*>(context);
            *c = {s, w, &l, s->IsCancelled(), c->count + 1};
            return 17;
        },
        &call);
    service.RequestCancel();
    EXPECT_EQ(service.Search(window, nullptr, list, 40), 17u);
    EXPECT_EQ(call.count, 1);
    EXPECT_EQ(call.service, &service);
    EXPECT_EQ(call.window, window);
    EXPECT_EQ(call.list, &list);
    EXPECT_FALSE(call.cancelled) << "Search clears the cancel flag first";
    EXPECT_EQ(service.Search(window, nullptr, list, 32), 3u);
    EXPECT_EQ(call.count, 1) << "flags without 8 ask for nothing";
}

namespace {

struct Read {
    std::wstring location;
    DWORD timeoutMs;
};

// Answers per location prefix; logs every read.
struct ScriptedReader {
    struct Answer {
        std::wstring prefix;
        bool ok;
        DWORD status;
        std::string text;
    };
    std::vector<Answer> answers;
    std::vector<Read> reads;

    QZMPLDiscovery::ListReader reader()
    {
        return [this](const std::wstring& location, std::string& bytes, DWORD* status, DWORD timeoutMs) {
            reads.push_back({location, timeoutMs});
            for (const Answer& a : answers) {
                if (location.compare(0, a.prefix.size(), a.prefix) == 0) {
                    if (status)
                        *status = a.status;
                    if (a.ok)
                        bytes = a.text;
                    return a.ok;
                }
            }
            return false;
        };
    }
};

} // namespace

TEST(QZMPLDiscoveryTest, DecidesOnceFromPolicyAndFetch)
{
    const std::wstring placeholder = L"http://MPL_RESOLVE_ON_SEARCH/printerlist.xml";
    struct Row {
        const char* why;
        std::wstring location;
        QZMPLDiscovery::Policy policy;
        std::vector<ScriptedReader::Answer> answers;
        uint32_t capabilities;
        std::wstring finalLocation;
        std::vector<std::wstring> reads;
        DWORD timeoutMs;
    } rows[] = {
        {"a policy URL: no fetch", L"http://lists/p.xml", {true, L"http://lists/p.xml", L"srv"}, {}, 0x1F008038,
         L"http://lists/p.xml", {}, 0},
        {"a policy URL in the lists' scheme", L"qzmpl://lists/p", {true, L"qzmpl://lists/p", L""}, {}, 0x1F00A038,
         L"qzmpl://lists/p", {}, 0},
        {"no URL, no server", placeholder, {}, {}, 0x1F000000, placeholder, {}, 0},
        {"the server serves the list", placeholder, {false, L"", L"srv"}, {{L"http://srv/", true, 200, "<x/>"}},
         0x1F008038, L"http://srv/printerlist.xml", {L"http://srv/printerlist.xml"}, 8000},
        {"an empty list is not one", placeholder, {false, L"", L"srv"}, {{L"http://srv/", true, 200, ""}}, 0,
         L"http://srv/printerlist.xml", {L"http://srv/printerlist.xml"}, 8000},
        {"a failed fetch", placeholder, {false, L"", L"srv"}, {{L"http://srv/", false, 404, ""}}, 0,
         L"http://srv/printerlist.xml", {L"http://srv/printerlist.xml"}, 8000},
        {"403 over http, the list over https", placeholder, {false, L"", L"srv"},
         {{L"http://srv/", false, 403, ""}, {L"https://srv/", true, 200, "<x/>"}}, 0x1F008038,
         L"https://srv/printerlist.xml", {L"http://srv/printerlist.xml", L"https://srv/printerlist.xml"}, 8000},
        {"403 over both", placeholder, {false, L"", L"srv"},
         {{L"http://srv/", false, 403, ""}, {L"https://srv/", false, 403, ""}}, 0, L"http://srv/printerlist.xml",
         {L"http://srv/printerlist.xml", L"https://srv/printerlist.xml"}, 8000},
        {"only a leading http:// is rewritten", L"OKV:http://MPL_RESOLVE_ON_SEARCH/okv.xml", {false, L"", L"srv"},
         {{L"OKV:", false, 403, ""}}, 0, L"OKV:http://srv/okv.xml", {L"OKV:http://srv/okv.xml"}, 8000},
        {"a file list", L"\\\\MPL_RESOLVE_ON_SEARCH\\lists\\p.xml", {false, L"", L"srv"},
         {{L"\\\\srv", true, 0, "<x/>"}}, 0x1F008038, L"\\\\srv\\lists\\p.xml", {L"\\\\srv\\lists\\p.xml"}, 15000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        ScriptedReader script{row.answers, {}};
        int policyQueries = 0;
        QZMPLDiscovery service(
            kListId, L"Default", row.location,
            [&] {
                ++policyQueries;
                return row.policy;
            },
            script.reader());
        EXPECT_EQ(service.GetSearchCapabilities(), row.capabilities);
        EXPECT_EQ(service.GetSearchCapabilities(), row.capabilities);
        EXPECT_EQ(policyQueries, 1) << "decided once";
        EXPECT_EQ(service.getListLocation(), row.finalLocation);
        std::vector<std::wstring> reads;
        for (const Read& read : script.reads) {
            reads.push_back(read.location);
            EXPECT_EQ(read.timeoutMs, row.timeoutMs);
        }
        EXPECT_EQ(reads, row.reads);
    }
}

TEST(QZMPLDiscoveryTest, FetchesFromALoopbackServer)
{
    testenv::PrivateCurrentUser user; // the list cache's key
    ASSERT_TRUE(user.isActive());
    // The cache lives under the user's settings key, which it never creates.
    ASSERT_TRUE(RegistryKey(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess, true).isOpen());
    testenv::HttpTestServer server;
    ASSERT_TRUE(server.started());
    const std::wstring host = L"127.0.0.1:" + std::to_wstring(server.port());
    const std::wstring placeholder = L"http://MPL_RESOLVE_ON_SEARCH/printerlist.xml";
    auto make = [&](const std::wstring& serverName) {
        return std::make_unique<QZMPLDiscovery>(
            kListId, L"Default", placeholder,
            [serverName] {
                QZMPLDiscovery::Policy policy;
                policy.server = serverName;
                return policy;
            },
            MPrint::CachedManagedListHost::readThroughCache);
    };

    server.answer("/printerlist.xml", testenv::HttpAnswer::ok("<qzmanagedprinting/>"));
    auto served = make(host);
    EXPECT_EQ(served->GetSearchCapabilities(), QZMPLDiscovery::kSearchable);
    EXPECT_EQ(served->getListLocation(), L"http://" + host + L"/printerlist.xml");
    std::string cached;
    EXPECT_TRUE(MPrint::CachedManagedListHost::readThroughCache(served->getListLocation(), cached, nullptr, 1000));
    EXPECT_EQ(cached, "<qzmanagedprinting/>");
    EXPECT_EQ(server.count("/printerlist.xml"), 1u) << "the later read came from the cache";

    server.answer("/forbidden/printerlist.xml", testenv::HttpAnswer::withStatus(403));
    auto forbidden = make(host + L"/forbidden");
    EXPECT_EQ(forbidden->GetSearchCapabilities(), 0u);
    EXPECT_EQ(forbidden->getListLocation(), L"http://" + host + L"/forbidden/printerlist.xml")
        << "the https try failed (this server speaks no TLS), so the location stays";
    const auto requests = server.requests();
    EXPECT_TRUE(std::any_of(requests.begin(), requests.end(), [](const testenv::HttpRequest& r) { return r.tls; }))
        << "the retry went out over https";

    auto refused = make(L"127.0.0.1:" + std::to_wstring(testenv::HttpTestServer::closedPort()));
    EXPECT_EQ(refused->GetSearchCapabilities(), 0u);
}
