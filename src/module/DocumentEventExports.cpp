// The driver's document-event entries. Each answers 0; the work checks
// every pointer and size the driver hands in and keeps exceptions in.
#include "core/Win32.h"
#include "extension/DocumentEvents.h"

extern "C" int WINAPI QZDrvDocumentEvent(HANDLE printer, HDC deviceContext, int event, ULONG inputSize, PVOID input,
                                         ULONG, PVOID)
{
    return LumoraUI::documentEvent(printer, deviceContext, event, inputSize, input);
}

extern "C" int WINAPI DocEventStartDocPre(HANDLE printer, HDC deviceContext, int event, ULONG inputSize, PVOID input,
                                          ULONG, PVOID, int* result)
{
    return LumoraUI::documentEventHook(printer, deviceContext, event, inputSize, input, result);
}

extern "C" int WINAPI DocEventStartDocPost(HANDLE printer, HDC deviceContext, int event, ULONG inputSize, PVOID input,
                                           ULONG, PVOID, int* result)
{
    return LumoraUI::documentEventHook(printer, deviceContext, event, inputSize, input, result);
}
