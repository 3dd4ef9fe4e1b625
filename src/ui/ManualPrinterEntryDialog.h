// The text entry box for a printer address: OK resolves the address into a
// print path, validates and checks the device for the job's queue, and
// keeps the dialog open with a message when any of that fails. The chooser
// takes the resulting path with takePrintPath.
#pragma once

#include "ui/EnterTextDialog.h"

#include <memory>

namespace MPrint {

class PrintPath;

class ManualPrinterEntryDialog : public EnterTextDialog {
public:
    static constexpr int kMaxAddress = 383;

    ManualPrinterEntryDialog(LumoraPrintingExtension* extension, UINT titleStringId, const wchar_t* initialText);
    ~ManualPrinterEntryDialog() override;

    INT_PTR onCommand(WPARAM wParam, LPARAM lParam) override;
    // The caller owns the path; null without one.
    PrintPath* takePrintPath() { return result_.release(); }

    // "[community@]model (address)", or the address alone for a share or a
    // device without model.
    static std::wstring displayText(const std::wstring& address, const std::string& model,
                                    const std::wstring& community);

private:
    // The message to show (0: none, the dialog ends).
    UINT resolve(const std::wstring& address, std::wstring& message);

    std::unique_ptr<PrintPath> result_;
};

} // namespace MPrint
