// Exports that Wine's own DLLs import from winspool.drv but that nothing here
// uses: they exist so that those DLLs load, and fail cleanly with
// ERROR_NOT_SUPPORTED. The .def file maps each export name to its stub; on
// x64 every argument travels in registers or caller-owned stack, so a stub
// may ignore its arguments.
#include "Spooler.h"

namespace {

void unsupported(const wchar_t* name)
{
    spool::logCall(name, {}, ERROR_NOT_SUPPORTED);
    SetLastError(ERROR_NOT_SUPPORTED);
}

} // namespace

#define STUB_BOOL(name)                                                                                               \
    extern "C" BOOL WINAPI stub_##name()                                                                              \
    {                                                                                                                 \
        unsupported(L## #name);                                                                                       \
        return FALSE;                                                                                                 \
    }
#define STUB_STATUS(name)                                                                                             \
    extern "C" DWORD WINAPI stub_##name()                                                                             \
    {                                                                                                                 \
        unsupported(L## #name);                                                                                       \
        return ERROR_NOT_SUPPORTED;                                                                                   \
    }
#define STUB_NEGATIVE(name)                                                                                           \
    extern "C" LONG WINAPI stub_##name()                                                                              \
    {                                                                                                                 \
        unsupported(L## #name);                                                                                       \
        return -1;                                                                                                    \
    }

STUB_BOOL(AddPortW)
STUB_BOOL(AddPrintProcessorW)
STUB_BOOL(AddPrintProvidorW)
STUB_BOOL(AddPrinterDriverW)
STUB_BOOL(ConfigurePortW)
STUB_BOOL(DeletePortW)
STUB_BOOL(DeletePrintProcessorW)
STUB_BOOL(DeletePrintProvidorW)
STUB_BOOL(DeletePrinterDriverW)
STUB_BOOL(EnumPrintProcessorDatatypesW)
STUB_BOOL(EnumPrintProcessorsW)
STUB_BOOL(EnumPrintersA)
STUB_BOOL(GetDefaultPrinterA)
STUB_BOOL(GetPrintProcessorDirectoryW)
STUB_BOOL(GetPrinterA)
STUB_BOOL(GetPrinterDriverA)
STUB_BOOL(ReadPrinter)
STUB_BOOL(ResetPrinterW)
STUB_BOOL(SeekPrinter)
STUB_STATUS(EnumPrinterDataExA)
STUB_STATUS(GetPrinterDataExA)
STUB_NEGATIVE(DocumentPropertiesA)
STUB_NEGATIVE(AdvancedDocumentPropertiesW)
STUB_NEGATIVE(DeviceCapabilitiesA)
STUB_NEGATIVE(DeviceCapabilitiesW)
