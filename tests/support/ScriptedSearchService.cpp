#include "support/ScriptedSearchService.h"

#include "destination/PrintPathAttr.h"

namespace fakes {

ScriptedSearchService::ScriptedSearchService(uint32_t capabilities, std::vector<std::wstring> found)
    : results(std::move(found)), capabilities_(capabilities), gate_(CreateEventW(nullptr, TRUE, TRUE, nullptr)),
      release_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
}

ScriptedSearchService::~ScriptedSearchService()
{
    CloseHandle(gate_);
    CloseHandle(release_);
}

MPrint::PrintPath* ScriptedSearchService::makePath(const std::wstring& display)
{
    auto* path = new MPrint::PrintPath();
    if (!display.empty()) {
        path->setStringAttribute(PrintPathAttr::DisplayString, display, true);
        path->setStringAttribute(PrintPathAttr::PrinterInfo, L"Info of " + display, false);
        path->setStringAttribute(PrintPathAttr::Address, L"addr-" + display, true);
    }
    if (decorate)
        decorate(*path);
    return path;
}

uint32_t ScriptedSearchService::Search(HWND window, MPrint::DestinationContext*, PrintPathList& list, uint32_t flags)
{
    ++searches;
    lastFlags = flags;
    WaitForSingleObject(gate_, 5000);
    clearCancel();
    for (const auto& display : results)
        AddResult(window, list, makePath(display));
    if (holding_) {
        for (int waited = 0; waited < 5000 && !(endsOnCancel_ && IsCancelled()); waited += 10) {
            if (WaitForSingleObject(release_, 10) == WAIT_OBJECT_0)
                break;
        }
    }
    const bool cancelled = IsCancelled();
    sawCancel = sawCancel || cancelled;
    for (const auto& display : lateResults)
        AddResult(window, list, makePath(display));
    return cancelled ? kCancelled : 0;
}

uint32_t ScriptedSearchService::Resolve(HWND, const std::wstring& address, const std::wstring&, const std::wstring&,
                                        PrintPathList& list)
{
    lastResolved = address;
    for (const auto& display : resolveTo)
        list.emplace_back(makePath(display));
    return resolveTo.empty() ? kNotApplicable : 0;
}

uint32_t ScriptedSearchService::Start()
{
    ++starts;
    return 0;
}

uint32_t ScriptedSearchService::Stop()
{
    ++stops;
    return 0;
}

bool ScriptedSearchService::RequestCancel()
{
    ++cancelRequests;
    return DiscoveryServiceIntf::RequestCancel();
}

} // namespace fakes
