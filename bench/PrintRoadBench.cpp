// One document printed as a user prints it: through the shipped module's
// document events on a queue of the driver, the chooser answering on its own
// with the user's last destination (an emulated network device on a loopback
// address), the queue re-pointed at the device while the document starts,
// until the device's raw port holds the job's bytes. Against the bare spooler
// calls that print the same bytes to the same device on a queue already
// pointed at it. The road's queue goes back to LPT1: before each document,
// so that every one is re-pointed.
#include "BenchHarness.h"

#include "access/MonitorAccess.h"
#include "core/RegistryKey.h"
#include "core/SettingsKeys.h"
#include "extension/KRVProperties.h"
#include "support/QueueData.h"
#include "support/RawPortDevice.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"
#include "support/UserDestination.h"

#include <winspool.h>

#include <optional>
#include <string>

namespace {

using DocumentEventFn = int(WINAPI*)(HANDLE, HDC, int, ULONG, PVOID, ULONG, PVOID);

constexpr unsigned short kRawPort = 9100;
constexpr DWORD kArrivalMs = 10000;
constexpr int kStartDoc = 5;      // DOCUMENTEVENT_STARTDOC
constexpr int kEndPage = 7;       // DOCUMENTEVENT_ENDPAGE
constexpr int kEndDoc = 8;        // DOCUMENTEVENT_ENDDOC
constexpr int kStartDocPost = 13; // DOCUMENTEVENT_STARTDOCPOST

const std::string kPage = "\x1B%-12345X@PJL JOB NAME=\"Minutes\"\r\n%!PS minutes of the meeting\r\n\x1B%-12345X";

// The spooler's side of one page: the calls GDI makes between the events.
bool spoolPage(HANDLE printer, DWORD& job)
{
    wchar_t name[] = L"Minutes.doc";
    DOC_INFO_1W info{name, nullptr, nullptr};
    job = StartDocPrinterW(printer, 1, reinterpret_cast<LPBYTE>(&info));
    DWORD written = 0;
    return job != 0 && StartPagePrinter(printer) &&
           WritePrinter(printer, const_cast<char*>(kPage.data()), static_cast<DWORD>(kPage.size()), &written) &&
           written == kPage.size();
}

// Every document reaches the device as one connection of exactly its bytes.
class Arrivals {
public:
    explicit Arrivals(const testenv::RawPortDevice& device) : device_(device) {}
    bool next()
    {
        ++expected_;
        if (!device_.waitForClosed(kRawPort, expected_, kArrivalMs))
            return false;
        const std::string bytes = device_.received(kRawPort);
        return bytes.size() == expected_ * kPage.size() && bytes.compare(bytes.size() - kPage.size(), kPage.size(), kPage) == 0;
    }

private:
    const testenv::RawPortDevice& device_;
    size_t expected_ = 0;
};

// Documents printed within seconds of each other skip the chooser; the user
// turned that off, so that every document of the case takes the whole road.
class RapidPrintingOff {
public:
    RapidPrintingOff()
    {
        RegistryKey settings(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess, true);
        DWORD value = 0;
        if (settings.queryDword(kName, &value))
            kept_ = value;
        settings.setDword(kName, 0);
    }
    ~RapidPrintingOff()
    {
        RegistryKey settings(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess);
        if (kept_)
            settings.setDword(kName, *kept_);
        else
            settings.deleteValue(kName);
    }
    RapidPrintingOff(const RapidPrintingOff&) = delete;
    RapidPrintingOff& operator=(const RapidPrintingOff&) = delete;

private:
    static constexpr const wchar_t* kName = L"RapidPrintNoPrompt";
    std::optional<DWORD> kept_;
};

class PrintRoad {
public:
    PrintRoad(const std::wstring& queue, DocumentEventFn documentEvent, Arrivals& arrivals)
        : queue_(queue), documentEvent_(documentEvent), arrivals_(arrivals)
    {
    }

    bool print()
    {
        static const wchar_t kLocalPort[] = L"LPT1:";
        if (testspool::control()->setQueueValue(queue_.c_str(), L"", L"Port", REG_SZ, kLocalPort, sizeof(kLocalPort)))
            return false;
        HANDLE printer = nullptr;
        if (!OpenPrinterW(const_cast<wchar_t*>(queue_.c_str()), &printer, nullptr))
            return false;
        wchar_t name[] = L"Minutes.doc";
        DOCINFOW document = {sizeof(DOCINFOW), name, nullptr, nullptr, 0};
        const DOCINFOW* pointer = &document;
        documentEvent_(printer, nullptr, kStartDoc, sizeof(pointer), &pointer, 0, nullptr);
        // Paused for an earlier job would be the long road, which this case does not time.
        const bool shortRoad = getProcessProperty(krv::kChangePortPauseJob) == 0;
        DWORD job = 0;
        bool spooled = spoolPage(printer, job);
        if (job)
            documentEvent_(printer, nullptr, kStartDocPost, sizeof(job), &job, 0, nullptr);
        spooled = EndPagePrinter(printer) && spooled;
        documentEvent_(printer, nullptr, kEndPage, 0, nullptr, 0, nullptr);
        documentEvent_(printer, nullptr, kEndDoc, 0, nullptr, 0, nullptr);
        spooled = EndDocPrinter(printer) && spooled;
        ClosePrinter(printer);
        return shortRoad && spooled && arrivals_.next();
    }

private:
    std::wstring queue_;
    DocumentEventFn documentEvent_;
    Arrivals& arrivals_;
};

bool printBare(const std::wstring& queue, Arrivals& arrivals)
{
    HANDLE printer = nullptr;
    if (!OpenPrinterW(const_cast<wchar_t*>(queue.c_str()), &printer, nullptr))
        return false;
    DWORD job = 0;
    bool spooled = spoolPage(printer, job);
    spooled = EndPagePrinter(printer) && spooled;
    spooled = EndDocPrinter(printer) && spooled;
    ClosePrinter(printer);
    return spooled && arrivals.next();
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const bench::Options options = bench::parseOptions(argc, argv);
    bench::Table table(options);
    const std::wstring name = L"one document printed through the module's document events, the chooser answering "
                              L"with the last destination and the queue re-pointed at a network device, until the "
                              L"device holds it, vs bare spooler calls on a queue already pointed there";
    if (!testspool::control() || !qzmon::registerStandInMonitors()) {
        table.fail(name, L"the spooler stand-in and its monitors are not available");
        return table.exitCode();
    }
    testenv::RawPortDevice device({kRawPort}, true);
    testspool::DriverQueue queue(L"Road Bench");
    HMODULE module = LoadLibraryW((testenv::binDir() + L"\\vrelm101.dll").c_str());
    auto documentEvent =
        module ? reinterpret_cast<DocumentEventFn>(reinterpret_cast<void*>(GetProcAddress(module, "QZDrvDocumentEvent")))
               : nullptr;
    const std::wstring devicePort = L"IP_" + device.host();
    if (!device.started() || !queue.ready() || !queue.setVerifyPdl(L"PCL6") || !documentEvent) {
        table.fail(name, L"the device, the driver's queue or the module could not be set up");
    } else {
        Arrivals arrivals(device);
        testenv::UserDestination destination(L"Road Laser " + std::to_wstring(GetCurrentProcessId()), device.host(),
                                              L"PCL6");
        RapidPrintingOff everyDocumentAsks;
        PrintRoad road(queue.name(), documentEvent, arrivals);
        // The first document makes the device's port, at which the baseline's queue points.
        if (!road.print()) {
            table.fail(name, L"the first document did not reach the device");
        } else {
            testspool::ScopedQueue pointed(testspool::uniqueQueueName(L"Road Bench Pointed"), L"Vrelm Test Driver",
                                           devicePort);
            if (pointed.error() != ERROR_SUCCESS)
                table.fail(name, L"a queue on the device's port could not be made");
            else
                table.run(name, [&] { return road.print(); }, [&] { return printBare(pointed.name(), arrivals); });
        }
    }
    for (const wchar_t* marker : {krv::kCancelJob, krv::kChangePortPauseJob, krv::kUIOpen})
        deleteProcessProperty(marker);
    testspool::control()->removePort(L"Standard TCP/IP Port", devicePort.c_str());
    if (module)
        FreeLibrary(module);
    return table.exitCode();
}
