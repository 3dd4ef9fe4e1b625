// Plays the user for modal dialogs on the calling thread. A thread-local
// WH_CBT hook sees each dialog box (class "#32770": dialogs, property
// sheets, message boxes) the first time it activates and runs the next
// queued script step against it once the box is shown (a template without
// WS_VISIBLE is shown only when its loop first goes idle, after it
// activated; a box that stays hidden on purpose gets its step after a short
// grace). A step reads and changes controls and closes the box; `after`
// resumes a script from a thread timer inside the modal loop, and `waitFor`
// polls a condition with a deadline. A watchdog ends any box still open
// after its limit, so a broken script fails the test instead of hanging it.
// The driver's end cancels every timer armed while it drove the thread: a
// script's timers capture the test's locals, which end with it.
#pragma once

#include "core/Win32.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace testenv {

class DialogDriver {
public:
    using Step = std::function<void(HWND dialog)>;

    // The result a box ended by the watchdog returns.
    static constexpr INT_PTR kWatchdogResult = -77;
    // How long a box that activated hidden may stay hidden before its step runs.
    static constexpr DWORD kHiddenGraceMs = 300;

    explicit DialogDriver(DWORD watchdogMs = 8000);
    ~DialogDriver();
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    // Queues a step for the next dialog box that activates.
    void onDialog(Step step);
    size_t pendingSteps() const { return steps_.size(); }
    // Every box seen, in order of first activation.
    const std::vector<HWND>& dialogsSeen() const { return seen_; }
    // Boxes the watchdog had to end.
    int watchdogHits() const { return watchdogHits_; }

    // Runs fn on this thread after ms milliseconds (inside any message loop).
    // The timer's id, for cancel. Cancelled with the thread's driver, if any.
    static UINT_PTR after(UINT ms, std::function<void()> fn);
    static void cancel(UINT_PTR timer);
    // Polls every 10 ms until condition holds, then runs then; at the
    // deadline runs then anyway with timedOut set.
    static void waitFor(std::function<bool()> condition, DWORD deadlineMs, std::function<void(bool timedOut)> then);

    // Control helpers; ids are the dialog's control ids.
    static void type(HWND dialog, int id, const std::wstring& text);
    static std::wstring text(HWND dialog, int id);
    static std::wstring title(HWND window);
    // Posts WM_COMMAND(id, BN_CLICKED) with the control's window.
    static void click(HWND dialog, int id);
    // Posts a bare WM_COMMAND(wParam, lParam), as a worker would.
    static void command(HWND dialog, WPARAM wParam, LPARAM lParam = 0);
    // The text of a message box (its static 65535).
    static std::wstring messageBoxText(HWND box);
    static bool isMessageBox(HWND window);
    // The dialog's C++ object ("PtrLumoDlg"), or null.
    static void* boundObject(HWND dialog);

private:
    static LRESULT CALLBACK cbtProc(int code, WPARAM wParam, LPARAM lParam);
    static void CALLBACK timerProc(HWND, UINT, UINT_PTR id, DWORD);
    void activated(HWND window);

    HHOOK hook_ = nullptr;
    DWORD watchdogMs_;
    std::deque<Step> steps_;
    std::vector<HWND> seen_;
    std::vector<HWND> live_;
    std::vector<UINT_PTR> armed_; // every timer armed while this driver ran
    int watchdogHits_ = 0;
};

} // namespace testenv
