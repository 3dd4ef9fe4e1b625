// The search results of the TCP/IP address service (template 108): a
// sortable one-column list view, the count in the heading, and each
// selected printer resolved on a worker before it can be chosen. The
// resolve works on a copy of the path; the dialog's thread takes its
// answers over when the worker reports, so no attribute is written while
// the dialog reads it. Ctrl held when a resolve ends opens the printer's
// page.
#pragma once

#include "ui/SearchResultsDialog.h"

namespace MPrint {
class TCPIPAddressDiscovery;
}

class TcpSearchResultsDialog : public SearchResultsDialog {
public:
    static constexpr WORD kResolvedCommand = 0xC115;
    static constexpr uint32_t kResolveTimeoutMs = 2791;

    // Resolves a copy of one path and posts kResolvedCommand with the
    // original's address.
    class TCPBackgroundResolve : public MPrint::Runnable {
    public:
        TCPBackgroundResolve(MPrint::TCPIPAddressDiscovery* service, MPrint::PrintPath* path, HWND dialog);
        void run() override;
        MPrint::PrintPath* getPath() const { return path_; }
        const MPrint::PrintPath& getResolved() const { return copy_; }

    private:
        MPrint::TCPIPAddressDiscovery* service_;
        MPrint::PrintPath* path_;
        MPrint::PrintPath copy_;
        HWND dialog_;
    };

    // The service resolves names only when it is the TCP/IP service.
    TcpSearchResultsDialog(LumoraPrintingExtension* extension, MPrint::DiscoveryServiceIntf* service);
    ~TcpSearchResultsDialog() override;

    UINT getTemplateId() const override;
    INT_PTR onInitDialog(WPARAM wParam, LPARAM lParam) override;
    INT_PTR onCommand(WPARAM wParam, LPARAM lParam) override;
    INT_PTR onNotify(WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void endDialog(INT_PTR result) override;
    bool startDiscovery() override;
    void addResult(MPrint::PrintPath* path) override;
    void stopDiscovery() override;
    void onDiscoveryDone(bool cancelled) override;
    void showDetails(MPrint::PrintPath* path) override;

    // Ascending from an empty display string up, by code unit; direction -1
    // reverses.
    static int compareByDisplay(const MPrint::PrintPath* first, const MPrint::PrintPath* second, int direction);
    int getSortDirection() const { return sortDirection_; }

protected:
    void clearResultList() override;

private:
    void createResolve(MPrint::PrintPath* path);
    void deleteResolve();
    MPrint::PrintPath* selectedPath() const;
    static int CALLBACK compareItems(LPARAM first, LPARAM second, LPARAM sort);

    std::unique_ptr<MPrint::Thread> resolveThread_;
    TCPBackgroundResolve* resolve_ = nullptr; // owned by resolveThread_
    int sortDirection_ = -1;
    int sortColumn_ = 0;
    uint32_t resultCount_ = 0;
    std::wstring heading_;
};
