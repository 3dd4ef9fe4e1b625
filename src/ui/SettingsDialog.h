// The settings sheet of the chooser: the General page (when to prompt for a
// destination: PromptMethod) and the device verification page (how strictly:
// DeviceVerifyLevel). Each page has three owner-drawn radio buttons and
// writes its choice when the sheet is applied; Cancel writes nothing.
#pragma once

#include "ui/PropertySheetW.h"

class LumoraPrintingExtension;
class OwnerDrawAutoButton;

namespace MPrint {

// One page whose three radio buttons stand for the values 0, 1 and 2.
class RadioSettingPage : public PropertySheetW {
public:
    INT_PTR onInitDialog(WPARAM wParam, LPARAM lParam) override;
    INT_PTR onCtlColor(UINT message, HDC hdc, HWND control) override;
    INT_PTR onCommand(WPARAM wParam, LPARAM lParam) override;
    INT_PTR onApply(WPARAM wParam, NMHDR* header, LRESULT& result) override;

    // The value of the selected button, or 0 without one.
    DWORD selectedValue() const;

protected:
    RadioSettingPage(LumoraPrintingExtension* extension, const int (&ids)[3]);
    // Binds the page to the window of its first message and runs it there.
    static INT_PTR routeToPage(LumoraDialog* page, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    virtual DWORD currentValue() const = 0;
    virtual void storeValue(DWORD value) = 0;

private:
    int indexOf(int id) const;

    int ids_[3];
    OwnerDrawAutoButton* selected_ = nullptr; // owned by the window's control list
};

// A page class with one process-wide pointer to its live page, which its
// page procedure routes the page's messages to.
template <typename Page>
class LivePage : public RadioSettingPage {
public:
    static INT_PTR CALLBACK pageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        return routeToPage(live_, window, message, wParam, lParam);
    }
    ~LivePage() override { forget(); }
    void onDestroy() override
    {
        RadioSettingPage::onDestroy();
        forget();
    }

protected:
    LivePage(LumoraPrintingExtension* extension, const int (&ids)[3]) : RadioSettingPage(extension, ids)
    {
        live_ = this;
    }

private:
    void forget()
    {
        if (live_ == this)
            live_ = nullptr;
    }
    static inline LivePage* live_ = nullptr;
};

class GeneralPropertySheet : public LivePage<GeneralPropertySheet> {
public:
    static constexpr UINT kTemplate = 115;
    static constexpr UINT kTitle = 68;

    explicit GeneralPropertySheet(LumoraPrintingExtension* extension);

protected:
    DWORD currentValue() const override;
    void storeValue(DWORD value) override;
};

class DeviceVerifyPropertySheet : public LivePage<DeviceVerifyPropertySheet> {
public:
    static constexpr UINT kTemplate = 116;
    static constexpr UINT kTitle = 120;

    explicit DeviceVerifyPropertySheet(LumoraPrintingExtension* extension);

protected:
    DWORD currentValue() const override;
    void storeValue(DWORD value) override;
};

class SettingsDialog {
public:
    static constexpr UINT kCaption = 24;
    virtual ~SettingsDialog() = default;
};

// Shows the sheet modally; what the platform's PropertySheetW returns.
INT_PTR showSettingsDialog(HWND parent, LumoraPrintingExtension* extension);

} // namespace MPrint
