// The component interface of a discovery service: it finds printers and
// hands each one over as a PrintPath that the result list then owns. The
// base keeps the loader, context, notify window and cancel flag; concrete
// services implement the rest.
#pragma once

#include "core/ComponentIntf.h"
#include "core/ResourceLoader.h"
#include "core/Win32.h"
#include "destination/PrintPath.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace MPrint {

class DestinationContext;

class DiscoveryServiceIntf : public ComponentIntf {
public:
    // GetSearchCapabilities bits.
    static constexpr uint32_t kCapSearch = 0x0008;          // searched by the destination chooser
    static constexpr uint32_t kCapResolve = 0x0010;         // resolves a typed address
    static constexpr uint32_t kCapWorkerThread = 0x0020;    // Search runs on a worker thread
    static constexpr uint32_t kCapManagedListUrl = 0x2000;  // with kCapManagedList: the lists' URL scheme
    static constexpr uint32_t kCapManagedList = 0x4000;     // stands for one managed printer list
    static constexpr uint32_t kCapManagedListDialog = 0x8000;

    // Result codes (0 is success throughout).
    static constexpr uint32_t kNotApplicable = 3;
    static constexpr uint32_t kNotStarted = 4; // Start when disabled, Search when not started
    static constexpr uint32_t kCancelled = 5;
    static constexpr uint32_t kNotEnabled = 7;
    static constexpr uint32_t kNotSupported = 9;
    static constexpr uint32_t kAddressNeedsCorrection = 14;

    // WM_COMMAND id that announces one result; lParam is the PrintPath.
    static constexpr WORD kResultCommand = 44525;

    DiscoveryServiceIntf() = default;
    ~DiscoveryServiceIntf() override;

    // Keeps a copy of the loader (loading its own module handle when the
    // source owns one) and the context; 0.
    uint32_t Initialize(const ResourceLoader& loader, void* context) override;

    virtual HWND SetNotifyWindow(HWND window);
    // The list takes ownership of the path; a window, when given, is sent
    // (synchronously) the result command with the path, which it must not
    // delete.
    virtual void AddResult(HWND window, PrintPathList& list, PrintPath* path);
    virtual uint32_t GetSearchCapabilities() = 0;
    // Clears the cancel flag first, then searches on the calling thread.
    virtual uint32_t Search(HWND window, DestinationContext* context, PrintPathList& list, uint32_t flags) = 0;
    // Any thread, while Search runs; false.
    virtual bool RequestCancel();
    virtual bool IsCancelled();
    // Appends the paths built for an address of this service's kind and
    // answers 0; kNotApplicable for any other address.
    virtual uint32_t Resolve(HWND owner, const std::wstring& address, const std::wstring& nickname,
                             const std::wstring& displayString, PrintPathList& list) = 0;
    virtual uint32_t Start() = 0;
    virtual uint32_t IsRunning() = 0; // 0 or 1
    virtual uint32_t Stop() = 0;
    // 0 valid, kAddressNeedsCorrection, or kNotApplicable for another
    // service's path.
    virtual uint32_t ValidateDevice(HWND owner, PrintPath* path) = 0;

protected:
    const ResourceLoader& getResourceLoader() const { return loader_; }
    void* getContext() const { return context_; }
    HWND getNotifyWindow() const { return notifyWindow_; }
    void clearCancel() { cancel_ = false; }

private:
    ResourceLoader loader_;
    void* context_ = nullptr;
    HWND notifyWindow_ = nullptr;
    // Set by the dialog's thread, read by the searching one.
    std::atomic<bool> cancel_{false};
};

} // namespace MPrint
