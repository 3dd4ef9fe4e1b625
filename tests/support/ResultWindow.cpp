#include "support/ResultWindow.h"

#include "destination/PrintPathAttr.h"

#include <atomic>
#include <thread>

namespace testenv {

namespace {

constexpr wchar_t kClassName[] = L"VrelmTestResultWindow";
constexpr UINT kSearchDone = WM_APP + 7;

} // namespace

ResultWindow::ResultWindow()
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = &ResultWindow::procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    RegisterClassW(&wc); // a second registration fails harmlessly
    handle_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrW(handle_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

ResultWindow::~ResultWindow()
{
    if (handle_)
        DestroyWindow(handle_);
}

std::vector<std::wstring> ResultWindow::displayStrings() const
{
    std::vector<std::wstring> out;
    for (const auto& path : results_)
        out.push_back(path->getStringAttribute(PrintPathAttr::DisplayString));
    return out;
}

LRESULT CALLBACK ResultWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<ResultWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && message == WM_COMMAND && LOWORD(wParam) == MPrint::DiscoveryServiceIntf::kResultCommand && lParam) {
        const auto* path = reinterpret_cast<const MPrint::PrintPath*>(lParam);
        self->results_.push_back(std::make_unique<MPrint::PrintPath>(*path));
        if (self->reaction_)
            self->reaction_(*path);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

uint32_t ResultWindow::search(MPrint::DiscoveryServiceIntf& service, PrintPathList& list, uint32_t flags)
{
    std::atomic<uint32_t> code{0xFFFFFFFF};
    const DWORD thread = GetCurrentThreadId();
    std::thread worker([&] {
        code = service.Search(handle_, nullptr, list, flags);
        PostThreadMessageW(thread, kSearchDone, 0, 0);
    });
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.hwnd == nullptr && message.message == kSearchDone)
            break;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    worker.join();
    return code;
}

} // namespace testenv
