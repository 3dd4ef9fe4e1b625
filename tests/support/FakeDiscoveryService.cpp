#include "support/FakeDiscoveryService.h"

#include "core/GuidLess.h"
#include "destination/PrintPathAttr.h"
#include "support/TestEnv.h"

#include <algorithm>
#include <map>

namespace fakes {

namespace {

std::map<GUID, FakeServiceConfig, GuidLess>& configs()
{
    static std::map<GUID, FakeServiceConfig, GuidLess> table;
    return table;
}

int live = 0;

} // namespace

std::vector<std::string>& fakeServiceLog()
{
    static std::vector<std::string> entries;
    return entries;
}

int liveFakeServices()
{
    return live;
}

void configureFakeService(const GUID& classId, const FakeServiceConfig& config)
{
    configs()[classId] = config;
}

uint32_t createFakeService(const GUID& classId, MPrint::ComponentIntf** out)
{
    *out = nullptr;
    auto it = configs().find(classId);
    *out = new FakeDiscoveryService(classId, it == configs().end() ? FakeServiceConfig{} : it->second);
    return 0;
}

uint32_t refuseFakeService(const GUID&, MPrint::ComponentIntf** out)
{
    *out = nullptr;
    return 42;
}

FakeDiscoveryService::FakeDiscoveryService(const GUID& classId, const FakeServiceConfig& config)
    : classId_(classId), config_(config)
{
    ++live;
}

FakeDiscoveryService::~FakeDiscoveryService()
{
    --live;
    log("delete");
}

void FakeDiscoveryService::log(const std::string& call)
{
    fakeServiceLog().push_back(config_.name + "." + call);
}

bool FakeDiscoveryService::IsEnabled()
{
    return enabled_;
}

uint32_t FakeDiscoveryService::SetEnabled(bool enabled)
{
    log(enabled ? "SetEnabled(1)" : "SetEnabled(0)");
    enabled_ = enabled;
    return 0;
}

uint32_t FakeDiscoveryService::GetSearchCapabilities()
{
    return config_.capabilities;
}

uint32_t FakeDiscoveryService::Search(HWND window, MPrint::DestinationContext*, PrintPathList& list, uint32_t)
{
    clearCancel();
    if (!enabled_)
        return kNotEnabled;
    if (!started_)
        return kNotStarted;
    for (int i = 0; i < config_.searchResults; ++i) {
        if (IsCancelled())
            return kCancelled;
        auto* path = new MPrint::PrintPath;
        path->setStringAttribute(PrintPathAttr::DisplayString, L"result " + std::to_wstring(i), true);
        AddResult(window, list, path);
    }
    return IsCancelled() ? kCancelled : 0;
}

uint32_t FakeDiscoveryService::Resolve(HWND, const std::wstring& address, const std::wstring& nickname,
                                       const std::wstring& displayString, PrintPathList& list)
{
    log("Resolve(" + testenv::narrow(address) + "," + testenv::narrow(nickname) + "," +
        testenv::narrow(displayString) + ")");
    if (config_.duringResolve)
        config_.duringResolve();
    if (config_.accepts && !config_.accepts(address))
        return kNotApplicable;
    for (int i = 0; i < config_.resolvePaths; ++i) {
        auto* path = new MPrint::PrintPath;
        path->setStringAttribute(PrintPathAttr::Address, address, true);
        path->setStringAttribute(PrintPathAttr::Nickname, nickname, true);
        path->setStringAttribute(PrintPathAttr::DisplayString, displayString, true);
        path->setNumericAttribute(PrintPathAttr::ManuallyEntered, 1, true);
        path->setDiscoveryId(classId_);
        list.push_back(QZAutoPtr<MPrint::PrintPath>(path));
    }
    return config_.resolveCode;
}

uint32_t FakeDiscoveryService::Start()
{
    log("Start");
    if (started_)
        return 0;
    if (!enabled_)
        return kNotStarted;
    if (config_.startCode != 0)
        return config_.startCode;
    started_ = true;
    return 0;
}

uint32_t FakeDiscoveryService::ValidateDevice(HWND, MPrint::PrintPath*)
{
    log("ValidateDevice");
    const std::vector<uint32_t>& codes = config_.validateCodes;
    if (codes.empty())
        return 0;
    return codes[std::min(validations_++, codes.size() - 1)];
}

uint32_t FakeDiscoveryService::IsRunning()
{
    return started_ ? 1 : 0;
}

uint32_t FakeDiscoveryService::Stop()
{
    log("Stop");
    started_ = false;
    return 0;
}

} // namespace fakes
