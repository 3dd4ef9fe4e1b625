// The connect box for a remote-desktop client's printer share: as
// ConnectUNCDialog, with a display text (client and printer) in place of
// the share's path.
#pragma once

#include "ui/ConnectUNCDialog.h"

class AutoCreatedPrinterConnectionDialog : public ConnectUNCDialog {
public:
    AutoCreatedPrinterConnectionDialog(LumoraPrintingExtension* extension, const std::wstring& uncPath,
                                       const std::wstring& displayText);

    INT_PTR onInitDialog(WPARAM wParam, LPARAM lParam) override;

private:
    std::wstring displayText_;
};
