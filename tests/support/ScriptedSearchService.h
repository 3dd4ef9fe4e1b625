// A discovery service whose search a test steers: it reports the given
// display strings (one per result, "" for a path without one), can hold
// its start or its end on events the test sets, and records the calls the
// search dialogs make. Resolve answers the paths set in resolveTo.
#pragma once

#include "discovery/DiscoveryServiceIntf.h"

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace fakes {

class ScriptedSearchService : public MPrint::DiscoveryServiceIntf {
public:
    explicit ScriptedSearchService(uint32_t capabilities, std::vector<std::wstring> results = {});
    ~ScriptedSearchService() override;

    bool IsEnabled() override { return true; }
    uint32_t SetEnabled(bool) override { return 0; }
    uint32_t Execute(void*) override { return 0; }
    uint32_t GetSearchCapabilities() override { return capabilities_; }
    // Waits for the gate (before the cancel flag is cleared, as a slow start
    // would), reports the results, then, when holding, waits until released
    // (or cancelled, when the hold ends on a cancel), and reports the late
    // results.
    uint32_t Search(HWND window, MPrint::DestinationContext* context, PrintPathList& list, uint32_t flags) override;
    uint32_t Resolve(HWND owner, const std::wstring& address, const std::wstring& nickname,
                     const std::wstring& displayString, PrintPathList& list) override;
    uint32_t Start() override;
    uint32_t IsRunning() override { return 1; }
    uint32_t Stop() override;
    uint32_t ValidateDevice(HWND, MPrint::PrintPath*) override { return 0; }
    bool RequestCancel() override;

    void holdStart() { ResetEvent(gate_); }
    void openStart() { SetEvent(gate_); }
    void holdEnd(bool endsOnCancel)
    {
        holding_ = true;
        endsOnCancel_ = endsOnCancel;
    }
    void release() { SetEvent(release_); }
    HWND notifyWindow() const { return getNotifyWindow(); }

    std::vector<std::wstring> results;
    std::vector<std::wstring> lateResults;        // reported after the hold ends
    std::vector<std::wstring> resolveTo;          // display strings of the paths Resolve appends
    std::function<void(MPrint::PrintPath&)> decorate; // applied to every path made
    std::atomic<int> searches{0};
    std::atomic<int> cancelRequests{0};
    std::atomic<int> stops{0};
    std::atomic<int> starts{0};
    std::atomic<bool> sawCancel{false};
    std::atomic<uint32_t> lastFlags{0};
    std::wstring lastResolved;

private:
    MPrint::PrintPath* makePath(const std::wstring& display);

    uint32_t capabilities_;
    std::atomic<bool> holding_{false};
    std::atomic<bool> endsOnCancel_{false};
    HANDLE gate_;
    HANDLE release_;
};

} // namespace fakes
