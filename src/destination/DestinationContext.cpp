#include "destination/DestinationContext.h"

#include "shared/SpoolerQueries.h"
#include "ui/CHelpCab.h"

namespace MPrint {

DestinationContext::DestinationContext(const std::wstring& printerName, const wchar_t* documentName)
    : printerName_(printerName), documentName_(documentName ? documentName : L"")
{
    if (FAILED(CoCreateGuid(&contextId_)))
        contextId_ = GUID{};
}

DestinationContext::~DestinationContext()
{
    delete printPath_;
}

bool DestinationContext::setPrintPath(PrintPath* path)
{
    // Deleting the path it already owns would keep a dangling pointer.
    if (path == printPath_)
        return true;
    delete printPath_;
    printPath_ = path;
    return true;
}

PrintPath* DestinationContext::detachPrintPath()
{
    PrintPath* path = printPath_;
    printPath_ = nullptr;
    return path;
}

bool DestinationContext::getHelpFilePath(std::wstring& path) const
{
    HANDLE printer = nullptr;
    if (!openPrinterWithAccess(printerName_, &printer, PRINTER_ALL_ACCESS))
        return false;
    bool found = false;
    try {
        CHelpCab helpCab;
        wchar_t buffer[MAX_PATH] = {};
        if (helpCab.extract(printer, buffer, MAX_PATH)) {
            path = buffer;
            found = true;
        }
    } catch (...) {
        found = false;
    }
    ClosePrinter(printer);
    return found;
}

} // namespace MPrint
