// The user interface's print-time dialogs installed for the object's scope,
// as the module installs them while it is loaded; none afterwards.
#pragma once

#include "ui/PrintTimeDialogsUI.h"

namespace testenv {

class InstalledDialogs {
public:
    InstalledDialogs();
    ~InstalledDialogs();
    InstalledDialogs(const InstalledDialogs&) = delete;
    InstalledDialogs& operator=(const InstalledDialogs&) = delete;

private:
    PrintTimeDialogsUI dialogs_;
};

} // namespace testenv
