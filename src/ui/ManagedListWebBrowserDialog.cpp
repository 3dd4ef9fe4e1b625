#include "ui/ManagedListWebBrowserDialog.h"

#include "core/AsciiCase.h"
#include "core/AutoLock.h"
#include "core/FilePaths.h"
#include "core/HexDigit.h"
#include "core/InternetHelpers.h"
#include "core/ScopedHandle.h"
#include "core/StringConversion.h"
#include "bidi/CurrentDestination.h"
#include "destination/PrintPathAttr.h"
#include "discovery/ManagedListParser.h"
#include "discovery/ManagedPortDiscovery.h"
#include "discovery/ManagedPrinterRecord.h"
#include "extension/LumoraPrintingExtension.h"
#include "extension/LumoraSettings.h"
#include "extension/ManagedPrintPolicy.h"
#include "extension/RunApplicationPolicy.h"
#include "extension/Rundll32Launch.h"
#include "ui/UiText.h"
#include "ui/resources/StringIds.h"

#include <commctrl.h>

#include <cwchar>
#include <list>
#include <string>

namespace {

constexpr wchar_t kBrowseWidth[] = L"BrowseWidth";
constexpr wchar_t kBrowseHeight[] = L"BrowseHeight";
constexpr wchar_t kRowBegin[] = L"<!-- NameValueBegin -->";
constexpr wchar_t kRowEnd[] = L"<!-- NameValueEnd -->";
constexpr wchar_t kStatusModule[] = L"vrelm104.DLL";
constexpr int kListNameId = 1006;
constexpr int kPromptId = 1007;
constexpr int kHelpButtonId = 7;
constexpr int kFirstNavigationButton = 1101;

bool startsWith(const wchar_t* text, const wchar_t* prefix)
{
    return std::wcsncmp(text, prefix, std::wcslen(prefix)) == 0;
}

// UTF-8 bytes to characters; bytes that are not UTF-8 stand for themselves.
void appendBytes(std::wstring& out, std::string& bytes)
{
    if (bytes.empty())
        return;
    const int count = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                                          nullptr, 0);
    if (count > 0) {
        std::wstring wide(count, L'\0');
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), wide.data(),
                            count);
        out += wide;
    } else {
        for (char byte : bytes)
            out += static_cast<wchar_t>(static_cast<unsigned char>(byte));
    }
    bytes.clear();
}

DWORD externalConfigType(const std::wstring& text)
{
    static const struct {
        const wchar_t* name;
        DWORD type;
    } kTypes[] = {{L"BidiConfigData", MPrint::kBidiConfigData},
                  {L"XMLBidiConfigData", MPrint::kXmlBidiConfigData},
                  {L"DeviceIsConfigOnly", MPrint::kDeviceIsConfigOnly},
                  {L"DeviceIsDestination", MPrint::kDeviceIsDestination}};
    for (const auto& row : kTypes) {
        if (equalsIgnoringAsciiCase(text, row.name))
            return row.type;
    }
    return MPrint::kDeviceIsDestination;
}

// The query of one link. Keys are found in the link as written and each
// value is decoded on its own, so an escaped "&" or "=" in a list's text
// stays part of that text.
class LinkQuery {
public:
    explicit LinkQuery(const wchar_t* url) : url_(url ? url : L"")
    {
        std::wstring decoded;
        valid_ = url && ManagedListWebBrowserDialog::decodeUrl(url_, decoded);
    }

    bool isValid() const { return valid_; }
    bool has(const wchar_t* key) const
    {
        std::wstring value;
        return valid_ && ManagedListWebBrowserDialog::getQueryValue(url_, key, value);
    }
    std::wstring get(const wchar_t* key) const
    {
        std::wstring value, decoded;
        if (valid_ && ManagedListWebBrowserDialog::getQueryValue(url_, key, value) &&
            ManagedListWebBrowserDialog::decodeUrl(value, decoded))
            return decoded;
        return {};
    }
    bool isOne(const wchar_t* key) const { return has(key) && get(key) == L"1"; }
    bool isZero(const wchar_t* key) const { return has(key) && get(key) == L"0"; }
    // The text, kept as long as the query.
    const wchar_t* keep(std::wstring text)
    {
        kept_.push_back(std::move(text));
        return kept_.back().c_str();
    }

private:
    std::wstring url_;
    bool valid_ = false;
    std::list<std::wstring> kept_;
};

// The external configuration address with the escapes of its last path
// segment decoded once more; a segment that cannot be decoded stays as it is.
std::wstring externalConfigAddress(const std::wstring& value)
{
    const size_t slash = value.rfind(L'/');
    const size_t start = slash == std::wstring::npos ? 0 : slash + 1;
    std::wstring segment;
    if (!ManagedListWebBrowserDialog::decodeUrl(value.substr(start), segment))
        return value;
    return value.substr(0, start) + segment;
}

using RecordText = const wchar_t* MPrint::ManagedPrinterRecord::*;

// The link's keys in the record; the texts live as long as the query.
void fillRecord(LinkQuery& query, MPrint::ManagedPrinterRecord& record, MPrint::ManagedPrinterCaps& caps)
{
    record.addressType = MPrint::kManagedHostName;
    record.extConfigType = externalConfigType(query.get(L"ExtCfgType"));
    const bool bidiData =
        record.extConfigType == MPrint::kBidiConfigData || record.extConfigType == MPrint::kXmlBidiConfigData;
    record.jobDelivery = query.isOne(L"jobdelivery") ? 1 : 0;
    enum When { kAlways, kJobDelivery, kBidiData };
    static const struct {
        const wchar_t* key;
        RecordText field;
        When when;
    } kTexts[] = {
        {L"address", &MPrint::ManagedPrinterRecord::address, kAlways},
        {L"modelName", &MPrint::ManagedPrinterRecord::model, kAlways},
        {L"printerName", &MPrint::ManagedPrinterRecord::printerName, kAlways},
        {L"comment", &MPrint::ManagedPrinterRecord::comment, kAlways},
        {L"location", &MPrint::ManagedPrinterRecord::location, kAlways},
        {L"cpp", &MPrint::ManagedPrinterRecord::costPerPage, kAlways},
        {L"JobAccountingURL", &MPrint::ManagedPrinterRecord::jobAccountingUrl, kAlways},
        {L"JobAccountingAPIName", &MPrint::ManagedPrinterRecord::jobAccountingApiName, kAlways},
        {L"JobAccountingModule", &MPrint::ManagedPrinterRecord::jobAccountingModule, kAlways},
        {L"PDLPS", &MPrint::ManagedPrinterRecord::pdlPostScript, kBidiData},
        {L"PDLPCL5", &MPrint::ManagedPrinterRecord::pdlPcl5, kBidiData},
        {L"PDLPCL6", &MPrint::ManagedPrinterRecord::pdlPcl6, kBidiData},
        {L"PDLPCL3", &MPrint::ManagedPrinterRecord::pdlPcl3, kBidiData},
        {L"JobDeliveryURL", &MPrint::ManagedPrinterRecord::jobDeliveryUrl, kJobDelivery},
        {L"JobDeliveryModule", &MPrint::ManagedPrinterRecord::jobDeliveryModule, kJobDelivery},
        {L"JobDeliveryModuleAPI", &MPrint::ManagedPrinterRecord::jobDeliveryApi, kJobDelivery},
        {L"JobCompleteURL", &MPrint::ManagedPrinterRecord::jobCompleteUrl, kJobDelivery},
        {L"JobCompleteExe", &MPrint::ManagedPrinterRecord::jobCompleteExe, kJobDelivery},
        {L"JobCompleteModule", &MPrint::ManagedPrinterRecord::jobCompleteModule, kJobDelivery},
        {L"JobCompleteAPI", &MPrint::ManagedPrinterRecord::jobCompleteApi, kJobDelivery},
        {L"DestinationVerificationAddress", &MPrint::ManagedPrinterRecord::destinationVerificationAddress,
         kJobDelivery},
        {L"DestinationType", &MPrint::ManagedPrinterRecord::destinationType, kJobDelivery},
    };
    for (const auto& row : kTexts) {
        // The delivery texts count only for a printer that delivers jobs;
        // the PDLs only with configuration data (and stay null when absent).
        if ((row.when == kJobDelivery && !record.jobDelivery) ||
            (row.when == kBidiData && (!bidiData || !query.has(row.key))))
            continue;
        record.*row.field = query.keep(query.get(row.key));
    }
    const std::wstring extAddress = query.get(L"ExtCfgAddr");
    record.extConfigAddress = query.keep(bidiData ? externalConfigAddress(extAddress) : extAddress);
    if (record.jobDelivery) {
        record.jobCompleteBrowserSession = query.isOne(L"JobCompleteReUserBrowserSession") ? 1 : 0;
        record.destinationVerificationType =
            static_cast<uint32_t>(std::wcstoul(query.get(L"DestinationVerificationType").c_str(), nullptr, 10));
    }
    record.securePrinter = query.isOne(L"secureprinter") ? 1 : 0;
    caps.duplexUnit = query.isOne(L"duplex") ? 1 : 0;
    caps.hardDisk = query.isOne(L"harddisk") ? 1 : 0;
    caps.validateDevice = query.has(L"validate") ? !query.isZero(L"validate") : !query.isZero(L"validatedevice");
    caps.color = query.isZero(L"color") ? 1 : 0;
}

} // namespace

ManagedListWebBrowserDialog::ManagedListWebBrowserDialog(LumoraPrintingExtension* extension,
                                                         MPrint::ManagedPortDiscovery* service,
                                                         MPrint::ManagedListParser* parser, HistoryProfileList* profiles)
    : ManagedListSearchResultsDialog(extension, service, parser, profiles)
{
}

ManagedListWebBrowserDialog::~ManagedListWebBrowserDialog()
{
    if (toolTips_ && IsWindow(toolTips_))
        DestroyWindow(toolTips_);
    deletePageFile();
}

std::wstring ManagedListWebBrowserDialog::loadString(UINT id) const
{
    return uitext::load(getExtension(), id);
}

void ManagedListWebBrowserDialog::deletePageFile()
{
    if (!pageFile_.empty())
        DeleteFileW(pageFile_.c_str());
    pageFile_.clear();
}

std::wstring ManagedListWebBrowserDialog::startUrlFor(const std::wstring& location)
{
    std::wstring url = location;
    replaceAll(url, L"qzmpl://", L"http://");
    replaceAll(url, L"qzmpls://", L"https://");
    return url;
}

uint32_t ManagedListWebBrowserDialog::browse(HWND parent, uint32_t flag)
{
    ScopedModule module(LoadLibraryExW(L"vrelm105.DLL", nullptr, 0));
    if (!module)
        return 2;
    auto browseForPrinter = reinterpret_cast<BrowseForPrinterFn>(
        reinterpret_cast<void*>(GetProcAddress(module.get(), "BrowseForPrinter")));
    if (!browseForPrinter)
        return 2;
    const std::wstring title = loadString(IDS_PRODUCT_NAME);
    const std::wstring start = startUrlFor(getManagedService() ? getManagedService()->getListLocation() : L"");
    const DWORD answer = browseForPrinter(this, parent, title.c_str(), start.c_str(), &browserEvent, flag);
    // The browser window, which owned the tool tips, is gone.
    if (toolTips_ && IsWindow(toolTips_))
        DestroyWindow(toolTips_);
    toolTips_ = nullptr;
    layoutDone_ = false;
    return answer == 7 ? 7 : resultCode_;
}

DWORD CALLBACK ManagedListWebBrowserDialog::browserEvent(HWND window, void* context, DWORD event, void* data,
                                                         DWORD* out)
{
    auto* dialog = static_cast<ManagedListWebBrowserDialog*>(context);
    if (!dialog)
        return 1;
    // Called from the browser module's code: nothing may escape.
    try {
        switch (event) {
        case kEventCreated:
            dialog->onBrowserCreated(window);
            return 1;
        case kEventNavigate: {
            const auto* url = static_cast<const wchar_t*>(data);
            if (!url)
                return 1;
            if (startsWith(url, kPrinterLink)) {
                if (dialog->onPrinterLink(window, url) && out)
                    *out = 1;
                return 0;
            }
            if (startsWith(url, kDeviceLink))
                dialog->onDeviceLink(window, url);
            return 1;
        }
        case kEventResized:
            dialog->onBrowserResized(window);
            return 1;
        case kEventReset:
            if (data)
                *static_cast<DWORD*>(data) = dialog->resetChoice(window);
            return 1;
        case kEventResultPage:
            if (data) {
                DWORD handled = 0;
                *static_cast<const wchar_t**>(data) = dialog->buildResultPage(handled);
                if (out)
                    *out = handled;
            }
            return 1;
        case kEventPageTemplate:
            dialog->setPageTemplate(static_cast<const wchar_t*>(data));
            return 1;
        case kEventFinish:
            if (data)
                *static_cast<DWORD*>(data) = dialog->finish(window) ? 1 : 0;
            return 1;
        default:
            return 1;
        }
    } catch (...) {
        return 1;
    }
}

bool ManagedListWebBrowserDialog::getQueryValue(const std::wstring& text, const std::wstring& key, std::wstring& value)
{
    const size_t question = text.find(L'?');
    if (question == std::wstring::npos)
        return false;
    const std::wstring query = text.substr(question + 1);
    const std::wstring lowered = asciiLowered(query);
    const std::wstring wanted = asciiLowered(key) + L"=";
    // A key standing at the end of a longer one ("...Address=") is another key.
    for (size_t at = lowered.find(wanted); at != std::wstring::npos; at = lowered.find(wanted, at + 1)) {
        if (at != 0 && lowered[at - 1] != L'&')
            continue;
        const size_t begin = at + wanted.size();
        const size_t end = query.find(L'&', begin);
        value = query.substr(begin, end == std::wstring::npos ? std::wstring::npos : end - begin);
        return true;
    }
    return false;
}

void ManagedListWebBrowserDialog::replaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to)
{
    if (from.empty())
        return;
    for (size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

bool ManagedListWebBrowserDialog::decodeUrl(const std::wstring& url, std::wstring& decoded)
{
    std::wstring out;
    std::string bytes;
    for (size_t i = 0; i < url.size(); ++i) {
        if (url[i] != L'%') {
            appendBytes(out, bytes);
            out += url[i];
            continue;
        }
        const int high = i + 2 < url.size() ? hexDigitValue(url[i + 1]) : -1;
        const int low = high >= 0 ? hexDigitValue(url[i + 2]) : -1;
        // A cut escape, or one for a terminator that would end the text early.
        if (low < 0 || (high == 0 && low == 0))
            return false;
        bytes += static_cast<char>(high * 16 + low);
        i += 2;
    }
    appendBytes(out, bytes);
    decoded.swap(out);
    return true;
}

std::wstring ManagedListWebBrowserDialog::escapeHtml(const std::wstring& text)
{
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        switch (c) {
        case L'&': out += L"&amp;"; break;
        case L'<': out += L"&lt;"; break;
        case L'>': out += L"&gt;"; break;
        case L'"': out += L"&quot;"; break;
        case L'\'': out += L"&#39;"; break;
        default: out += c; break;
        }
    }
    return out;
}

bool ManagedListWebBrowserDialog::onPrinterLink(HWND window, const wchar_t* url)
{
    setChosenPath(nullptr);
    MPrint::ManagedListParser* parser = getParser();
    LinkQuery query(url);
    MPrint::PrintPath* made = nullptr;
    if (query.isValid() && parser && query.has(L"address") && query.has(L"modelName") && query.has(L"printerName")) {
        MPrint::ManagedPrinterRecord record;
        MPrint::ManagedPrinterCaps caps;
        // An empty name would be filed in the parser's default group, where
        // the printer is not looked for: it counts as no name.
        std::wstring group = query.get(L"groupName");
        if (group.empty()) {
            group = loadString(IDS_UNGROUPED_PRINTERS);
            if (group.empty())
                group = L"Ungrouped Printers";
        }
        record.groupName = group.c_str();
        fillRecord(query, record, caps);
        MPrint::PrintPath* newestBefore = nullptr;
        {
            MPrint::AutoLock lock(&parser->groups().getLock());
            if (PrintPathList* printers = parser->find(group); printers && !printers->empty())
                newestBefore = printers->back().get();
        }
        parser->addPrinter(&record, &caps, nullptr, nullptr);
        MPrint::AutoLock lock(&parser->groups().getLock());
        if (PrintPathList* printers = parser->find(group); printers && !printers->empty() &&
                                                         printers->back().get() != newestBefore)
            made = printers->back().get();
    }
    if (!made) {
        showMessageBox(window, loadString(IDS_PRINTER_NOT_FOUND).c_str(), loadString(IDS_ERROR_CAPTION).c_str(),
                       MB_ICONERROR | MB_SETFOREGROUND);
        return false;
    }
    setChosenPath(made);
    if (query.isOne(L"nofinish")) {
        made->setNumericAttribute(PrintPathAttr::NoWizardFinish, 1, false);
        resultCode_ = 1;
    }
    resultReady_ = true;
    return true;
}

std::wstring ManagedListWebBrowserDialog::deviceCheckCommandLine(const std::wstring& moduleFolder,
                                                                 const std::wstring& printer,
                                                                 const std::wstring& address, POINT cursor)
{
    // Texts from the page go between quotes: one holding a quote, or ending
    // in a backslash that escapes the closing quote, would add arguments of
    // its own, so the check is not started at all.
    for (const std::wstring* text : {&printer, &address}) {
        if (!text->empty() && text->back() == L'\\')
            return {};
    }
    std::wstring line = rundll::commandLine(moduleFolder + kStatusModule, L"CheckDevice") + L" /pname";
    if (!rundll::appendQuoted(line, printer))
        return {};
    line += L" /target";
    if (!rundll::appendQuoted(line, address))
        return {};
    wchar_t position[64] = {};
    std::swprintf(position, 64, L" mx=%d my=%d\n", static_cast<int>(cursor.x), static_cast<int>(cursor.y));
    return line + position;
}

void ManagedListWebBrowserDialog::onDeviceLink(HWND window, const wchar_t* url)
{
    const LinkQuery query(url);
    if (!query.has(L"address") || !query.has(L"show"))
        return;
    const std::wstring address = query.get(L"address");
    const std::wstring show = query.get(L"show");
    if (equalsIgnoringAsciiCase(show, L"EWS")) {
        openUrlAsync((L"http://" + address).c_str(), window);
        return;
    }
    if (!equalsIgnoringAsciiCase(show, L"SNP"))
        return;
    RunApplicationPolicy policy;
    if (!policy.ensurePolicy(kStatusModule))
        return;
    POINT cursor = {};
    GetCursorPos(&cursor);
    const std::wstring folder = rundll::moduleDirectory(rundll::moduleFileName());
    const std::wstring line =
        deviceCheckCommandLine(folder, MPrint::currentDestinationPrinterName(), address, cursor);
    if (!line.empty())
        rundll::start(line, folder.empty() ? nullptr : folder.c_str());
}

void ManagedListWebBrowserDialog::onBrowserCreated(HWND window)
{
    LumoraPrintingExtension* extension = getExtension();
    LumoraSettings* settings = extension ? extension->getSettings() : nullptr;
    DWORD width = 0, height = 0;
    if (settings && settings->getSettingsKey().queryDword(kBrowseWidth, &width) &&
        settings->getSettingsKey().queryDword(kBrowseHeight, &height) && width >= kMinWidth && height >= kMinHeight &&
        width <= 0x7FFF && height <= 0x7FFF) {
        const int w = static_cast<int>(width), h = static_cast<int>(height);
        MoveWindow(window, GetSystemMetrics(SM_CXSCREEN) / 2 - w / 2, GetSystemMetrics(SM_CYSCREEN) / 2 - h / 2, w, h,
                   TRUE);
    }
    layoutDone_ = true;
    createToolTips(window);

    if (getManagedService())
        SetDlgItemTextW(window, kListNameId, getManagedService()->getName().c_str());
    SetDlgItemTextW(window, kPromptId, loadString(IDS_SELECT_AND_OK).c_str());
    const bool printNow = extension && extension->getMode() == 2 && settings && settings->isRestricted();
    const struct {
        int control;
        UINT string;
    } texts[] = {{IDCANCEL, IDS_CANCEL}, {IDOK, static_cast<UINT>(printNow ? IDS_PRINT : IDS_OK)}, {kHelpButtonId, IDS_HELP}};
    for (const auto& row : texts) {
        const std::wstring text = loadString(row.string);
        if (!text.empty())
            SetDlgItemTextW(window, row.control, text.c_str());
    }
}

void ManagedListWebBrowserDialog::onBrowserResized(HWND window)
{
    LumoraSettings* settings = getExtension() ? getExtension()->getSettings() : nullptr;
    RECT client = {};
    if (!layoutDone_ || !settings || !GetClientRect(window, &client))
        return;
    const LONG width = client.right - client.left, height = client.bottom - client.top;
    if (width < kMinWidth || height < kMinHeight)
        return;
    settings->getSettingsKey().setDword(kBrowseWidth, static_cast<DWORD>(width));
    settings->getSettingsKey().setDword(kBrowseHeight, static_cast<DWORD>(height));
}

void ManagedListWebBrowserDialog::createToolTips(HWND window)
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    if (toolTips_ && IsWindow(toolTips_))
        DestroyWindow(toolTips_);
    toolTips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    if (!toolTips_)
        return;
    SetWindowPos(toolTips_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    const wchar_t* const fallbacks[] = {L"Back", L"Forward", L"Stop", L"Refresh", L"Home"};
    for (int i = 0; i < 5; ++i) {
        HWND button = GetDlgItem(window, kFirstNavigationButton + i);
        if (!button)
            continue;
        std::wstring text = loadString(IDS_BROWSE_BACK + i);
        if (text.empty())
            text = fallbacks[i];
        TOOLINFOW tool = {};
        tool.cbSize = sizeof(tool);
        tool.uFlags = TTF_SUBCLASS;
        tool.hwnd = button;
        tool.uId = static_cast<UINT_PTR>(kFirstNavigationButton + i);
        GetClientRect(button, &tool.rect);
        tool.lpszText = text.data();
        SendMessageW(toolTips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

uint32_t ManagedListWebBrowserDialog::resetChoice(HWND)
{
    resultCode_ = 2;
    setChosenPath(nullptr);
    resultReady_ = false;
    return 1;
}

bool ManagedListWebBrowserDialog::finish(HWND)
{
    if (!getChosenPath())
        return false;
    finished_ = true;
    resultCode_ = 1;
    return true;
}

void ManagedListWebBrowserDialog::setPageTemplate(const wchar_t* text)
{
    if (!text)
        return;
    pageTemplate_ = text;
}

const wchar_t* ManagedListWebBrowserDialog::buildResultPage(DWORD& handled)
{
    handled = 0;
    MPrint::PrintPath* chosen = getChosenPath();
    if (!resultReady_ || !chosen || pageTemplate_.empty())
        return nullptr;
    handled = 1;
    deletePageFile();
    if (chosen->getNumericAttribute(PrintPathAttr::NoWizardFinish) == 1)
        return nullptr;

    // Every text from the list or the link is escaped: the page is opened
    // from a local file, where a script in it would run.
    std::wstring page = pageTemplate_;
    const std::wstring& display = chosen->getStringAttribute(PrintPathAttr::DisplayString);
    replaceAll(page, L"$PRINTER_INFO$", escapeHtml(loadString(IDS_PRINTER_INFO)));
    replaceAll(page, L"$TITLE$", escapeHtml(display));
    const size_t begin = page.find(kRowBegin);
    const size_t end = page.find(kRowEnd);
    const size_t rowStart = begin + std::wcslen(kRowBegin);
    if (begin == std::wstring::npos || end == std::wstring::npos || end < rowStart)
        return nullptr;
    const std::wstring rowTemplate = page.substr(rowStart, end - rowStart);

    std::wstring rows;
    auto addRow = [&](const std::wstring& label, const std::wstring& value) {
        std::wstring row = rowTemplate;
        replaceAll(row, L"$LABEL_NAME$", escapeHtml(label));
        replaceAll(row, L"$VALUE$", escapeHtml(value));
        rows += row;
    };
    auto label = [this](UINT id) { return uitext::format(getExtension(), id, L""); };
    addRow(loadString(IDS_NAME), display);
    std::wstring model;
    if (!chosen->getDevice().getModelName().empty() &&
        convertString(chosen->getDevice().getModelName(), model, CP_ACP) && !model.empty())
        addRow(label(IDS_MODEL_FMT), model);
    if (MPrint::ManagedPrintPolicy::instance()->isDeviceAddressShown())
        addRow(label(IDS_ADDRESS_FMT), chosen->getStringAttribute(PrintPathAttr::Address));
    const struct {
        const wchar_t* attribute;
        UINT string;
    } details[] = {{PrintPathAttr::Location, IDS_LOCATION_FMT},
                   {PrintPathAttr::Comment, IDS_COMMENT_FMT},
                   {L"CPP", IDS_COST_PER_PAGE_FMT}};
    for (const auto& row : details) {
        const std::wstring& value = chosen->getStringAttribute(row.attribute);
        if (!value.empty())
            addRow(label(row.string), value);
    }
    page.replace(begin, end + std::wcslen(kRowEnd) - begin, rows);
    return writeTempPage(page).empty() ? nullptr : pageFile_.c_str();
}

std::wstring ManagedListWebBrowserDialog::writeTempPage(const std::wstring& text)
{
    std::wstring name = makeTempFileName(nullptr);
    DeleteFileW(name.c_str());
    name += L".html";
    bool written = false;
    {
        ScopedKernelHandle file(CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!file)
            return {};
        const DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        DWORD done = 0;
        written = text.size() < 0x7FFFFFFF / sizeof(wchar_t) &&
                  WriteFile(file.get(), text.data(), size, &done, nullptr) && done == size;
    }
    if (!written) {
        DeleteFileW(name.c_str());
        return {};
    }
    pageFile_ = name;
    // Without the rights to do so this fails; the dialog deletes the file itself.
    MoveFileExW(name.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return name;
}
