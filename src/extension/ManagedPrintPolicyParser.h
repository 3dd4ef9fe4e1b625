// Reads a policy document from a URL or a file and writes it, value by
// value, into the policy cache key: table elements by type, "CustomMPL"
// lists as numbered name/path/type triples (at most kMaxPolicyCustomLists),
// "Application" entries as "Application_<n>" (at most
// kMaxPolicyApplications), other elements of the key table and the services
// tab's links by their content; elements no reader asks for are not stored.
// A document of more than 10,000 elements is refused. Values written before
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

    HRESULT STDMETHODCALLTYPE startDocument() override;
    HRESULT STDMETHODCALLTYPE startElement(const wchar_t* uri, int uriLength, const wchar_t* localName,
                                           int localNameLength, const wchar_t* qName, int qNameLength,
                                           ISAXAttributes* attributes) override;

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
    DWORD elementCount_ = 0;
    std::wstring pendingName_;
    std::wstring pendingPath_;
    DWORD pendingType_ = 0;
};

} // namespace MPrint
