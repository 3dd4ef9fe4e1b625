#include "extension/DocumentEvents.h"

#include "core/ProfileScope.h"
#include "core/RegistryKey.h"
#include "core/ScopedHandle.h"
#include "core/SettingsKeys.h"
#include "core/UserMessageBox.h"
#include "destination/PrinterSettings.h"
#include "extension/JobAccountingSettings.h"
#include "extension/JobInfoRecord.h"
#include "extension/KRVProperties.h"
#include "extension/LXESingleton.h"
#include "extension/LumoraPrintingExtension.h"
#include "extension/ManagedPrintPolicy.h"
#include "extension/ModuleEntry.h"
#include "extension/StaticPrinterPolicy.h"
#include "shared/PrinterPort.h"
#include "shared/SpoolerQueries.h"

#include <cstring>
#include <cwchar>

namespace LumoraUI {

namespace {

constexpr int kCreateDcPost = 2;   // DOCUMENTEVENT_CREATEDCPOST
constexpr int kStartDoc = 5;       // DOCUMENTEVENT_STARTDOC
constexpr int kEndPage = 7;        // DOCUMENTEVENT_ENDPAGE
constexpr int kEndDoc = 8;         // DOCUMENTEVENT_ENDDOC
constexpr int kStartDocPost = 13;  // DOCUMENTEVENT_STARTDOCPOST
constexpr DWORD kRapidPrintDefaultMs = 3500;

DWORD processId()
{
    return GetCurrentProcessId();
}

bool isPrinterMarker(HANDLE printer, const wchar_t* name)
{
    return getPrinterProcessProperty(printer, nullptr, name) == processId();
}

bool policyString(HANDLE printer, const wchar_t* name)
{
    std::wstring value;
    return JobAccountingSettings::printerOrPolicyString(printer, name, value);
}

// Deletes the job; true when the spooler took the command.
bool deleteJob(HANDLE printer, DWORD jobId)
{
    return SetJobW(printer, jobId, 0, nullptr, JOB_CONTROL_DELETE) != FALSE;
}

void startOfDocument(HANDLE printer, HDC, const void* input, ULONG inputSize)
{
    bool prompt = true;
    if (isPrinterMarker(printer, krv::kDocPropId)) {
        deletePrinterProcessProperty(printer, nullptr, krv::kDocPropId);
        prompt = false;
        if (isPrinterMarker(printer, krv::kCancelDocProp)) {
            deletePrinterProcessProperty(printer, nullptr, krv::kCancelDocProp);
            prompt = true;
        }
    }
    if (!prompt && getPrinterProcessProperty(printer, nullptr, krv::kPromptAtPrint) == 0)
        return;
    DWORD remote = 0;
    if (!isEventExtensionSupported(printer, &remote)) {
        DWORD verify = 1;
        if (PrinterSettings::readDword(printer, L"LumoDeviceVerify", verify) && verify == 0 &&
            showDeviceVerifyFailure(printer))
            setProcessProperty(krv::kCancelJob, processId());
        else if (remote == 0)
            applyPolicySettingsToStaticPrinter(printer, nullptr);
        return;
    }
    if (getPrinterProcessProperty(printer, nullptr, krv::kPromptAtPrint) != 0)
        deletePrinterProcessProperty(printer, nullptr, krv::kPromptAtPrint);
    if (isRapidPrint(printer))
        return;
    if (ModuleEntry::inShell() && isProcessMarker(krv::kInDevProp))
        return;
    ExtensionHold hold;
    LumoraPrintingExtension* extension = hold.get();
    if (!extension)
        return;
    const HWND active = GetActiveWindow();
    {
        ProcessMarkerScope open(krv::kUIOpen);
        deletePrinterProcessProperty(printer, nullptr, krv::kCancelDocProp);

        // The input holds the document information's address.
        const DOCINFOW* document = nullptr;
        if (input && inputSize >= sizeof(document))
            std::memcpy(&document, input, sizeof(document));
        const INT_PTR result = extension->promptFirstJob(nullptr, printer, document);
        if (result == 2) {
            setProcessProperty(krv::kCancelJob, processId());
        } else {
            if (extension->isDestinationChanged()) {
                DWORD last = 0xFFFFFFFF;
                getLastJobId(printer, nullptr, &last);
                setProcessProperty(krv::kChangePortPauseJob, last);
            }
            if (extension->isMakePermanentRequested())
                setProcessProperty(krv::kRunMakePermanent, processId());
        }
    }
    if (active) {
        SetForegroundWindow(active);
        SetActiveWindow(active);
    }
}

void afterJobCreated(HANDLE printer, const void* input, ULONG inputSize)
{
    DWORD job = 0;
    if (!input || inputSize < sizeof(job))
        return;
    std::memcpy(&job, input, sizeof(job));
    ExtensionHold hold;
    LumoraPrintingExtension* extension = hold.get();
    if (!extension)
        return;
    bool delivery = false;
    bool send = false;
    if (extension->isJobDeliveryDestination(nullptr, printer, nullptr, nullptr)) {
        delivery = send = true;
    } else {
        send = policyString(printer, L"JobAccountingURL") ||
               (policyString(printer, L"JobAccountingModule") && policyString(printer, L"JobAccountingAPIName"));
    }

    // A job that is not handed on is deleted; one the spooler keeps goes on
    // as any other. The Waypost service hears of a delivered job's end, or
    // of its start once only when it stays.
    bool dropped = false;
    auto dropJob = [&] {
        dropped = true;
        if (deleteJob(printer, job)) {
            send = false;
            if (delivery)
                extension->finishWaypostJob(job);
        } else {
            if (delivery)
                extension->sendWaypostJobStart(printer, job);
            stampLastJobStartTime(printer);
        }
    };
    if (isProcessMarker(krv::kCancelJob)) {
        deleteProcessProperty(krv::kCancelJob);
        dropJob();
    } else {
        const DWORD previous = static_cast<DWORD>(deleteProcessProperty(krv::kChangePortPauseJob));
        if (previous != 0 && !(SetJobW(printer, job, 0, nullptr, JOB_CONTROL_PAUSE) &&
                               extension->launchResumePrintJob(printer, job, previous)))
            dropJob();
        if (isProcessMarker(krv::kRunMakePermanent)) {
            extension->launchMakePermanent(printer);
            deleteProcessProperty(krv::kRunMakePermanent);
        }
        if (delivery && !dropped)
            extension->sendWaypostJobStart(printer, job);
        stampLastJobStartTime(printer);
    }

    if (!send)
        return;
    const std::wstring printerName = getPrinterName(printer);
    const JobInfoRecord record = JobInfoRecord::startOfDocument(
        job, processId(), delivery, printerName.empty() ? nullptr : &printerName, extension->getDestination());
    setProcessProperty(krv::kAssociateJobInfo, job);
    record.send(nullptr, nullptr);
}

void endOfDocument(HANDLE printer, HDC deviceContext)
{
    const bool inSpooler = ModuleEntry::inSpooler() != 0;
    if (!inSpooler && getProcessProperty(krv::kEndDocProcessJobInfo) == 0)
        return;
    JobInfoRecord record(JobInfoRecord::kEndOfDocument);
    record.setHandles(printer, deviceContext);
    record.send(nullptr, nullptr);
    if (!inSpooler) {
        deleteProcessProperty(krv::kAssociateJobInfo);
        deleteProcessProperty(krv::kEndDocProcessJobInfo);
    }
}

} // namespace

int documentEvent(HANDLE printer, HDC deviceContext, int event, ULONG inputSize, const void* input)
{
    PROFILE_SCOPE("LumoraUI::QZDrvDocumentEvent(%X,,%d)", static_cast<unsigned>(reinterpret_cast<UINT_PTR>(printer)),
                  event);
    try {
        switch (event) {
        case kCreateDcPost:
        case kEndPage:
            recordDeviceContextEvent(deviceContext, printer, JobInfoRecord::kDeviceContext);
            break;
        case kStartDoc:
            if (!ModuleEntry::inSpooler())
                startOfDocument(printer, deviceContext, input, inputSize);
            break;
        case kStartDocPost:
            if (!ModuleEntry::inSpooler())
                afterJobCreated(printer, input, inputSize);
            break;
        case kEndDoc:
            endOfDocument(printer, deviceContext);
            break;
        default:
            break;
        }
    } catch (...) {
        // The event's work ends here; the extension held went with the stack.
    }
    return 0;
}

int documentEventHook(HANDLE printer, HDC deviceContext, int event, ULONG inputSize, const void* input, int* result)
{
    if (ModuleEntry::inSpooler())
        return 0;
    const int answer = documentEvent(printer, deviceContext, event, inputSize, input);
    if (result)
        *result = answer;
    return 0;
}

bool isEventExtensionSupported(HANDLE printer, DWORD* remote)
{
    PROFILE_SCOPE("LumoraUI::isEventExtensionSupported(%X,)", static_cast<unsigned>(reinterpret_cast<UINT_PTR>(printer)));
    if (!printer)
        return true;
    GlobalBlock<BYTE> info;
    if (getPrinterAlloc(printer, 4, info.receive())) {
        const wchar_t* server = reinterpret_cast<const PRINTER_INFO_4W*>(info.get())->pServerName;
        if (server && *server) {
            if (remote)
                *remote = 1;
            return false;
        }
    }
    DWORD staticMode = 0;
    if (getPrinterDword(printer, L"StaticMode", staticMode) && staticMode != 0)
        return false;
    return !isAutoCreatedPortPrinter(printer);
}

bool recordDeviceContextEvent(HDC deviceContext, HANDLE printer, DWORD kind)
{
    JobInfoRecord record(static_cast<JobInfoRecord::Kind>(kind));
    if (!ModuleEntry::inSpooler()) {
        const DWORD job = static_cast<DWORD>(deleteProcessProperty(krv::kAssociateJobInfo));
        if (job == 0)
            return false;
        setProcessProperty(krv::kEndDocProcessJobInfo, job);
        GlobalBlock<BYTE> info;
        if (getJobAlloc(printer, job, 2, info.receive())) {
            const DEVMODEW* mode = reinterpret_cast<const JOB_INFO_2W*>(info.get())->pDevMode;
            if (mode && mode->dmSize >= offsetof(DEVMODEW, dmDuplex) + sizeof(mode->dmDuplex) &&
                mode->dmDuplex != DMDUP_SIMPLEX)
                record.setU32(16, 1);
        }
    }
    record.setHandles(printer, deviceContext);
    return record.send(nullptr, nullptr) == ERROR_SUCCESS;
}

bool isRapidPrint(HANDLE printer)
{
    const std::uint64_t last = getPrinterProcessProperty(printer, nullptr, krv::kLastJobStartTime);
    const DWORD now = GetTickCount();
    DWORD limit = kRapidPrintDefaultMs;
    RegistryKey(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kRead).queryDword(L"RapidPrintNoPrompt", &limit);
    return now > last && last > 0 && limit > 0 && now - last <= limit;
}

void stampLastJobStartTime(HANDLE printer)
{
    setPrinterProcessProperty(printer, nullptr, krv::kLastJobStartTime, GetTickCount());
}

bool showDeviceVerifyFailure(HANDLE printer)
{
    GlobalBlock<BYTE> info;
    if (getPrinterAlloc(printer, 5, info.receive())) {
        const PRINTER_INFO_5W* printerInfo = reinterpret_cast<const PRINTER_INFO_5W*>(info.get());
        if (printerInfo->pPortName && std::wcsstr(printerInfo->pPortName, L"WSD"))
            return true;
    }
    ExtensionHold hold;
    if (!hold.get() || !hold.get()->getSettings())
        return false;
    const MPrint::ResourceLoader& strings = hold.get()->getSettings()->getResourceLoader();
    const std::wstring caption = strings.loadString(27);
    std::wstring text = strings.loadString(115);
    const std::wstring name = getPrinterName(printer);
    const size_t argument = text.find(L"%1");
    if (argument != std::wstring::npos)
        text.replace(argument, 2, name);
    showMessageBox(GetActiveWindow(), text.c_str(), caption.c_str(), MB_ICONHAND | MB_SETFOREGROUND);
    return true;
}

void setCancelSnp(const wchar_t* printerName)
{
    HANDLE opened = nullptr;
    if (!printerName || !openPrinterWithAccess(printerName, &opened, PRINTER_ALL_ACCESS))
        return;
    ScopedPrinter printer(opened);
    DWORD one = 1;
    SetPrinterDataW(printer.get(), const_cast<wchar_t*>(L"LumoCancelSNP"), REG_DWORD, reinterpret_cast<BYTE*>(&one),
                    sizeof(one));
}

} // namespace LumoraUI
