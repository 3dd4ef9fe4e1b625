// The dialogs of the print-time road that the printing core opens: the
// destination chooser, the make-permanent status dialog with its outcome
// message, the verification dialog, the share-connection box and the
// client-port set-up of auto-created queues. The module installs one set
// for its process.
#pragma once

#include "extension/PrintTimeDialogs.h"

class PrintTimeDialogsUI : public PrintTimeDialogs {
public:
    // The chooser (template 102), created for the call and deleted after it.
    INT_PTR confirm(LumoraPrintingExtension& extension, int mode, HWND owner, LPARAM parameter) override;
    // Runs the make-permanent status dialog (template 105) for the path and
    // reports its outcome in a message box. While it runs, the per-user
    // "MakePermanentInstance" (owned by this process, so that a crash leaves
    // no marker that outlives it) and the process's "LumoUpdateNowProtectedMode"
    // are set; afterwards the new queue's "LumoUpdateNow" is removed. Messages
    // and removal use the name the dialog gives the queue.
    bool makePrinterPermanent(LumoraPrintingExtension& extension, MPrint::PrintPath* path, HWND parent) override;
    // The verification dialog (template 105, parameter 85), or its work run
    // directly on the caller's thread.
    bool verifyPrintPath(LumoraPrintingExtension& extension, MPrint::DestinationContext* context,
                         MPrint::PrintPath* path, HWND parent, bool showDialog) override;
    // The credentials box (template 106) for the share, owned by the owner.
    INT_PTR connectShare(LumoraPrintingExtension* extension, HWND owner, const std::wstring& address) override;
    bool setupAutoCreatedClientPort(LumoraPrintingExtension* extension, HANDLE printer, std::wstring& port) override;
};
