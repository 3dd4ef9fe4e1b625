// A one-line text entry box (template 110): a title string, two labels
// named by lParam (high word: label 1046, low word: label 1047), and the
// text, read back when the dialog ends with OK.
#pragma once

#include "ui/LumoraDialog.h"

#include <string>

class EnterTextDialog : public LumoraDialog {
public:
    static constexpr UINT kTemplate = 110;
    static constexpr int kMaxText = 255;

    EnterTextDialog(LumoraPrintingExtension* extension, UINT titleStringId, const wchar_t* initialText);

    INT_PTR onInitDialog(WPARAM wParam, LPARAM lParam) override;
    void endDialog(INT_PTR result) override;
    const std::wstring& getText() const { return text_; }

protected:
    void setText(const std::wstring& text) { text_ = text; }

private:
    std::wstring text_;
    UINT titleStringId_;
};
