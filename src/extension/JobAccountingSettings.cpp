#include "extension/JobAccountingSettings.h"

#include "core/RegistryKey.h"
#include "core/ScopedHandle.h"
#include "core/SettingsKeys.h"
#include "destination/PrintPathAttr.h"
#include "destination/PrinterSettings.h"
#include "extension/LumoraPrintingExtension.h"
#include "extension/ManagedPrintPolicy.h"
#include "extension/PrintPathVerification.h"
#include "shared/SpoolerQueries.h"

#include <memory>

namespace {

constexpr wchar_t kStaticMode[] = L"StaticMode";
constexpr wchar_t kMakePermanentInstance[] = L"MakePermanentInstance";
constexpr wchar_t kMakePermanentOwner[] = L"MakePermanentInstanceProcess";
constexpr DWORD kMaxUserChars = 260;

std::wstring environmentUser()
{
    wchar_t text[kMaxUserChars + 1] = {};
    const DWORD length = GetEnvironmentVariableW(L"USERID", text, kMaxUserChars + 1);
    // A longer value is not cut to a different identity: it counts as unset.
    return length == 0 || length > kMaxUserChars ? std::wstring() : std::wstring(text, length);
}

// A process that may not be opened still runs; one that cannot be found does not.
bool isProcessRunning(DWORD processId)
{
    if (processId == GetCurrentProcessId())
        return true;
    ScopedKernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
    if (!process)
        return GetLastError() == ERROR_ACCESS_DENIED;
    return WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

const std::wstring& firstNonEmpty(const std::wstring& first, const std::wstring& second)
{
    return first.empty() ? second : first;
}

} // namespace

JobAccountingSettings::JobAccountingSettings(const wchar_t* printerName, const wchar_t* destination,
                                             const wchar_t* profile)
    : destination_(destination ? destination : L""), profile_(profile ? profile : L""),
      printerName_(printerName ? printerName : L"")
{
    load();
}

DWORD JobAccountingSettings::readMakePermanentInstance()
{
    DWORD value = 0;
    RegistryKey key(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kRead);
    if (!key.isOpen() || !key.queryDword(kMakePermanentInstance, &value))
        return 0;
    DWORD owner = 0;
    if (value != 0 && key.queryDword(kMakePermanentOwner, &owner) && !isProcessRunning(owner)) {
        clearMakePermanentInstance();
        return 0;
    }
    return value;
}

bool JobAccountingSettings::setMakePermanentInstance()
{
    RegistryKey key(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess, true);
    // The owner first: a reader never sees the marker without it.
    return key.setDword(kMakePermanentOwner, GetCurrentProcessId()) && key.setDword(kMakePermanentInstance, 1);
}

void JobAccountingSettings::clearMakePermanentInstance()
{
    RegistryKey key(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess);
    key.deleteValue(kMakePermanentInstance);
    key.deleteValue(kMakePermanentOwner);
}

ScopedPrinter JobAccountingSettings::openCurrentJobPrinter()
{
    LumoraPrintingExtension* extension = LumoraPrintingExtension::current();
    MPrint::DestinationContext* context = extension ? extension->getDestinationContext() : nullptr;
    if (!context)
        return ScopedPrinter();
    return openQueue(context->getPrinterName().c_str());
}

ScopedPrinter JobAccountingSettings::openQueue(const wchar_t* printerName)
{
    ScopedPrinter printer;
    if (!printerName || !*printerName)
        return printer;
    std::wstring name = printerName;
    HANDLE handle = nullptr;
    // OpenPrinterW may write the handle even when it fails; trust it only on success.
    if (OpenPrinterW(name.data(), &handle, nullptr))
        printer.reset(handle);
    return printer;
}

DWORD JobAccountingSettings::printerDword(HANDLE printer, const wchar_t* name)
{
    DWORD value = 0;
    if (!printer || !getPrinterDword(printer, name, value))
        return 0;
    return value;
}

bool JobAccountingSettings::printerOrPolicyString(HANDLE printer, const wchar_t* name, std::wstring& value)
{
    bool fromPrinter = false;
    MPrint::ManagedPrintPolicy* policy = MPrint::ManagedPrintPolicy::instance();
    return policy && policy->getPrinterOrPolicyString(printer, name, value, fromPrinter);
}

void JobAccountingSettings::writeOrDelete(PrinterSettings& settings, const wchar_t* name, const std::wstring& text)
{
    if (text.empty())
        settings.deleteValue(name);
    else
        settings.setString(name, text.c_str());
}

void JobAccountingSettings::load()
{
    url_.clear();
    module_.clear();
    apiName_.clear();
    user_.clear();
    std::unique_ptr<MPrint::PrintPath> path(
        MPrint::findPrintPathInHistory(destination_.c_str(), profile_.empty() ? nullptr : profile_.c_str()));
    const ScopedPrinter printer = openQueue(printerName_.c_str());
    readManagedListValues(printer.get(), path.get());
    environmentUser_ = environmentUser();
    readPolicyValues(printer.get(), path.get());
    url_ = firstNonEmpty(mplUrl_, policyUrl_);
    module_ = firstNonEmpty(mplModule_, policyModule_);
    apiName_ = firstNonEmpty(mplApiName_, policyApiName_);
    user_ = firstNonEmpty(environmentUser_, policyUser_);
}

void JobAccountingSettings::readManagedListValues(HANDLE printer, const MPrint::PrintPath* path)
{
    mplUrl_.clear();
    mplModule_.clear();
    mplApiName_.clear();
    // A static queue keeps the list's values in its own data, unless it is
    // being made permanent from a destination, whose path then speaks.
    if (printerDword(printer, kStaticMode) != 0 && readMakePermanentInstance() == 0) {
        PrinterSettings::readString(printer, PrintPathAttr::mplJobAccountingURL, mplUrl_);
        PrinterSettings::readString(printer, PrintPathAttr::mplJobAccountingModule, mplModule_);
        PrinterSettings::readString(printer, PrintPathAttr::mplJobAccountingAPI, mplApiName_);
    } else if (path) {
        mplUrl_ = path->getStringAttribute(PrintPathAttr::mplJobAccountingURL);
        mplModule_ = path->getStringAttribute(PrintPathAttr::mplJobAccountingModule);
        mplApiName_ = path->getStringAttribute(PrintPathAttr::mplJobAccountingAPI);
    }
}

void JobAccountingSettings::readPolicyValues(HANDLE printer, MPrint::PrintPath* path)
{
    policyUrl_.clear();
    policyModule_.clear();
    policyApiName_.clear();
    policyUser_.clear();
    if (!printer)
        return;
    const struct {
        const wchar_t* name;
        std::wstring& value;
    } fields[] = {{PrintPathAttr::JobAccountingModule, policyModule_},
                  {PrintPathAttr::JobAccountingAPIName, policyApiName_},
                  {PrintPathAttr::JobAccountingURL, policyUrl_},
                  {PrintPathAttr::Userid, policyUser_}};
    for (const auto& field : fields) {
        if (!printerOrPolicyString(printer, field.name, field.value))
            field.value.clear();
        else if (path && !field.value.empty())
            path->setStringAttribute(field.name, field.value, true);
    }
}

bool JobAccountingSettings::writeManagedListValues(PrinterSettings* settings, const MPrint::PrintPath* path)
{
    if (!settings)
        return false;
    const ScopedPrinter printer = openQueue(printerName_.c_str());
    readManagedListValues(printer.get(), path);
    writeOrDelete(*settings, PrintPathAttr::mplJobAccountingURL, mplUrl_);
    writeOrDelete(*settings, PrintPathAttr::mplJobAccountingModule, mplModule_);
    writeOrDelete(*settings, PrintPathAttr::mplJobAccountingAPI, mplApiName_);
    return true;
}

bool JobAccountingSettings::setManagedListAttributes(const MPrint::ManagedPrinterRecord* record,
                                                     MPrint::PrintPath* path)
{
    if (!record || !path)
        return false;
    const struct {
        const wchar_t* name;
        const wchar_t* text;
    } fields[] = {{PrintPathAttr::mplJobAccountingAPI, record->jobAccountingApiName},
                  {PrintPathAttr::mplJobAccountingModule, record->jobAccountingModule},
                  {PrintPathAttr::mplJobAccountingURL, record->jobAccountingUrl}};
    for (const auto& field : fields) {
        if (field.text && *field.text)
            path->setStringAttribute(field.name, field.text, true);
    }
    return true;
}

bool JobAccountingSettings::writeQueueValues(PrinterSettings* settings, const MPrint::PrintPath* path)
{
    if (!settings || !path)
        return false;
    for (const wchar_t* name : {PrintPathAttr::qJobAccountingAPI, PrintPathAttr::qJobAccountingModule,
                                PrintPathAttr::qJobAccountingURL}) {
        const std::wstring& text = path->getStringAttribute(name);
        if (!text.empty())
            settings->setString(name, text.c_str());
    }
    return true;
}

bool JobAccountingSettings::writePolicyValues(PrinterSettings* settings)
{
    if (!settings)
        return false;
    const DWORD makePermanent = readMakePermanentInstance();
    const ScopedPrinter jobPrinter = openCurrentJobPrinter();
    if (!jobPrinter || makePermanent == 0)
        return false;
    for (const wchar_t* name : {PrintPathAttr::JobAccountingModule, PrintPathAttr::JobAccountingAPIName,
                                PrintPathAttr::JobAccountingURL, PrintPathAttr::Userid}) {
        std::wstring value;
        if (printerOrPolicyString(jobPrinter.get(), name, value))
            settings->setString(name, value.c_str());
    }
    return true;
}
