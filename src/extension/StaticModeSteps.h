// The printing extension's steps that the install events and the property
// sheets take on a queue in static mode: the "LumoUpdateNow" marker, the
// verification of the queue's device, the port change by address, the
// rundll32 launch of the static-mode update and the set-up of an
// auto-created client port. The process has one set; the default runs the
// extension's own steps, and the client-port set-up of the dialogs the
// process installed (PrintTimeDialogs).
#pragma once

#include "core/Win32.h"

#include <compstui.h>

#include <string>

class LumoraPrintingExtension;

class StaticModeSteps {
public:
    enum MarkerOperation { kSet = 0, kGet = 1, kDelete = 2 };

    virtual ~StaticModeSteps() = default;

    // The printer's "LumoUpdateNow": set (a value of 0 is held back while the
    // protected-mode marker is set), read, or deleted (not while that marker
    // is set). True when the spooler call succeeded; false without a handle.
    virtual bool updateNowMarker(MarkerOperation operation, HANDLE printer, DWORD& value, bool* protectedMode);
    // The process property "LumoUpdateNowProtectedMode" is non-zero.
    virtual bool isUpdateNowProtectedMode();
    // False only when the printer's record cannot be read.
    virtual bool verifyStaticModePrinter(LumoraPrintingExtension& extension, HANDLE printer, HWND parent,
                                         bool staticUpdate, bool showDialog);
    // True when the destination at the address was applied to the queue.
    virtual bool setPrinterPortByAddress(LumoraPrintingExtension& extension, const std::wstring& printerName,
                                         const std::wstring& address, bool changePortOnly);
    // Starts rundll32's UpdateStaticModePrinter for the sheet's printer when its update is due.
    virtual void launchUpdateStaticModePrinter(const PROPSHEETUI_INFO* sheet, LPARAM lParam);

    // The client side of an auto-created printer connection; true with the
    // port's name when a port was set up.
    virtual bool setupAutoCreatedClientPort(HANDLE printer, std::wstring& port);

    static StaticModeSteps& current();
    // Replaces the process's set (null: back to the default); not owned.
    static void set(StaticModeSteps* steps);
};
