// Input-tray records of a legacy device, from "/PaperHandling/Tray1Size" to
// "Tray5Size": each present option gives one tray (Printer MIB input type 3,
// removable tray).
#pragma once

#include "bidi/OIDHelper.h"

#include <vector>

namespace MPrint {

struct TrayRecord {
    std::wstring name;
    std::wstring type;  // Printer MIB input type: "3" removable tray, "5" manual feed
};

// The record of a paper-handling option path and the text found there.
bool mapTrayName(const std::wstring& path, const std::wstring& text, TrayRecord& record);

class OIDTrayHelper : public OIDHelper {
public:
    using OIDHelper::OIDHelper;
};

class OIDTrayHelperImpl : public OIDTrayHelper {
public:
    using OIDTrayHelper::OIDTrayHelper;
    bool collect() override;
    bool write() override;
    const std::vector<TrayRecord>& records() const { return records_; }

private:
    std::vector<TrayRecord> records_;
};

} // namespace MPrint
