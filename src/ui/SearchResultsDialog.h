// Runs one discovery service and lists each printer the moment it is found
// (template 104). The search runs on a worker thread when the service says
// it may, else on the dialog's thread; either way its end arrives as
// message kDiscoveryDone. Cancel and stop are requests: the box ends (2 or
// 7) only once the search has ended. Every wait for the worker answers the
// result messages it sends meanwhile.
//
// The chooser's entry point is choose(): it shows the box and hands back
// the chosen print path, which the caller then owns (null without one).
#pragma once

#include "core/Runnable.h"
#include "core/Thread.h"
#include "destination/PrintPath.h"
#include "ui/AnimatingStatusDialog.h"
#include "ui/DerivedFont.h"

#include <atomic>
#include <memory>
#include <string>

namespace MPrint {
class DiscoveryServiceIntf;
}

class SearchResultsDialog : public AnimatingStatusDialog {
public:
    static constexpr UINT kDiscoveryDone = WM_APP + 2;
    static constexpr uint32_t kSearchFlags = 8;
    static constexpr uint32_t kWorkerSearchFlags = 40;
    // Repeats a pending cancel until the service's Search has seen it:
    // Search clears the flag when it begins.
    static constexpr UINT_PTR kCancelRepeatTimer = 0x5E4C;
    static constexpr UINT kCancelRepeatInterval = 200;

    // Calls the service's Search with the extension's destination context
    // and posts kDiscoveryDone when it returns. Skips the search when a
    // cancel came before it began.
    class BackgroundDiscovery : public MPrint::Runnable {
    public:
        // The end message carries the generation, so the end of a search
        // that was replaced is not taken for the current one's.
        BackgroundDiscovery(HWND dialog, MPrint::DiscoveryServiceIntf* service, uint32_t flags,
                            LumoraPrintingExtension* extension, WPARAM generation);
        ~BackgroundDiscovery() override;
        void run() override;

        PrintPathList& results() { return results_; }
        uint32_t getResultCode() const { return resultCode_; }
        void cancel() { cancelled_ = true; }

    private:
        HWND dialog_;
        MPrint::DiscoveryServiceIntf* service_;
        uint32_t flags_;
        LumoraPrintingExtension* extension_;
        WPARAM generation_;
        PrintPathList results_;
        std::atomic<uint32_t> resultCode_{0};
        std::atomic<bool> cancelled_{false};
    };

    // The service is not owned and must outlive the dialog.
    SearchResultsDialog(LumoraPrintingExtension* extension, MPrint::DiscoveryServiceIntf* service);
    ~SearchResultsDialog() override;

    // Shows the box over parent with the heading (which may hold any text)
    // and returns the chosen path after OK, owned by the caller; else null.
    MPrint::PrintPath* choose(HWND parent, const std::wstring& heading);
    virtual UINT getTemplateId() const;

    // After an OK end: the chosen path, released from the results.
    virtual MPrint::PrintPath* takeChosenPath();
    virtual bool startDiscovery();
    virtual void addResult(MPrint::PrintPath* path);
    virtual void stopDiscovery();
    virtual void onDiscoveryDone(bool cancelled);
    virtual HCURSOR beginWait();
    virtual void endWait(HCURSOR cursor);
    virtual void showDetails(MPrint::PrintPath* path);

    INT_PTR onInitDialog(WPARAM wParam, LPARAM lParam) override;
    INT_PTR onTimer(WPARAM wParam, LPARAM lParam) override;
    void endDialog(INT_PTR result) override;
    INT_PTR dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    // A string id (high word 0) or a text, into the status line.
    void setStatusText(LPARAM value);

    bool isSearchFinished() const { return searchFinished_; }
    MPrint::PrintPath* getChosenPath() const { return chosen_; }

protected:
    MPrint::DiscoveryServiceIntf* getService() const { return service_; }
    void setChosenPath(MPrint::PrintPath* path) { chosen_ = path; }
    void setSearchFinished(bool finished) { searchFinished_ = finished; }
    bool isCancelRequested() const { return cancelRequested_; }
    // The results of the current search, or null before the first.
    BackgroundDiscovery* getRunnable() const { return runnable_; }
    // Empties the list of found printers (a list box here).
    virtual void clearResultList();
    // Ends and frees the current search and its results.
    void deleteSearch();

private:
    // Answers the search commands; false for any other message.
    bool handleSearchMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void requestCancel();
    MPrint::PrintPath* listBoxSelection() const;

    MPrint::DiscoveryServiceIntf* service_;
    BackgroundDiscovery* runnable_ = nullptr;       // owned by worker_, or by inlineRunnable_
    std::unique_ptr<MPrint::Thread> worker_;
    std::unique_ptr<BackgroundDiscovery> inlineRunnable_;
    MPrint::PrintPath* chosen_ = nullptr;           // owned by the results until takeChosenPath
    bool searchFinished_ = false;
    bool cancelRequested_ = false;
    bool stopRequested_ = false;
    bool closeRequested_ = false;
    WPARAM generation_ = 0;
    HWND previousNotifyWindow_ = nullptr;
    bool notifyWindowSet_ = false;
    DerivedFont headingFont_;
    DerivedFont subheadingFont_;
};
