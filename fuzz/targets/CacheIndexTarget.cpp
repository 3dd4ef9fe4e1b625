// The cached file reader's index, a per-user key that the user can write:
// parts (see InputParts.h) for the source's value (the copy's path), the
// path's value (its time stamp) and "<source>-refreshTime". In the path,
// "%COPY%" stands for a real copy of the reader's own and "%TEMP%" for the
// temporary folder; in a 'D' stamp, "%NOW%" for the current tick. Looked
// up, sometimes stored again, then removed.
#include "FuzzTarget.h"
#include "InputParts.h"

#include "extension/CachedFileReader.h"
#include "support/PrivateCurrentUser.h"
#include "support/TestEnv.h"

namespace {

constexpr wchar_t kSettingsKey[] = L"Software\\Tarvokin\\QZ Print Settings";
constexpr wchar_t kCacheKey[] = L"Software\\Tarvokin\\QZ Print Settings\\MPLCache";
// Never fetched: the target only looks up, stores and removes.
constexpr wchar_t kSource[] = L"http://127.0.0.1:9/fuzz/list.xml";

void replaceAll(std::string& text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

std::string narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out += static_cast<char>(c);
    return out;
}

class CacheIndexTarget : public fuzz::FuzzTarget {
public:
    bool setUp() override
    {
        if (!user_.isActive())
            return false;
        RegistryKey settings(HKEY_CURRENT_USER, kSettingsKey, RegistryKey::kAllAccess, true);
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        temp_ = narrow(temp);
        if (!temp_.empty() && temp_.back() == '\\')
            temp_.pop_back();
        return settings.isOpen() && makeCopy();
    }

    void run(const std::string& input) override
    {
        if (GetFileAttributesW(copy_.c_str()) == INVALID_FILE_ATTRIBUTES && !makeCopy())
            return;
        std::vector<std::string> parts = fuzz::splitParts(input);
        parts.resize(3);
        replaceAll(parts[0], "%COPY%", narrow(copy_));
        replaceAll(parts[0], "%TEMP%", temp_);
        replaceAll(parts[1], "%NOW%", std::to_string(GetTickCount()));
        {
            RegistryKey cache(HKEY_CURRENT_USER, kCacheKey, RegistryKey::kAllAccess, true);
            fuzz::writeValue(cache.getHandle(), kSource, parts[0]);
            std::wstring path;
            cache.queryString(kSource, path);
            fuzz::writeValue(cache.getHandle(), path, parts[1]);
            fuzz::writeValue(cache.getHandle(), std::wstring(kSource) + L"-refreshTime", parts[2]);
        }
        MPrint::CachedFileReader reader;
        std::string text;
        reader.lookup(kSource, text);
        if (++count_ % 8 == 0) {
            reader.store(kSource, input);
            reader.lookup(kSource, text);
        }
        reader.removeCachedFile(kSource);
        reader.clearCache();
    }

    std::vector<std::string> dictionary() const override
    {
        return {"%COPY%", "%TEMP%", "%NOW%", "\n--\nS", "\n--\ns", "\n--\nD", "\n--\nd", "\n--\nq", "QZM", ".tmp",
                "\\..\\", "C:\\windows\\win.ini", "\\\\?\\"};
    }

private:
    bool makeCopy()
    {
        // One copy of the reader's own making stays indexed under another source.
        MPrint::CachedFileReader reader;
        if (!reader.store(L"fuzz-copy", "<list/>"))
            return false;
        RegistryKey cache(HKEY_CURRENT_USER, kCacheKey, RegistryKey::kRead);
        return cache.queryString(L"fuzz-copy", copy_);
    }

    testenv::PrivateCurrentUser user_;
    std::wstring copy_;
    std::string temp_;
    unsigned count_ = 0;
};

} // namespace

FUZZ_TARGET(CacheIndexTarget, "cache-index", fuzz::InputShape::Text);
