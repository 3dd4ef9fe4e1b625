// The dialogs the printing core opens at print time, as it reaches them:
// the dialogs live in a layer above the core, so that layer installs its
// set here. Until one is installed no dialog can be shown: the chooser
// answers 2 (as in the spooler), making a printer permanent and verifying a
// destination fail.
#pragma once

#include "core/Win32.h"

class LumoraPrintingExtension;

namespace MPrint {
class PrintPath;
}

class PrintTimeDialogs {
public:
    virtual ~PrintTimeDialogs() = default;

    // The destination chooser, modal over the owner, for the extension in
    // the given mode with the prompt parameter as its initialisation
    // parameter: 1 confirmed, 2 cancelled, 4 show it again, or another result.
    virtual INT_PTR confirm(LumoraPrintingExtension& extension, int mode, HWND owner, LPARAM parameter);
    // Turns the print path's destination into a queue of its own and tells
    // the user the outcome; true on success.
    virtual bool makePrinterPermanent(LumoraPrintingExtension& extension, MPrint::PrintPath* path, HWND parent);

    // Verifies the path's device for the extension's destination context and
    // applies it: in the status dialog over the parent, or without a window.
    // True when the verification succeeded.
    virtual bool verifyPrintPath(LumoraPrintingExtension& extension, MPrint::PrintPath* path, HWND parent,
                                 bool showDialog);

    static PrintTimeDialogs& current();
    // Replaces the process's set (null: none); not owned.
    static void set(PrintTimeDialogs* dialogs);
};
