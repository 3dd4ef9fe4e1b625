// Asks for a user name and password and connects to a printer share with
// them (template 106). OK that connects ends the box with 1; a refused
// connection shows the system's reason and keeps the box open; Cancel ends
// it with 2. Shown with LumoraDialog::doModal(dialog, parent, 106, 0).
#pragma once

#include "ui/DerivedFont.h"
#include "ui/LumoraDialog.h"

#include <string>

class ConnectUNCDialog : public LumoraDialog {
public:
    static constexpr UINT kTemplate = 106;
    static constexpr int kMaxCredential = 128;

    ConnectUNCDialog(LumoraPrintingExtension* extension, const std::wstring& uncPath);

    INT_PTR onInitDialog(WPARAM wParam, LPARAM lParam) override;
    INT_PTR onCommand(WPARAM wParam, LPARAM lParam) override;
    INT_PTR onTimer(WPARAM wParam, LPARAM lParam) override;
    void endDialog(INT_PTR result) override;

    const std::wstring& getUncPath() const { return uncPath_; }

protected:
    // WNetAddConnection3W for a print share; its code.
    virtual DWORD addConnection(const std::wstring& user, const std::wstring& password);

private:
    std::wstring uncPath_;
    DerivedFont headingFont_;
};
