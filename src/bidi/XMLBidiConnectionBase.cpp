#include "bidi/XMLBidiConnectionBase.h"

#include "bidi/OIDRequest.h"
#include "core/ScopedHandle.h"
#include "shared/SpoolerQueries.h"
#include "tickets/DeviceTicketFactory.h"

#include <winspool.h>

namespace MPrint {

XMLBidiConnectionBase::XMLBidiConnectionBase(const wchar_t* printerName)
    : printerName_(printerName ? printerName : L"")
{
}

XMLBidiConnectionBase::~XMLBidiConnectionBase() { XMLBidiConnectionBase::Close(); }

bool XMLBidiConnectionBase::Open()
{
    if (printerName_.empty())
        return false;
    std::wstring port;
    {
        ScopedPrinter printer;
        if (!openPrinterWithAccess(printerName_, printer.receive(), PRINTER_ACCESS_USE))
            return false;
        BYTE* info = nullptr;
        const bool read = getPrinterAlloc(printer.get(), 2, &info);
        GlobalBlock<PRINTER_INFO_2W> block(reinterpret_cast<PRINTER_INFO_2W*>(info));
        if (read && block && block->pPortName)
            port = block->pPortName;
    }
    if (port.empty())
        return false;
    host_ = port;
    return Connect(nullptr, port.c_str(), BidiAddressFromQueue, kBidiDefaultPort);
}

bool XMLBidiConnectionBase::Close()
{
    object_.reset();
    ticket_.reset();
    return true;
}

bool XMLBidiConnectionBase::connectWith(const wchar_t* host, std::unique_ptr<OIDObject> object)
{
    Close();
    if (!host || !*host || !object)
        return false;
    host_ = host;
    DeviceTicket* made = nullptr;
    DeviceTicketFactory::create(host_, &made);
    std::unique_ptr<DeviceTicket> ticket(made);
    if (!ticket || !ticket->open(host_))
        return false;
    ticket_ = std::move(ticket);
    object_ = std::move(object);
    return true;
}

bool XMLBidiConnectionBase::Get(BidiRequest* requests, DWORD count)
{
    // The count first: with none there is no first request to look at.
    if (count < 1 || !ticket_ || !object_ || !requests || requests[0].oid.empty())
        return false;
    for (DWORD i = 0; i < count; ++i)
        if (!executeOIDGet(object_.get(), &requests[i], ticket_.get()))
            return false;
    return true;
}

bool XMLBidiConnectionBase::GetNext(BidiRequest* requests, DWORD count)
{
    if (count < 1 || !ticket_ || !object_ || !requests || requests[0].oid.empty())
        return true;
    for (DWORD i = 0; i < count; ++i)
        executeOIDGetNext(object_.get(), &requests[i], ticket_.get());
    return true;
}

} // namespace MPrint
