// A ".creg" bidi cache file as print servers hand them out: parsed, restored
// into a private key, and every record it accepted written again and parsed
// back unchanged. A file restore accepts is one the parser accepts.
#include "FuzzTarget.h"

#include "bidi/RegistryCache.h"
#include "support/ScratchKey.h"
#include "support/TestEnv.h"

namespace {

class BidiCacheFileTarget : public fuzz::FuzzTarget {
public:
    bool setUp() override { return testenv::fileExists(dir_.path()); }

    void run(const std::string& input) override
    {
        MPrint::RegistryCache cache(dir_.path().c_str());
        if (!testenv::writeFile(cache.cachePath(L"fuzz"), input))
            return;
        const BYTE* bytes = reinterpret_cast<const BYTE*>(input.data());
        std::vector<MPrint::RegistryCache::Record> records;
        const bool parsed = MPrint::RegistryCache::parseRecords(bytes, input.size(), records);
        testenv::ScratchKey key(L"FuzzBidiCache");
        const bool restored = cache.restore(nullptr, HKEY_CURRENT_USER, key.path().c_str(), L"fuzz");
        if (restored && !parsed)
            fuzz::reportWrongResult("restore stored values of a file the parser refuses");
        if (!parsed)
            return;
        std::string again;
        for (const auto& record : records) {
            const std::wstring name = record.name;
            MPrint::RegistryCache::appendRecord(again, name.c_str(), static_cast<DWORD>(name.size() + 1),
                                                record.type, record.data.data(),
                                                static_cast<DWORD>(record.data.size()));
        }
        std::vector<MPrint::RegistryCache::Record> reread;
        if (!MPrint::RegistryCache::parseRecords(reinterpret_cast<const BYTE*>(again.data()), again.size(), reread) ||
            reread.size() != records.size())
            fuzz::reportWrongResult("records written again do not parse back");
        for (size_t i = 0; i < reread.size() && i < records.size(); ++i)
            if (reread[i].name != records[i].name || reread[i].type != records[i].type ||
                reread[i].data != records[i].data)
                fuzz::reportWrongResult("a record written again reads back changed");
    }

private:
    testenv::TempDir dir_;
};

} // namespace

FUZZ_TARGET(BidiCacheFileTarget, "bidi-cache-file", fuzz::InputShape::Bytes);
