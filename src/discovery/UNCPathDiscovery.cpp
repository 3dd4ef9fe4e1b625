#include "discovery/UNCPathDiscovery.h"

#include "core/ProcAddress.h"
#include "core/ScopedHandle.h"
#include "core/UserMessageBox.h"
#include "destination/PrintPathAttr.h"
#include "discovery/DiscoveryClassIds.h"
#include "discovery/PrintPathText.h"

#include <shlwapi.h>

namespace MPrint {

namespace {

constexpr UINT kErrorCaptionString = 27;
constexpr UINT kInvalidSelectionString = 29;
constexpr UINT kBrowseTitleString = 36;
constexpr UINT kBrowseFlags = BIF_BROWSEFORPRINTER | BIF_NONEWFOLDERBUTTON | BIF_NEWDIALOGSTYLE | BIF_VALIDATE;

using NovOpenPrinterFn = HANDLE(WINAPI*)(const wchar_t* path);
using NovClosePrinterFn = BOOL(WINAPI*)(HANDLE handle);

// Item lists of the shell's allocator.
struct ItemListTraits {
    using Handle = LPITEMIDLIST;
    static Handle none() { return nullptr; }
    static bool isValid(Handle handle) { return handle != nullptr; }
    static bool close(Handle handle)
    {
        CoTaskMemFree(handle);
        return true;
    }
};
using ScopedItemList = ScopedHandle<ItemListTraits>;

RECT windowRect(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

// Moves a child window to the screen rectangle, in its parent's coordinates.
void placeAt(HWND dialog, HWND child, RECT rect)
{
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    MoveWindow(child, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
}

} // namespace

UNCPathDiscovery::UNCPathDiscovery() = default;
UNCPathDiscovery::~UNCPathDiscovery() = default;

uint32_t UNCPathDiscovery::GetSearchCapabilities()
{
    return kCapSearch | kCapResolve;
}

bool UNCPathDiscovery::isUNCPrinterPath(const std::wstring& text)
{
    if (text.size() < 6 || text.compare(0, 2, L"\\\\") != 0)
        return false;
    // The server's end; at 2 the server would be empty ("\\\share").
    const size_t serverEnd = text.find(L'\\', 2);
    if (serverEnd == std::wstring::npos || serverEnd < 3)
        return false;
    const size_t shareEnd = text.find(L'\\', serverEnd + 1);
    if (shareEnd == serverEnd + 1 || serverEnd + 1 == text.size())
        return false; // no share name
    if (shareEnd != std::wstring::npos && shareEnd != text.size() - 1)
        return false; // a further path component
    return PathIsUNCServerW(text.substr(0, serverEnd).c_str()) != FALSE;
}

DWORD UNCPathDiscovery::openShareForWrite(const std::wstring& path)
{
    ScopedKernelHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        CREATE_ALWAYS, 0, nullptr));
    return file ? ERROR_SUCCESS : GetLastError();
}

bool UNCPathDiscovery::probeShare(const std::wstring& path, bool& opened)
{
    opened = false;
    if (path.empty())
        return false;
    const DWORD error = openShareForWrite(path);
    if (error == ERROR_SUCCESS) {
        opened = true;
        return true;
    }
    // The share is there but wants other credentials.
    return error == ERROR_ACCESS_DENIED || error == ERROR_LOGON_FAILURE;
}

bool UNCPathDiscovery::isNovellQueue(const std::wstring& path)
{
    if (path.empty())
        return false;
    for (const wchar_t* name : {L"vrelq01.DLL", L"vreln01.DLL"}) {
        ScopedModule module(loadOutsideModule(name));
        const auto open = procAddress<NovOpenPrinterFn>(module.get(), "NovOpenPrinterW");
        HANDLE queue = open ? open(path.c_str()) : nullptr;
        if (!queue)
            continue; // missing, or not a queue of this module: ask the next
        if (const auto close = procAddress<NovClosePrinterFn>(module.get(), "NovClosePrinter"))
            close(queue);
        return true;
    }
    return false;
}

PrintPath* UNCPathDiscovery::makeUncPath(const std::wstring& address, DWORD manuallyEntered) const
{
    auto* path = new PrintPath();
    path->setStringAttribute(PrintPathAttr::Address, address, true);
    path->setStringAttribute(PrintPathAttr::UNCPath, address, true);
    path->setDiscoveryId(discoveryids::kNetworkShares);
    path->addConfiguratorId(discoveryids::kUncConfigurator);
    path->addFeatureId(discoveryids::kUncFeatureAccessor);
    path->setNumericAttribute(PrintPathAttr::ManuallyEntered, manuallyEntered, true);
    setPrinterInfoText(*path, getResourceLoader(), std::wstring(), address);
    return path;
}

uint32_t UNCPathDiscovery::Resolve(HWND, const std::wstring& address, const std::wstring& nickname,
                                   const std::wstring& displayString, PrintPathList& list)
{
    if (!isUNCPrinterPath(address))
        return kNotApplicable;
    PrintPath* path = makeUncPath(address, 1);
    path->setStringAttribute(PrintPathAttr::Nickname, nickname, true);
    path->setStringAttribute(PrintPathAttr::DisplayString, displayString, true);
    bool opened = false;
    if (probeShare(address, opened))
        path->setNumericAttribute(PrintPathAttr::WindowsUNC, 1, true);
    else if (isNovellQueue(address))
        path->setStringAttribute(PrintPathAttr::NovellAddress, address, true);
    list.push_back(QZAutoPtr<PrintPath>(path));
    return 0;
}

uint32_t UNCPathDiscovery::ValidateDevice(HWND, PrintPath* path)
{
    if (!path)
        return kNotApplicable;
    const std::wstring unc = path->getStringAttribute(PrintPathAttr::UNCPath);
    if (!unc.empty() && path->getNumericAttribute(PrintPathAttr::WindowsUNC) != 1 && isNovellQueue(unc)) {
        if (path->getStringAttribute(PrintPathAttr::NovellAddress).empty())
            path->setStringAttribute(PrintPathAttr::NovellAddress, unc, true);
        return 0;
    }
    SetLastError(0);
    bool opened = false;
    if (!probeShare(unc, opened))
        return kUnreachable;
    return opened ? 0 : kCredentialsNeeded;
}

std::wstring UNCPathDiscovery::browse(HWND owner, int rootFolder, const std::wstring& title, UINT flags,
                                      BFFCALLBACK callback)
{
    // A thread already in another apartment (RPC_E_CHANGED_MODE) keeps it;
    // only a successful initialise is balanced.
    const bool initialised = SUCCEEDED(OleInitialize(nullptr));
    std::wstring picked;
    {
        ScopedItemList root;
        if (SUCCEEDED(SHGetSpecialFolderLocation(owner, rootFolder, root.receive()))) {
            wchar_t displayName[MAX_PATH] = {};
            BROWSEINFOW info = {};
            info.hwndOwner = owner;
            info.pidlRoot = root.get();
            info.pszDisplayName = displayName;
            info.lpszTitle = title.c_str();
            info.ulFlags = flags;
            info.lpfn = callback;
            info.lParam = reinterpret_cast<LPARAM>(this);
            ScopedItemList item(SHBrowseForFolderW(&info));
            wchar_t path[MAX_PATH] = {};
            if (item && SHGetPathFromIDListW(item.get(), path))
                picked.assign(path, wcsnlen(path, MAX_PATH));
        }
    }
    if (initialised)
        OleUninitialize();
    return picked;
}

uint32_t UNCPathDiscovery::Search(HWND window, DestinationContext*, PrintPathList& list, uint32_t flags)
{
    clearCancel();
    if (!(flags & kCapSearch) || (flags & kCapWorkerThread))
        return kNotApplicable;
    const std::wstring picked =
        browse(window, CSIDL_NETWORK, getResourceLoader().loadString(kBrowseTitleString), kBrowseFlags, browseCallback);
    if (picked.empty())
        return kCancelled;
    PrintPath* path = makeUncPath(picked, 0);
    path->setStringAttribute(PrintPathAttr::DisplayString, picked, true);
    AddResult(window, list, path);
    return 0;
}

bool UNCPathDiscovery::hideNewFolderButton(HWND dialog)
{
    HWND button = GetDlgItem(dialog, kNewFolderButton);
    if (!button || GetPropW(dialog, kHiddenProperty))
        return false;
    ShowWindow(button, SW_HIDE);
    SetPropW(dialog, kHiddenProperty, reinterpret_cast<HANDLE>(1));
    return true;
}

void UNCPathDiscovery::showInvalidSelection(HWND dialog) const
{
    const std::wstring text = getResourceLoader().loadString(kInvalidSelectionString);
    const std::wstring caption = getResourceLoader().loadString(kErrorCaptionString);
    showMessageBox(dialog, text.c_str(), caption.c_str(), MB_ICONERROR);
}

int CALLBACK UNCPathDiscovery::browseCallback(HWND dialog, UINT message, LPARAM, LPARAM data)
{
    if (hideNewFolderButton(dialog)) {
        HWND button = GetDlgItem(dialog, kNewFolderButton);
        HWND ok = GetDlgItem(dialog, IDOK);
        HWND cancel = GetDlgItem(dialog, IDCANCEL);
        if (ok && cancel) {
            const RECT hidden = windowRect(button), cancelRect = windowRect(cancel);
            // Where the hidden button lay right of Cancel, OK takes Cancel's
            // place and Cancel the button's, so no gap is left.
            if (hidden.left > cancelRect.left) {
                placeAt(dialog, ok, cancelRect);
                placeAt(dialog, cancel, hidden);
            }
        }
    }
    if (message == BFFM_VALIDATEFAILEDW) {
        if (auto* service = reinterpret_cast<UNCPathDiscovery*>(data))
            service->showInvalidSelection(dialog);
        return 1;
    }
    return 0;
}

} // namespace MPrint
