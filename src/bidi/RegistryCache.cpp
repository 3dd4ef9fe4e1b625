#include "bidi/RegistryCache.h"

#include "core/ScopedHandle.h"

#include <winspool.h>

#include <cstring>

namespace MPrint {

namespace {

constexpr wchar_t kBidiCacheKey[] = L"PrinterDriverData\\BidiCache";
constexpr wchar_t kCacheSubfolders[] = L"\\Tarvokin\\QZ Keravin Printing";
constexpr size_t kHeaderBytes = 12;

std::wstring environmentValue(const wchar_t* name)
{
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = GetEnvironmentVariableW(name, buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

// base + "\Tarvokin" + "\QZ Keravin Printing", each level created when missing.
std::wstring makeCacheFolder(const std::wstring& base)
{
    std::wstring folder = base;
    const std::wstring levels = kCacheSubfolders;
    size_t start = 0;
    while (start < levels.size()) {
        size_t end = levels.find(L'\\', start + 1);
        if (end == std::wstring::npos)
            end = levels.size();
        folder += levels.substr(start, end - start);
        CreateDirectoryW(folder.c_str(), nullptr);
        start = end;
    }
    return folder;
}

DWORD readLittleEndian(const BYTE* bytes)
{
    return static_cast<DWORD>(bytes[0]) | static_cast<DWORD>(bytes[1]) << 8 | static_cast<DWORD>(bytes[2]) << 16 |
           static_cast<DWORD>(bytes[3]) << 24;
}

void appendLittleEndian(std::string& out, DWORD value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

// The whole file, when it opens (unshared) and is not larger than the limit.
bool readCacheFile(const std::wstring& path, std::vector<BYTE>& bytes)
{
    ScopedKernelHandle file(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size))
        return false;
    if (size.QuadPart < 0 || size.QuadPart > RegistryCache::kMaxFileBytes) {
        SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    bytes.assign(static_cast<size_t>(size.QuadPart), 0);
    DWORD read = 0;
    if (!bytes.empty() && (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size())) {
        SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    return true;
}

// The value lies inside the enumeration block the spooler filled.
bool insideBlock(const std::vector<BYTE>& block, const void* start, size_t size)
{
    const BYTE* first = static_cast<const BYTE*>(start);
    return first >= block.data() && first <= block.data() + block.size() &&
           size <= static_cast<size_t>(block.data() + block.size() - first);
}

} // namespace

RegistryCache::RegistryCache(const wchar_t* folder)
{
    if (folder && *folder) {
        folder_ = folder;
    } else {
        std::wstring programFiles = environmentValue(L"ProgramFiles");
        folder_ = makeCacheFolder(programFiles.empty() ? L"c:\\temp" : programFiles);
    }
    // The folder must take a file: a read-only or missing one moves the cache.
    const std::wstring probe = cachePath(L"TEMP");
    ScopedKernelHandle file(CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) {
        file.reset();
        DeleteFileW(probe.c_str());
        return;
    }
    std::wstring temp = environmentValue(L"TEMP");
    if (temp.empty())
        temp = environmentValue(L"TMP");
    folder_ = makeCacheFolder(temp.empty() ? L"c:\\temp" : temp);
}

RegistryCache::~RegistryCache() = default;

std::wstring RegistryCache::cachePath(const std::wstring& cacheName) const
{
    std::wstring path = folder_;
    if (path.empty() || path.back() != L'\\')
        path += L'\\';
    return path + cacheName + L".creg";
}

std::wstring RegistryCache::makeCacheName(const std::wstring& printerName)
{
    static const wchar_t kReplaced[] = L"/?|\"';:\\$%#@^&*()+=";
    std::wstring name = printerName;
    for (wchar_t& c : name) {
        if (c != 0 && wcschr(kReplaced, c))
            c = L'-';
        else if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return name;
}

bool RegistryCache::parseRecords(const BYTE* bytes, size_t size, std::vector<Record>& records)
{
    std::vector<Record> parsed;
    size_t offset = 0;
    while (offset < size) {
        if (size - offset < kHeaderBytes)
            return false;
        const DWORD nameUnits = readLittleEndian(bytes + offset);
        const DWORD type = readLittleEndian(bytes + offset + 4);
        const DWORD dataSize = readLittleEndian(bytes + offset + 8);
        offset += kHeaderBytes;
        // Sizes in 64 bits: nothing here wraps, whatever the file claims.
        const unsigned long long nameBytes = 2ull * nameUnits;
        if (nameUnits == 0 || nameUnits > kMaxNameUnits || nameBytes > size - offset ||
            dataSize > size - offset - nameBytes)
            return false;
        const BYTE* name = bytes + offset;
        if (name[nameBytes - 2] != 0 || name[nameBytes - 1] != 0)
            return false;
        Record record;
        record.type = type;
        for (DWORD i = 0; i < nameUnits; ++i) {
            const wchar_t unit = static_cast<wchar_t>(name[2 * i] | name[2 * i + 1] << 8);
            if (unit == 0)
                break;
            record.name.push_back(unit);
        }
        offset += nameBytes;
        record.data.assign(bytes + offset, bytes + offset + dataSize);
        offset += dataSize;
        parsed.push_back(std::move(record));
    }
    records = std::move(parsed);
    return true;
}

void RegistryCache::appendRecord(std::string& out, const wchar_t* name, DWORD nameUnits, DWORD type,
                                 const BYTE* data, DWORD size)
{
    appendLittleEndian(out, nameUnits);
    appendLittleEndian(out, type);
    appendLittleEndian(out, size);
    for (DWORD i = 0; i < nameUnits; ++i) {
        const wchar_t unit = name[i];
        out.push_back(static_cast<char>(unit & 0xFF));
        out.push_back(static_cast<char>((unit >> 8) & 0xFF));
    }
    if (size > 0)
        out.append(reinterpret_cast<const char*>(data), size);
}

bool RegistryCache::writeFile(const std::wstring& path, const std::vector<std::string>& records, bool keepEmpty)
{
    DeleteFileW(path.c_str());
    ScopedKernelHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    size_t written = 0;
    for (const std::string& record : records) {
        DWORD done = 0;
        if (record.size() > 0xFFFFFFFFu ||
            !WriteFile(file.get(), record.data(), static_cast<DWORD>(record.size()), &done, nullptr) ||
            done != record.size())
            break;
        ++written;
    }
    file.reset();
    if (written > 0)
        return true;
    if (!keepEmpty)
        DeleteFileW(path.c_str());
    return false;
}

bool RegistryCache::save(HANDLE printer, const wchar_t* cacheName)
{
    if (!cacheName)
        return false;
    std::vector<std::string> records;
    DWORD needed = 0, count = 0;
    EnumPrinterDataExW(printer, kBidiCacheKey, nullptr, 0, &needed, &count);
    if (needed > 0) {
        // The spooler may add values between the two calls: room to spare.
        std::vector<BYTE> block(static_cast<size_t>(needed) + 1024);
        DWORD used = 0;
        count = 0;
        if (EnumPrinterDataExW(printer, kBidiCacheKey, block.data(), static_cast<DWORD>(block.size()), &used,
                               &count) == ERROR_SUCCESS) {
            const auto* values = reinterpret_cast<const PRINTER_ENUM_VALUESW*>(block.data());
            for (DWORD i = 0; i < count && insideBlock(block, values + i, sizeof(*values)); ++i) {
                const PRINTER_ENUM_VALUESW& value = values[i];
                const DWORD nameUnits = value.cbValueName / 2;
                if (nameUnits == 0 || !insideBlock(block, value.pValueName, nameUnits * 2ull) ||
                    (value.cbData > 0 && !insideBlock(block, value.pData, value.cbData)))
                    break;
                std::string record;
                appendRecord(record, value.pValueName, nameUnits, value.dwType, value.pData, value.cbData);
                records.push_back(std::move(record));
            }
        }
    }
    return writeFile(cachePath(cacheName), records);
}

bool RegistryCache::restore(HANDLE printer, HKEY root, const wchar_t* keyPath, const wchar_t* cacheName)
{
    if (!cacheName || (!printer && (!root || !keyPath))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    std::vector<BYTE> bytes;
    if (!readCacheFile(cachePath(cacheName), bytes))
        return false;
    std::vector<Record> records;
    if (!parseRecords(bytes.data(), bytes.size(), records)) {
        SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    if (records.empty()) {
        SetLastError(ERROR_NO_DATA);
        return false;
    }
    ScopedRegKey key;
    if (!printer) {
        const LONG created = RegCreateKeyExW(root, keyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             key.receive(), nullptr);
        if (created != ERROR_SUCCESS) {
            SetLastError(static_cast<DWORD>(created));
            return false;
        }
    }
    size_t written = 0;
    DWORD firstError = ERROR_NO_DATA;
    for (const Record& record : records) {
        const BYTE* data = record.data.empty() ? nullptr : record.data.data();
        const DWORD size = static_cast<DWORD>(record.data.size());
        const DWORD result =
            printer ? SetPrinterDataExW(printer, kBidiCacheKey, record.name.c_str(), record.type,
                                        const_cast<BYTE*>(data), size)
                    : static_cast<DWORD>(
                          RegSetValueExW(key.get(), record.name.c_str(), 0, record.type, data, size));
        if (result == ERROR_SUCCESS) {
            ++written;
            continue;
        }
        // Once a value is in, a refused one is passed over.
        if (written == 0) {
            firstError = result;
            break;
        }
    }
    if (written > 0)
        return true;
    SetLastError(firstError);
    return false;
}

bool RegistryCache::remove(const wchar_t* cacheName)
{
    return cacheName && DeleteFileW(cachePath(cacheName).c_str()) != FALSE;
}

bool RegistryCache::importCacheFile(const wchar_t* printerName, const wchar_t* sourcePath, std::wstring& outPath)
{
    if (!printerName || !sourcePath)
        return false;
    outPath = cachePath(makeCacheName(printerName));
    return CopyFileW(sourcePath, outPath.c_str(), FALSE) != FALSE;
}

} // namespace MPrint
