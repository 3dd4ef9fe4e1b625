#include "discovery/USBPrintKeyDiscovery.h"

#include "core/ComponentRegistry.h"
#include "core/RegistryKey.h"
#include "core/ScopedHandle.h"
#include "core/SettingsKeys.h"
#include "destination/PrintPathAttr.h"
#include "discovery/DiscoveryClassIds.h"
#include "discovery/PrintPathText.h"

namespace MPrint {

namespace {

constexpr UINT kBrowseFlags = BIF_RETURNONLYFSDIRS | BIF_VALIDATE | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
constexpr wchar_t kDisplayPrefix[] = L"QZ USB Key Printing on drive ";

bool isAsciiLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool isRemovable(const std::wstring& root)
{
    return GetDriveTypeW(root.c_str()) == DRIVE_REMOVABLE;
}

} // namespace

USBPrintKeyDiscovery::USBPrintKeyDiscovery()
{
    ComponentInfo info;
    if (ComponentRegistry::getComponentInfo(discoveryids::kUsbPrintKey, info) == 0 && !info.displayName.empty())
        title_ = info.displayName;
}

USBPrintKeyDiscovery::~USBPrintKeyDiscovery() = default;

uint32_t USBPrintKeyDiscovery::GetSearchCapabilities()
{
    RegistryKey settings(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kRead);
    DWORD enabled = 0;
    if (!settings.isOpen() || !settings.queryDword(L"USBKeyPrinting", &enabled) || enabled == 0)
        return 0;
    Start();
    return kCapSearch | kCapResolve;
}

std::wstring USBPrintKeyDiscovery::driveRootOf(const std::wstring& address)
{
    const size_t prefix = wcslen(kAddressPrefix);
    if (address.compare(0, prefix, kAddressPrefix) != 0 || address.size() <= prefix ||
        !isAsciiLetter(address[prefix]))
        return std::wstring();
    // "E", "E:" or "E:\..." after the prefix; nothing else names a drive.
    const size_t next = prefix + 1;
    if (address.size() > next && (address[next] != L':' || (address.size() > next + 1 && address[next + 1] != L'\\')))
        return std::wstring();
    return std::wstring(1, address[prefix]) + L":\\";
}

PrintPath* USBPrintKeyDiscovery::makeKeyPath(const std::wstring& address, const std::wstring& display,
                                             DWORD manuallyEntered) const
{
    auto* path = new PrintPath();
    path->setStringAttribute(PrintPathAttr::Address, address, true);
    path->setStringAttribute(PrintPathAttr::UNCPath, address, true);
    path->setStringAttribute(PrintPathAttr::DisplayString, display, true);
    path->setNumericAttribute(PrintPathAttr::ManuallyEntered, manuallyEntered, true);
    path->setNumericAttribute(PrintPathAttr::LumoDisableJobRetention, 1, true);
    path->setStringAttribute(PrintPathAttr::IgnorePDLCheck, L"PostScript", true);
    path->setDiscoveryId(discoveryids::kUsbPrintKey);
    setPrinterInfoText(*path, getResourceLoader(), std::wstring(), address);
    return path;
}

uint32_t USBPrintKeyDiscovery::Resolve(HWND, const std::wstring& address, const std::wstring& nickname,
                                       const std::wstring& displayString, PrintPathList& list)
{
    if (address.compare(0, wcslen(kAddressPrefix), kAddressPrefix) != 0)
        return kNotApplicable;
    PrintPath* path = makeKeyPath(address, displayString, 1);
    path->setStringAttribute(PrintPathAttr::Nickname, nickname, true);
    list.push_back(QZAutoPtr<PrintPath>(path));
    return 0;
}

uint32_t USBPrintKeyDiscovery::ValidateDevice(HWND, PrintPath* path)
{
    if (!path)
        return kNotApplicable;
    const std::wstring root = driveRootOf(path->getStringAttribute(PrintPathAttr::UNCPath));
    if (root.empty())
        return kNotApplicable;
    if (!isRemovable(root))
        return kNotRemovable;
    const std::wstring directory = root + kPrintDirectory;
    if (!CreateDirectoryW(directory.c_str(), nullptr)) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            return kCredentialsNeeded;
    }
    const std::wstring file = directory + L"\\" + kTestFile;
    ScopedKernelHandle test(CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (test)
        return 0; // closing deletes it
    const DWORD error = GetLastError();
    return error == ERROR_ACCESS_DENIED || error == ERROR_LOGON_FAILURE ? kCredentialsNeeded : kUnreachable;
}

uint32_t USBPrintKeyDiscovery::Search(HWND window, DestinationContext*, PrintPathList& list, uint32_t flags)
{
    clearCancel();
    if (!(flags & kCapSearch) || (flags & kCapWorkerThread))
        return kNotApplicable;
    const std::wstring picked = browse(window, CSIDL_DRIVES, title_, kBrowseFlags, usbBrowseCallback);
    if (picked.empty())
        return kCancelled;
    AddResult(window, list, makeKeyPath(kAddressPrefix + picked, kDisplayPrefix + picked, 0));
    return 0;
}

int CALLBACK USBPrintKeyDiscovery::usbBrowseCallback(HWND dialog, UINT message, LPARAM parameter, LPARAM data)
{
    hideNewFolderButton(dialog);
    auto* service = reinterpret_cast<USBPrintKeyDiscovery*>(data);
    switch (message) {
    case BFFM_INITIALIZED:
        if (service)
            SetWindowTextW(dialog, service->title_.c_str());
        return 0;
    case BFFM_SELCHANGED: {
        // Only a folder of a removable drive may be picked.
        HWND ok = GetDlgItem(dialog, IDOK);
        EnableWindow(ok, FALSE);
        wchar_t path[MAX_PATH] = {};
        if (parameter && SHGetPathFromIDListW(reinterpret_cast<LPCITEMIDLIST>(parameter), path) &&
            wcsnlen(path, MAX_PATH) >= 3 && isRemovable(std::wstring(path, 3)))
            EnableWindow(ok, TRUE);
        return 0;
    }
    case BFFM_VALIDATEFAILEDW:
        if (service)
            service->showInvalidSelection(dialog);
        return 1;
    default:
        return 0;
    }
}

} // namespace MPrint
