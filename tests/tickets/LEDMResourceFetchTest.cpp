#include "tickets/LEDMResourceFetch.h"

#include "support/LedmDevice.h"

#include <gtest/gtest.h>

#include <cstring>

using MPrint::LEDMTreeTable;
using testenv::HttpAnswer;
using testenv::LedmDevice;

namespace {

// The body of a fetched block, without its terminator; empty when none.
std::string bodyOf(HGLOBAL block)
{
    if (!block)
        return {};
    const char* data = static_cast<const char*>(GlobalLock(block));
    // The block may be larger than asked for; the body ends at its terminator.
    const size_t size = GlobalSize(block);
    const void* end = data ? std::memchr(data, 0, size) : nullptr;
    std::string body = end ? std::string(data, static_cast<const char*>(end) - data) : std::string();
    if (data)
        GlobalUnlock(block);
    return body;
}

bool fetch(LEDMTreeTable& table, const LedmDevice& device, const std::wstring& xpath, const std::wstring& tree,
           std::string* body = nullptr)
{
    HGLOBAL block = nullptr;
    const bool ok = MPrint::ledmFetchResource(&table, device.host().c_str(), xpath, tree, &block);
    if (body)
        *body = bodyOf(block);

    MPrint::globalFreeBuffer(block);
    return ok;
}

TEST(LEDMResourceFetch, ProbeAnswersOnlyForAnLedmDeviceAtAnAddress)
{
    LedmDevice device;
    ASSERT_TRUE(device.started());
    EXPECT_TRUE(MPrint::ledmProbeDiscoveryTree(device.host().c_str()));
    EXPECT_EQ(1u, device.count("/DevMgmt/DiscoveryTree.xml"));

    // Host names never probe: no traffic at all.
    EXPECT_FALSE(MPrint::ledmProbeDiscoveryTree(L"localhost"));
    EXPECT_FALSE(MPrint::ledmProbeDiscoveryTree(L""));
    EXPECT_FALSE(MPrint::ledmProbeDiscoveryTree(nullptr));
    EXPECT_EQ(1u, device.total());

    // Nothing listening: refused at once, no time-out to wait for.
    const std::wstring unused = LedmDevice::unusedHost();
    ASSERT_FALSE(unused.empty());
    EXPECT_FALSE(MPrint::ledmProbeDiscoveryTree(unused.c_str()));

    // A server on 8080 that answers with an error page is no LEDM device.
    device.setNotFound(true, true);
    EXPECT_FALSE(MPrint::ledmProbeDiscoveryTree(device.host().c_str()));
    device.setNotFound(true, false);
    EXPECT_FALSE(MPrint::ledmProbeDiscoveryTree(device.host().c_str()));
    EXPECT_EQ(3u, device.count("/DevMgmt/DiscoveryTree.xml"));
}

TEST(LEDMResourceFetch, EachResourceOfBothRevisions)
{
    struct Row {
        int revision;
        const wchar_t* xpath;
        const wchar_t* tree;
        const char* path;
        const char* root;
    };
    const Row rows[] = {
        {1, L"/pucap:ProductUsageCap/pucap:ConsumableSubunitCap", L"pucap:ProductUsageCap", "/DevMgmt/ProductUsageCap.xml", "<pucap:ProductUsageCap"},
        {1, L"/prdcfgcap:ProductConfigCap/x", L"prdcfgcap:ProductConfigCap", "/DevMgmt/ProductConfigCap.xml", "<prdcfgcap:ProductConfigCap"},
        {1, L"/mhdyn:MediaHandlingDyn/x", L"mhdyn:MediaHandlingDyn", "/DevMgmt/MediaHandlingDyn.xml", "<mhdyn:MediaHandlingDyn"},
        {1, L"/prdcfgdyn:ProductConfigDyn/x", L"prdcfgdyn:ProductConfigDyn", "/DevMgmt/ProductConfigDyn.xml", "<prdcfgdyn:ProductConfigDyn"},
        {1, L"/mediacap:MediaCap/x", L"mediacap:MediaCap", "/DevMgmt/MediaCap.xml", "<mediacap:MediaCap"},
        {1, L"/mhcap:MediaHandlingCap/x", L"mhcap:MediaHandlingCap", "/DevMgmt/MediaHandlingCap.xml", "<mhcap:MediaHandlingCap"},
        {1, L"/psdyn:ProductStatusDyn/x", L"psdyn:ProductStatusDyn", "/DevMgmt/ProductStatusDyn.xml", "<psdyn:ProductStatusDyn"},
        {2, L"/prdcfgcap2:ProductConfigCap/x", L"prdcfgcap2:ProductConfigCap", "/DevMgmt/ProductConfigCap.xml", "<prdcfgcap2:ProductConfigCap"},
        {2, L"/prdcfgdyn2:ProductConfigDyn/x", L"prdcfgdyn2:ProductConfigDyn", "/DevMgmt/ProductConfigDyn.xml", "<prdcfgdyn2:ProductConfigDyn"},
        {2, L"/mediacap2:MediaCap/x", L"mediacap2:MediaCap", "/DevMgmt/MediaCap.xml", "<mediacap2:MediaCap"},
        {2, L"/mhcap2:MediaHandlingCap/x", L"mhcap2:MediaHandlingCap", "/DevMgmt/MediaHandlingCap.xml", "<mhcap2:MediaHandlingCap"},
    };
    LedmDevice device;
    ASSERT_TRUE(device.started());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        device.setRevision(row.revision);
        LEDMTreeTable table;
        ASSERT_TRUE(table.valid());
        std::string body;
        const size_t before = device.count(row.path);
        EXPECT_TRUE(fetch(table, device, row.xpath, row.tree, &body));
        EXPECT_EQ(before + 1, device.count(row.path));
        EXPECT_NE(std::string::npos, body.find(row.root));
    }
}

TEST(LEDMResourceFetch, KeptRowsAreFetchedOnceStatusEveryTime)
{
    LedmDevice device(L"office-ledm", 2);
    ASSERT_TRUE(device.started());
    LEDMTreeTable table;
    std::string first, second;
    EXPECT_TRUE(fetch(table, device, L"/prdcfgdyn2:ProductConfigDyn/prdcfgdyn:Memory", L"prdcfgdyn2:ProductConfigDyn", &first));
    EXPECT_TRUE(fetch(table, device, L"/prdcfgdyn2:ProductConfigDyn/x", L"prdcfgdyn2:ProductConfigDyn", &second));
    EXPECT_EQ(1u, device.count("/DevMgmt/ProductConfigDyn.xml"));
    EXPECT_EQ(first, second) << "the kept copy answers";
    EXPECT_NE(nullptr, table.row(5)->data);
    EXPECT_EQ(first.size() + 1, table.row(5)->size);
    EXPECT_EQ(nullptr, table.row(4)->data) << "the first revision's row is its own";

    EXPECT_TRUE(fetch(table, device, L"/psdyn:ProductStatusDyn/x", L"psdyn:ProductStatusDyn"));
    EXPECT_TRUE(fetch(table, device, L"/psdyn:ProductStatusDyn/x", L"psdyn:ProductStatusDyn"));
    EXPECT_EQ(2u, device.count("/DevMgmt/ProductStatusDyn.xml"));
    EXPECT_EQ(nullptr, table.row(12)->data);
}

TEST(LEDMResourceFetch, BadRequestsAndAnswersFail)
{
    LedmDevice device;
    ASSERT_TRUE(device.started());
    LEDMTreeTable table;
    struct Row {
        const char* name;
        const wchar_t* xpath;
        const wchar_t* tree;
    };
    const Row rows[] = {
        {"tree not in the table", L"/dd:Other/x", L"dd:Other"},
        {"no step after the name", L"/mediacap:MediaCap", L"mediacap:MediaCap"},
        {"empty xpath", L"", L"mediacap:MediaCap"},
        {"empty tree", L"/mediacap:MediaCap/x", L""},
        {"resource the device lacks", L"/ccdyn:ConsumableConfigDyn/x", L"ccdyn:ConsumableConfigDyn"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_FALSE(fetch(table, device, row.xpath, row.tree));
    }
    EXPECT_EQ(1u, device.total()) << "only the resource the device lacks was asked for";

    device.answer("/DevMgmt/MediaCap.xml", HttpAnswer::ok(std::string("\0<mediacap:MediaCap/>", 21)));
    EXPECT_FALSE(fetch(table, device, L"/mediacap:MediaCap/x", L"mediacap:MediaCap")) << "a body starting with NUL";
    EXPECT_EQ(nullptr, table.row(6)->data);
    device.answer("/DevMgmt/MediaCap.xml", HttpAnswer::ok(""));
    EXPECT_FALSE(fetch(table, device, L"/mediacap:MediaCap/x", L"mediacap:MediaCap")) << "an empty body";
}

// A body may arrive in many pieces; the whole of it is bounded, however it
// is cut, and nothing past the bound is written anywhere.
TEST(LEDMResourceFetch, LargeBodiesInPieces)
{
    LedmDevice device;
    ASSERT_TRUE(device.started());
    auto bodyOfSize = [](size_t size) {
        std::string body = "<mediacap:MediaCap xmlns:mediacap=\"urn:x\">";
        const std::string end = "</mediacap:MediaCap>";
        body.append(size - body.size() - end.size(), 'x');
        return body + end;
    };
    struct Row {
        const char* name;
        HttpAnswer answer;
        bool ok;
    };
    const Row rows[] = {
        {"at the bound, 32 KB pieces", HttpAnswer::chunked(bodyOfSize(MPrint::kLedmMaxBodyBytes), 32 * 1024), true},
        {"one byte over, 32 KB pieces", HttpAnswer::chunked(bodyOfSize(MPrint::kLedmMaxBodyBytes + 1), 32 * 1024), false},
        {"far over, small pieces", HttpAnswer::chunked(bodyOfSize(600 * 1024), 4096), false},
        {"one byte over, with a length", HttpAnswer::ok(bodyOfSize(MPrint::kLedmMaxBodyBytes + 1)), false},
        {"at the bound, with a length", HttpAnswer::ok(bodyOfSize(MPrint::kLedmMaxBodyBytes)), true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        device.answer("/DevMgmt/MediaCap.xml", row.answer);
        LEDMTreeTable table;
        std::string body;
        EXPECT_EQ(row.ok, fetch(table, device, L"/mediacap:MediaCap/x", L"mediacap:MediaCap", &body));
        if (row.ok) {
            EXPECT_TRUE(row.answer.body == body) << body.size() << " bytes";
            EXPECT_EQ(MPrint::kLedmMaxBodyBytes + 1, table.row(6)->size);
        }
    }
}

} // namespace
