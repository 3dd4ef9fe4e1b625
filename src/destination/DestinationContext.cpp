#include "destination/DestinationContext.h"

#include "core/ScopedHandle.h"
#include "shared/SpoolerQueries.h"

namespace MPrint {

DestinationContext::DestinationContext(const std::wstring& printerName, const wchar_t* documentName)
    : printerName_(printerName), documentName_(documentName ? documentName : L"")
{
    if (FAILED(CoCreateGuid(&contextId_)))
        contextId_ = GUID{};
}

DestinationContext::~DestinationContext() = default;

bool DestinationContext::setPrintPath(PrintPath* path)
{
    // Deleting the path it already owns would keep a dangling pointer.
    if (path != printPath_.get())
        printPath_.reset(path);
    return true;
}

PrintPath* DestinationContext::detachPrintPath()
{
    return printPath_.release();
}

bool DestinationContext::getHelpFilePath(std::wstring& path, HelpFileSource& source) const
{
    HANDLE opened = nullptr;
    if (!openPrinterWithAccess(printerName_, &opened, PRINTER_ALL_ACCESS))
        return false;
    const ScopedPrinter printer(opened);
    bool found = false;
    try {
        found = source.extractHelpFile(printer.get(), path);
    } catch (...) {
        found = false;
    }
    return found;
}

} // namespace MPrint
