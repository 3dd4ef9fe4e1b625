#include "discovery/PrintPathText.h"

#include "core/StringConversion.h"
#include "core/TextFormat.h"
#include "core/Win32.h"
#include "destination/PrintPathAttr.h"

#include <atomic>
#include <cwchar>

namespace MPrint {

namespace {

constexpr UINT kAddressString = 21;
constexpr UINT kModelString = 22;

std::atomic<DeviceAddressShownQuery> addressShownQuery{nullptr};

} // namespace

void setDeviceAddressShownQuery(DeviceAddressShownQuery query)
{
    addressShownQuery = query;
}

std::wstring formatWithArgument(const std::wstring& format, const wchar_t* text)
{
    size_t uses = 0;
    for (size_t at = format.find(L"%1"); at != std::wstring::npos; at = format.find(L"%1", at + 2))
        ++uses;
    std::wstring out(format.size() + uses * wcslen(text) + 1, L'\0');
    insertArguments(&out[0], out.size(), format.c_str(), 1, text);
    out.resize(wcslen(out.c_str()));
    return out;
}

void setPrinterInfoText(PrintPath& path, const ResourceLoader& loader, const std::wstring& model,
                        const std::wstring& address)
{
    const DeviceAddressShownQuery shown = addressShownQuery;
    setPrinterInfoText(path, loader, model, address, !shown || shown());
}

bool setPrinterInfoText(PrintPath& path, const ResourceLoader& loader, const std::wstring& model,
                        const std::wstring& address, bool addressShown)
{
    const std::wstring& current = path.getStringAttribute(PrintPathAttr::PrinterInfo);
    if (!current.empty() && !model.empty() && current.find(model) != std::wstring::npos)
        return true;
    std::wstring info;
    if (!model.empty())
        info = formatWithArgument(loader.loadString(kModelString), model.c_str());
    if (addressShown) {
        if (!info.empty())
            info += L"\n";
        info += formatWithArgument(loader.loadString(kAddressString), address.c_str());
    }
    path.setStringAttribute(PrintPathAttr::PrinterInfo, info, true);
    return false;
}

void setPrinterInfoTextFromModel(PrintPath& path, const ResourceLoader& loader, const std::string& model,
                                 const std::wstring& address)
{
    std::wstring wide;
    convertString(model, wide, CP_ACP);
    setPrinterInfoText(path, loader, wide, address);
}

bool setNicknameFromAddress(PrintPath& path, const std::wstring& text)
{
    if (text.empty())
        return false;
    std::wstring nickname = text;
    const bool prefixed = text.find(L"qz ") != std::wstring::npos || text.find(L"QZ ") != std::wstring::npos ||
                          text.find(L"Qz ") != std::wstring::npos;
    // A one-character text has no place after its second character.
    if (!prefixed && text.size() >= 2)
        nickname.insert(2, 1, L' ');
    path.setStringAttribute(PrintPathAttr::Nickname, nickname, true);
    return true;
}

} // namespace MPrint
