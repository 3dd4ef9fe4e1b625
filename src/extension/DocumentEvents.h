// The print-time road inside the printing application: the driver's
// document events (start of document, after the job was created, device
// context and page, end of document). Markers of the per-process property
// store carry the decisions from one event to the next. Every pointer and
// size the driver hands in is checked before use; an unusable input ends
// the event with result 0.
#pragma once

#include "core/Win32.h"

#include <string>

namespace LumoraUI {

// The driver's document events 2, 5, 7, 8 and 13; every event returns 0.
// At the start of a document a queue that does not take the extension is
// not prompted: it gets the managed policy, unless it is a connection to a
// remote server.
int documentEvent(HANDLE printer, HDC deviceContext, int event, ULONG inputSize, const void* input);
// The driver's start-of-document hooks (before and after the job was
// created): nothing in the spooler, else the event's result through the
// pointer. A document-properties sheet of this process on this printer is
// honoured by the event itself, with its exceptions (a cancelled sheet, a
// prompt asked for at print time).
int documentEventHook(HANDLE printer, HDC deviceContext, int event, ULONG inputSize, const void* input, int* result);

// True unless the queue is a connection to a remote server (*remote = 1 then),
// in static mode or on an auto-created client port; a null handle takes the
// extension.
bool isEventExtensionSupported(HANDLE printer, DWORD* remote);
// A device-context or page record for the job this process last reported.
bool recordDeviceContextEvent(HDC deviceContext, HANDLE printer, DWORD kind);
// A second document on the printer within "RapidPrintNoPrompt" milliseconds
// (3500 when unset, 0: never) of the last one.
bool isRapidPrint(HANDLE printer);
void stampLastJobStartTime(HANDLE printer);
// True when the user was told (or need not be: a WSD port) that the device
// could not be verified.
bool showDeviceVerifyFailure(HANDLE printer);
// "LumoCancelSNP" = 1 on the named printer.
void setCancelSnp(const wchar_t* printerName);

} // namespace LumoraUI
