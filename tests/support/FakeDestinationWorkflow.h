// A stand-in for the core's destination operations, installed for its
// scope: answers set by the test, every call recorded by name, hooks that
// run inside a call (to press Cancel at that moment, for instance) and a
// gate that holds the application until the test opens it.
#pragma once

#include "destination/PrintPath.h"
#include "extension/DestinationWorkflow.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace testenv {

class FakeDestinationWorkflow : public MPrint::DestinationWorkflow {
public:
    FakeDestinationWorkflow();
    ~FakeDestinationWorkflow() override;

    bool validateDeviceWithPrompt(MPrint::PrintPath* path, HWND owner, DWORD& resultCode) override;
    bool checkDeviceConfiguration(MPrint::PrintPath* path) override;
    DWORD verifyDevicePDL(HWND owner, MPrint::PrintPath* path, const std::wstring& printerName) override;
    DWORD configureDeviceForPrintPath(HWND owner, const std::wstring& printerName, MPrint::PrintPath* path) override;
    bool applyPrintPathToPrinter(MPrint::DestinationContext* context, MPrint::PrintPath* path, DWORD& value) override;
    bool applyDestinationToPrinter(MPrint::DestinationContext* context, const std::wstring& portName) override;
    MPrint::PrintPath* findPrintPathForAddress(HWND owner, const std::wstring& address, const std::wstring& nickname,
                                               const std::wstring& displayString) override;
    bool storeQueueCommunity(HANDLE printer, const std::wstring& printerName, const std::wstring& community) override;
    bool isJobDeliveryEnabled(const std::wstring& printerName, MPrint::PrintPath* path) override;

    // Answers.
    bool validates = true;
    DWORD validationCode = 0;
    bool configurationCurrent = true;
    DWORD pdlAnswer = 1;
    DWORD configureAnswer = 1;
    bool applies = true;
    bool jobDelivery = false;
    // Paths the resolutions answer with, in order (null: none); copies are returned.
    std::vector<const MPrint::PrintPath*> resolutions;
    // Answers every resolution when set (callers on several threads).
    const MPrint::PrintPath* everyResolution = nullptr;
    // Run inside the call of that name before it answers.
    std::function<void()> duringPdl;
    std::function<void()> duringConfigure;
    std::function<void()> duringApply;

    std::vector<std::string> calls() const;
    std::vector<std::wstring> portsApplied() const;
    std::vector<std::wstring> communities() const;
    std::vector<std::wstring> resolvedDisplays() const;
    // (queue of the context, port) of each applyDestinationToPrinter.
    std::vector<std::pair<std::wstring, std::wstring>> destinationsApplied() const;

private:
    void record(const std::string& call);

    mutable std::mutex lock_; // guards the records
    std::vector<std::string> calls_;
    std::vector<std::wstring> ports_;
    std::vector<std::wstring> communities_;
    std::vector<std::wstring> displays_;
    std::vector<std::pair<std::wstring, std::wstring>> applied_;
    size_t nextResolution_ = 0;
};

} // namespace testenv
