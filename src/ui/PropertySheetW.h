// A page of a property sheet as a LumoraDialog: the page picture (1101),
// a bold heading (1041) and the sheet's apply and cancel notifications.
// In a namespace: the platform's PropertySheetW function has the same name.
#pragma once

#include "ui/DerivedFont.h"
#include "ui/LumoraDialog.h"

#include <prsht.h>

namespace MPrint {

class PropertySheetW : public LumoraDialog {
public:
    explicit PropertySheetW(LumoraPrintingExtension* extension) : LumoraDialog(extension) {}

    INT_PTR onInitDialog(WPARAM wParam, LPARAM lParam) override;
    INT_PTR onNotify(WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    // Deletes the heading's font; a page never ends the sheet.
    void endDialog(INT_PTR result) override;
    void onDestroy() override;

    virtual INT_PTR onApply(WPARAM wParam, NMHDR* header, LRESULT& result) = 0;
    virtual INT_PTR onQueryCancel(WPARAM wParam, NMHDR* header, LRESULT& result);

private:
    DerivedFont headingFont_;
};

} // namespace MPrint
