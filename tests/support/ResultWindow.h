// A notify window for discovery-service tests: a message-only window on the
// test's thread that records every path announced to it (WM_COMMAND 44525)
// and runs a test's reaction to each. search() runs a service's Search on a
// worker thread while this thread pumps, as the search dialogs do.
#pragma once

#include "destination/PrintPath.h"
#include "discovery/DiscoveryServiceIntf.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace testenv {

class ResultWindow {
public:
    ResultWindow();
    ~ResultWindow();
    ResultWindow(const ResultWindow&) = delete;
    ResultWindow& operator=(const ResultWindow&) = delete;

    HWND handle() const { return handle_; }
    // Copies of the announced paths, in order.
    const std::vector<std::unique_ptr<MPrint::PrintPath>>& results() const { return results_; }
    std::vector<std::wstring> displayStrings() const;
    // Runs on this thread for each announcement, after it is recorded.
    void onResult(std::function<void(const MPrint::PrintPath&)> reaction) { reaction_ = std::move(reaction); }

    // Search(handle(), null, list, flags) on a worker; its code.
    uint32_t search(MPrint::DiscoveryServiceIntf& service, PrintPathList& list, uint32_t flags);

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND handle_ = nullptr;
    std::vector<std::unique_ptr<MPrint::PrintPath>> results_;
    std::function<void(const MPrint::PrintPath&)> reaction_;
};

} // namespace testenv
