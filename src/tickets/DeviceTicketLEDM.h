// A device ticket for LEDM devices. When the host answers the LEDM probe the
// trees come over HTTP through the ticket's own tree table (kept trees once,
// the product status tree on every fresh read); otherwise, for an LEDM device
// reached without HTTP, from the device-data module.
#pragma once

#include "tickets/DeviceTicket.h"
#include "tickets/LEDMTreeTable.h"

#include <memory>

namespace MPrint {

class DeviceTicketLEDM : public DeviceTicket {
public:
    DeviceTicketLEDM() = default;
    ~DeviceTicketLEDM() override;

    bool open(const std::wstring& host) override;
    // Frees the tree table and every tree it kept.
    bool close() override;
    bool getFirstValue(const std::vector<std::wstring>& xpaths, std::wstring& text, bool useCached) override;
    bool getValue(const std::wstring& xpath, std::wstring& text, bool useCached) override;
    // In LEDM mode the XPath is read relative to the root, its first step
    // ("/" and what precedes it) cut off.
    bool getText(const std::wstring& xpath, std::wstring& text) override;
    const wchar_t* const* getTreeNames(DWORD& count) override;

    bool ledmMode() const { return ledmMode_; }

protected:
    bool bringIn(const std::wstring& treeName, const std::wstring& xpath) override;

private:
    std::wstring ledmHost_;
    XMLTreeLibrary* ledmLibrary_ = nullptr; // process-wide, not owned
    bool ledmMode_ = false;
    std::unique_ptr<LEDMTreeTable> table_;
};

} // namespace MPrint
