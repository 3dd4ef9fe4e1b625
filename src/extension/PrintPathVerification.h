// Free functions that check and find destinations for the managed printing
// core. They run on the caller's thread and use the process's printing
// extension (its settings, its discovery services) when one exists.
#pragma once

#include "core/Win32.h"
#include "destination/PrintPath.h"

#include <string>

namespace MPrint {

// validateDevice results besides the services' own codes.
inline constexpr DWORD kDeviceValid = 0;
inline constexpr DWORD kNoUsableService = 10;
inline constexpr DWORD kShareAccessRefused = 14; // access denied or logon failure at the share

// verifyDevicePDL results.
enum PdlCheck : DWORD { kPdlNotChecked = 0, kPdlAccepted = 1, kPdlRefused = 2 };

// The first entry of the profile's target history whose display string is
// exactly the destination (case-sensitive). A non-empty profile is made the
// current one first. The caller owns the path; null without a hit or
// without a printing extension. The stored history is not changed.
PrintPath* findPrintPathInHistory(const wchar_t* destination, const wchar_t* profile);

// 0 when validation is switched off for the path or its device is
// configured externally; 10 without a printing extension or a running
// service of the path's discovery id; else that service's ValidateDevice.
DWORD validateDevice(HWND parent, PrintPath* path);

// validateDevice, asking for a share connection (PrintTimeDialogs::
// connectShare) and validating again while the share refuses access and the
// user connects. True when the final status
// is 0; false for a null path (status untouched).
bool validateDeviceWithPrompt(HWND parent, PrintPath* path, DWORD& status);

// The device's languages against the "VerifyPDL" text of the queue's driver;
// a mismatch is put to the user as the device verify level says, and a
// consent is remembered on the path for that driver text. Where no box may
// be shown (in the spooler, for an auto-created queue) a question is
// accepted and remembered, and an error refuses.
DWORD verifyDevicePDL(HWND parent, PrintPath* path, const std::wstring& printerName);

// True for an empty model and for one that begins with one of the maker's
// model prefixes (case-sensitive).
bool isQZModel(const std::string& model);

// The path's "PrinterInfo": the model line (string 22) and, unless a policy
// in force hides device addresses, the address line (string 21). True, and
// nothing changed, when the text already names the (non-empty) model; false
// when it was written or there is no path.
bool setPrinterInfoText(PrintPath* path, const std::wstring& model, const std::wstring& address);
// The same for a model in the ANSI code page.
bool setPrinterInfoTextFromModel(PrintPath* path, const std::string& model, const std::wstring& address);

} // namespace MPrint
