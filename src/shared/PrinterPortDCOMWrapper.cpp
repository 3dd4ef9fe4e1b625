#include "shared/PrinterPortDCOMWrapper.h"

#include "core/ProcAddress.h"
#include "shared/RemotePortExports.h"

namespace {

// A text of the module, bounded: it comes from outside.
std::wstring textOf(const wchar_t* text)
{
    return text ? std::wstring(text, wcsnlen(text, 4096)) : std::wstring();
}

} // namespace

PrinterPortDCOMWrapper::PrinterPortDCOMWrapper(const std::wstring& serverName, const std::wstring& printerName,
                                               const std::wstring& moduleDirectory)
    : remotePrinterName_(printerName),
      remoteServerName_(serverName.compare(0, 2, L"\\\\") == 0 ? serverName.substr(2) : serverName),
      moduleDirectory_(moduleDirectory)
{
    if (moduleDirectory_.empty())
        return;
    modulePath_ = moduleDirectory_;
    if (modulePath_.back() != L'\\')
        modulePath_ += L'\\';
    modulePath_ += remoteport::kModuleName;
    module_.reset(LoadLibraryW(modulePath_.c_str()));
    queryRemotePort();
}

PrinterPortDCOMWrapper::~PrinterPortDCOMWrapper() = default;

bool PrinterPortDCOMWrapper::queryRemotePort()
{
    const auto getName = procAddress<remoteport::GetRemotePortNameFn>(module_.get(), "GetRemotePortName");
    const auto getInformation =
        procAddress<remoteport::GetRemotePortInformationFn>(module_.get(), "GetRemotePortInformation");
    const auto freeText = procAddress<remoteport::FreeQZStringFn>(module_.get(), "FreeQZString");
    if (!getName || !getInformation || !freeText)
        return false;
    // The module writes only what it hands out: every slot starts null, and
    // whatever it handed out is freed, also after a failed call.
    wchar_t* port = nullptr;
    wchar_t* address = nullptr;
    wchar_t* monitor = nullptr;
    wchar_t* description = nullptr;
    bool answered = false;
    if (getName(remotePrinterName_.c_str(), remoteServerName_.c_str(), &port) == 0 && port &&
        getInformation(port, remoteServerName_.c_str(), &address, &monitor, &description) == 0) {
        remotePortName_ = textOf(port);
        remotePortAddress_ = textOf(address);
        remoteMonitorName_ = textOf(monitor);
        remotePortDescription_ = textOf(description);
        answered = true;
    }
    for (wchar_t* text : {port, address, monitor, description})
        if (text)
            freeText(text);
    return answered;
}
