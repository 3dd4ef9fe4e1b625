#include "ui/DestinationWorkflow.h"

#include <atomic>

namespace MPrint {

namespace {

DestinationWorkflow g_unavailable;
std::atomic<DestinationWorkflow*> g_current{nullptr};

template <typename T>
T unavailable(T answer)
{
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return answer;
}

} // namespace

bool DestinationWorkflow::validateDeviceWithPrompt(PrintPath*, HWND, DWORD& resultCode)
{
    resultCode = ERROR_CALL_NOT_IMPLEMENTED;
    return unavailable(false);
}

bool DestinationWorkflow::checkDeviceConfiguration(PrintPath*)
{
    return unavailable(false);
}

DWORD DestinationWorkflow::verifyDevicePDL(HWND, PrintPath*, const std::wstring&)
{
    return unavailable<DWORD>(0);
}

DWORD DestinationWorkflow::configureDeviceForPrintPath(HWND, const std::wstring&, PrintPath*)
{
    return unavailable<DWORD>(0);
}

bool DestinationWorkflow::applyPrintPathToPrinter(DestinationContext*, PrintPath*, DWORD&)
{
    return unavailable(false);
}

bool DestinationWorkflow::applyDestinationToPrinter(DestinationContext*, const std::wstring&)
{
    return unavailable(false);
}

PrintPath* DestinationWorkflow::findPrintPathForAddress(HWND, const std::wstring&, const std::wstring&,
                                                        const std::wstring&)
{
    return unavailable<PrintPath*>(nullptr);
}

bool DestinationWorkflow::storeQueueCommunity(HANDLE, const std::wstring&, const std::wstring&)
{
    return unavailable(false);
}

bool DestinationWorkflow::isJobDeliveryEnabled(const std::wstring&, PrintPath*)
{
    return false;
}

DestinationWorkflow& DestinationWorkflow::current()
{
    DestinationWorkflow* workflow = g_current.load();
    return workflow ? *workflow : g_unavailable;
}

void DestinationWorkflow::set(DestinationWorkflow* workflow)
{
    g_current = workflow;
}

} // namespace MPrint
