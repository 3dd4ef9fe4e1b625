#include "extension/JobDeliverySettings.h"

#include "destination/PrintPathAttr.h"
#include "destination/PrinterSettings.h"
#include "extension/JobAccountingSettings.h"
#include "extension/LumoraPrintingExtension.h"
#include "extension/PrintPathVerification.h"
#include "shared/SpoolerQueries.h"

#include <memory>

namespace {

constexpr wchar_t kStaticMode[] = L"StaticMode";
constexpr wchar_t kDestinationName[] = L"mplDestinationName";

bool switchedOn(const MPrint::PrintPath* path)
{
    return path && path->getNumericAttribute(PrintPathAttr::JobDelivery) == 1;
}

} // namespace

const wchar_t* const JobDeliverySettings::kQueueNames[FieldCount] = {
    PrintPathAttr::qJobDeliveryURL,    PrintPathAttr::qJobDeliveryModule, PrintPathAttr::qJobDeliveryAPIName,
    PrintPathAttr::qJobCompleteURL,    PrintPathAttr::qJobCompleteExe,    PrintPathAttr::qJobCompleteModule,
    PrintPathAttr::qJobCompleteAPI};
const wchar_t* const JobDeliverySettings::kManagedListNames[FieldCount] = {
    PrintPathAttr::mplJobDeliveryURL,  PrintPathAttr::mplJobDeliveryModule, PrintPathAttr::mplJobDeliveryAPIName,
    PrintPathAttr::mplJobCompleteURL,  PrintPathAttr::mplJobCompleteExe,    PrintPathAttr::mplJobCompleteModule,
    PrintPathAttr::mplJobCompleteAPI};
const wchar_t* const JobDeliverySettings::kPolicyNames[FieldCount] = {
    PrintPathAttr::JobDeliveryURL, PrintPathAttr::JobDeliveryModule, PrintPathAttr::JobDeliveryAPIName,
    PrintPathAttr::JobCompleteURL, nullptr, nullptr, nullptr};

JobDeliverySettings::JobDeliverySettings(const wchar_t* printerName, MPrint::PrintPath* path)
    : printerName_(printerName ? printerName : L""), printPath_(path)
{
    if (printerName)
        load();
}

JobDeliverySettings::JobDeliverySettings(HANDLE printer, MPrint::PrintPath* path) : printPath_(path)
{
    if (!printer)
        return;
    GlobalBlock<BYTE> info;
    const bool read = getPrinterAlloc(printer, 4, info.receive());
    const auto* level4 = reinterpret_cast<const PRINTER_INFO_4W*>(info.get());
    if (!read || !level4 || !level4->pPrinterName)
        return;
    printerName_ = level4->pPrinterName;
    load();
}

JobDeliverySettings::JobDeliverySettings(const wchar_t* printerName, const wchar_t* destination,
                                         const wchar_t* profile)
    : destination_(destination ? destination : L""), profile_(profile ? profile : L""),
      printerName_(printerName ? printerName : L"")
{
    load();
}

void JobDeliverySettings::load()
{
    for (std::wstring& text : result_)
        text.clear();
    enabled_ = false;
    makePermanentInstance_ = JobAccountingSettings::readMakePermanentInstance();

    std::unique_ptr<MPrint::PrintPath> historyPath;
    if (!printPath_)
        historyPath.reset(MPrint::findPrintPathInHistory(destination_.c_str(),
                                                         profile_.empty() ? nullptr : profile_.c_str()));
    MPrint::PrintPath* path = printPath_ ? printPath_ : historyPath.get();

    const ScopedPrinter printer = JobAccountingSettings::openQueue(printerName_.c_str());
    readManagedListValues(printer.get(), path);

    for (std::wstring& text : policy_)
        text.clear();
    if (printer) {
        for (int field = 0; field < FieldCount; ++field) {
            if (!kPolicyNames[field] || !JobAccountingSettings::printerOrPolicyString(printer.get(), kPolicyNames[field], policy_[field]))
                continue;
            if (path && !policy_[field].empty())
                path->setStringAttribute(kPolicyNames[field], policy_[field], true);
        }
    }

    for (std::wstring& text : queue_)
        text.clear();
    if (!printerName_.empty() && printPath_) {
        for (int field = 0; field < FieldCount; ++field) {
            queue_[field] = printPath_->getStringAttribute(kQueueNames[field]);
            if (queue_[field].empty() && PrinterSettings::readString(printer.get(), kQueueNames[field], queue_[field]))
                printPath_->setStringAttribute(kQueueNames[field], queue_[field], true);
        }
    }

    for (int field = 0; field < FieldCount; ++field) {
        for (const Texts* source : {&queue_, &managedList_, &policy_}) {
            if (!(*source)[field].empty()) {
                result_[field] = (*source)[field];
                break;
            }
        }
    }
    enabled_ = deliverySwitch_ != 0;
}

void JobDeliverySettings::readManagedListValues(HANDLE printer, const MPrint::PrintPath* path)
{
    for (std::wstring& text : managedList_)
        text.clear();
    deliverySwitch_ = 0;
    if (JobAccountingSettings::printerDword(printer, kStaticMode) != 0 && makePermanentInstance_ == 0) {
        for (int field = 0; field < FieldCount; ++field)
            PrinterSettings::readString(printer, kManagedListNames[field], managedList_[field]);
        deliverySwitch_ = JobAccountingSettings::printerDword(printer, PrintPathAttr::JobDelivery);
    } else if (path) {
        for (int field = 0; field < FieldCount; ++field)
            managedList_[field] = path->getStringAttribute(kManagedListNames[field]);
        deliverySwitch_ = switchedOn(path) ? 1 : 0;
    }
}

bool JobDeliverySettings::writeManagedListValues(PrinterSettings* settings, const MPrint::PrintPath* path)
{
    if (!settings)
        return false;
    const ScopedPrinter printer = JobAccountingSettings::openQueue(printerName_.c_str());
    readManagedListValues(printer.get(), path);
    if (switchedOn(path))
        settings->setDword(PrintPathAttr::JobDelivery, 1);
    else
        settings->deleteValue(PrintPathAttr::JobDelivery);
    for (int field = 0; field < FieldCount; ++field)
        JobAccountingSettings::writeOrDelete(*settings, kManagedListNames[field], managedList_[field]);
    LumoraPrintingExtension* extension = LumoraPrintingExtension::current();
    if (makePermanentInstance_ != 0 && extension && !extension->getDestination().empty())
        settings->setString(kDestinationName, extension->getDestination().c_str());
    return true;
}

bool JobDeliverySettings::setManagedListAttributes(const MPrint::ManagedPrinterRecord* record,
                                                   MPrint::PrintPath* path)
{
    if (!record || !path)
        return false;
    if (record->jobDelivery)
        path->setNumericAttribute(PrintPathAttr::JobDelivery, 1, true);
    else
        path->removeNumericAttribute(PrintPathAttr::JobDelivery);
    const wchar_t* const texts[FieldCount] = {record->jobDeliveryUrl,   record->jobDeliveryModule,
                                              record->jobDeliveryApi,   record->jobCompleteUrl,
                                              record->jobCompleteExe,   record->jobCompleteModule,
                                              record->jobCompleteApi};
    for (int field = 0; field < FieldCount; ++field) {
        if (texts[field] && *texts[field])
            path->setStringAttribute(kManagedListNames[field], texts[field], true);
        else
            path->removeStringAttribute(kManagedListNames[field]);
    }
    return true;
}

bool JobDeliverySettings::writeQueueValues(PrinterSettings* settings, const MPrint::PrintPath* path)
{
    if (!settings || !path)
        return false;
    if (switchedOn(path))
        settings->setDword(PrintPathAttr::JobDelivery, 1);
    for (const wchar_t* name : kQueueNames) {
        const std::wstring& text = path->getStringAttribute(name);
        if (!text.empty())
            settings->setString(name, text.c_str());
    }
    return true;
}

bool JobDeliverySettings::writePolicyValues(PrinterSettings* settings, const MPrint::PrintPath* path)
{
    if (!settings || !path)
        return false;
    const DWORD makePermanent = JobAccountingSettings::readMakePermanentInstance();
    const ScopedPrinter jobPrinter = JobAccountingSettings::openCurrentJobPrinter();
    if (!jobPrinter || makePermanent == 0)
        return true;
    if (switchedOn(path))
        settings->setDword(PrintPathAttr::JobDelivery, 1);
    for (const wchar_t* name : {PrintPathAttr::JobDeliveryModule, PrintPathAttr::JobDeliveryAPIName,
                                PrintPathAttr::JobDeliveryURL, PrintPathAttr::JobCompleteURL}) {
        std::wstring value;
        if (JobAccountingSettings::printerOrPolicyString(jobPrinter.get(), name, value))
            settings->setString(name, value.c_str());
    }
    return true;
}
