#include "extension/DestinationWorkflow.h"

#include "VagantUIExtension/AddressResolution.h"
#include "bidi/SNMPCommunityName.h"
#include "core/ReplaceableSet.h"
#include "extension/DeviceConfiguration.h"
#include "extension/JobDeliverySettings.h"
#include "extension/LumoraPrintingExtension.h"
#include "extension/PrintPathVerification.h"

namespace MPrint {

namespace {

ReplaceableSet<DestinationWorkflow> g_installed;

} // namespace

bool DestinationWorkflow::validateDeviceWithPrompt(PrintPath* path, HWND owner, DWORD& resultCode)
{
    return MPrint::validateDeviceWithPrompt(owner, path, resultCode);
}

bool DestinationWorkflow::checkDeviceConfiguration(PrintPath* path)
{
    return MPrint::checkDeviceConfiguration(path);
}

DWORD DestinationWorkflow::verifyDevicePDL(HWND owner, PrintPath* path, const std::wstring& printerName)
{
    return MPrint::verifyDevicePDL(owner, path, printerName);
}

DWORD DestinationWorkflow::configureDeviceForPrintPath(HWND owner, const std::wstring& printerName, PrintPath* path)
{
    return MPrint::configureDeviceForPrintPath(owner, printerName, path);
}

bool DestinationWorkflow::applyPrintPathToPrinter(DestinationContext* context, PrintPath* path, DWORD& value)
{
    value = 0;
    LumoraPrintingExtension* extension = LumoraPrintingExtension::instance();
    std::wstring port;
    return extension && extension->applyPrintPathToPrinter(context, path, port);
}

bool DestinationWorkflow::applyDestinationToPrinter(DestinationContext* context, const std::wstring& portName)
{
    LumoraPrintingExtension* extension = LumoraPrintingExtension::instance();
    return extension && extension->applyDestinationToPrinter(context, portName);
}

PrintPath* DestinationWorkflow::findPrintPathForAddress(HWND owner, const std::wstring& address,
                                                        const std::wstring& nickname, const std::wstring& displayString)
{
    return ::findPrintPathForAddress(owner, address, nickname, displayString);
}

bool DestinationWorkflow::storeQueueCommunity(HANDLE printer, const std::wstring& printerName,
                                              const std::wstring& community)
{
    // A name opens the queue with full access, which a user without rights
    // on it does not get: the store then fails.
    if (printer)
        return SNMPQueueCommunityName(&printer).store(community);
    return SNMPQueueCommunityName(printerName.c_str()).store(community);
}

bool DestinationWorkflow::isJobDeliveryEnabled(const std::wstring& printerName, PrintPath* path)
{
    return JobDeliverySettings(printerName.empty() ? nullptr : printerName.c_str(), path).isJobDeliveryEnabled();
}

DestinationWorkflow& DestinationWorkflow::current()
{
    return g_installed.current();
}

void DestinationWorkflow::set(DestinationWorkflow* workflow)
{
    g_installed.set(workflow);
}

} // namespace MPrint
