// Reads a policy document from a URL or a file and writes it, value by
// value, into the policy cache key: table elements by type, "CustomMPL"
// lists as numbered name/path/type triples, "Application" entries as
// "Application_<n>", other elements by their content. Values written before
// a parse error stay in the key.
#pragma once

#include "core/MSSAXParser.h"
#include "core/RegistryKey.h"

#include <string>

namespace MPrint {

class ManagedPrintPolicyParser : public MSSAXParser {
public:
    // Opens its own all-access handle on policyCacheKey.
    explicit ManagedPrintPolicyParser(HKEY policyCacheKey);

    // Fetches (http/https, else a file), converts to UTF-8 and parses. True
    // when a non-empty text was fetched and parsed.
    bool parseLocation(const std::wstring& location);

protected:
    void onStringValue(const LevelData& level, const std::wstring& text) override;
    void onNumberValue(const LevelData& level, DWORD value) override;
    void onBoolValue(const LevelData& level, bool value) override;
    void onContainerEnd(const LevelData& level, const std::wstring& text) override;
    void onOtherValue(const LevelData& level, const std::wstring& text) override;

private:
    RegistryKey policyCacheKey_;
    DWORD listCounter_ = 0;
    DWORD applicationCounter_ = 1;
    std::wstring pendingName_;
    std::wstring pendingPath_;
    DWORD pendingType_ = 0;
};

} // namespace MPrint
