#include "bidi/OIDTrayHelper.h"

#include "tickets/DeviceTicket.h"

#include <iterator>

namespace MPrint {

namespace {

const wchar_t kPaperHandling[] = L"/PaperHandling/";
const wchar_t* const kTrayOptions[] = {L"Tray1Size", L"Tray2Size", L"Tray3Size", L"Tray4Size", L"Tray5Size"};
const wchar_t* const kTrayNames[] = {L"Tray 1", L"Tray 2", L"Tray 3", L"Tray 4", L"Tray 5"};
const wchar_t kRemovableTray[] = L"3";
const wchar_t kManualFeed[] = L"5";

} // namespace

bool mapTrayName(const std::wstring& path, const std::wstring& text, TrayRecord& record)
{
    if (path.empty() || text.empty())
        return false;
    if (path.find(L"ManualFeed") != std::wstring::npos) {
        if (text == L"0")
            return false;
        record = TrayRecord{L"Manual Feed", kManualFeed};
        return true;
    }
    for (size_t i = 0; i < std::size(kTrayOptions); ++i)
        if (path.find(kTrayOptions[i]) != std::wstring::npos) {
            record = TrayRecord{kTrayNames[i], kRemovableTray};
            return true;
        }
    return false;
}

bool OIDTrayHelperImpl::collect()
{
    records_.clear();
    if (!ticket_)
        return false;
    for (const wchar_t* option : kTrayOptions) {
        const std::wstring path = std::wstring(kPaperHandling) + option;
        std::wstring text;
        TrayRecord record;
        if (ticket_->getValue(path, text, true) && mapTrayName(path, text, record))
            records_.push_back(record);
    }
    return !records_.empty();
}

bool OIDTrayHelperImpl::write()
{
    if (!ticket_ || !ensureSubtree())
        return false;
    for (size_t i = 0; i < records_.size(); ++i)
        if (!writeRecord(L"tray", i, {{L"name", records_[i].name}, {L"type", records_[i].type}}))
            return false;
    return !records_.empty();
}

} // namespace MPrint
