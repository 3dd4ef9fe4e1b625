#include "extension/CachedFileReader.h"

#include "core/FilePaths.h"
#include "core/OutsideDocument.h"
#include "core/RefreshTime.h"
#include "core/ScopedHandle.h"
#include "core/SettingsKeys.h"

#include <cwchar>
#include <iterator>

namespace {

constexpr wchar_t kRefreshSuffix[] = L"-refreshTime";
constexpr DWORD kDefaultRefresh = 1; // hour

// The index is the user's to edit, and a process of more rights may read
// it: only a copy of the reader's own making (a "QZM" temporary file right in
// the temporary folder) is read or deleted through it, never a file that a
// crafted value names.
bool isCacheCopy(const std::wstring& path)
{
    wchar_t temp[520] = {};
    const DWORD length = GetTempPathW(static_cast<DWORD>(std::size(temp)), temp);
    if (length == 0 || length >= std::size(temp) || path.size() <= length ||
        _wcsnicmp(path.c_str(), temp, length) != 0)
        return false;
    const std::wstring name = path.substr(length);
    return name.size() > 7 && _wcsnicmp(name.c_str(), L"QZM", 3) == 0 &&
           _wcsicmp(name.c_str() + name.size() - 4, L".tmp") == 0 &&
           name.find_first_of(L"\\/:") == std::wstring::npos;
}

} // namespace

namespace MPrint {

CachedFileReader::CachedFileReader()
{
    openCacheKey();
}

CachedFileReader::~CachedFileReader() = default;

void CachedFileReader::openCacheKey()
{
    // The settings key is not created here: without it there is no cache.
    RegistryKey settings(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kRead);
    if (settings.isOpen())
        cacheKey_.reset(new (std::nothrow) RegistryKey(settings.getHandle(), settingskeys::kFileCacheName,
                                                       RegistryKey::kAllAccess, true, true));
    else // a closed key: its operations answer false
        cacheKey_.reset(new (std::nothrow) RegistryKey(nullptr, RegistryKey::kAllAccess));
}

bool CachedFileReader::lookup(const wchar_t* source, std::string& out)
{
    if (!source || !cacheKey_)
        return false;
    std::wstring path;
    DWORD stamp = 0;
    if (!cacheKey_->queryString(source, path) || !isCacheCopy(path) || !cacheKey_->queryDword(path, &stamp))
        return false;
    DWORD refresh = kDefaultRefresh;
    DWORD value = 0;
    if (cacheKey_->queryDword(std::wstring(source) + kRefreshSuffix, &value))
        refresh = value;
    if (!isFresh(stamp, refreshTimeToMs(refresh), GetTickCount()))
        return false;
    return readWholeFile(path.c_str(), out);
}

bool CachedFileReader::store(const wchar_t* source, const std::string& text)
{
    if (!source || !cacheKey_ || text.size() > MAXDWORD)
        return false;
    const std::wstring written = makeTempFileName(nullptr);
    if (written.empty())
        return false;
    // CREATE_ALWAYS: should the name be taken after all (the fixed fallback
    // name), an older, longer copy must not leave its tail behind.
    ScopedKernelHandle file(CreateFileW(written.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return false;
    DWORD count = 0;
    const bool wrote = WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &count, nullptr) &&
                       count == text.size();
    file.reset();
    if (!wrote) {
        DeleteFileW(written.c_str());
        return false;
    }
    // The source's previous copy takes the new text in one rename, keeping
    // its name and its delete-at-restart: a long-running process then holds
    // one copy per source. A copy that a reader still has open cannot be
    // replaced; the new one gets a name and a delete-at-restart of its own,
    // and the old one goes at restart as it was set to.
    std::wstring previous;
    std::wstring path = written;
    if (cacheKey_->queryString(source, previous) && isCacheCopy(previous) &&
        MoveFileExW(written.c_str(), previous.c_str(), MOVEFILE_REPLACE_EXISTING))
        path = previous;
    if (!cacheKey_->setString(source, path)) {
        DeleteFileW(path.c_str());
        return false;
    }
    cacheKey_->setDword(path, GetTickCount());
    if (path == written) {
        if (!previous.empty() && isCacheCopy(previous))
            cacheKey_->deleteValue(previous);
        MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
    return true;
}

bool CachedFileReader::read(const wchar_t* source, std::string& out, DWORD* status, DWORD timeoutMs)
{
    if (!source)
        return false;
    if (lookup(source, out))
        return true;
    std::string text;
    if (!fetchDocument(source, text, status, timeoutMs))
        return false;
    store(source, text);
    out.swap(text);
    return true;
}

void CachedFileReader::setRefreshTime(const wchar_t* source, DWORD value)
{
    if (source && cacheKey_)
        cacheKey_->setDword(std::wstring(source) + kRefreshSuffix, value);
}

void CachedFileReader::removeCachedFile(const wchar_t* source)
{
    std::wstring path;
    if (!source || !cacheKey_ || !cacheKey_->queryString(source, path))
        return;
    if (isCacheCopy(path))
        DeleteFileW(path.c_str());
    cacheKey_->deleteValue(source);
    cacheKey_->deleteValue(path);
}

void CachedFileReader::clearCache()
{
    cacheKey_.reset();
    RegDeleteKeyW(HKEY_CURRENT_USER, settingskeys::kFileCache);
    openCacheKey();
}

} // namespace MPrint
