#include "ui/ManualPrinterEntryDialog.h"

#include "core/WaitCursor.h"
#include "destination/PrintPath.h"
#include "extension/LumoraPrintingExtension.h"
#include "extension/DestinationWorkflow.h"
#include "ui/UiText.h"
#include "ui/resources/EnterTextDialogIds.h"
#include "ui/resources/StringIds.h"

namespace MPrint {

ManualPrinterEntryDialog::ManualPrinterEntryDialog(LumoraPrintingExtension* extension, UINT titleStringId,
                                                   const wchar_t* initialText)
    : EnterTextDialog(extension, titleStringId, initialText)
{
}

ManualPrinterEntryDialog::~ManualPrinterEntryDialog() = default;

std::wstring ManualPrinterEntryDialog::displayText(const std::wstring& address, const std::string& model,
                                                   const std::wstring& community)
{
    std::wstring display = address;
    if (address.rfind(L"\\", 0) != 0 && !model.empty())
        display = std::wstring(model.begin(), model.end()) + L" (" + address + L")";
    if (!community.empty())
        display = community + L"@" + display;
    return display;
}

INT_PTR ManualPrinterEntryDialog::onCommand(WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(wParam) != IDOK)
        return EnterTextDialog::onCommand(wParam, lParam);
    wchar_t address[kMaxAddress + 1] = {};
    GetDlgItemTextW(getWindow(), IDC_ENTER_TEXT, address, kMaxAddress + 1);
    setText(address);
    std::wstring message;
    if (!resolve(address, message))
        return EnterTextDialog::onCommand(wParam, lParam);
    showMessageBox(getWindow(), message.c_str(), uitext::load(getExtension(), IDS_ERROR_CAPTION).c_str(),
                   MB_ICONASTERISK | MB_SETFOREGROUND);
    return 1;
}

UINT ManualPrinterEntryDialog::resolve(const std::wstring& address, std::wstring& message)
{
    DestinationWorkflow& workflow = DestinationWorkflow::current();
    LumoraPrintingExtension* extension = getExtension();
    std::unique_ptr<PrintPath> found(workflow.findPrintPathForAddress(getWindow(), address, address, address));
    message = uitext::load(extension, IDS_PRINTER_NOT_FOUND);
    if (!found)
        return IDS_PRINTER_NOT_FOUND;

    WaitCursor wait;
    MPrint::DestinationContext* context = extension ? extension->getDestinationContext() : nullptr;
    const std::wstring printerName = context ? context->getPrinterName() : std::wstring();
    DWORD code = 0;
    if (!workflow.validateDeviceWithPrompt(found.get(), getWindow(), code))
        return IDS_PRINTER_NOT_FOUND;
    // Only a typed "community@address" names one: an empty one would erase
    // the community an administrator set on the queue.
    const std::wstring& community = found->getStringAttribute(L"LumoSNMPCommunityName");
    if (!community.empty())
        workflow.storeQueueCommunity(nullptr, printerName, community);
    if (!workflow.checkDeviceConfiguration(found.get()) ||
        workflow.verifyDevicePDL(getWindow(), found.get(), printerName) != 1) {
        message = uitext::format(extension, IDS_WRONG_MODEL_FMT, address);
        return IDS_WRONG_MODEL_FMT;
    }
    const std::wstring resolved = found->getStringAttribute(L"Address");
    const std::wstring display = displayText(resolved, found->getDevice().getModelName(), community);
    std::unique_ptr<PrintPath> result(workflow.findPrintPathForAddress(getWindow(), resolved, display, display));
    // The device may stop answering between the two resolutions.
    if (!result)
        return IDS_PRINTER_NOT_FOUND;
    if (workflow.isJobDeliveryEnabled(printerName, found.get()))
        result->setNumericAttribute(L"JobDelivery", 1, true);
    result->setDevice(found->getDevice(), found->isDevicePresent());
    result->setStringAttribute(L"PrinterInfo", found->getStringAttribute(L"PrinterInfo"), true);
    result_ = std::move(result);
    message.clear();
    return 0;
}

} // namespace MPrint
