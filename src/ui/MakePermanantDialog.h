// Turns the destination of a dynamic queue into a queue of its own: a new
// local printer named after the destination's nickname with the current
// queue's driver, print processor, data type and device mode, configured
// for the destination and marked static. A cancel removes it again; when
// that removal fails the operation is still reported failed (never made).
// getResult: 0, the failing step's Win32 code, ERROR_CANCELLED, or -1 for
// an empty nickname or unreadable queue information.
#pragma once

#include "ui/PrinterStatusDialog.h"

#include <string>

class MakePermanantDialog : public PrinterStatusDialog {
public:
    // The model-name value written beside "StaticMode" on the new queue.
    static constexpr wchar_t kModelValue[] = L"LumoStaticModel";
    static constexpr wchar_t kMonitorName[] = L"QZ Keravin Print Monitor";
    static constexpr size_t kDeviceNameLength = 31;

    MakePermanantDialog(LumoraPrintingExtension* extension, MPrint::PrintPath* path)
        : PrinterStatusDialog(extension, path)
    {
    }

    void runWorker() override;

    // The nickname without trailing white space: the new queue's name.
    static std::wstring queueNameFor(const MPrint::PrintPath* path);

private:
    // The result code of the whole operation.
    int makePermanent();
};
