#include "bidi/OIDKRVMapperFactory.h"
#include "bidi/OIDLEDMMapperFactory.h"
#include "bidi/OIDRequest.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <thread>

using namespace MPrint;

namespace {

std::unique_ptr<OIDMapper> row(OIDMapperFactory& factory, const std::string& oid)
{
    return std::unique_ptr<OIDMapper>(factory.GetMapper(oid));
}

TEST(OIDTables, FirstUseFromManyThreadsFillsEachTableOnce)
{
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([i] {
            OIDMapperFactory* factory = getOIDMapperFactory(i % 2 ? 1 : 2);
            delete factory->GetMapper("1.3.6.1.2.1.25.3.2.1.3.1");
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(102u, getOIDMapperFactory(1)->size());
    EXPECT_EQ(32u, getOIDMapperFactory(2)->size());
    EXPECT_EQ(nullptr, getOIDMapperFactory(0));
    EXPECT_EQ(nullptr, getOIDMapperFactory(3));
}

TEST(OIDTables, EveryChainEndsInInvalidThroughKeys)
{
    for (DWORD kind : {1u, 2u}) {
        SCOPED_TRACE(kind);
        OIDMapperFactory& factory = *getOIDMapperFactory(kind);
        const std::vector<std::string> keys = factory.keys();
        const std::set<std::string> known(keys.begin(), keys.end());
        for (const std::string& key : keys) {
            const std::unique_ptr<OIDMapper> mapper = row(factory, key);
            ASSERT_NE(nullptr, mapper);
            EXPECT_TRUE(mapper->nextOID == kInvalidOID || known.count(mapper->nextOID)) << key;
            EXPECT_LE(mapper->type, 2u) << key;
        }
    }
}

TEST(OIDTables, LedmRowsByGroup)
{
    OIDMapperFactory& factory = OIDLEDMMapperFactory::instance();
    struct Row {
        const char* oid;
        DWORD type;
        DWORD flags;
        const wchar_t* xpath;
        const wchar_t* alternate; // null: none
        const char* next;
    };
    const Row rows[] = {
        {"1.3.6.1.4.1.11.2.3.9.4.2.1.4.1.8.3.14.1.0", 0, 1, L"/mediacap:MediaCap/mediacap:MediaTypeSupport/dd:MediaType[1]",
         L"/mediacap2:MediaCap/mediacap:MediaTypeSupport/dd:MediaType[1]", "Invalid"},
        {"1.3.6.1.4.1.11.2.3.9.4.2.1.4.1.8.3.45.1.0", 0, 1, L"/mediacap:MediaCap/mediacap:MediaTypeSupport/dd:MediaType[32]",
         L"/mediacap2:MediaCap/mediacap:MediaTypeSupport/dd:MediaType[32]", "Invalid"},
        {"1.3.6.1.2.1.43.8.2.1.13.1", 2, 1, L"", nullptr, "1.3.6.1.2.1.43.8.2.1.13.1.1"},
        {"1.3.6.1.2.1.43.8.2.1.13.1.1", 2, 1, L"/mhdyn:MediaHandlingDyn/mhdyn:InputTray[0]/dd:InputBin", nullptr,
         "1.3.6.1.2.1.43.8.2.1.13.1.2"},
        {"1.3.6.1.2.1.43.8.2.1.2.1.15", 2, 1, L"/mhdyn:MediaHandlingDyn/mhdyn:InputTray[14]/dd:FeederType", nullptr, "Invalid"},
        {"1.3.6.1.2.1.43.15.1.1.2.1", 1, 1, L"/prdcfgcap:ProductConfigCap/prdcfgcap:ProductInformationCap",
         L"/prdcfgcap2:ProductConfigCap/prdcfgcap:ProductInformationCap", "1.3.6.1.2.1.43.15.1.1.2.1.0"},
        {"1.3.6.1.2.1.43.15.1.1.3.1.2", 0, 1,
         L"/prdcfgcap:ProductConfigCap/prdcfgcap:ProductInformationCap/prdcfgcap:PersonalitySupport/dd:Interpreter[2]/dd:Version/dd:Revision",
         L"/prdcfgcap2:ProductConfigCap/prdcfgcap2:ProductInformationCap/prdcfgcap:PersonalitySupport/dd:Interpreter[2]/dd:Version/dd:Revision",
         "Invalid"},
        {"1.3.6.1.2.1.43.13.4.1.4.1.1", 1, 0, L"/prdcfgcap:ProductConfigCap/prdcfgcap:ProductInformationCap/dd:PrintEnginePPM",
         L"/prdcfgcap2:ProductConfigCap/prdcfgcap2:ProductInformationCap/prdcfgcap:PrintEnginePPM", "Invalid"},
        {"1.3.6.1.2.1.43.8.2.1.9.1.15", 1, 0,
         L"/mhcap:MediaHandlingCap/mhcap:InputTrayCap[14]/mhcap:MaxCapacitySupport/dd:MaxCapacity",
         L"/mhcap2:MediaHandlingCap/mhcap2:InputTrayCap[14]/mhcap2:MaxCapacitySupport/dd:MaxCapacity", "Invalid"},
    };
    for (const Row& expected : rows) {
        SCOPED_TRACE(expected.oid);
        std::unique_ptr<OIDMapper> mapper = row(factory, expected.oid);
        ASSERT_NE(nullptr, mapper);
        EXPECT_EQ(expected.type, mapper->type);
        EXPECT_EQ(expected.flags, mapper->flags);
        EXPECT_EQ(expected.xpath, mapper->xpath);
        EXPECT_EQ(expected.next, mapper->nextOID);
        std::wstring alternate;
        EXPECT_EQ(expected.alternate != nullptr, mapper->nextAlternateXPath(alternate));
        if (expected.alternate) {
            EXPECT_EQ(expected.alternate, alternate);
        }
        EXPECT_FALSE(mapper->nextAlternateXPath(alternate)) << "taking an alternate consumes it";
    }
    // The table's own rows are never consumed.
    std::unique_ptr<OIDMapper> again = row(factory, "1.3.6.1.2.1.43.13.4.1.4.1.1");
    EXPECT_EQ(1u, again->alternateXPaths.size());

    // Flags 0 (refresh before answering) only on the engine-speed and capacity rows.
    size_t refreshing = 0;
    for (const std::string& key : factory.keys())
        refreshing += row(factory, key)->flags == 0;
    EXPECT_EQ(2u + 15u, refreshing);
}

} // namespace
