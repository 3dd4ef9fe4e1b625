// Stand-in of the maker's browser module. BrowseForPrinter shows a modal,
// resizable window with no HTML engine: the page at the address (http,
// https, or a file) is read and its links are listed; opening one (double
// click, Enter, or an address typed into the address bar and "Go") first
// asks the caller through the event callback, which may take the link
// itself. Controls: navigation buttons 1101-1105 (back, forward, stop,
// refresh, home), address bar 1009 and "Go" 1100, list name 1006, prompt
// 1007, links 1008, page text 1010, Help 7, OK, Cancel.
//
// Events sent: 0 once created; 13 with the result page's template; 2 for
// every address about to be opened (answer 0: the caller took it, and its
// out value 1 means a printer was chosen, after which 12 asks for the
// result page, which is shown; without a page the choice is finished at
// once with 14); 10 on every resize; 11 when back or home drops the choice;
// 14 for OK, which closes the window with 1 when the caller agrees.
// Answers 1 (finished), 2 (cancelled), or 7 when the window cannot be made.
#include <windows.h>
#include <commctrl.h>
#include <wininet.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

using EventCallback = DWORD(CALLBACK*)(HWND window, void* context, DWORD event, void* data, DWORD* out);

constexpr int kBack = 1101, kForward = 1102, kStop = 1103, kRefresh = 1104, kHome = 1105;
constexpr int kGo = 1100, kAddress = 1009, kListName = 1006, kPrompt = 1007, kLinks = 1008, kPage = 1010,
              kHelp = 7;
constexpr size_t kMaxPage = 4u << 20;
constexpr DWORD kTimeoutMs = 10000;

const wchar_t kTemplate[] =
    L"<html><head><title>$TITLE$</title></head><body><h1>$PRINTER_INFO$</h1><table>\n"
    L"<!-- NameValueBegin --><tr><td>$LABEL_NAME$</td><td>$VALUE$</td></tr>\n"
    L"<!-- NameValueEnd --></table></body></html>\n";

HMODULE thisModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&thisModule), &module);
    return module;
}

bool startsWithNoCase(const std::wstring& text, const wchar_t* prefix)
{
    const size_t length = std::wcslen(prefix);
    return text.size() >= length && _wcsnicmp(text.c_str(), prefix, length) == 0;
}

std::wstring decodeEntities(const std::wstring& text)
{
    static const struct {
        const wchar_t* name;
        wchar_t c;
    } kEntities[] = {{L"&amp;", L'&'}, {L"&lt;", L'<'}, {L"&gt;", L'>'},
                     {L"&quot;", L'"'}, {L"&#39;", L'\''}, {L"&nbsp;", L' '}};
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        bool replaced = false;
        if (text[i] == L'&') {
            for (const auto& entity : kEntities) {
                const size_t length = std::wcslen(entity.name);
                if (text.compare(i, length, entity.name) == 0) {
                    out += entity.c;
                    i += length - 1;
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced)
            out += text[i];
    }
    return out;
}

// The page as text: tags dropped, table cells apart, rows and blocks on lines.
std::wstring pageText(const std::wstring& html)
{
    std::wstring out;
    size_t i = 0;
    while (i < html.size()) {
        if (html.compare(i, 4, L"<!--") == 0) {
            const size_t end = html.find(L"-->", i);
            i = end == std::wstring::npos ? html.size() : end + 3;
            continue;
        }
        if (html[i] != L'<') {
            out += (html[i] == L'\r' || html[i] == L'\n') ? L' ' : html[i];
            ++i;
            continue;
        }
        const size_t end = html.find(L'>', i);
        const std::wstring tag = html.substr(i, end == std::wstring::npos ? std::wstring::npos : end - i);
        i = end == std::wstring::npos ? html.size() : end + 1;
        if (startsWithNoCase(tag, L"</td"))
            out += L'\t';
        else if (startsWithNoCase(tag, L"</tr") || startsWithNoCase(tag, L"<br") || startsWithNoCase(tag, L"</h") ||
                 startsWithNoCase(tag, L"</p") || startsWithNoCase(tag, L"</li") || startsWithNoCase(tag, L"</div"))
            out += L"\r\n";
    }
    return decodeEntities(out);
}

struct Link {
    std::wstring text;
    std::wstring href;
};

std::vector<Link> pageLinks(const std::wstring& html)
{
    std::vector<Link> links;
    std::wstring lowered = html;
    for (wchar_t& c : lowered)
        c = static_cast<wchar_t>(towlower(c));
    for (size_t at = lowered.find(L"<a"); at != std::wstring::npos; at = lowered.find(L"<a", at + 2)) {
        const size_t close = lowered.find(L'>', at);
        if (close == std::wstring::npos)
            break;
        const size_t href = lowered.find(L"href=", at);
        if (href == std::wstring::npos || href > close || href + 5 >= html.size())
            continue;
        const wchar_t quote = html[href + 5];
        size_t begin = href + 5, end = 0;
        if (quote == L'"' || quote == L'\'') {
            ++begin;
            end = html.find(quote, begin);
        } else {
            end = html.find_first_of(L" \t\r\n>", begin);
        }
        if (end == std::wstring::npos)
            continue;
        const size_t textEnd = lowered.find(L"</a", close);
        Link link;
        link.href = decodeEntities(html.substr(begin, end - begin));
        link.text = pageText(html.substr(close + 1, (textEnd == std::wstring::npos ? html.size() : textEnd) - close - 1));
        while (!link.text.empty() && iswspace(link.text.back()))
            link.text.pop_back();
        while (!link.text.empty() && iswspace(link.text.front()))
            link.text.erase(0, 1);
        links.push_back(link);
    }
    return links;
}

std::wstring wideFromBytes(const std::string& bytes)
{
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    // UTF-16 little endian with or without its mark (the result pages have none).
    const bool bom16 = bytes.size() >= 2 && data[0] == 0xFF && data[1] == 0xFE;
    if (bom16 || (bytes.size() >= 2 && bytes.size() % 2 == 0 && data[1] == 0 && data[0] != 0)) {
        const size_t skip = bom16 ? 2 : 0;
        std::wstring text((bytes.size() - skip) / 2, L'\0');
        std::memcpy(text.data(), bytes.data() + skip, text.size() * 2);
        return text;
    }
    const size_t skip = bytes.size() >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF ? 3 : 0;
    for (UINT codePage : {static_cast<UINT>(CP_UTF8), static_cast<UINT>(CP_ACP)}) {
        const DWORD flags = codePage == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
        const int count = MultiByteToWideChar(codePage, flags, bytes.data() + skip,
                                              static_cast<int>(bytes.size() - skip), nullptr, 0);
        if (count > 0) {
            std::wstring text(count, L'\0');
            MultiByteToWideChar(codePage, flags, bytes.data() + skip, static_cast<int>(bytes.size() - skip),
                                text.data(), count);
            return text;
        }
    }
    return {};
}

bool readInternet(const std::wstring& url, std::string& bytes)
{
    HINTERNET session = InternetOpenW(L"vrelm105", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!session)
        return false;
    DWORD timeout = kTimeoutMs;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
        InternetSetOptionW(session, option, &timeout, sizeof(timeout));
    bool ok = false;
    HINTERNET request = InternetOpenUrlW(session, url.c_str(), nullptr, 0,
                                         INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI, 0);
    if (request) {
        DWORD status = 0, size = sizeof(status);
        ok = HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) &&
             status == 200;
        char chunk[8192];
        DWORD read = 0;
        while (ok && InternetReadFile(request, chunk, sizeof(chunk), &read) && read > 0) {
            if (bytes.size() + read > kMaxPage)
                ok = false;
            else
                bytes.append(chunk, read);
        }
        InternetCloseHandle(request);
    }
    InternetCloseHandle(session);
    return ok;
}

bool readFile(const std::wstring& path, std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size = {};
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart <= static_cast<LONGLONG>(kMaxPage);
    if (ok) {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        ok = bytes.empty() || (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
                               read == bytes.size());
    }
    CloseHandle(file);
    return ok;
}

class Browser {
public:
    Browser(void* context, const wchar_t* title, const wchar_t* start, EventCallback callback)
        : context_(context), title_(title ? title : L""), start_(start ? start : L""), callback_(callback)
    {
    }

    INT_PTR run(HWND parent)
    {
        // An empty dialog; its controls are made in WM_INITDIALOG.
        struct {
            DLGTEMPLATE header;
            WORD menu, windowClass, title;
        } dialogTemplate = {};
        dialogTemplate.header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX |
                                      DS_MODALFRAME | DS_CENTER;
        dialogTemplate.header.cx = 400;
        dialogTemplate.header.cy = 260;
        return DialogBoxIndirectParamW(thisModule(), &dialogTemplate.header, parent, &Browser::proc,
                                       reinterpret_cast<LPARAM>(this));
    }

private:
    static INT_PTR CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_INITDIALOG)
            SetWindowLongPtrW(window, DWLP_USER, lParam);
        auto* browser = reinterpret_cast<Browser*>(GetWindowLongPtrW(window, DWLP_USER));
        return browser ? browser->handle(window, message, wParam, lParam) : FALSE;
    }

    DWORD send(DWORD event, void* data, DWORD* out)
    {
        return callback_ ? callback_(window_, context_, event, data, out) : 1;
    }

    void create(int id, const wchar_t* windowClass, const wchar_t* text, DWORD style, DWORD exStyle = 0)
    {
        HWND control = CreateWindowExW(exStyle, windowClass, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10,
                                       window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), thisModule(),
                                       nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    }

    void createControls()
    {
        const wchar_t* const navigation[] = {L"<", L">", L"x", L"R", L"H"};
        for (int i = 0; i < 5; ++i)
            create(kBack + i, L"BUTTON", navigation[i], WS_TABSTOP | BS_PUSHBUTTON);
        create(kAddress, L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE);
        create(kGo, L"BUTTON", L"Go", WS_TABSTOP | BS_PUSHBUTTON);
        create(kListName, L"STATIC", L"", SS_LEFT | SS_NOPREFIX);
        create(kPrompt, L"STATIC", L"", SS_LEFT);
        create(kLinks, L"LISTBOX", L"", WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, WS_EX_CLIENTEDGE);
        create(kPage, L"EDIT", L"", WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, WS_EX_CLIENTEDGE);
        create(kHelp, L"BUTTON", L"Help", WS_TABSTOP | BS_PUSHBUTTON);
        create(IDOK, L"BUTTON", L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON);
        create(IDCANCEL, L"BUTTON", L"Cancel", WS_TABSTOP | BS_PUSHBUTTON);
    }

    void layout()
    {
        RECT client = {};
        GetClientRect(window_, &client);
        const int w = client.right, h = client.bottom, m = 6, row = 24;
        auto place = [this](int id, int x, int y, int cx, int cy) {
            MoveWindow(GetDlgItem(window_, id), x, y, cx > 0 ? cx : 1, cy > 0 ? cy : 1, FALSE);
        };
        for (int i = 0; i < 5; ++i)
            place(kBack + i, m + i * 28, m, 26, row);
        place(kAddress, m + 5 * 28 + 4, m, w - (m + 5 * 28 + 4) - 50 - m, row);
        place(kGo, w - m - 46, m, 46, row);
        place(kListName, m, m + row + 4, w - 2 * m, 18);
        place(kPrompt, m, m + row + 24, w - 2 * m, 18);
        const int top = m + row + 46, bottom = h - m - row - m, middle = top + (bottom - top) / 2;
        place(kLinks, m, top, w - 2 * m, middle - top - 3);
        place(kPage, m, middle + 3, w - 2 * m, bottom - middle - 3);
        place(kHelp, m, h - m - row, 70, row);
        place(IDOK, w - 2 * (m + 80), h - m - row, 80, row);
        place(IDCANCEL, w - m - 80, h - m - row, 80, row);
        InvalidateRect(window_, nullptr, TRUE);
    }

    void showPage(const std::wstring& address, const std::wstring& html)
    {
        SetDlgItemTextW(window_, kAddress, address.c_str());
        links_ = pageLinks(html);
        SendDlgItemMessageW(window_, kLinks, LB_RESETCONTENT, 0, 0);
        for (const Link& link : links_) {
            const std::wstring& text = link.text.empty() ? link.href : link.text;
            SendDlgItemMessageW(window_, kLinks, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        }
        SetDlgItemTextW(window_, kPage, pageText(html).c_str());
    }

    // The caller took a printer link: its result page, or the choice ends.
    void showChoice()
    {
        const wchar_t* page = nullptr;
        DWORD handled = 0;
        send(12, &page, &handled);
        std::string bytes;
        if (handled && page && readFile(page, bytes)) {
            links_.clear();
            SendDlgItemMessageW(window_, kLinks, LB_RESETCONTENT, 0, 0);
            SetDlgItemTextW(window_, kPage, pageText(wideFromBytes(bytes)).c_str());
        } else if (handled) {
            DWORD finished = 0;
            send(14, &finished, nullptr);
            if (finished == 1)
                EndDialog(window_, 1);
        }
    }

    void navigate(const std::wstring& address, bool remember)
    {
        DWORD chosen = 0;
        std::vector<wchar_t> text(address.begin(), address.end());
        text.push_back(L'\0');
        if (send(2, text.data(), &chosen) == 0) {
            if (chosen == 1)
                showChoice();
            return;
        }
        std::string bytes;
        bool read = false;
        if (startsWithNoCase(address, L"http://") || startsWithNoCase(address, L"https://"))
            read = readInternet(address, bytes);
        else if (startsWithNoCase(address, L"file:///"))
            read = readFile(address.substr(8), bytes);
        else if (address.find(L"://") == std::wstring::npos)
            read = readFile(address, bytes);
        else
            return; // another scheme: the caller's business only
        if (remember && !current_.empty()) {
            back_.push_back(current_);
            forward_.clear();
        }
        current_ = address;
        if (read)
            showPage(address, wideFromBytes(bytes));
        else
            showPage(address, L"The page " + address + L" cannot be shown.");
    }

    void dropChoice()
    {
        DWORD value = 0;
        send(11, &value, nullptr);
    }

    INT_PTR handle(HWND window, UINT message, WPARAM wParam, LPARAM)
    {
        switch (message) {
        case WM_INITDIALOG: {
            window_ = window;
            SetWindowTextW(window, title_.c_str());
            createControls();
            layout();
            send(0, nullptr, nullptr);
            std::vector<wchar_t> page(std::begin(kTemplate), std::end(kTemplate));
            send(13, page.data(), nullptr);
            navigate(start_, false);
            return TRUE;
        }
        case WM_SIZE:
            layout();
            send(10, nullptr, nullptr);
            return TRUE;
        case WM_COMMAND:
            command(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        default:
            return FALSE;
        }
    }

    void command(int id, int code)
    {
        switch (id) {
        case IDOK: {
            // Enter in the address bar or the link list opens; OK finishes.
            HWND focus = GetFocus();
            if (focus == GetDlgItem(window_, kAddress)) {
                command(kGo, BN_CLICKED);
                return;
            }
            if (focus == GetDlgItem(window_, kLinks)) {
                command(kLinks, LBN_DBLCLK);
                return;
            }
            DWORD finished = 0;
            send(14, &finished, nullptr);
            if (finished == 1)
                EndDialog(window_, 1);
            return;
        }
        case IDCANCEL:
            EndDialog(window_, 2);
            return;
        case kHelp:
            MessageBoxW(window_, L"Open a printer's link on the page, then press OK.", title_.c_str(),
                        MB_ICONINFORMATION);
            return;
        case kGo: {
            wchar_t address[2048] = {};
            GetDlgItemTextW(window_, kAddress, address, 2048);
            navigate(address, true);
            return;
        }
        case kLinks: {
            const LRESULT index = SendDlgItemMessageW(window_, kLinks, LB_GETCURSEL, 0, 0);
            if (code == LBN_DBLCLK && index >= 0 && static_cast<size_t>(index) < links_.size())
                navigate(links_[index].href, true);
            return;
        }
        case kBack:
        case kHome:
            if (id == kBack && back_.empty())
                return;
            dropChoice();
            if (id == kBack) {
                forward_.push_back(current_);
                const std::wstring previous = back_.back();
                back_.pop_back();
                navigate(previous, false);
            } else {
                navigate(start_, true);
            }
            return;
        case kForward:
            if (!forward_.empty()) {
                back_.push_back(current_);
                const std::wstring next = forward_.back();
                forward_.pop_back();
                navigate(next, false);
            }
            return;
        case kRefresh:
            navigate(current_, false);
            return;
        default:
            return;
        }
    }

    void* context_;
    std::wstring title_;
    std::wstring start_;
    EventCallback callback_;
    HWND window_ = nullptr;
    std::wstring current_;
    std::vector<std::wstring> back_, forward_;
    std::vector<Link> links_;
};

} // namespace

extern "C" DWORD WINAPI BrowseForPrinter(void* context, HWND parent, const wchar_t* title, const wchar_t* startUrl,
                                         EventCallback callback, DWORD)
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    Browser browser(context, title, startUrl, callback);
    const INT_PTR result = browser.run(parent);
    return result == 1 ? 1 : result == -1 || result == 0 ? 7 : 2;
}
