// The prompt of the document properties run on a thread of its own (for
// the few hosts that need it): the work item keeps the prompt's result,
// 2 until the prompt has answered.
#pragma once

#include "core/Runnable.h"
#include "core/Win32.h"

class DocPrompt : public MPrint::Runnable {
public:
    DocPrompt(HWND parent, LPARAM parameter) : parent_(parent), parameter_(parameter) {}

    // Prompts through the process's extension.
    void run() override;
    INT_PTR result() const { return result_; }

private:
    volatile INT_PTR result_ = 2;
    HWND parent_;
    LPARAM parameter_;
};
