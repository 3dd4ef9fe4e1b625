// Builds a ".creg" cache file from an XML value file: root "Objects" with
// "Object" elements carrying "name" and "type" ("REG_SZ", "REG_DWORD" or
// "REG_BINARY", any letter case) and the value as text.
#pragma once

#include "bidi/RegistryCache.h"

namespace MPrint {

class XMLRegistryCache : public RegistryCache {
public:
    using RegistryCache::RegistryCache;
    ~XMLRegistryCache() override;

    // Writes the records of the XML file to the printer's cache path
    // (outPath, replaced); true when at least one record was written. An
    // object without a known type or a name is skipped, and so is one whose
    // name the registry could not hold. The file stays even when empty.
    bool convertToCacheFile(const wchar_t* xmlPath, const wchar_t* printerName, std::wstring& outPath);

    // The record of one object: REG_SZ the text with its NUL (no data for no
    // text), REG_DWORD the text as a signed decimal (0 when not a number),
    // REG_BINARY hex digit pairs with spaces skipped (a lone last digit is
    // dropped, any other character counts as 0). False for another type.
    static bool encodeObject(const std::wstring& name, const std::wstring& type, const std::wstring& text,
                             std::string& record);
};

} // namespace MPrint
