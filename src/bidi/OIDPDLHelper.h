// Interpreter (PDL) records of a legacy device, from the element names under
// "/Phx/InstalledPersonalitiesSupport": PCL, PCL5c, PCLXL and PS are known;
// any other name makes collect() fail.
#pragma once

#include "bidi/OIDHelper.h"

#include <vector>

namespace MPrint {

struct PDLRecord {
    std::wstring version;
    DWORD family = 0;  // Printer MIB interpreter language family
    std::wstring description;
};

// The record of a personality element name; false for an unknown name.
bool setDefaultPDLByName(const std::wstring& name, PDLRecord& record);

class OIDPDLHelper : public OIDHelper {
public:
    using OIDHelper::OIDHelper;
};

class OIDPDLHelperImpl : public OIDPDLHelper {
public:
    using OIDPDLHelper::OIDPDLHelper;
    bool collect() override;
    bool write() override;
    const std::vector<PDLRecord>& records() const { return records_; }

private:
    std::vector<PDLRecord> records_;
};

} // namespace MPrint
