#include "ui/PrintTimeDialogsUI.h"

#include "core/ResourceLoader.h"
#include "destination/PrintPath.h"
#include "destination/PrintPathAttr.h"
#include "destination/PrinterSettings.h"
#include "extension/JobAccountingSettings.h"
#include "extension/KRVProperties.h"
#include "ui/AutoCreatedClientPortSetup.h"
#include "ui/ConfirmationDialog.h"
#include "ui/ConnectUNCDialog.h"
#include "ui/LumoraDialog.h"
#include "ui/MakePermanantDialog.h"
#include "ui/PrintPathVerifyDialog.h"
#include "ui/UiText.h"
#include "ui/resources/PrinterStatusDialogIds.h"
#include "ui/resources/StringIds.h"

INT_PTR PrintTimeDialogsUI::confirm(LumoraPrintingExtension& extension, int mode, HWND owner, LPARAM parameter)
{
    MPrint::ConfirmationDialog dialog(&extension, static_cast<DWORD>(mode));
    return LumoraDialog::doModal(&dialog, owner, MPrint::ConfirmationDialog::kTemplate, parameter);
}

bool PrintTimeDialogsUI::makePrinterPermanent(LumoraPrintingExtension& extension, MPrint::PrintPath* path,
                                              HWND parent)
{
    MakePermanantDialog dialog(&extension, path);
    // The queue the dialog creates; a path without a nickname still names
    // its destination in the failure message.
    const std::wstring queueName = MakePermanantDialog::queueNameFor(path);
    const std::wstring name =
        !queueName.empty() || !path ? queueName : path->getStringAttribute(PrintPathAttr::DisplayString);

    JobAccountingSettings::setMakePermanentInstance();
    setProcessProperty(krv::kUpdateNowProtectedMode, 1);

    const INT_PTR result = LumoraDialog::doModal(&dialog, parent, IDD_PRINTER_STATUS, 0);
    bool made = false;
    if (result == 1) {
        showMessageBox(parent, uitext::format(&extension, IDS_ADDED_FMT, name).c_str(),
                       uitext::load(&extension, IDS_PRODUCT_NAME).c_str(), MB_ICONINFORMATION | MB_SETFOREGROUND);
        made = true;
    } else {
        std::wstring text = uitext::format(&extension, IDS_ADD_FAILED_FMT, name);
        const MPrint::ResourceLoader* strings = uitext::loader(&extension);
        const std::wstring reason = uitext::systemMessage(static_cast<DWORD>(dialog.getResult()),
                                                          strings ? strings->getLanguage() : 0, L"");
        if (!reason.empty())
            text += L"\n\n" + reason;
        showMessageBox(parent, text.c_str(), uitext::load(&extension, IDS_ERROR_CAPTION).c_str(),
                       MB_ICONHAND | MB_SETFOREGROUND);
    }

    deleteProcessProperty(krv::kUpdateNowProtectedMode);
    JobAccountingSettings::clearMakePermanentInstance();
    if (!queueName.empty())
        PrinterSettings(queueName.c_str(), PRINTER_ALL_ACCESS).deleteValue(L"LumoUpdateNow");
    return made;
}

bool PrintTimeDialogsUI::verifyPrintPath(LumoraPrintingExtension& extension, MPrint::DestinationContext* context,
                                         MPrint::PrintPath* path, HWND parent, bool showDialog)
{
    constexpr LPARAM kVerifyParameter = 85;
    PrintPathVerifyDialog dialog(&extension, path, context);
    if (showDialog)
        return LumoraDialog::doModal(&dialog, parent, IDD_PRINTER_STATUS, kVerifyParameter) == 1;
    dialog.runWorker();
    return dialog.getResult() == 0 && dialog.getStage() == PrintPathVerifyDialog::kStageApplying;
}

INT_PTR PrintTimeDialogsUI::connectShare(LumoraPrintingExtension* extension, HWND owner, const std::wstring& address)
{
    ConnectUNCDialog dialog(extension, address);
    return LumoraDialog::doModal(&dialog, owner, ConnectUNCDialog::kTemplate, 0);
}

bool PrintTimeDialogsUI::setupAutoCreatedClientPort(LumoraPrintingExtension* extension, HANDLE printer,
                                                    std::wstring& port)
{
    return AutoCreatedClientPortSetup(extension).run(printer, port);
}
