// The display texts a discovery service puts on the paths it builds: the
// "PrinterInfo" lines (model, then address) and the "Nickname" taken from
// an address. The policy that may hide device addresses lives above this
// layer: it is asked through a query installed by the services' owner
// (none installed: addresses are shown).
#pragma once

#include "core/ResourceLoader.h"
#include "destination/PrintPath.h"

#include <string>

namespace MPrint {

// Whether device addresses may be shown to the user.
using DeviceAddressShownQuery = bool (*)();
void setDeviceAddressShownQuery(DeviceAddressShownQuery query);

// The format with every %1 replaced by the text.
std::wstring formatWithArgument(const std::wstring& format, const wchar_t* text);

// Leaves a "PrinterInfo" that already names the (non-empty) model alone;
// otherwise writes string 22 with the model (when there is one) and, unless
// addresses are hidden, string 21 with the address on the next line.
void setPrinterInfoText(PrintPath& path, const ResourceLoader& loader, const std::wstring& model,
                        const std::wstring& address);
// The same with the address line's visibility given; true when the text was
// left alone, false when it was written.
bool setPrinterInfoText(PrintPath& path, const ResourceLoader& loader, const std::wstring& model,
                        const std::wstring& address, bool addressShown);
// The same for a model as a device names it, in the ANSI code page.
void setPrinterInfoTextFromModel(PrintPath& path, const ResourceLoader& loader, const std::string& model,
                                 const std::wstring& address);

// "Nickname" from a text: a blank after its first two characters unless it
// already holds a "qz " family prefix. False, and nothing set, for an empty
// text.
bool setNicknameFromAddress(PrintPath& path, const std::wstring& text);

} // namespace MPrint
