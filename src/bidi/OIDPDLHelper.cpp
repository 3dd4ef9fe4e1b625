#include "bidi/OIDPDLHelper.h"

#include "tickets/DeviceTicket.h"

namespace MPrint {

namespace {

const wchar_t kPersonalities[] = L"/Phx/InstalledPersonalitiesSupport";

} // namespace

bool setDefaultPDLByName(const std::wstring& name, PDLRecord& record)
{
    struct Known {
        const wchar_t* name;
        const wchar_t* version;
        DWORD family;
        const wchar_t* description;
    };
    static const Known known[] = {
        {L"PCL", L"Version 5.00E", 3, L"application/vnd.qz-PCL"},
        {L"PCL5c", L"Version 5.00", 3, L"application/vnd.qz-PCL"},
        {L"PCLXL", L"Version 2.1", 47, L"PCLXL"},
        {L"PS", L"Version 3010.107", 6, L"POSTSCRIPT"},
    };
    for (const Known& entry : known)
        if (name == entry.name) {
            record = PDLRecord{entry.version, entry.family, entry.description};
            return true;
        }
    return false;
}

bool OIDPDLHelperImpl::collect()
{
    records_.clear();
    DWORD count = 0;
    if (!ticket_ || !ticket_->getChildCount(kPersonalities, count) || count < 1)
        return false;
    for (DWORD i = 0; i < count; ++i) {
        std::wstring name;
        if (!ticket_->getNodeName(std::wstring(kPersonalities) + L"/*[" + std::to_wstring(i) + L"]", name)) {
            if (i == 0)
                return false;
            continue;
        }
        PDLRecord record;
        if (!setDefaultPDLByName(name, record))
            return false;
        records_.push_back(record);
    }
    return true;
}

bool OIDPDLHelperImpl::write()
{
    if (!ticket_ || !ensureSubtree())
        return false;
    for (size_t i = 0; i < records_.size(); ++i) {
        const PDLRecord& record = records_[i];
        if (!writeRecord(L"pdl", i, {{L"version", record.version},
                                     {L"family", std::to_wstring(record.family)},
                                     {L"description", record.description}}))
            return false;
    }
    return !records_.empty();
}

} // namespace MPrint
