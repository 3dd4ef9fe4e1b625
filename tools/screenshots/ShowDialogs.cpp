// ShowDialogs.exe <output folder> [name]: shows every dialog of the resource
// module in the user's language (the right-to-left twins for Hebrew and
// Arabic) and writes a 24-bit BMP of each window as the screen shows it,
// named after the dialog. tools/screenshots.sh runs it under Xvfb.
//
// Each dialog runs as its own class with sample content (localised texts,
// owner-drawn buttons, background), so the pictures show what a user sees;
// the managed list's web page shows in the browser module's window. A
// thread-local CBT hook finds each window as it activates; a thread timer
// captures it once painted and closes it.
#include "core/ResourceLoader.h"
#include "core/Win32.h"
#include "destination/PrintPath.h"
#include "destination/PrintPathAttr.h"
#include "destination/TargetHistoryList.h"
#include "discovery/DiscoveryServiceIntf.h"
#include "discovery/ManagedListParser.h"
#include "discovery/ManagedPortDiscovery.h"
#include "discovery/PrintPathText.h"
#include "extension/LumoraPrintingExtension.h"
#include "extension/LumoraSettings.h"
#include "support/ManagedListFixtures.h"
#include "support/PrivateCurrentUser.h"
#include "support/ScriptedSearchService.h"
#include "support/TestEnv.h"
#include "ui/AutoCreatedPrinterConnectionDialog.h"
#include "ui/ConfirmationDialog.h"
#include "ui/ConnectUNCDialog.h"
#include "ui/EnterTextDialog.h"
#include "ui/LumoraDialog.h"
#include "ui/MakePermanantDialog.h"
#include "ui/ManagedListSearchResultsDialog.h"
#include "ui/ManagedListWebBrowserDialog.h"
#include "ui/PrintPathVerifyDialog.h"
#include "ui/PrinterStatusDialog.h"
#include "ui/SettingsDialog.h"
#include "ui/TcpSearchResultsDialog.h"
#include "ui/UNCSearchResultsDialog.h"
#include "ui/resources/ConfirmationDialogIds.h"
#include "ui/resources/ConnectUNCDialogIds.h"
#include "ui/resources/EnterTextDialogIds.h"
#include "ui/resources/ManagedListSearchResultsDialogIds.h"
#include "ui/resources/PrinterStatusDialogIds.h"
#include "ui/resources/SearchResultsDialogIds.h"
#include "ui/resources/StringIds.h"
#include "ui/resources/TcpSearchResultsDialogIds.h"
#include "ui/resources/UNCSearchResultsDialogIds.h"

#include <commctrl.h>
#include <prsht.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

const UINT kSettleMs = 800;

std::wstring g_folder;
const wchar_t* g_name = nullptr;
MPrint::ResourceLoader* g_strings = nullptr;
HHOOK g_hook = nullptr;
HWND g_shown = nullptr;
HANDLE g_release = nullptr; // set once a picture is taken: a harnessed worker may end

std::wstring text(UINT id)
{
    return g_strings->loadString(id);
}

std::wstring format(UINT id, const std::wstring& argument)
{
    std::wstring s = text(id);
    const size_t at = s.find(L"%1");
    return at == std::wstring::npos ? s : s.replace(at, 2, argument);
}

// ---- capture -----------------------------------------------------------------

bool writeBitmap(const std::wstring& path, HBITMAP bitmap, int width, int height)
{
    BITMAPINFOHEADER info{};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    std::vector<BYTE> bits(static_cast<size_t>(stride) * height);
    HDC screen = GetDC(nullptr);
    const int lines = GetDIBits(screen, bitmap, 0, height, bits.data(), reinterpret_cast<BITMAPINFO*>(&info),
                                DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (lines != height)
        return false;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + static_cast<DWORD>(bits.size());
    FILE* out = _wfopen(path.c_str(), L"wb");
    if (!out)
        return false;
    const bool ok = fwrite(&file, sizeof(file), 1, out) == 1 && fwrite(&info, sizeof(info), 1, out) == 1 &&
                    fwrite(bits.data(), bits.size(), 1, out) == 1;
    return fclose(out) == 0 && ok;
}

// The window as the screen shows it, owner-drawn parts included.
bool capture(HWND window, const std::wstring& path)
{
    RECT r;
    GetWindowRect(window, &r);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    const bool ok = writeBitmap(path, bitmap, width, height);
    DeleteObject(bitmap);
    return ok;
}

void CALLBACK captureTimer(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND window = g_shown;
    if (window && IsWindow(window) && !IsWindowVisible(window))
        return; // the modal loop shows it when idle: the timer comes again
    KillTimer(nullptr, timer);
    g_shown = nullptr;
    if (!window || !IsWindow(window))
        return;
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
    GdiFlush();
    // Wine hands a window's drawing to the X server when its thread next
    // waits for messages, not at once: wait so, or parts drawn last (an
    // owner-drawn button) are missing from the screen.
    for (const DWORD end = GetTickCount() + 300; GetTickCount() < end;) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    const std::wstring path = g_folder + L"\\" + g_name + L".bmp";
    if (!capture(window, path))
        fwprintf(stderr, L"could not write %ls\n", path.c_str());
    SetEvent(g_release);
    if (GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD)
        return;
    // A property sheet ends through its Cancel button, a dialog through its own.
    if (SendMessageW(window, PSM_GETCURRENTPAGEHWND, 0, 0))
        PostMessageW(window, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    else
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

// The first top-level dialog that activates is placed at the screen's
// corner and captured once it has painted.
LRESULT CALLBACK cbtHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && !g_shown && wParam) {
        HWND window = reinterpret_cast<HWND>(wParam);
        g_shown = window;
        SetWindowPos(window, HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        SetTimer(nullptr, 0, kSettleMs, captureTimer);
    }
    return CallNextHookEx(g_hook, code, wParam, lParam);
}

std::wstring printerDetails()
{
    return format(IDS_MODEL_FMT, L"QZ LaserPro 4200") + L"\n" + format(IDS_ADDRESS_FMT, L"10.0.4.21") + L"\n" +
           format(IDS_LOCATION_FMT, L"2 / 214") + L"\n" + format(IDS_COST_PER_PAGE_FMT, L"0.03");
}

// The chooser itself over a history: three printers in the default
// profile (one the current destination), a profile group, and the search
// nodes of the registered discovery services, expanded.
LumoraDialog* makeChooser(LumoraPrintingExtension* extension, const std::wstring& details)
{
    LumoraSettings& settings = *extension->getSettings();
    auto prime = [&settings, &details](const std::wstring& profile, const std::vector<std::wstring>& printers) {
        TargetHistoryList list(RegistryKey(settings.getSettingsKey().getHandle(), profile + L"\\Target History",
                                           RegistryKey::kAllAccess, true));
        for (auto it = printers.rbegin(); it != printers.rend(); ++it) {
            auto* path = new MPrint::PrintPath();
            path->setStringAttribute(L"DisplayString", *it, true);
            path->setStringAttribute(L"Address", it->rfind(L"\\", 0) == 0 ? *it : L"10.0.4.21", true);
            path->setStringAttribute(L"PrinterInfo", details, true);
            list.add(path);
        }
        list.save();
    };
    prime(text(LumoraSettings::kDefaultProfileStringId),
          {L"Office printer", L"Reception colour", L"\\\\print01\\Design"});
    prime(L"Branch office", {L"Branch LaserPro"});
    settings.getSettingsKey().setString(L"CustomProfiles", L"Branch office;");
    settings.getSettingsKey().setDword(L"SearchNodeExpanded", 1);
    extension->setDestination(L"Office printer");
    return new MPrint::ConfirmationDialog(extension, LumoraPrintingExtension::kModeSelectDestination);
}

// The printer status dialog with a worker that waits for the picture.
class StatusShot : public PrinterStatusDialog {
public:
    using PrinterStatusDialog::PrinterStatusDialog;
    void runWorker() override
    {
        setStatusText(IDS_CHECKING_PRINTER);
        WaitForSingleObject(g_release, 10000);
        finishWorker(kSucceeded);
    }
};

// The verification and make-permanent dialogs as themselves, stopped at a
// step the user watches: their workers would change the spooler.
template <class Dialog>
class StepShot : public Dialog {
public:
    StepShot(LumoraPrintingExtension* extension, MPrint::PrintPath* path, LPARAM status)
        : Dialog(extension, path), status_(status)
    {
    }
    void runWorker() override
    {
        this->setStatusText(status_);
        WaitForSingleObject(g_release, 10000);
        this->finishWorker(PrinterStatusDialog::kSucceeded);
    }

private:
    LPARAM status_;
};

struct Shot {
    const wchar_t* name;
    UINT templateId;
    LPARAM lParam;
    std::function<LumoraDialog*()> make;
};

// ---- the search dialogs with results ------------------------------------------------

// Each search dialog as itself, its printers found by a scripted service
// (the managed list's read from memory), the first one selected once the
// search has ended so that its details show.
template <class Dialog>
class FirstResultShown : public Dialog {
public:
    using Dialog::Dialog;
    void onDiscoveryDone(bool cancelled) override
    {
        Dialog::onDiscoveryDone(cancelled);
        HWND list = this->getDlgItem(IDC_SEARCH_LIST);
        wchar_t className[32] = {};
        GetClassNameW(list, className, 32);
        if (lstrcmpiW(className, WC_LISTVIEWW) == 0) {
            ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        } else if (list) {
            SendMessageW(list, LB_SETCURSEL, 0, 0);
            SendMessageW(this->getWindow(), WM_COMMAND, MAKEWPARAM(IDC_SEARCH_LIST, LBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(list));
        }
    }
};

// The shared-printer dialog searches nothing by itself: a typed path and
// the details of the printer it names.
class TypedSharePath : public UNCSearchResultsDialog {
public:
    TypedSharePath(LumoraPrintingExtension* extension, MPrint::DiscoveryServiceIntf* service)
        : UNCSearchResultsDialog(extension, service)
    {
        printer_.setStringAttribute(PrintPathAttr::DisplayString, L"\\\\print01\\Design", false);
        printer_.setStringAttribute(PrintPathAttr::PrinterInfo,
                                    format(IDS_MODEL_FMT, L"QZ ColorJet 880") + L"\n" +
                                        format(IDS_COMMENT_FMT, L"Design studio, A3"),
                                    false);
    }
    INT_PTR onInitDialog(WPARAM wParam, LPARAM lParam) override
    {
        const INT_PTR result = UNCSearchResultsDialog::onInitDialog(wParam, lParam);
        SetDlgItemTextW(getWindow(), IDC_UNC_PATH, L"\\\\print01\\Design");
        showDetails(&printer_);
        return result;
    }

private:
    MPrint::PrintPath printer_;
};

// A list's printers named as the list names them, their details as the
// module writes them.
class NamedListHost : public testenv::InMemoryListHost {
public:
    using InMemoryListHost::InMemoryListHost;
    MPrint::PrintPath* findPrintPath(const std::wstring& address, const std::wstring& name) override
    {
        MPrint::PrintPath* path = InMemoryListHost::findPrintPath(address, name);
        if (path)
            path->setStringAttribute(PrintPathAttr::DisplayString, name, true);
        return path;
    }
    void setPrinterInfoText(MPrint::PrintPath& path, const std::wstring& model, const std::wstring& address) override
    {
        MPrint::setPrinterInfoText(path, *g_strings, model, address);
    }
    std::wstring loadString(UINT id) override { return text(id); }
};

const char kShotList[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<QZManagedPrinting><Printers>
 <Printer><GroupName>Floor 2</GroupName><PrinterName>Floor 2 LaserPro</PrinterName><PrinterModel>QZ LaserPro 4200</PrinterModel>
  <IPAddress>10.0.4.21</IPAddress><Location>2 / 214</Location><CostPerPage>0.03</CostPerPage></Printer>
 <Printer><GroupName>Floor 2</GroupName><PrinterName>Floor 2 ColorJet</PrinterName><PrinterModel>QZ ColorJet 880</PrinterModel>
  <IPAddress>10.0.4.35</IPAddress><Location>2 / 230</Location></Printer>
 <Printer><GroupName>Floor 3</GroupName><PrinterName>Floor 3 LaserPro</PrinterName><PrinterModel>QZ LaserPro 3100</PrinterModel>
  <IPAddress>10.0.6.12</IPAddress></Printer>
 <Printer><GroupName>Annex</GroupName><PrinterName>Annex mono</PrinterName><PrinterModel>QZ LaserPro 3100</PrinterModel>
  <IPAddress>10.0.8.3</IPAddress></Printer>
</Printers></QZManagedPrinting>
)";

constexpr GUID kListClass = {0x5d1c7a10, 0x2f4b, 0x4e6a, {0x9c, 0x11, 0x3a, 0x52, 0x77, 0x01, 0x42, 0x25}};

class SearchShots {
public:
    explicit SearchShots(LumoraPrintingExtension* extension)
        : extension_(extension), networkHeading_(text(IDS_NETWORK_PRINTERS)), sharedHeading_(text(IDS_SHARED_PRINTERS)),
          listHeading_(format(IDS_PRINTER_LIST_FMT, L"Headquarters"))
    {
        const std::wstring details = printerDetails();
        for (auto* service : {&generic_, &tcp_}) {
            service->results = {L"QZ LaserPro 4200 (10.0.4.21)", L"QZ ColorJet 880 (10.0.4.35)",
                                L"QZ LaserPro 3100 (10.0.6.12)"};
            service->decorate = [details](MPrint::PrintPath& path) {
                path.setStringAttribute(PrintPathAttr::PrinterInfo, details, false);
            };
        }
        parser_.setListName(L"Headquarters");
    }

    std::vector<Shot> shots()
    {
        auto heading = [](const std::wstring& text) { return reinterpret_cast<LPARAM>(text.c_str()); };
        return {
            {L"search-results", IDD_SEARCH_RESULTS, heading(networkHeading_),
             [this]() -> LumoraDialog* { return new FirstResultShown<SearchResultsDialog>(extension_, &generic_); }},
            {L"managed-list-search", IDD_MANAGED_LIST_SEARCH, heading(listHeading_),
             [this]() -> LumoraDialog* {
                 parser_.clear();
                 return new FirstResultShown<ManagedListSearchResultsDialog>(extension_, &list_, &parser_, nullptr);
             }},
            {L"tcp-search", IDD_TCP_SEARCH, heading(networkHeading_),
             [this]() -> LumoraDialog* { return new FirstResultShown<TcpSearchResultsDialog>(extension_, &tcp_); }},
            {L"unc-search", IDD_UNC_SEARCH, heading(sharedHeading_),
             [this]() -> LumoraDialog* { return new TypedSharePath(extension_, &unc_); }},
        };
    }

private:
    static constexpr uint32_t kFound = MPrint::DiscoveryServiceIntf::kCapSearch |
                                       MPrint::DiscoveryServiceIntf::kCapWorkerThread;

    LumoraPrintingExtension* extension_;
    std::wstring networkHeading_, sharedHeading_, listHeading_;
    fakes::ScriptedSearchService generic_{kFound};
    fakes::ScriptedSearchService tcp_{kFound};
    fakes::ScriptedSearchService unc_{MPrint::DiscoveryServiceIntf::kCapSearch};
    NamedListHost host_{kShotList};
    MPrint::ManagedListParser parser_{host_};
    MPrint::ManagedPortDiscovery list_{kListClass, L"Headquarters", L"C:\\lists\\headquarters.xml"};
};


// ---- the connect boxes ---------------------------------------------------------------

// Each connect box as itself with its credentials typed; the picture is
// taken before anything connects.
template <class Dialog>
class CredentialsTyped : public Dialog {
public:
    using Dialog::Dialog;
    INT_PTR onInitDialog(WPARAM wParam, LPARAM lParam) override
    {
        const INT_PTR result = Dialog::onInitDialog(wParam, lParam);
        SetDlgItemTextW(this->getWindow(), IDC_CONNECT_USER, L"OFFICE\\reception");
        SetDlgItemTextW(this->getWindow(), IDC_CONNECT_PASSWORD, L"password");
        return result;
    }
};

std::vector<Shot> connectShots(LumoraPrintingExtension* extension)
{
    return {
        {L"connect-unc", IDD_CONNECT_UNC, 0,
         [extension]() -> LumoraDialog* {
             return new CredentialsTyped<ConnectUNCDialog>(extension, L"\\\\print01\\Design");
         }},
        {L"connect-client-printer", IDD_CONNECT_UNC, 0,
         [extension]() -> LumoraDialog* {
             return new CredentialsTyped<AutoCreatedPrinterConnectionDialog>(extension, L"\\\\WS-0142\\print$",
                                                                            L"\\\\WS-0142\\Office printer");
         }},
    };
}

// ---- the managed list as a web page ---------------------------------------------------

const char kShotPage[] = R"(<html><head><title>Headquarters printers</title></head><body>
<h1>Headquarters printers</h1>
<p>Pick the printer nearest to you.</p>
<ul>
 <li><a href="qzmpl://printer/?address=10.0.4.21&amp;modelName=QZ%20LaserPro%204200&amp;printerName=Floor%202%20LaserPro&amp;groupName=Floor%202&amp;location=2%20%2F%20214&amp;cpp=0.03">Floor 2 LaserPro (room 2 / 214)</a></li>
 <li><a href="qzmpl://printer/?address=10.0.4.35&amp;modelName=QZ%20ColorJet%20880&amp;printerName=Floor%202%20ColorJet&amp;groupName=Floor%202&amp;location=2%20%2F%20230">Floor 2 ColorJet (room 2 / 230)</a></li>
 <li><a href="qzmpl://printer/?address=10.0.6.12&amp;modelName=QZ%20LaserPro%203100&amp;printerName=Floor%203%20LaserPro&amp;groupName=Floor%203">Floor 3 LaserPro</a></li>
 <li><a href="qzmpl://printer/?address=10.0.8.3&amp;modelName=QZ%20LaserPro%203100&amp;printerName=Annex%20mono&amp;groupName=Annex">Annex mono</a></li>
 <li><a href="qzmpl://device/?address=10.0.4.21&amp;show=SNP">Status of Floor 2 LaserPro</a></li>
</ul>
</body></html>
)";

// The dialog hands the list's page to the browser module, whose window
// lists the page's links; true once that window was captured. The page
// lies in a folder of its own with a fixed name: the address bar shows it.
bool showManagedListPage(LumoraPrintingExtension* extension)
{
    const std::wstring folder = L"C:\\lists";
    const std::wstring page = folder + L"\\headquarters.html";
    const bool made = CreateDirectoryW(folder.c_str(), nullptr) != FALSE;
    bool shown = false;
    if (testenv::writeFile(page, kShotPage)) {
        NamedListHost host;
        MPrint::ManagedListParser parser(host);
        MPrint::ManagedPortDiscovery list(kListClass, L"Headquarters", page);
        ManagedListWebBrowserDialog dialog(extension, &list, &parser, nullptr);
        dialog.browse(nullptr, 1);
        shown = WaitForSingleObject(g_release, 0) == WAIT_OBJECT_0;
    }
    DeleteFileW(page.c_str());
    if (made)
        RemoveDirectoryW(folder.c_str());
    return shown;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        fwprintf(stderr, L"usage: ShowDialogs <output folder> [name]\n");
        return 2;
    }
    g_folder = argv[1];
    const wchar_t* only = argc > 2 ? argv[2] : nullptr;
    testenv::PrivateCurrentUser user; // the settings the extension reads or writes stay private
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    LumoraPrintingExtension* extension = LumoraPrintingExtension::instance();
    if (!extension || !extension->getSettings() || !extension->getSettings()->getResourceLoader().getModule()) {
        fwprintf(stderr, L"no printing extension or resource module\n");
        return 1;
    }
    MPrint::ResourceLoader& strings = extension->getSettings()->getResourceLoader();
    g_strings = &strings;
    g_hook = SetWindowsHookExW(WH_CBT, cbtHook, nullptr, GetCurrentThreadId());

    g_release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    MPrint::PrintPath printer;
    printer.setStringAttribute(L"Nickname", L"Office printer", false);
    printer.setStringAttribute(L"Address", L"10.0.4.21", false);

    const std::wstring details = printerDetails();
    const std::wstring creating = format(IDS_CREATING_PRINTER_FMT, L"Office printer");
    SearchShots searches(extension);
    std::vector<Shot> shots = {
        {L"chooser", IDD_CHOOSER, IDS_CHOOSER_HEADING_PRINT,
         [extension, details]() -> LumoraDialog* { return makeChooser(extension, details); }},
        {L"printer-status", IDD_PRINTER_STATUS, IDS_VERIFYING_PRINTER,
         [extension, &printer]() -> LumoraDialog* { return new StatusShot(extension, &printer); }},
        {L"verify", IDD_PRINTER_STATUS, IDS_VERIFYING_PRINTER,
         [extension, &printer]() -> LumoraDialog* {
             return new StepShot<PrintPathVerifyDialog>(extension, &printer, IDS_BIDI_READING);
         }},
        {L"make-permanent", IDD_PRINTER_STATUS, IDS_CHOOSER_MAKE_PERMANENT,
         [extension, &printer, &creating]() -> LumoraDialog* {
             return new StepShot<MakePermanantDialog>(extension, &printer,
                                                      reinterpret_cast<LPARAM>(creating.c_str()));
         }},
        {L"enter-text", IDD_ENTER_TEXT, MAKELPARAM(IDS_NAME, IDS_PROFILE_NAME_LABEL),
         [extension]() -> LumoraDialog* { return new EnterTextDialog(extension, IDS_NEW_PROFILE, L"Branch office"); }},
    };
    const std::vector<Shot> searchShots = searches.shots();
    shots.insert(shots.begin() + 1, searchShots.begin(), searchShots.end());
    const std::vector<Shot> connects = connectShots(extension);
    shots.insert(shots.end() - 1, connects.begin(), connects.end());
    int failures = 0;
    for (const Shot& shot : shots) {
        if (only && lstrcmpW(only, shot.name) != 0)
            continue;
        g_name = shot.name;
        ResetEvent(g_release);
        LumoraDialog* dialog = shot.make();
        if (LumoraDialog::doModal(dialog, nullptr, shot.templateId, shot.lParam) == -1) {
            fwprintf(stderr, L"%ls did not open\n", shot.name);
            ++failures;
        }
        delete dialog;
    }
    if (!only || lstrcmpW(only, L"managed-list-web") == 0) {
        g_name = L"managed-list-web";
        ResetEvent(g_release);
        if (!showManagedListPage(extension)) {
            fwprintf(stderr, L"managed-list-web did not open\n");
            ++failures;
        }
    }
    if (!only || lstrcmpW(only, L"settings") == 0) {
        g_name = L"settings";
        MPrint::showSettingsDialog(nullptr, extension);
    }
    CloseHandle(g_release);
    UnhookWindowsHookEx(g_hook);
    delete extension;
    return failures ? 1 : 0;
}
