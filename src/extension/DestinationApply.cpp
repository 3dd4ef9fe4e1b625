#include "extension/DestinationApply.h"

#include "bidi/BidiCacheCopy.h"
#include "core/AsciiCase.h"
#include "core/RegistryKey.h"
#include "core/ScopedHandle.h"
#include "core/SettingsKeys.h"
#include "core/StringConversion.h"
#include "destination/DestinationContext.h"
#include "destination/MonitorChannel.h"
#include "destination/PrintPathAttr.h"
#include "destination/PrinterDataValues.h"
#include "destination/PrinterSettings.h"
#include "extension/DeviceConfiguration.h"
#include "extension/JobDeliverySettings.h"
#include "extension/KRVProperties.h"
#include "extension/ManagedPrintPolicy.h"
#include "extension/PrinterFeaturesApplicator.h"
#include "shared/PrinterData.h"
#include "shared/PrinterPort.h"
#include "shared/SpoolerNames.h"
#include "shared/SpoolerQueries.h"
#include "tickets/JCTRetriever.h"

namespace MPrint {

namespace {

constexpr wchar_t kUpdateNow[] = L"LumoUpdateNow";
constexpr wchar_t kNewInstall[] = L"LumoNewInstall";
constexpr DWORD kWorkOffline = PRINTER_ATTRIBUTE_WORK_OFFLINE;
// Monitor commands: point the queue at a port; refresh its device data.
constexpr DWORD kMonitorSetPort = 3;
constexpr DWORD kMonitorUpdateNow = 6;

DWORD pathNumber(const PrintPath* path, const wchar_t* name)
{
    return path ? path->getNumericAttribute(name) : 0xFFFFFFFF;
}

std::wstring pathText(const PrintPath* path, const wchar_t* name)
{
    return path ? path->getStringAttribute(name) : std::wstring();
}

bool openQueue(const std::wstring& printerName, ScopedPrinter& printer, bool& limited, DWORD& error)
{
    HANDLE handle = nullptr;
    limited = false;
    if (openPrinterWithAccess(printerName, &handle, PRINTER_ALL_ACCESS)) {
        printer.reset(handle);
        return true;
    }
    handle = nullptr;
    if (openPrinterWithAccess(printerName, &handle, PRINTER_ACCESS_USE)) {
        printer.reset(handle);
        limited = true;
        return true;
    }
    error = GetLastError();
    return false;
}

DWORD setDword(HANDLE printer, const wchar_t* name, DWORD value)
{
    return SetPrinterDataW(printer, const_cast<LPWSTR>(name), REG_DWORD, reinterpret_cast<BYTE*>(&value),
                           sizeof(value));
}

// The queue's own device mode, run through the driver's document settings
// and stored as the queue's global default.
void refreshGlobalDevMode(HANDLE printer, const std::wstring& printerName)
{
    DWORD needed = 0;
    GetPrinterW(printer, 9, nullptr, 0, &needed);
    if (setDefaultDevMode(printer, printerName.c_str()))
        setProcessProperty(krv::kProxyGetDevMode, 1);
}

} // namespace

struct DestinationApply::Queue {
    std::wstring printerName;
    std::wstring port;
    PrintPath* path = nullptr;
    std::wstring cacheKey;
    std::wstring model;
    ScopedPrinter printer;
    GlobalBlock<PRINTER_INFO_5W> record;
    bool limited = false;
    bool configChanged = false;
    bool result = false;
    bool switched = false;
    DWORD dynamicUI = 0;
    DWORD error = 0;
};

std::string DestinationApply::shortModelName(std::string model)
{
    const std::string full = "TarvokinQZ";
    const size_t at = model.find(full);
    if (at == std::string::npos)
        return model;
    return model.substr(0, at) + "QZ" + model.substr(at + full.size());
}

bool DestinationApply::apply(DestinationContext* context, const std::wstring& portName)
{
    if (!context || portName.empty())
        return false;
    Queue queue;
    queue.printerName = context->getPrinterName();
    queue.port = portName;
    queue.path = context->getPrintPath();
    queue.cacheKey = queue.path ? pathText(queue.path, PrintPathAttr::Address) : portName;

    if (openQueue(queue.printerName, queue.printer, queue.limited, queue.error)) {
        BYTE* info = nullptr;
        const bool read = getPrinterAlloc(queue.printer.get(), 5, &info);
        queue.record.reset(reinterpret_cast<PRINTER_INFO_5W*>(info));
        if (read && queue.record) {
            PRINTER_INFO_5W* record = queue.record.get();
            bool modelDiffers = false;
            if (queue.path) {
                const std::string model = shortModelName(queue.path->getDevice().getModelName());
                if (!model.empty() && convertString(model, queue.model, 0)) {
                    queue.cacheKey += queue.model;
                    std::wstring stored;
                    if (readPrinterDataText(queue.printer.get(), nullptr, queue.port.c_str(), stored) == ERROR_SUCCESS)
                        modelDiffers = !equalsIgnoringAsciiCase(stored, queue.model);
                }
                if (!pathText(queue.path, PrintPathAttr::ExternalBidiConfigData).empty())
                    updateExternalBidiConfig(queue.path, queue.printerName);
            }
            const bool force = pathNumber(queue.path, PrintPathAttr::ForceDocPropCall) == 1;
            queue.configChanged = pathNumber(queue.path, PrintPathAttr::ConfigChanged) == 1;
            const std::wstring current = record->pPortName ? record->pPortName : L"";
            const bool portDiffers = !equalsIgnoringAsciiCase(queue.port, current);
            const bool offline = (record->Attributes & kWorkOffline) != 0;
            if (!current.empty() && !portDiffers && !modelDiffers && !force && !queue.configChanged && !newInstall_ &&
                !(queue.limited && offline)) {
                queue.result = true;
                recordPortModel(queue.printer.get(), queue.printerName, queue.port, queue.model);
            } else {
                switchPort(queue);
            }
            if ((record->Attributes & kWorkOffline) && pathNumber(queue.path, PrintPathAttr::NewPortCreated) == 1) {
                record->Attributes &= ~kWorkOffline;
                SetPrinterW(queue.printer.get(), 5, reinterpret_cast<BYTE*>(record), 0);
            }
            if (queue.result)
                recordPortModel(queue.printer.get(), queue.printerName, queue.port, queue.model);
        }
        queue.record.reset();
        queue.printer.reset();
    }

    if (queue.error == ERROR_ACCESS_DENIED)
        queue.result = applyThroughMonitor(queue);
    if (queue.switched)
        countPortSwitch();
    return queue.result;
}

void DestinationApply::switchPort(Queue& queue)
{
    HANDLE printer = queue.printer.get();
    PRINTER_INFO_5W* record = queue.record.get();
    getPrinterDword(printer, L"LumoDynamicUI", queue.dynamicUI);
    if (record->pPortName)
        DeletePrinterDataW(printer, record->pPortName);
    DWORD autoCreated = 0;
    if (getPrinterDword(printer, L"LumoAutoCreated", autoCreated) && autoCreated != 0 && record->pPortName)
        queue.port = record->pPortName;
    else
        record->pPortName = queue.port.data();
    const bool written = SetPrinterW(printer, 5, reinterpret_cast<BYTE*>(record), 0) != FALSE;
    const DWORD writeError = GetLastError();
    // Only a static-mode update may go on without the port in place: a failed
    // write is otherwise a failure, with or without a print path.
    if (!written && pathNumber(queue.path, PrintPathAttr::StaticModeUpdate) != 1) {
        queue.error = writeError ? writeError : DWORD{ERROR_GEN_FAILURE};
        return;
    }
    queue.result = true;
    queue.switched = true;
    recordPortModel(printer, queue.printerName, queue.port, queue.model);
    if (pathNumber(queue.path, PrintPathAttr::ChangePortOnly) != 1 && queue.dynamicUI == 1)
        refreshDeviceData(queue);
}

void DestinationApply::refreshDeviceData(Queue& queue)
{
    HANDLE printer = queue.printer.get();
    DWORD one = 1;
    bool protectedMode = false;
    if (!updateNowMarker(kSetMarker, printer, one, protectedMode)) {
        queue.error = queue.limited ? DWORD{ERROR_ACCESS_DENIED} : DWORD{0x80004005};
        return;
    }
    if (newInstall_)
        DeletePrinterDataW(printer, const_cast<LPWSTR>(kNewInstall));
    const bool moved = migrateBidiCache(printer, queue.printerName.c_str(), queue.cacheKey.c_str(), nullptr);
    setDword(printer, L"BidiCache", 1);
    setDword(printer, L"BidiReadCache", moved && !newInstall_ && !queue.configChanged ? 1 : 0);
    // The driver's device settings callback runs while "LumoUpdateNow" is set.
    PrinterProperties(nullptr, printer);
    refreshGlobalDevMode(printer, queue.printerName);
    if (!moved || queue.configChanged)
        saveBidiCacheToFile(printer, queue.cacheKey.c_str());
    refreshJobControlTicket(queue.printerName, queue.path);
    DWORD zero = 0;
    updateNowMarker(kDeleteMarker, printer, zero, protectedMode);
}

bool DestinationApply::applyThroughMonitor(Queue& queue)
{
    MonitorChannel channel(kKeravinMonitorName);
    if (!channel.sendPrinterCommand(kMonitorSetPort, queue.printerName.c_str(), queue.port.c_str()))
        return false;
    PrintPath* path = queue.path;
    if (pathNumber(path, PrintPathAttr::ChangePortOnly) == 1)
        return true;
    queue.switched = true;
    PrinterSettings settings(queue.printerName.c_str(), PRINTER_ALL_ACCESS);
    PrinterFeaturesApplicator applicator(ManagedPrintPolicy::instance(), &settings, path);
    // The cached answers go to the monitor with the settings, in a batch of their own.
    PrinterDataValues bidiValues;
    bool moved = migrateBidiCache(nullptr, queue.printerName.c_str(), queue.cacheKey.c_str(), &bidiValues);
    if (queue.configChanged)
        moved = false;
    settings.setDword(L"BidiCache", 1);
    settings.setDword(L"BidiReadCache", moved ? 1 : 0);
    if (!queue.model.empty())
        settings.setString(queue.port.c_str(), queue.model.c_str());
    if (newInstall_)
        settings.setDword(kNewInstall, 0);
    applicator.apply();
    applicator.applyManagedFeatures();
    if (pathNumber(path, PrintPathAttr::SetBIDIHelperValuesXcv) == 1) {
        for (const wchar_t* name : {PrintPathAttr::BIDIPortType, PrintPathAttr::BIDIPortNumber,
                                    PrintPathAttr::BIDIDeviceAddressOverride})
            settings.setDword(name, pathNumber(path, name));
        for (const wchar_t* name : {PrintPathAttr::BIDIDeviceAddress, PrintPathAttr::BIDICurrentPort})
            settings.setString(name, pathText(path, name).c_str());
    }
    settings.commitDeferred();
    DWORD count = 0;
    bidiValues.getValues(&count);
    if (count)
        channel.setPrinterData(queue.printerName.c_str(), &bidiValues);
    refreshJobControlTicket(queue.printerName, path);
    if (queue.dynamicUI == 1) {
        channel.sendPrinterCommand(kMonitorUpdateNow, queue.printerName.c_str(), nullptr);
        ScopedPrinter printer;
        bool limited = false;
        DWORD error = 0;
        if (!moved && openQueue(queue.printerName, printer, limited, error))
            saveBidiCacheToFile(printer.get(), queue.cacheKey.c_str());
    }
    return true;
}

void DestinationApply::countPortSwitch()
{
    RegistryKey key(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess);
    if (!key.isOpen())
        return;
    DWORD counter = 8, threshold = 8;
    key.queryDword(L"ChangedPorts", &counter);
    key.queryDword(L"FreeDVTCount", &threshold);
    ++counter;
    if (counter >= threshold) {
        if (key.setDword(L"ChangedPorts", 0))
            setProcessProperty(krv::kFreeDVTs, GetTickCount());
    } else {
        key.setDword(L"ChangedPorts", counter);
    }
}

bool DestinationApply::recordPortModel(HANDLE printer, const std::wstring& printerName, const std::wstring& portName,
                                       const std::wstring& model)
{
    if (!printer || printerName.empty() || portName.empty() || model.empty())
        return false;
    const DWORD size = static_cast<DWORD>((model.size() + 1) * sizeof(wchar_t));
    const DWORD error = SetPrinterDataW(printer, const_cast<LPWSTR>(portName.c_str()), REG_SZ,
                                        reinterpret_cast<BYTE*>(const_cast<wchar_t*>(model.c_str())), size);
    if (error != ERROR_ACCESS_DENIED)
        return false;
    PrinterPort port(printer, portName.c_str());
    if (!port.guessPortAddress(true) || port.getPortType() != kPortTerminalServer)
        return false;
    PrinterDataValues batch;
    batch.addString(portName.c_str(), model.c_str());
    return MonitorChannel(kKeravinMonitorName).setPrinterData(printerName.c_str(), &batch);
}

void DestinationApply::refreshJobControlTicket(const std::wstring& printerName, PrintPath* path)
{
    ScopedPrinter printer;
    HANDLE handle = nullptr;
    if (printerName.empty() || !openPrinterWithAccess(printerName, &handle, PRINTER_ACCESS_USE))
        return;
    printer.reset(handle);
    std::wstring installing;
    if (readPrinterDataText(handle, nullptr, L"LumoPrnEventInitPostInstall", installing) == ERROR_SUCCESS)
        return;
    std::wstring address;
    if (pathNumber(path, PrintPathAttr::BIDIDeviceAddressOverride) == 1)
        address = pathText(path, PrintPathAttr::BidiPort);
    else
        address = pathText(path, PrintPathAttr::DeviceConfigAddress);
    if (address.empty() && isIPrintQueue(printerName))
        address = getNovellSnmpAddress(printerName);
    const bool delivers = JobDeliverySettings(printerName.c_str(), path).isJobDeliveryEnabled();
    if (address.empty() && delivers)
        retrieveJCTForPrintQueue(printerName.c_str(), true);
    else
        retrieveJCTForDeviceAddress(printerName.c_str(), true, address.c_str());
}

bool DestinationApply::isUpdateNowProtectedMode()
{
    return getProcessProperty(krv::kUpdateNowProtectedMode) != 0;
}

bool DestinationApply::updateNowMarker(int operation, HANDLE printer, DWORD& value, bool& protectedMode)
{
    if (!printer)
        return false;
    protectedMode = isUpdateNowProtectedMode();
    switch (operation) {
    case kSetMarker:
        if (protectedMode && value == 0)
            return false;
        return setDword(printer, kUpdateNow, value) == ERROR_SUCCESS;
    case kGetMarker: {
        DWORD type = 0, needed = 0, read = 0;
        if (GetPrinterDataW(printer, const_cast<LPWSTR>(kUpdateNow), &type, reinterpret_cast<BYTE*>(&read),
                            sizeof(read), &needed) != ERROR_SUCCESS)
            return false;
        value = read;
        return true;
    }
    case kDeleteMarker:
        return !protectedMode && DeletePrinterDataW(printer, const_cast<LPWSTR>(kUpdateNow)) == ERROR_SUCCESS;
    default:
        return false;
    }
}

} // namespace MPrint
