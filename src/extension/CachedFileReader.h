// Text documents (managed printer lists, policy files) read from an http or
// https URL or from a file, with a copy kept per user for a refresh time.
// The index lives in the volatile key HKCU "...\QZ Print Settings\MPLCache"
// (source -> copy's path, path -> GetTickCount stamp, "<source>-refreshTime")
// and each copy is a temporary file deleted at the next restart, so neither
// outlives the session. Objects are cheap and take no lock; callers make one
// per read. Nothing throws; results are bools.
#pragma once

#include "core/RegistryKey.h"
#include "core/Win32.h"

#include <memory>
#include <string>

namespace MPrint {

class CachedFileReader {
public:
    CachedFileReader();
    virtual ~CachedFileReader();
    CachedFileReader(const CachedFileReader&) = delete;
    CachedFileReader& operator=(const CachedFileReader&) = delete;

    // A fresh copy, else the download or the file. A fetched document goes
    // to the cache as fetched; only undeclared text that is not UTF-8 is
    // converted from the ANSI code page first. out is written only on true.
    // status (may be null) receives the download's HTTP status.
    virtual bool read(const wchar_t* source, std::string& out, DWORD* status, DWORD timeoutMs);
    // Stores the value as given: below 1000 hours, from 1000 on milliseconds.
    virtual void setRefreshTime(const wchar_t* source, DWORD value);
    // Deletes the copy and its two index values; the refresh time stays.
    // A path that is no copy of the reader's own is forgotten, not deleted.
    virtual void removeCachedFile(const wchar_t* source);
    // Forgets every source; the copies are left to their deletion at restart.
    virtual void clearCache();
    // A fresh copy of source; an absent refresh time means one hour. An
    // index that names any other file is a miss.
    virtual bool lookup(const wchar_t* source, std::string& out);
    // Writes text to a new temporary file and indexes it under source. The
    // new file replaces the source's previous copy under that copy's name
    // when no reader has it open, so repeated stores keep one copy (and one
    // delete-at-restart) per source.
    virtual bool store(const wchar_t* source, const std::string& text);

protected:
    virtual void openCacheKey();

private:
    std::unique_ptr<RegistryKey> cacheKey_; // may hold a closed key
};

} // namespace MPrint
