#include "extension/PrintTimeDialogs.h"

#include "core/ReplaceableSet.h"

namespace {

ReplaceableSet<PrintTimeDialogs> g_installed;

} // namespace

INT_PTR PrintTimeDialogs::confirm(LumoraPrintingExtension&, int, HWND, LPARAM)
{
    return 2;
}

bool PrintTimeDialogs::makePrinterPermanent(LumoraPrintingExtension&, MPrint::PrintPath*, HWND)
{
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
}

bool PrintTimeDialogs::verifyPrintPath(LumoraPrintingExtension&, MPrint::DestinationContext*, MPrint::PrintPath*, HWND,
                                       bool)
{
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
}

INT_PTR PrintTimeDialogs::connectShare(LumoraPrintingExtension*, HWND, const std::wstring&)
{
    return 2;
}

bool PrintTimeDialogs::setupAutoCreatedClientPort(LumoraPrintingExtension*, HANDLE, std::wstring&)
{
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
}

PrintTimeDialogs& PrintTimeDialogs::current()
{
    return g_installed.current();
}

void PrintTimeDialogs::set(PrintTimeDialogs* dialogs)
{
    g_installed.set(dialogs);
}
