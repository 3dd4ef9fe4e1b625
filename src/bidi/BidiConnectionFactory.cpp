#include "bidi/BidiConnectionFactory.h"

#include "bidi/CompositeBidiConnection.h"
#include "bidi/CurrentDestination.h"
#include "bidi/DeviceIDBidiConnection.h"
#include "bidi/HttpBidiConnection.h"
#include "bidi/TrebukBidiConnection.h"
#include "core/RegistryKey.h"
#include "core/ScopedHandle.h"
#include "shared/PrintDriver.h"
#include "tickets/LEDMResourceFetch.h"

#include <new>

namespace MPrint {

BidiPrinterConnectionIntf* createBidiConnection(const wchar_t* name)
{
    if (!name)
        return nullptr;
    if (wcsncmp(name, L"USB", 3) == 0) {
        if (isCurrentDriverPcl3())
            return new (std::nothrow) DeviceIDBidiConnection();
        return new (std::nothrow) CompositeBidiConnection();
    }
    if (ledmProbeDiscoveryTree(name))
        return new (std::nothrow) HttpBidiConnection();
    return new (std::nothrow) TrebukBidiConnection(nullptr);
}

BidiPrinterConnectionIntf* createTrebukBidiConnection(const wchar_t* printerName)
{
    if (!printerName || !*printerName)
        return nullptr;
    return new (std::nothrow) TrebukBidiConnection(printerName);
}

bool isCurrentDriverPcl3()
{
    return driverVerifyPdlIs(currentDestinationPrinterName(), L"PCL3");
}

bool driverVerifyPdlIs(const std::wstring& printerName, const wchar_t* pdl)
{
    if (printerName.empty() || !pdl)
        return false;
    ScopedPrinter printer;
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ACCESS_USE};
    if (!OpenPrinterW(const_cast<wchar_t*>(printerName.c_str()), printer.receive(), &defaults) || !printer)
        return false;
    std::wstring keyPath;
    if (!PrintDriver(printer.get()).getDriverRegKeyPath(keyPath))
        return false;
    RegistryKey key(HKEY_LOCAL_MACHINE, keyPath, RegistryKey::kRead);
    std::wstring value;
    return key.isOpen() && key.queryString(L"VerifyPDL", value) && value == pdl;
}

} // namespace MPrint
