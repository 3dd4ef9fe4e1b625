// ShowDialogs.exe <output folder> [name]: shows every dialog template of the
// resource module in the user's language (right-to-left twins for Hebrew
// and Arabic), and writes a 24-bit BMP of each window as it is on the
// screen, named after the dialog. tools/screenshots.sh runs it under Xvfb.
#include "core/ResourceLoader.h"
#include "core/Win32.h"
#include "ui/resources/ConfirmationDialogIds.h"
#include "ui/resources/ConnectUNCDialogIds.h"
#include "ui/resources/EnterTextDialogIds.h"
#include "ui/resources/ManagedListSearchResultsDialogIds.h"
#include "ui/resources/PrinterStatusDialogIds.h"
#include "ui/resources/SettingsDialogIds.h"
#include "ui/resources/StringIds.h"
#include "ui/resources/TcpSearchResultsDialogIds.h"
#include "ui/resources/UNCSearchResultsDialogIds.h"

#include <commctrl.h>
#include <prsht.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

MPrint::ResourceLoader* g_strings = nullptr;
std::wstring g_folder;
const wchar_t* g_name = nullptr;
const UINT_PTR kCaptureTimer = 1;
const UINT kSettleMs = 400;

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
    if (lines != height) {
        return false;
    }
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + static_cast<DWORD>(bits.size());
    FILE* out = _wfopen(path.c_str(), L"wb");
    if (!out) {
        return false;
    }
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

// "RCLID_<n>" texts become string n, as the dialog classes do.
void localizeWindow(HWND window)
{
    wchar_t text[385] = {};
    GetWindowTextW(window, text, 385);
    if (wcsncmp(text, L"RCLID_", 6) == 0) {
        SetWindowTextW(window, g_strings->loadString(static_cast<UINT>(_wtoi(text + 6))).c_str());
    }
}

BOOL CALLBACK localizeChild(HWND child, LPARAM)
{
    localizeWindow(child);
    return TRUE;
}

void localize(HWND dialog)
{
    localizeWindow(dialog);
    EnumChildWindows(dialog, localizeChild, 0);
}

void placeOnTop(HWND topLevel)
{
    SetWindowPos(topLevel, HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE);
    SetForegroundWindow(topLevel);
}

void finishCapture(HWND topLevel)
{
    const std::wstring path = g_folder + L"\\" + g_name + L".bmp";
    if (!capture(topLevel, path)) {
        fwprintf(stderr, L"could not write %ls\n", path.c_str());
    }
}

INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        localize(dialog);
        placeOnTop(dialog);
        SetTimer(dialog, kCaptureTimer, kSettleMs, nullptr);
        return TRUE;
    case WM_TIMER:
        if (wParam == kCaptureTimer) {
            KillTimer(dialog, kCaptureTimer);
            finishCapture(dialog);
            EndDialog(dialog, IDOK);
        }
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
            EndDialog(dialog, LOWORD(wParam));
        }
        return TRUE;
    }
    return FALSE;
}

// Pages: the sheet is captured from the first page's timer.
INT_PTR CALLBACK pageProc(HWND page, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        localize(page);
        SetTimer(page, kCaptureTimer, kSettleMs, nullptr);
        return TRUE;
    case WM_TIMER:
        // First tick: the sheet exists and is placed; second: it has painted.
        if (wParam == kCaptureTimer) {
            HWND sheet = GetParent(page);
            if (!GetPropW(page, L"ShotPlaced")) {
                SetPropW(page, L"ShotPlaced", page);
                placeOnTop(sheet);
                return TRUE;
            }
            RemovePropW(page, L"ShotPlaced");
            KillTimer(page, kCaptureTimer);
            finishCapture(sheet);
            PropSheet_PressButton(sheet, PSBTN_CANCEL);
        }
        return TRUE;
    }
    return FALSE;
}

struct Shot {
    const wchar_t* name;
    int templateId;
};

const Shot kShots[] = {
    {L"chooser", IDD_CHOOSER},
    {L"search-results", IDD_SEARCH_RESULTS},
    {L"managed-list-search", IDD_MANAGED_LIST_SEARCH},
    {L"tcp-search", IDD_TCP_SEARCH},
    {L"unc-search", IDD_UNC_SEARCH},
    {L"printer-status", IDD_PRINTER_STATUS},
    {L"connect-unc", IDD_CONNECT_UNC},
    {L"enter-text", IDD_ENTER_TEXT},
};

void showSettings(HMODULE module, bool rightToLeft)
{
    const std::wstring general = g_strings->loadString(IDS_PAGE_GENERAL);
    const std::wstring verify = g_strings->loadString(IDS_PAGE_DEVICE_VERIFY);
    const std::wstring caption = g_strings->loadString(IDS_SETTINGS_CAPTION);
    const int shift = rightToLeft ? RTL_TEMPLATE_OFFSET : 0;
    PROPSHEETPAGEW pages[2] = {};
    const int ids[2] = {IDD_PAGE_GENERAL, IDD_PAGE_DEVICE_VERIFY};
    const wchar_t* titles[2] = {general.c_str(), verify.c_str()};
    for (int i = 0; i < 2; ++i) {
        pages[i].dwSize = sizeof(pages[i]);
        pages[i].dwFlags = PSP_USETITLE | (rightToLeft ? PSP_RTLREADING : 0);
        pages[i].hInstance = module;
        pages[i].pszTemplate = MAKEINTRESOURCEW(ids[i] + shift);
        pages[i].pszTitle = titles[i];
        pages[i].pfnDlgProc = pageProc;
    }
    PROPSHEETHEADERW header{};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | (rightToLeft ? PSH_RTLREADING : 0);
    header.hInstance = module;
    header.pszCaption = caption.c_str();
    header.nPages = 2;
    header.ppsp = pages;
    g_name = L"settings";
    PropertySheetW(&header);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        fwprintf(stderr, L"usage: ShowDialogs <output folder>\n");
        return 2;
    }
    g_folder = argv[1];
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder(self);
    folder.resize(folder.find_last_of(L'\\') + 1);
    MPrint::ResourceLoader strings(folder + L"vrelm102.DLL");
    if (!strings.getModule()) {
        fwprintf(stderr, L"vrelm102.DLL not found beside the program\n");
        return 1;
    }
    g_strings = &strings;
    const bool rightToLeft = strings.isRightToLeft();
    const int shift = rightToLeft ? RTL_TEMPLATE_OFFSET : 0;
    const wchar_t* only = argc > 2 ? argv[2] : nullptr; // one dialog by name
    for (const Shot& shot : kShots) {
        if (only && wcscmp(only, shot.name) != 0) {
            continue;
        }
        g_name = shot.name;
        if (DialogBoxParamW(strings.getModule(), MAKEINTRESOURCEW(shot.templateId + shift), nullptr, dialogProc, 0) ==
            -1) {
            fwprintf(stderr, L"template %d did not open\n", shot.templateId + shift);
            return 1;
        }
    }
    if (!only || wcscmp(only, L"settings") == 0) {
        showSettings(strings.getModule(), rightToLeft);
    }
    return 0;
}
