// A modal dialog from a template of the resource module. One dialog
// procedure binds the object to its window (property "PtrLumoDlg") on the
// first message and routes messages to the virtual operations below; the
// binding goes with WM_DESTROY, so no call reaches an object after that.
// The caller creates the object, shows it with doModal and deletes it.
#pragma once

#include "core/UserMessageBox.h"
#include "ui/ProsumerWindow.h"

#include <string>

class LumoraPrintingExtension;

class LumoraDialog : public ProsumerWindow {
public:
    static constexpr wchar_t kProperty[] = L"PtrLumoDlg";
    static constexpr UINT kRightToLeftOffset = 500;
    static constexpr int kContentWindowId = 121;
    static constexpr int kHelpButtonId = 9;
    static constexpr int kGroupFrameId = 1076;
    static constexpr UINT kErrorCaptionString = 27;

    explicit LumoraDialog(LumoraPrintingExtension* extension);
    // Wraps an existing window and localises it at once.
    LumoraDialog(HWND window, LumoraPrintingExtension* extension);
    ~LumoraDialog() override;

    // The dialog's end result; 2 after an error box for a null dialog; -1
    // when the platform cannot create the box.
    static INT_PTR doModal(LumoraDialog* dialog, HWND parent, UINT templateId, LPARAM lParam);

    INT_PTR onInitDialog(WPARAM wParam, LPARAM lParam) override;
    INT_PTR onCtlColor(UINT message, HDC hdc, HWND control) override;

    virtual HWND getWindow() const { return dialogWindow_; }
    virtual HWND getDlgItem(int id) const;
    virtual INT_PTR onCommand(WPARAM wParam, LPARAM lParam);
    // A non-zero return makes `result` the dialog's message result.
    virtual INT_PTR onNotify(WPARAM wParam, LPARAM lParam, LRESULT& result);
    virtual INT_PTR onTimer(WPARAM wParam, LPARAM lParam);
    virtual INT_PTR onMouse(UINT message, WPARAM wParam, LPARAM lParam);
    virtual INT_PTR showContextHelpPopup(WPARAM wParam, const HELPINFO* helpInfo);
    virtual INT_PTR onHelp(WPARAM wParam, const HELPINFO* helpInfo);
    virtual void endDialog(INT_PTR result);
    virtual void onDestroy();
    virtual void prefixTitleWithPrinter();
    virtual INT_PTR dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    virtual void localize();
    virtual void invalidateControl(int id);

    LumoraPrintingExtension* getExtension() const { return extension_; }

    // The template asked for, or its right-to-left twin at id + 500.
    static UINT templateFor(UINT templateId, bool rightToLeft);
    // The help topic ("200.html") of a control, or nullptr; its context.
    static const wchar_t* helpTopicFor(int controlId, DWORD* context = nullptr);
    // The title prefixPrinterTitle gives; unchanged when either is empty.
    static std::wstring titleWithPrinter(const std::wstring& printer, const std::wstring& title);
    // Whether the host executable is the 64-bit print host (answered once).
    static bool isPrintHostProcess();

    // Binds the object to the window: used by page procedures that are not
    // lumoraDialogProc.
    void bindWindow(HWND window);

private:
    friend INT_PTR CALLBACK lumoraDialogProc(HWND, UINT, WPARAM, LPARAM);

    LumoraPrintingExtension* extension_;
    HWND dialogWindow_ = nullptr;
};

INT_PTR CALLBACK lumoraDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
