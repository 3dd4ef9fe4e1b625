#include "support/FakeDestinationWorkflow.h"

#include "destination/DestinationContext.h"

namespace testenv {

FakeDestinationWorkflow::FakeDestinationWorkflow()
{
    MPrint::DestinationWorkflow::set(this);
}

FakeDestinationWorkflow::~FakeDestinationWorkflow()
{
    MPrint::DestinationWorkflow::set(nullptr);
}

void FakeDestinationWorkflow::record(const std::string& call)
{
    std::lock_guard<std::mutex> guard(lock_);
    calls_.push_back(call);
}

bool FakeDestinationWorkflow::validateDeviceWithPrompt(MPrint::PrintPath*, HWND, DWORD& resultCode)
{
    record("validate");
    resultCode = validationCode;
    return validates;
}

bool FakeDestinationWorkflow::checkDeviceConfiguration(MPrint::PrintPath*)
{
    record("check");
    return configurationCurrent;
}

DWORD FakeDestinationWorkflow::verifyDevicePDL(HWND, MPrint::PrintPath*, const std::wstring&)
{
    record("pdl");
    if (duringPdl)
        duringPdl();
    return pdlAnswer;
}

DWORD FakeDestinationWorkflow::configureDeviceForPrintPath(HWND, const std::wstring&, MPrint::PrintPath*)
{
    record("configure");
    if (duringConfigure)
        duringConfigure();
    return configureAnswer;
}

bool FakeDestinationWorkflow::applyPrintPathToPrinter(MPrint::DestinationContext*, MPrint::PrintPath*, DWORD& value)
{
    record("apply");
    if (duringApply)
        duringApply();
    value = 0;
    return applies;
}

bool FakeDestinationWorkflow::applyDestinationToPrinter(MPrint::DestinationContext* context,
                                                        const std::wstring& portName)
{
    record("restore");
    std::lock_guard<std::mutex> guard(lock_);
    ports_.push_back(portName);
    applied_.emplace_back(context ? context->getPrinterName() : L"<no context>", portName);
    return true;
}

MPrint::PrintPath* FakeDestinationWorkflow::findPrintPathForAddress(HWND, const std::wstring&, const std::wstring&,
                                                                    const std::wstring& displayString)
{
    record("resolve");
    std::lock_guard<std::mutex> guard(lock_);
    displays_.push_back(displayString);
    const MPrint::PrintPath* answer = everyResolution ? everyResolution
                                      : nextResolution_ < resolutions.size() ? resolutions[nextResolution_]
                                                                             : nullptr;
    ++nextResolution_;
    return answer ? new MPrint::PrintPath(*answer) : nullptr;
}

bool FakeDestinationWorkflow::storeQueueCommunity(HANDLE, const std::wstring&, const std::wstring& community)
{
    record("community");
    std::lock_guard<std::mutex> guard(lock_);
    communities_.push_back(community);
    return true;
}

bool FakeDestinationWorkflow::isJobDeliveryEnabled(const std::wstring&, MPrint::PrintPath*)
{
    return jobDelivery;
}

std::vector<std::string> FakeDestinationWorkflow::calls() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return calls_;
}

std::vector<std::wstring> FakeDestinationWorkflow::portsApplied() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return ports_;
}

std::vector<std::wstring> FakeDestinationWorkflow::communities() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return communities_;
}

std::vector<std::wstring> FakeDestinationWorkflow::resolvedDisplays() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return displays_;
}

std::vector<std::pair<std::wstring, std::wstring>> FakeDestinationWorkflow::destinationsApplied() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return applied_;
}

} // namespace testenv
