#include "tickets/DeviceTicketLEDM.h"

#include "core/GlobalLockGuard.h"
#include "core/ScopedHandle.h"
#include "tickets/LEDMResourceFetch.h"
#include "tickets/XMLTreeLibrary.h"

#include <cstring>
#include <iterator>
#include <new>

namespace MPrint {

namespace {

const wchar_t* const kTreeNames[] = {L"MediaHandling", L"ConsumableConfig", L"ProductConfig",
                                     L"ProductStatus", L"ProductUsageData", L"PrintConfig"};

} // namespace

DeviceTicketLEDM::~DeviceTicketLEDM() { DeviceTicketLEDM::close(); }

bool DeviceTicketLEDM::open(const std::wstring& host)
{
    if (host.empty())
        return false;
    ledmHost_ = host;
    if (!initializeCom())
        return false;
    bool ready = false;
    if (ledmProbeDiscoveryTree(ledmHost_.c_str())) {
        ledmMode_ = true;
        if (!table_)
            table_.reset(new (std::nothrow) LEDMTreeTable());
        ready = true;
    } else {
        ledmLibrary_ = XMLTreeLibrary::instance();
        ready = ledmLibrary_ && ledmLibrary_->initialize(ledmHost_.c_str());
    }
    return ready && createDocument();
}

bool DeviceTicketLEDM::close()
{
    table_.reset();
    return true;
}

bool DeviceTicketLEDM::getFirstValue(const std::vector<std::wstring>& xpaths, std::wstring& text, bool useCached)
{
    return DeviceTicket::getFirstValue(xpaths, text, useCached);
}

bool DeviceTicketLEDM::getValue(const std::wstring& xpath, std::wstring& text, bool useCached)
{
    return DeviceTicket::getValue(xpath, text, useCached);
}

bool DeviceTicketLEDM::bringIn(const std::wstring& treeName, const std::wstring& xpath)
{
    if (ledmMode_) {
        if (!table_ || !table_->valid())
            return false;
        HGLOBAL fetched = nullptr;
        if (!ledmFetchResource(table_.get(), ledmHost_.c_str(), xpath, treeName, &fetched))
            return false;
        ScopedGlobal block(fetched);
        GlobalLockGuard<const char> bytes(block.get());
        // The block is zero-terminated by the fetch; its size bounds the text.
        return bytes && memchr(bytes.get(), 0, GlobalSize(block.get())) && mergeTree(bytes.get(), treeName);
    }
    return bringInFromLibrary(ledmLibrary_, ledmHost_, treeName);
}

bool DeviceTicketLEDM::getText(const std::wstring& xpath, std::wstring& text)
{
    if (xpath.empty())
        return false;
    if (!ledmMode_)
        return DeviceTicket::getText(xpath, text);
    const size_t slash = xpath.find(L'/');
    return XMLTicket::getText(slash == std::wstring::npos ? xpath : xpath.substr(slash + 1), text);
}

const wchar_t* const* DeviceTicketLEDM::getTreeNames(DWORD& count)
{
    count = static_cast<DWORD>(std::size(kTreeNames));
    return kTreeNames;
}

} // namespace MPrint
