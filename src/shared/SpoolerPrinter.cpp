#include "shared/SpoolerPrinter.h"

#include "shared/PrinterData.h"
#include "shared/SpoolerQueries.h"

SpoolerPrinter::SpoolerPrinter(const std::wstring& printerName) : printerName_(printerName)
{
    if (!printerName_.empty() && openPrinterWithAccess(printerName_, owned_.receive(), PRINTER_ALL_ACCESS))
        printer_ = owned_.get();
    readDriverName();
}

SpoolerPrinter::SpoolerPrinter(HANDLE printer) : printer_(printer)
{
    readDriverName();
}

void SpoolerPrinter::close()
{
    owned_.reset();
    printer_ = nullptr;
}

void SpoolerPrinter::readDriverName()
{
    if (!printer_)
        return;
    BYTE* raw = nullptr;
    const bool ok = getPrinterDriverAlloc(printer_, 1, &raw);
    GlobalBlock<DRIVER_INFO_1W> info(reinterpret_cast<DRIVER_INFO_1W*>(raw));
    if (ok && info->pName)
        driverName_ = info->pName;
}

std::wstring SpoolerPrinter::pdlWordOf(const std::wstring& driverName)
{
    std::wstring word;
    for (const wchar_t* candidate : {L"PS", L"PCL 5", L"PCL 6", L"PCL 3", L"XPS"})
        if (driverName.find(candidate) != std::wstring::npos)
            word = candidate;
    return word;
}

const std::wstring& SpoolerPrinter::getDescription()
{
    if (!description_.empty())
        return description_;
    if (dataText_.empty() && printer_) {
        // The printer-data value named after the queue's port.
        const std::wstring port = getPrinterPortName(printer_);
        std::wstring text;
        if (readPrinterDataText(printer_, nullptr, port.c_str(), text, 520) == ERROR_SUCCESS && !text.empty() &&
            text[0] != L' ')
            dataText_ = text;
    }
    if (pdlWord_.empty())
        pdlWord_ = pdlWordOf(driverName_);
    if (!dataText_.empty() && !familyWord_.empty() && !pdlWord_.empty())
        description_ = dataText_ + L" " + familyWord_ + L" " + pdlWord_;
    return description_;
}

std::wstring SpoolerPrinter::freeName(const std::wstring& requested) const
{
    DWORD count = 0;
    GlobalBlock<PRINTER_INFO_4W> printers(
        reinterpret_cast<PRINTER_INFO_4W*>(enumPrintersAlloc(nullptr, 4, &count)));
    auto taken = [&](const std::wstring& name) {
        for (DWORD i = 0; printers && i < count; ++i)
            if (printers.get()[i].pPrinterName && name == printers.get()[i].pPrinterName)
                return true;
        return false;
    };
    std::wstring name = requested;
    for (unsigned n = 1; taken(name) && n <= count; ++n)
        name = requested + L" (Copy " + std::to_wstring(n) + L")";
    return name;
}

bool SpoolerPrinter::rename(const std::wstring& newName)
{
    if (newName.empty() || !printer_)
        return false;
    const std::wstring name = freeName(newName);
    BYTE* raw = nullptr;
    const bool ok = getPrinterAlloc(printer_, 4, &raw);
    GlobalBlock<PRINTER_INFO_4W> four(reinterpret_cast<PRINTER_INFO_4W*>(raw));
    if (!ok)
        return false;
    four->pPrinterName = const_cast<wchar_t*>(name.c_str());
    if (!SetPrinterW(printer_, 4, reinterpret_cast<BYTE*>(four.get()), 0))
        return false;
    printerName_ = name;
    return true;
}
