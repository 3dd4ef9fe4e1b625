// The dialogs the printing core opens at print time, as it reaches them:
// the dialogs live in a layer above the core, so that layer installs its
// set here. Until one is installed no dialog can be shown: the chooser
// answers 2 (as in the spooler), making a printer permanent, verifying a
// destination and setting up a client port fail, and a share connection is
// not confirmed.
#pragma once

#include "core/Win32.h"

#include <string>

class LumoraPrintingExtension;

namespace MPrint {
class DestinationContext;
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

    // Verifies the path's device for the caller's destination context (null:
    // the extension's) and applies it: in the status dialog over the parent,
    // or without a window. True when the verification succeeded.
    virtual bool verifyPrintPath(LumoraPrintingExtension& extension, MPrint::DestinationContext* context,
                                 MPrint::PrintPath* path, HWND parent, bool showDialog);

    // Asks for credentials and connects to the share an address names, which
    // refused access: 1 when connected, 2 when cancelled.
    virtual INT_PTR connectShare(LumoraPrintingExtension* extension, HWND owner, const std::wstring& address);
    // Finds and stores the real destination of a queue a remote-desktop
    // connection created for a client's printer (asking for credentials for
    // the client's share when it refuses); true with the port when found.
    virtual bool setupAutoCreatedClientPort(LumoraPrintingExtension* extension, HANDLE printer, std::wstring& port);

    static PrintTimeDialogs& current();
    // Replaces the process's set (null: none); not owned.
    static void set(PrintTimeDialogs* dialogs);
};
