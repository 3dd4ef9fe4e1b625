// A managed list that is a web page ("qzmpl://" or "qzmpls://" location):
// the maker's browser module (vrelm105.DLL, "BrowseForPrinter") shows the
// page in a window of its own and reports what happens there through
// browserEvent. A "qzmpl://printer/?" link describes one printer in its
// query, which the parser files in its group and which becomes the choice;
// a "qzmpl://device/?" link opens the device's page or starts its status
// check. After a choice the browser may be handed a generated result page.
//
// Entry point for the chooser (no template of its own):
//     ManagedListWebBrowserDialog dialog(extension, service, &parser, &profiles);
//     if (dialog.browse(chooserWindow, 1) == 1) path = dialog.takeChosenPath();
// browse answers 2 when the browser module or its export is missing and 7
// when the browser asked for it; the path taken is the caller's.
#pragma once

#include "ui/ManagedListSearchResultsDialog.h"

#include <string>

class ManagedListWebBrowserDialog : public ManagedListSearchResultsDialog {
public:
    using EventCallback = DWORD(CALLBACK*)(HWND window, void* context, DWORD event, void* data, DWORD* out);
    using BrowseForPrinterFn = DWORD(WINAPI*)(void* context, HWND parent, const wchar_t* title,
                                              const wchar_t* startUrl, EventCallback callback, DWORD flag);

    // Events the browser module sends.
    static constexpr DWORD kEventCreated = 0;
    static constexpr DWORD kEventNavigate = 2;
    static constexpr DWORD kEventResized = 10;
    static constexpr DWORD kEventReset = 11;
    static constexpr DWORD kEventResultPage = 12;
    static constexpr DWORD kEventPageTemplate = 13;
    static constexpr DWORD kEventFinish = 14;

    static constexpr wchar_t kPrinterLink[] = L"qzmpl://printer/?";
    static constexpr wchar_t kDeviceLink[] = L"qzmpl://device/?";
    static constexpr int kMinWidth = 101;
    static constexpr int kMinHeight = 51;

    ManagedListWebBrowserDialog(LumoraPrintingExtension* extension, MPrint::ManagedPortDiscovery* service,
                                MPrint::ManagedListParser* parser, HistoryProfileList* profiles);
    // Destroys the tool tips and deletes the last result page.
    ~ManagedListWebBrowserDialog() override;

    virtual uint32_t browse(HWND parent, uint32_t flag);
    virtual void setPageTemplate(const wchar_t* text);
    virtual bool onPrinterLink(HWND window, const wchar_t* url);
    virtual void onBrowserCreated(HWND window);
    virtual void onBrowserResized(HWND window);
    virtual uint32_t resetChoice(HWND window);
    virtual bool finish(HWND window);
    // The result page's file, or null; handled tells the browser whether
    // the dialog answered for the choice at all.
    virtual const wchar_t* buildResultPage(DWORD& handled);
    virtual void onDeviceLink(HWND window, const wchar_t* url);
    virtual void createToolTips(HWND window);
    // The file's path (also kept as the page file), or empty on failure.
    virtual std::wstring writeTempPage(const std::wstring& text);

    static DWORD CALLBACK browserEvent(HWND window, void* context, DWORD event, void* data, DWORD* out);

    // The value of key (case ignored) in the query after the first "?": the
    // text after "key=" up to the next "&". Only a whole key matches.
    static bool getQueryValue(const std::wstring& text, const std::wstring& key, std::wstring& value);
    static void replaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to);
    // Percent escapes (UTF-8 bytes) to characters; false for a malformed one.
    static bool decodeUrl(const std::wstring& url, std::wstring& decoded);
    // "&", "<", ">" and quotes as character references.
    static std::wstring escapeHtml(const std::wstring& text);
    // The list location with the managed-list schemes made http and https.
    static std::wstring startUrlFor(const std::wstring& location);
    // The status check's command line; empty when a text would break out of its quotes.
    static std::wstring deviceCheckCommandLine(const std::wstring& moduleFolder, const std::wstring& printer,
                                               const std::wstring& address, POINT cursor);

    uint32_t getResultCode() const { return resultCode_; }
    bool isResultReady() const { return resultReady_; }
    bool isFinished() const { return finished_; }
    const std::wstring& getPageFile() const { return pageFile_; }

private:
    std::wstring loadString(UINT id) const;
    void deletePageFile();

    uint32_t resultCode_ = 2;
    bool layoutDone_ = false;
    bool resultReady_ = false;
    bool finished_ = false;
    std::wstring pageTemplate_;
    std::wstring pageFile_;
    HWND toolTips_ = nullptr;
};
