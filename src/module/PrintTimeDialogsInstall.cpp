// The module's process gets the user interface's print-time dialogs: the
// printing core reaches them through PrintTimeDialogs. Set while the module
// loads (a pointer, nothing more) and taken away before it unloads.
#include "ui/PrintTimeDialogsUI.h"

namespace {

struct Install {
    Install() { PrintTimeDialogs::set(&dialogs); }
    ~Install() { PrintTimeDialogs::set(nullptr); }
    PrintTimeDialogsUI dialogs;
} g_install;

} // namespace
