// The resource module holds what the dialog code asks for: every id the
// headers in src/ui/resources define resolves (strings in each language,
// templates with their mirrored twins, pictures, menus, the icon), the
// controls carry the classes and owner-draw styles the dialogs rely on, and
// every "RCLID_<n>" text of a template or menu names a string that exists.
#include "core/ResourceLoader.h"
#include "support/TestEnv.h"
#include "ui/resources/BitmapIds.h"
#include "ui/resources/ConfirmationDialogIds.h"
#include "ui/resources/ConnectUNCDialogIds.h"
#include "ui/resources/EnterTextDialogIds.h"
#include "ui/resources/IconIds.h"
#include "ui/resources/ManagedListSearchResultsDialogIds.h"
#include "ui/resources/MenuIds.h"
#include "ui/resources/PrinterStatusDialogIds.h"
#include "ui/resources/SettingsDialogIds.h"
#include "ui/resources/StringIds.h"
#include "ui/resources/TcpSearchResultsDialogIds.h"
#include "ui/resources/UNCSearchResultsDialogIds.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstring>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

namespace {

struct HeaderId {
    char kind; // S string, B bitmap, D template, M menu, I icon
    int id;
    const char* name;
};

// Generated from the headers by the build (tests/CMakeLists.txt).
#define RESOURCE_ID(kind, name) {#kind[0], name, #name},
const HeaderId kHeaderIds[] = {
#include "ResourceIdList.h"
};
#undef RESOURCE_ID

const LANGID kLanguages[] = {
    MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
    MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN),
    MAKELANGID(LANG_HEBREW, SUBLANG_HEBREW_ISRAEL),
};
const LANGID kNeutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);

class Module {
public:
    Module()
        : handle_(LoadLibraryExW((testenv::binDir() + L"\\vrelm102.DLL").c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE))
    {
    }
    ~Module()
    {
        if (handle_) {
            FreeLibrary(handle_);
        }
    }
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;
    HMODULE get() const { return handle_; }

private:
    HMODULE handle_;
};

struct Control {
    DWORD style = 0;
    DWORD exStyle = 0;
    int id = 0;
    std::wstring className; // lower case; ordinals as their class names
    std::wstring text;
};

struct Template {
    DWORD style = 0;
    DWORD exStyle = 0;
    std::wstring caption;
    std::vector<Control> controls;
};

// Reads a DLGTEMPLATEEX, bounds-checked; false for anything else.
class TemplateReader {
public:
    TemplateReader(const BYTE* data, size_t size) : p_(data), end_(data + size), begin_(data) {}

    bool read(Template& out)
    {
        WORD version = 0, signature = 0, count = 0;
        DWORD help = 0;
        short box[4];
        if (!get(version) || !get(signature) || version != 1 || signature != 0xFFFF || !get(help) ||
            !get(out.exStyle) || !get(out.style) || !get(count) || !getBox(box)) {
            return false;
        }
        std::wstring menu, windowClass;
        if (!getSzOrOrd(menu) || !getSzOrOrd(windowClass) || !getString(out.caption)) {
            return false;
        }
        if (out.style & (DS_SETFONT | DS_SHELLFONT)) {
            WORD points = 0, weight = 0;
            BYTE italic = 0, charset = 0;
            std::wstring face;
            if (!get(points) || !get(weight) || !get(italic) || !get(charset) || !getString(face)) {
                return false;
            }
        }
        for (WORD i = 0; i < count; ++i) {
            Control c;
            DWORD id = 0;
            WORD extra = 0;
            if (!align() || !get(help) || !get(c.exStyle) || !get(c.style) || !getBox(box) || !get(id) ||
                !getSzOrOrd(c.className, true) || !getSzOrOrd(c.text) || !get(extra) || !skip(extra)) {
                return false;
            }
            c.id = static_cast<int>(static_cast<short>(LOWORD(id)));
            for (wchar_t& ch : c.className) {
                ch = towlower(ch);
            }
            out.controls.push_back(c);
        }
        return true;
    }

private:
    template <typename T>
    bool get(T& value)
    {
        if (static_cast<size_t>(end_ - p_) < sizeof(T)) {
            return false;
        }
        std::memcpy(&value, p_, sizeof(T));
        p_ += sizeof(T);
        return true;
    }
    bool getBox(short (&box)[4]) { return get(box[0]) && get(box[1]) && get(box[2]) && get(box[3]); }
    bool skip(size_t n)
    {
        if (static_cast<size_t>(end_ - p_) < n) {
            return false;
        }
        p_ += n;
        return true;
    }
    bool align() { return skip((4 - (p_ - begin_) % 4) % 4); }
    bool getString(std::wstring& out)
    {
        out.clear();
        for (WORD ch = 0; get(ch);) {
            if (ch == 0) {
                return true;
            }
            out.push_back(static_cast<wchar_t>(ch));
        }
        return false;
    }
    bool getSzOrOrd(std::wstring& out, bool isClass = false)
    {
        WORD first = 0;
        if (!get(first)) {
            return false;
        }
        if (first == 0xFFFF) {
            WORD ordinal = 0;
            if (!get(ordinal)) {
                return false;
            }
            static const std::map<WORD, const wchar_t*> classes = {
                {0x80, L"button"}, {0x81, L"edit"}, {0x82, L"static"},
                {0x83, L"listbox"}, {0x84, L"scrollbar"}, {0x85, L"combobox"}};
            const auto it = classes.find(ordinal);
            out = isClass && it != classes.end() ? it->second : L"#" + std::to_wstring(ordinal);
            return true;
        }
        p_ -= sizeof(WORD);
        return getString(out);
    }

    const BYTE* p_;
    const BYTE* end_;
    const BYTE* begin_;
};

bool loadTemplate(HMODULE module, int id, Template& out)
{
    HRSRC found = FindResourceExW(module, RT_DIALOG, MAKEINTRESOURCEW(id), kNeutral);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    return data && TemplateReader(static_cast<const BYTE*>(data), SizeofResource(module, found)).read(out);
}

// The number n of "RCLID_<n>"; -1 for a text without it.
int stringReference(const std::wstring& text)
{
    return text.compare(0, 6, L"RCLID_") == 0 ? _wtoi(text.c_str() + 6) : -1;
}

std::vector<int> templateIds()
{
    std::vector<int> ids;
    for (const HeaderId& h : kHeaderIds) {
        if (h.kind == 'D') {
            ids.push_back(h.id);
        }
    }
    return ids;
}

const Control* findControl(const Template& t, int id)
{
    for (const Control& c : t.controls) {
        if (c.id == id) {
            return &c;
        }
    }
    return nullptr;
}

} // namespace

TEST(ResourceModule, EveryHeaderIdResolves)
{
    Module module;
    ASSERT_NE(module.get(), nullptr);
    ASSERT_GT(std::size(kHeaderIds), 100u) << "the generated list is complete";
    MPrint::ResourceLoader strings(module.get());
    for (const HeaderId& h : kHeaderIds) {
        SCOPED_TRACE(h.name);
        switch (h.kind) {
        case 'S':
            for (LANGID language : kLanguages) {
                SCOPED_TRACE(language);
                strings.setLanguage(language);
                std::wstring text;
                EXPECT_GT(strings.loadString(h.id, text), 0u);
                if (std::strstr(h.name, "_FMT")) {
                    EXPECT_NE(text.find(L"%1"), std::wstring::npos) << "an inserted argument";
                }
            }
            break;
        case 'D': {
            Template original, twin;
            ASSERT_TRUE(loadTemplate(module.get(), h.id, original));
            ASSERT_TRUE(loadTemplate(module.get(), h.id + RTL_TEMPLATE_OFFSET, twin)) << "right-to-left twin";
            EXPECT_FALSE(original.exStyle & WS_EX_LAYOUTRTL);
            EXPECT_TRUE(twin.exStyle & WS_EX_LAYOUTRTL);
            EXPECT_EQ(twin.style, original.style);
            EXPECT_EQ(twin.caption, original.caption);
            ASSERT_EQ(twin.controls.size(), original.controls.size());
            for (size_t i = 0; i < original.controls.size(); ++i) {
                EXPECT_EQ(twin.controls[i].id, original.controls[i].id);
                EXPECT_EQ(twin.controls[i].className, original.controls[i].className);
                EXPECT_EQ(twin.controls[i].style, original.controls[i].style);
                EXPECT_EQ(twin.controls[i].text, original.controls[i].text);
            }
            break;
        }
        case 'B': {
            HBITMAP bitmap = static_cast<HBITMAP>(
                LoadImageW(module.get(), MAKEINTRESOURCEW(h.id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
            EXPECT_NE(bitmap, nullptr);
            DeleteObject(bitmap);
            break;
        }
        case 'M': {
            HMENU menu = LoadMenuW(module.get(), MAKEINTRESOURCEW(h.id));
            ASSERT_NE(menu, nullptr);
            EXPECT_NE(GetSubMenu(menu, 0), nullptr) << "the popup is submenu 0";
            DestroyMenu(menu);
            break;
        }
        case 'I':
            EXPECT_NE(LoadImageW(module.get(), MAKEINTRESOURCEW(h.id), IMAGE_ICON, 16, 16, 0), nullptr);
            EXPECT_NE(LoadImageW(module.get(), MAKEINTRESOURCEW(h.id), IMAGE_ICON, 32, 32, 0), nullptr);
            break;
        default:
            ADD_FAILURE() << "unknown kind";
        }
    }
}

TEST(ResourceModule, ControlsHaveTheClassesAndStylesTheDialogsNeed)
{
    Module module;
    ASSERT_NE(module.get(), nullptr);
    const DWORD ownerButton = BS_OWNERDRAW;
    const DWORD ownerStatic = SS_OWNERDRAW;
    const DWORD tree = TVS_EDITLABELS | TVS_INFOTIP | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS;
    const DWORD searchList = LBS_NOTIFY | WS_HSCROLL;
    const DWORD reportList = LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS;
    struct Row {
        std::vector<int> templates;
        int control;
        const wchar_t* className;
        DWORD styleMask; // bits that must be set; for owner-draw the type field must equal it
    } rows[] = {
        // Push buttons the base dialog draws, wherever they appear.
        {{IDD_CHOOSER}, IDHELP, L"button", ownerButton},
        {{IDD_CHOOSER, IDD_SEARCH_RESULTS, IDD_MANAGED_LIST_SEARCH, IDD_TCP_SEARCH, IDD_UNC_SEARCH,
          IDD_PRINTER_STATUS, IDD_CONNECT_UNC, IDD_ENTER_TEXT},
         IDCANCEL, L"button", ownerButton},
        {{IDD_CHOOSER, IDD_SEARCH_RESULTS, IDD_MANAGED_LIST_SEARCH, IDD_TCP_SEARCH, IDD_UNC_SEARCH,
          IDD_CONNECT_UNC, IDD_ENTER_TEXT},
         IDOK, L"button", ownerButton},
        {{IDD_CHOOSER}, IDC_CHOOSER_BANNER, L"static", ownerStatic},
        {{IDD_CHOOSER}, IDC_CHOOSER_SECURE, L"static", ownerStatic},
        {{IDD_CHOOSER}, IDC_CHOOSER_HEADING, L"static", 0},
        {{IDD_CHOOSER}, IDC_CHOOSER_NICKNAME, L"edit", 0},
        {{IDD_CHOOSER}, IDC_CHOOSER_INFO, L"static", 0},
        {{IDD_CHOOSER}, IDC_CHOOSER_MAKE_PERMANENT, L"button", ownerButton},
        {{IDD_CHOOSER}, IDC_CHOOSER_SETTINGS_LINK, L"static", 0},
        {{IDD_CHOOSER}, IDC_CHOOSER_PROGRESS, L"msctls_progress32", 0},
        {{IDD_CHOOSER}, IDC_CHOOSER_POLICY_LINK, L"static", 0},
        {{IDD_CHOOSER}, IDC_CHOOSER_TREE, L"systreeview32", tree},
        {{IDD_CHOOSER}, IDC_CHOOSER_VERSION, L"static", 0},
        {{IDD_CHOOSER}, IDC_CHOOSER_STATUS, L"static", 0},
        {{IDD_CHOOSER}, IDC_CHOOSER_STATUS_BUTTON, L"button", ownerButton},
        {{IDD_CHOOSER, IDD_CONNECT_UNC}, IDC_GROUP_FRAME, L"button", ownerButton},
        // The search dialog's controls, which every dialog derived from it finds.
        {{IDD_SEARCH_RESULTS, IDD_MANAGED_LIST_SEARCH, IDD_TCP_SEARCH, IDD_UNC_SEARCH}, IDC_SEARCH_STOP, L"button",
         ownerButton},
        {{IDD_SEARCH_RESULTS, IDD_MANAGED_LIST_SEARCH, IDD_TCP_SEARCH, IDD_UNC_SEARCH}, IDC_SEARCH_SECURE, L"static",
         ownerStatic},
        {{IDD_SEARCH_RESULTS, IDD_MANAGED_LIST_SEARCH, IDD_TCP_SEARCH, IDD_UNC_SEARCH, IDD_PRINTER_STATUS,
          IDD_CONNECT_UNC},
         IDC_ANIMATION, L"static", ownerStatic},
        {{IDD_SEARCH_RESULTS, IDD_MANAGED_LIST_SEARCH, IDD_TCP_SEARCH, IDD_UNC_SEARCH}, IDC_SEARCH_DETAILS, L"static",
         0},
        {{IDD_SEARCH_RESULTS, IDD_MANAGED_LIST_SEARCH}, IDC_SEARCH_LIST, L"listbox", searchList},
        {{IDD_TCP_SEARCH}, IDC_SEARCH_LIST, L"syslistview32", reportList},
        {{IDD_SEARCH_RESULTS, IDD_MANAGED_LIST_SEARCH, IDD_TCP_SEARCH, IDD_UNC_SEARCH}, IDC_SEARCH_SUBHEADING,
         L"static", 0},
        {{IDD_SEARCH_RESULTS, IDD_MANAGED_LIST_SEARCH, IDD_TCP_SEARCH, IDD_UNC_SEARCH}, IDC_SEARCH_HEADING, L"static",
         0},
        {{IDD_SEARCH_RESULTS, IDD_MANAGED_LIST_SEARCH, IDD_TCP_SEARCH, IDD_UNC_SEARCH}, IDC_SEARCH_STATUS, L"static",
         0},
        {{IDD_SEARCH_RESULTS, IDD_MANAGED_LIST_SEARCH, IDD_TCP_SEARCH, IDD_UNC_SEARCH}, IDC_SEARCH_AGAIN, L"button",
         ownerButton},
        {{IDD_MANAGED_LIST_SEARCH}, IDC_MANAGED_GROUPS, L"listbox", LBS_NOTIFY},
        {{IDD_MANAGED_LIST_SEARCH}, IDC_MANAGED_SAVE_PROFILE, L"button", BS_AUTOCHECKBOX},
        {{IDD_UNC_SEARCH}, IDC_UNC_BROWSE, L"button", ownerButton},
        {{IDD_UNC_SEARCH}, IDC_UNC_PATH, L"edit", 0},
        {{IDD_PRINTER_STATUS}, IDC_STATUS_PRINTER_LABEL, L"static", 0},
        {{IDD_PRINTER_STATUS}, IDC_STATUS_STATE_LABEL, L"static", 0},
        {{IDD_PRINTER_STATUS}, IDC_STATUS_PRINTER, L"static", 0},
        {{IDD_PRINTER_STATUS}, IDC_STATUS_TEXT, L"static", 0},
        {{IDD_CONNECT_UNC}, IDC_CONNECT_USER, L"edit", 0},
        {{IDD_CONNECT_UNC}, IDC_CONNECT_PASSWORD, L"edit", ES_PASSWORD},
        {{IDD_CONNECT_UNC}, IDC_CONNECT_PATH, L"static", 0},
        {{IDD_CONNECT_UNC}, IDC_CONNECT_HEADING, L"static", 0},
        {{IDD_ENTER_TEXT}, IDC_ENTER_LABEL1, L"static", 0},
        {{IDD_ENTER_TEXT}, IDC_ENTER_LABEL2, L"static", 0},
        {{IDD_ENTER_TEXT}, IDC_ENTER_TEXT, L"edit", 0},
        {{IDD_PAGE_GENERAL, IDD_PAGE_DEVICE_VERIFY}, IDC_PAGE_HEADING, L"static", 0},
        {{IDD_PAGE_GENERAL, IDD_PAGE_DEVICE_VERIFY}, IDC_PAGE_PICTURE, L"static", ownerStatic},
        {{IDD_PAGE_GENERAL}, IDC_PROMPT_ALWAYS, L"button", ownerButton},
        {{IDD_PAGE_GENERAL}, IDC_PROMPT_FIRST_JOB, L"button", ownerButton},
        {{IDD_PAGE_GENERAL}, IDC_PROMPT_ON_ERROR, L"button", ownerButton},
        {{IDD_PAGE_DEVICE_VERIFY}, IDC_VERIFY_HIGH, L"button", ownerButton},
        {{IDD_PAGE_DEVICE_VERIFY}, IDC_VERIFY_MEDIUM, L"button", ownerButton},
        {{IDD_PAGE_DEVICE_VERIFY}, IDC_VERIFY_LOW, L"button", ownerButton},
    };
    for (const Row& row : rows) {
        for (int id : row.templates) {
            SCOPED_TRACE(testing::Message() << "template " << id << ", control " << row.control);
            Template t;
            ASSERT_TRUE(loadTemplate(module.get(), id, t));
            const Control* c = findControl(t, row.control);
            ASSERT_NE(c, nullptr);
            EXPECT_EQ(c->className, row.className);
            const bool typed = row.styleMask == ownerButton || row.styleMask == BS_AUTOCHECKBOX;
            if (typed && c->className == L"button") {
                EXPECT_EQ(c->style & BS_TYPEMASK, row.styleMask) << "button type";
            } else if (row.styleMask == ownerStatic) {
                EXPECT_EQ(c->style & SS_TYPEMASK, static_cast<DWORD>(SS_OWNERDRAW)) << "static type";
            } else {
                EXPECT_EQ(c->style & row.styleMask, row.styleMask);
            }
        }
    }
}

TEST(ResourceModule, EveryTextReferenceNamesAStringInEachLanguage)
{
    Module module;
    ASSERT_NE(module.get(), nullptr);
    std::map<int, std::string> references; // string id -> where it is used
    for (int id : templateIds()) {
        Template t;
        ASSERT_TRUE(loadTemplate(module.get(), id, t));
        if (stringReference(t.caption) >= 0) {
            references[stringReference(t.caption)] = "caption of template " + std::to_string(id);
        }
        for (const Control& c : t.controls) {
            if (stringReference(c.text) >= 0) {
                references[stringReference(c.text)] = "control " + std::to_string(c.id) + " of template " +
                                                       std::to_string(id);
            }
        }
    }
    for (const HeaderId& h : kHeaderIds) {
        if (h.kind != 'M') {
            continue;
        }
        HMENU menu = LoadMenuW(module.get(), MAKEINTRESOURCEW(h.id));
        HMENU popup = GetSubMenu(menu, 0);
        ASSERT_NE(popup, nullptr) << h.name;
        for (int i = 0; i < GetMenuItemCount(popup); ++i) {
            wchar_t text[257] = {};
            GetMenuStringW(popup, i, text, 257, MF_BYPOSITION);
            if (stringReference(text) >= 0) {
                references[stringReference(text)] = std::string("menu ") + h.name;
            }
            // Items of nested popups are not localised: they must not need it.
            if (HMENU nested = GetSubMenu(popup, i)) {
                for (int k = 0; k < GetMenuItemCount(nested); ++k) {
                    GetMenuStringW(nested, k, text, 257, MF_BYPOSITION);
                    EXPECT_EQ(stringReference(text), -1) << h.name << " nested item " << k;
                }
            }
        }
        DestroyMenu(menu);
    }
    ASSERT_GT(references.size(), 40u);
    MPrint::ResourceLoader strings(module.get());
    for (LANGID language : kLanguages) {
        strings.setLanguage(language);
        for (const auto& [id, where] : references) {
            std::wstring text;
            EXPECT_GT(strings.loadString(static_cast<UINT>(id), text), 0u)
                << "string " << id << " (" << where << "), language " << language;
        }
    }
}

TEST(ResourceModule, PicturesHaveTheSizesAndKeyColourTheControlsExpect)
{
    Module module;
    ASSERT_NE(module.get(), nullptr);
    struct Picture {
        SIZE size;
        bool hasKey;   // some pixels magenta
        bool allKey;   // every pixel magenta (a blank picture)
    };
    auto read = [&](int id) {
        Picture p{{0, 0}, false, true};
        HBITMAP bitmap = static_cast<HBITMAP>(
            LoadImageW(module.get(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        if (!bitmap) {
            return p;
        }
        DIBSECTION dib{};
        GetObjectW(bitmap, sizeof(dib), &dib);
        p.size = {dib.dsBm.bmWidth, dib.dsBm.bmHeight};
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), p.size.cx, -p.size.cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        std::vector<DWORD> pixels(static_cast<size_t>(p.size.cx) * p.size.cy);
        HDC dc = GetDC(nullptr);
        GetDIBits(dc, bitmap, 0, p.size.cy, pixels.data(), &info, DIB_RGB_COLORS);
        ReleaseDC(nullptr, dc);
        for (DWORD px : pixels) {
            const bool key = (px & 0xFFFFFF) == 0xFF00FF;
            p.hasKey = p.hasKey || key;
            p.allKey = p.allKey && key;
        }
        DeleteObject(bitmap);
        return p;
    };
    for (int id = IDB_TREE_FIRST; id <= IDB_TREE_LAST; ++id) {
        SCOPED_TRACE(id);
        const Picture p = read(id);
        EXPECT_EQ(p.size.cx, 16);
        EXPECT_EQ(p.size.cy, 16);
        EXPECT_TRUE(p.hasKey && !p.allKey) << "a drawn image on the magenta key";
    }
    for (int id : {IDB_SECURE, IDB_PAGE_PICTURE}) {
        SCOPED_TRACE(id);
        const Picture p = read(id);
        EXPECT_TRUE(p.hasKey && !p.allKey);
    }
    // Frames and the still picture share one size: the control is sized to the first frame.
    const Picture still = read(IDB_STATUS_PICTURE);
    ASSERT_GT(still.size.cx, 0);
    EXPECT_EQ(IDB_ANIMATION_LAST - IDB_ANIMATION_FIRST + 1, 55);
    for (int id = IDB_ANIMATION_FIRST; id <= IDB_ANIMATION_LAST; ++id) {
        SCOPED_TRACE(id);
        const Picture p = read(id);
        EXPECT_EQ(p.size.cx, still.size.cx);
        EXPECT_EQ(p.size.cy, still.size.cy);
        EXPECT_FALSE(p.hasKey) << "opaque: frames are shown without a key";
    }
    for (int id : {IDB_BANNER, IDB_BANNER_PRINTING}) {
        SCOPED_TRACE(id);
        const Picture banner = read(id);
        EXPECT_EQ(banner.size.cx, read(IDB_BANNER).size.cx);
        EXPECT_EQ(banner.size.cy, read(IDB_BANNER).size.cy);
        EXPECT_FALSE(banner.hasKey);
    }
}

TEST(ResourceModule, MenusCarryTheirCommands)
{
    Module module;
    ASSERT_NE(module.get(), nullptr);
    const struct {
        int menu;
        std::vector<UINT> commands;
    } rows[] = {
        {IDM_PROFILE_MENU, {ID_PROFILE_NEW, ID_PROFILE_RENAME, ID_PROFILE_CLEAR, ID_PROFILE_DELETE}},
        {IDM_PRINTER_MENU, {ID_PRINTER_COPY_TO_NEW_PROFILE, ID_PRINTER_RENAME, ID_PRINTER_DELETE}},
        {IDM_GENERAL_MENU, {ID_PROFILE_NEW}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.menu);
        HMENU menu = LoadMenuW(module.get(), MAKEINTRESOURCEW(row.menu));
        HMENU popup = GetSubMenu(menu, 0);
        ASSERT_NE(popup, nullptr);
        for (UINT command : row.commands) {
            EXPECT_NE(GetMenuState(popup, command, MF_BYCOMMAND), static_cast<UINT>(-1)) << command;
        }
        DestroyMenu(menu);
    }
    // The printer menu's "move to" entry is a popup that profiles are added to.
    HMENU menu = LoadMenuW(module.get(), MAKEINTRESOURCEW(IDM_PRINTER_MENU));
    HMENU moveTo = GetSubMenu(GetSubMenu(menu, 0), 0);
    ASSERT_NE(moveTo, nullptr);
    EXPECT_GE(GetMenuItemCount(moveTo), 1);
    DestroyMenu(menu);
}
