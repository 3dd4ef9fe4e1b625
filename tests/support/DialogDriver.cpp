#include "support/DialogDriver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>

namespace testenv {

namespace {

thread_local DialogDriver* t_driver = nullptr;
thread_local std::map<UINT_PTR, std::function<void()>>* t_timers = nullptr;

// Wine activates another process's window on the shared desktop when ours
// closes, and the hook sees that activation too: only our own boxes count.
bool isOwnDialog(HWND window)
{
    if (GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId())
        return false;
    wchar_t name[64] = {};
    return GetClassNameW(window, name, 64) && lstrcmpW(name, L"#32770") == 0;
}

} // namespace

DialogDriver::DialogDriver(DWORD watchdogMs) : watchdogMs_(watchdogMs)
{
    t_driver = this;
    hook_ = SetWindowsHookExW(WH_CBT, cbtProc, nullptr, GetCurrentThreadId());
}

DialogDriver::~DialogDriver()
{
    // Timers still pending would fire in a later test's loop and reach
    // this one's dead locals.
    if (t_driver == this)
        t_driver = nullptr;
    for (UINT_PTR timer : armed_)
        cancel(timer);
    if (hook_)
        UnhookWindowsHookEx(hook_);
}

void DialogDriver::onDialog(Step step)
{
    steps_.push_back(std::move(step));
}

LRESULT CALLBACK DialogDriver::cbtProc(int code, WPARAM wParam, LPARAM lParam)
{
    DialogDriver* driver = t_driver;
    HWND window = reinterpret_cast<HWND>(wParam);
    if (driver && code == HCBT_ACTIVATE && isOwnDialog(window))
        driver->activated(window);
    if (driver && code == HCBT_DESTROYWND)
        std::erase(driver->live_, window);
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void DialogDriver::activated(HWND window)
{
    // A box activates again when a nested one closes: one step per box.
    if (std::find(live_.begin(), live_.end(), window) != live_.end())
        return;
    live_.push_back(window);
    seen_.push_back(window);
    Step step;
    if (!steps_.empty()) {
        step = std::move(steps_.front());
        steps_.pop_front();
    }
    // After the activation, once the box is shown: its init has run and its
    // controls' visibility is what the user sees.
    waitFor([window] { return !IsWindow(window) || IsWindowVisible(window); }, kHiddenGraceMs,
            [window, step](bool) {
                if (step && IsWindow(window))
                    step(window);
            });
    after(watchdogMs_, [this, window] {
        if (std::find(live_.begin(), live_.end(), window) == live_.end() || !IsWindow(window))
            return;
        ++watchdogHits_;
        ADD_FAILURE() << "a dialog was still open after " << watchdogMs_ << " ms: ended by the watchdog";
        EndDialog(window, kWatchdogResult);
    });
}

UINT_PTR DialogDriver::after(UINT ms, std::function<void()> fn)
{
    if (!t_timers)
        t_timers = new std::map<UINT_PTR, std::function<void()>>();
    const UINT_PTR id = SetTimer(nullptr, 0, ms, timerProc);
    if (id) {
        (*t_timers)[id] = std::move(fn);
        if (t_driver)
            t_driver->armed_.push_back(id);
    }
    return id;
}

void DialogDriver::cancel(UINT_PTR timer)
{
    KillTimer(nullptr, timer);
    if (t_timers)
        t_timers->erase(timer);
}

void CALLBACK DialogDriver::timerProc(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    if (!t_timers)
        return;
    auto found = t_timers->find(id);
    if (found == t_timers->end())
        return;
    std::function<void()> fn = std::move(found->second);
    t_timers->erase(found);
    if (fn)
        fn();
}

namespace {

struct Poll {
    std::function<bool()> condition;
    ULONGLONG deadline;
    std::function<void(bool)> then;
};

void pollOnce(const std::shared_ptr<Poll>& poll)
{
    if (poll->condition())
        poll->then(false);
    else if (GetTickCount64() >= poll->deadline)
        poll->then(true);
    else
        DialogDriver::after(10, [poll] { pollOnce(poll); });
}

} // namespace

void DialogDriver::waitFor(std::function<bool()> condition, DWORD deadlineMs, std::function<void(bool)> then)
{
    auto poll = std::make_shared<Poll>(Poll{std::move(condition), GetTickCount64() + deadlineMs, std::move(then)});
    after(0, [poll] { pollOnce(poll); });
}

void DialogDriver::type(HWND dialog, int id, const std::wstring& text)
{
    SetDlgItemTextW(dialog, id, text.c_str());
}

std::wstring DialogDriver::text(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    return control ? title(control) : std::wstring();
}

std::wstring DialogDriver::title(HWND window)
{
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

void DialogDriver::click(HWND dialog, int id)
{
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void DialogDriver::command(HWND dialog, WPARAM wParam, LPARAM lParam)
{
    PostMessageW(dialog, WM_COMMAND, wParam, lParam);
}

std::wstring DialogDriver::messageBoxText(HWND box)
{
    return text(box, 0xFFFF);
}

bool DialogDriver::isMessageBox(HWND window)
{
    return GetDlgItem(window, 0xFFFF) != nullptr && GetPropW(window, L"PtrLumoDlg") == nullptr;
}

void* DialogDriver::boundObject(HWND dialog)
{
    return GetPropW(dialog, L"PtrLumoDlg");
}

} // namespace testenv
