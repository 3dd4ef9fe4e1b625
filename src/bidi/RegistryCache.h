// A queue's cached bidi answers ("PrinterDriverData\BidiCache") kept on disk
// as one ".creg" file per cache name in the cache folder. A file holds records
// back to back, no header: u32 name length N (UTF-16 units, its NUL
// included), u32 registry type, u32 data length D, the name, the data; all
// little-endian. Files may come from print servers, so restore checks the
// whole file before it writes anything: a malformed file stores nothing.
#pragma once

#include "core/Win32.h"

#include <string>
#include <vector>

namespace MPrint {

class RegistryCache {
public:
    struct Record {
        std::wstring name;  // up to the name's first NUL
        DWORD type = 0;
        std::vector<BYTE> data;
    };

    // The longest value name a record may carry (the registry's limit), in
    // UTF-16 units with the NUL, and the largest file restore reads.
    static constexpr DWORD kMaxNameUnits = 16384;
    static constexpr DWORD kMaxFileBytes = 16u << 20;

    // A non-empty folder is kept as given; otherwise
    // %ProgramFiles%\Tarvokin\QZ Keravin Printing, created when missing. When
    // a probe file cannot be created in the folder, the cache moves to
    // %TEMP% (else %TMP%, else c:\temp) + \Tarvokin\QZ Keravin Printing.
    explicit RegistryCache(const wchar_t* folder);
    virtual ~RegistryCache();
    RegistryCache(const RegistryCache&) = delete;
    RegistryCache& operator=(const RegistryCache&) = delete;

    // Writes the queue's BidiCache values to the file of the cache name,
    // replacing it; true when at least one record was written (no file is
    // left otherwise).
    virtual bool save(HANDLE printer, const wchar_t* cacheName);
    // Writes the file's values as printer data through the handle or, with
    // none, into root\keyPath (created). True when at least one value was
    // written. On false the thread's last error tells why: the file's open
    // error, the registry's or spooler's code (ERROR_ACCESS_DENIED leads
    // callers to a per-user fallback), or ERROR_INVALID_DATA for a malformed
    // file, in which case nothing was created or written.
    virtual bool restore(HANDLE printer, HKEY root, const wchar_t* keyPath, const wchar_t* cacheName);
    virtual bool remove(const wchar_t* cacheName);
    // Copies an existing file to the printer's cache path (set in outPath
    // even when the copy fails), replacing what is there.
    virtual bool importCacheFile(const wchar_t* printerName, const wchar_t* sourcePath, std::wstring& outPath);

    const std::wstring& getFolder() const { return folder_; }
    std::wstring cachePath(const std::wstring& cacheName) const;

    // The printer name with / ? | " ' ; : \ $ % # @ ^ & * ( ) + = made "-",
    // then A-Z lower-cased.
    static std::wstring makeCacheName(const std::wstring& printerName);
    // Every record of a file's bytes; false (records untouched) when any
    // record is truncated, claims more than the bytes left, has a name over
    // kMaxNameUnits or one without its terminating NUL.
    static bool parseRecords(const BYTE* bytes, size_t size, std::vector<Record>& records);
    // One record's bytes, appended. N is nameUnits (the NUL included).
    static void appendRecord(std::string& out, const wchar_t* name, DWORD nameUnits, DWORD type, const BYTE* data,
                             DWORD size);

protected:
    // Creates or replaces the file and writes the records' bytes; false
    // when none could be written (the file is then removed unless keepEmpty).
    bool writeFile(const std::wstring& path, const std::vector<std::string>& records, bool keepEmpty = false);

private:
    std::wstring folder_;
};

} // namespace MPrint
