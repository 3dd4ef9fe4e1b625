// The destination chooser: opened over a populated history (three profiles,
// list services and a resolver registered) until it is drawn, then
// cancelled, against the bare reads and parses of the histories it shows;
// and its managed-list node opened until a screenful of groups of a list of
// 10,000 printers in 1,000 groups, served by the loopback HTTP server, is
// drawn, against the bare download and parse of the same list. The list's
// cache is emptied before each opening, so every one downloads.
#include "BareSax.h"
#include "BenchHarness.h"
#include "SamplePaths.h"

#include "VagantUIExtension/DiscoveryServicesManager.h"
#include "core/ComponentRegistry.h"
#include "core/InternetHandle.h"
#include "core/SettingsKeys.h"
#include "destination/TargetHistoryList.h"
#include "extension/CachedFileReader.h"
#include "extension/LumoraPrintingExtension.h"
#include "extension/LumoraSettings.h"
#include "support/FakeDiscoveryService.h"
#include "support/HttpTestServer.h"
#include "support/ManagedListFixtures.h"
#include "support/PrivateCurrentUser.h"
#include "ui/ConfirmationDialog.h"
#include "ui/UiText.h"
#include "ui/resources/ManagedListSearchResultsDialogIds.h"
#include "ui/resources/StringIds.h"

#include <wininet.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kPrinters = 10000;
constexpr int kGroups = 1000;
constexpr DWORD kScreenDeadlineMs = 30000;
const GUID kResolver = {0x000000E4, 0x5e6f, 0x4a70, {0x81, 0x92, 0xa3, 0xb4, 0xc5, 0xd6, 0xe7, 0x24}};

// Runs a function from the next message loop of this thread, whichever
// dialog's loop that is.
class Later {
public:
    Later()
    {
        WNDCLASSW type{};
        type.lpfnWndProc = proc;
        type.hInstance = GetModuleHandleW(nullptr);
        type.lpszClassName = L"VrelmBenchLater";
        RegisterClassW(&type);
        window_ = CreateWindowExW(0, type.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, type.hInstance,
                                  nullptr);
    }
    ~Later()
    {
        if (window_)
            DestroyWindow(window_);
    }
    Later(const Later&) = delete;
    Later& operator=(const Later&) = delete;

    bool post(std::function<void()> fn)
    {
        pending_ = std::move(fn);
        return window_ && PostMessageW(window_, WM_APP, 0, reinterpret_cast<LPARAM>(this));
    }

private:
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message != WM_APP)
            return DefWindowProcW(window, message, wParam, lParam);
        auto* self = reinterpret_cast<Later*>(lParam);
        std::function<void()> fn = std::move(self->pending_);
        self->pending_ = nullptr;
        if (fn)
            fn();
        return 0;
    }

    HWND window_ = nullptr;
    std::function<void()> pending_;
};

// As the Cancel button's click.
void cancel(HWND dialog)
{
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
}

// A dialog box of this thread other than the one given (a modal box is
// shown only once its loop is idle).
HWND otherDialog(HWND except)
{
    struct Search {
        HWND except;
        HWND found;
    } search{except, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM context) -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            wchar_t type[16] = {};
            GetClassNameW(window, type, 16);
            if (window != s->except && lstrcmpW(type, L"#32770") == 0) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Serves the messages the list's worker sends until the box of groups
// holds a screenful, then draws it. False at the deadline.
bool waitForScreenOfGroups(HWND dialog)
{
    HWND groups = GetDlgItem(dialog, IDC_MANAGED_GROUPS);
    if (!groups)
        return false;
    ShowWindow(dialog, SW_SHOWNORMAL);
    RECT client{};
    GetClientRect(groups, &client);
    const LRESULT itemHeight = SendMessageW(groups, LB_GETITEMHEIGHT, 0, 0);
    const LRESULT rows = itemHeight > 0 ? std::max<LRESULT>(1, (client.bottom - client.top) / itemHeight) : 1;
    const ULONGLONG deadline = GetTickCount64() + kScreenDeadlineMs;
    while (SendMessageW(groups, LB_GETCOUNT, 0, 0) < rows) {
        if (GetTickCount64() >= deadline)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_SENDMESSAGE);
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    UpdateWindow(groups);
    return true;
}

// The bare download: one request through the same internet API, the body
// read into memory.
bool bareDownload(const std::wstring& url, std::string& body)
{
    body.clear();
    InternetHandle session(InternetOpenW(L"VrelmBench", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!session)
        return false;
    InternetHandle request(InternetOpenUrlW(session.get(), url.c_str(), nullptr, 0,
                                            INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
    if (!request)
        return false;
    char buffer[32768];
    DWORD read = 0;
    while (InternetReadFile(request.get(), buffer, sizeof(buffer), &read) && read > 0)
        body.append(buffer, read);
    return !body.empty();
}

void storeHistory(LumoraSettings& settings, const std::wstring& profile, int first, int count)
{
    TargetHistoryList list(RegistryKey(settings.getSettingsKey().getHandle(), profile + L"\\Target History",
                                       RegistryKey::kAllAccess, true));
    for (int i = first; i < first + count; ++i)
        list.add(bench::samplePrintPath(i).release());
    list.save();
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const bench::Options options = bench::parseOptions(argc, argv);
    testenv::PrivateCurrentUser user;
    if (!user.isActive())
        return 2;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int result = 0;
    {
        bench::Table table(options);
        LumoraPrintingExtension* extension = LumoraPrintingExtension::instance();
        LumoraSettings* settings = extension ? extension->getSettings() : nullptr;
        testenv::HttpTestServer server;
        const std::string list = testenv::generateCustomList(kPrinters, kGroups);
        const std::wstring listUrl = server.url("/lists/headquarters.xml");
        server.answer("/lists/headquarters.xml", testenv::HttpAnswer::ok(list));
        if (!settings || !settings->getResourceLoader().getModule() || !server.started()) {
            table.fail(L"chooser", L"no extension, resource module or HTTP server");
            result = 1;
        } else {
            // The history: the default profile and two others; the current
            // destination among the default profile's printers.
            const std::wstring defaultProfile = uitext::load(extension, LumoraSettings::kDefaultProfileStringId);
            storeHistory(*settings, defaultProfile, 0, 10);
            storeHistory(*settings, L"Floor 2", 10, 5);
            storeHistory(*settings, L"Floor 3", 15, 5);
            settings->getSettingsKey().setString(L"CustomProfiles", L"Floor 2;Floor 3;");
            extension->setDestination(L"Floor 3 East colour 3");
            RegistryKey lists(HKEY_CURRENT_USER, settingskeys::kUserLists, RegistryKey::kAllAccess, true);
            lists.setString(L"Headquarters", listUrl);
            lists.setString(L"Branch", L"C:\\lists\\branch.xml");
            fakes::FakeServiceConfig resolver{"resolver", MPrint::DiscoveryServiceIntf::kCapResolve};
            resolver.resolvePaths = 1;
            fakes::configureFakeService(kResolver, resolver);
            ComponentRegistry::registerComponent(ComponentDescriptor{
                kResolver, kDiscoveryServiceComponent, fakes::createFakeService, 1, 0, 0, nullptr, 0, 0, 0, 0, 0});
            // The extension's manager, made before the lists were known, starts again.
            DiscoveryServicesManager* manager = DiscoveryServicesManager::GetInstance();
            manager->Shutdown();
            Later later;
            if (manager->Initialize() != 0 || manager->Start() != 0) {
                table.fail(L"chooser", L"the discovery manager did not start");
            } else {
                std::vector<RegistryKey> histories;
                for (const std::wstring& profile : {defaultProfile, std::wstring(L"Floor 2"), std::wstring(L"Floor 3")})
                    histories.emplace_back(settings->getSettingsKey().getHandle(), profile + L"\\Target History",
                                           RegistryKey::kRead);
                bench::BareSax sax;
                std::vector<wchar_t> buffer(64 * 1024);
                std::string utf8;
                table.run(L"chooser opened and drawn over 3 profiles (20 entries) and 2 list services, then "
                          L"cancelled, vs bare reads + SAX parse of the histories",
                          [&] {
                              MPrint::ConfirmationDialog chooser(extension,
                                                                 LumoraPrintingExtension::kModeSelectDestination);
                              bool drawn = false;
                              later.post([&] {
                                  HWND window = chooser.getWindow();
                                  if (!window)
                                      return;
                                  ShowWindow(window, SW_SHOWNORMAL);
                                  drawn = UpdateWindow(window) != FALSE;
                                  cancel(window);
                              });
                              return LumoraDialog::doModal(&chooser, nullptr, MPrint::ConfirmationDialog::kTemplate,
                                                           IDS_CHOOSER_HEADING_PRINT) ==
                                         MPrint::ConfirmationDialog::kResultCancelled &&
                                     drawn;
                          },
                          [&] {
                              for (RegistryKey& key : histories) {
                                  if (!bench::bareHistoryLoad(key.getHandle(), sax, buffer, utf8))
                                      return false;
                              }
                              return true;
                          });

                // One chooser; each step opens its list node afresh.
                std::string body;
                std::vector<double> firstScreens;
                MPrint::ConfirmationDialog chooser(extension, LumoraPrintingExtension::kModeSelectDestination);
                const std::wstring listNodeText = uitext::format(extension, IDS_PRINTER_LIST_FMT, L"Headquarters");
                later.post([&] {
                    MPrint::TreeViewNode* node =
                        chooser.getTree() ? chooser.getTree()->findChildByText(listNodeText, chooser.getSearchRoot())
                                          : nullptr;
                    if (!node) {
                        table.fail(L"managed-list node", L"the chooser shows no node for the list");
                    } else {
                        table.run(L"chooser's managed-list node opened until a screen of its groups is drawn, then "
                                      L"closed (10,000 printers, 1,000 groups, " +
                                      bench::kilobytes(list.size()) + L", over loopback HTTP) vs bare download + "
                                                                      L"SAX parse",
                                  [&] {
                                      MPrint::CachedFileReader().clearCache();
                                      chooser.getTree()->selectNode(chooser.getRootNode());
                                      bool shown = false;
                                      const double start = bench::nowMicroseconds();
                                      later.post([&] {
                                          HWND box = otherDialog(chooser.getWindow());
                                          shown = box && waitForScreenOfGroups(box);
                                          if (shown)
                                              firstScreens.push_back(bench::nowMicroseconds() - start);
                                          if (box)
                                              cancel(box);
                                      });
                                      chooser.getTree()->selectNode(node); // runs the list's dialog
                                      return shown;
                                  },
                                  [&] { return bareDownload(listUrl, body) && sax.parse(body); });
                    }
                    cancel(chooser.getWindow());
                });
                LumoraDialog::doModal(&chooser, nullptr, MPrint::ConfirmationDialog::kTemplate,
                                      IDS_CHOOSER_HEADING_PRINT);
                if (!firstScreens.empty() && !options.tiny) {
                    std::sort(firstScreens.begin(), firstScreens.end());
                    std::wprintf(L"node selected until its first screen of groups is drawn: median %.1f us of %u\n",
                                 firstScreens[firstScreens.size() / 2], static_cast<unsigned>(firstScreens.size()));
                }
            }
            manager->Shutdown();
            ComponentRegistry::unregisterComponent(kResolver);
            result = table.exitCode();
        }
        delete extension;
    }
    CoUninitialize();
    return result;
}
