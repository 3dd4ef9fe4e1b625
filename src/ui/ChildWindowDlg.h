// A LumoraDialog over an existing child window; controls are found among all
// its descendants, not only its direct children.
#pragma once

#include "ui/LumoraDialog.h"

class ChildWindowDlg : public LumoraDialog {
public:
    ChildWindowDlg(HWND window, LumoraPrintingExtension* extension) : LumoraDialog(window, extension) {}

    HWND getDlgItem(int id) const override { return findDescendant(id); }
    virtual HWND findDescendant(int id) const;
};
