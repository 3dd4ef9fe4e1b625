// A discovery service for tests, registered with the component registry
// under a test's own class ids. Its behaviour is set per class id before
// the registry creates it; every call it receives is logged.
#pragma once

#include "discovery/DiscoveryServiceIntf.h"

#include <functional>
#include <string>
#include <vector>

namespace fakes {

struct FakeServiceConfig {
    std::string name;           // used in the log
    uint32_t capabilities = 0;
    uint32_t startCode = 0;     // Start's answer when enabled; 0 starts it
    uint32_t resolveCode = 0;
    int resolvePaths = 0;       // paths Resolve appends (with any code)
    // When set, an address it refuses answers 3 with no path.
    std::function<bool(const std::wstring& address)> accepts = nullptr;
    int searchResults = 0;      // paths Search reports through AddResult
    // ValidateDevice's answers in turn; the last one repeats (none: 0).
    std::vector<uint32_t> validateCodes = {};
    // Runs inside Resolve, after it is logged and before it answers.
    std::function<void()> duringResolve = nullptr;
};

class FakeDiscoveryService : public MPrint::DiscoveryServiceIntf {
public:
    FakeDiscoveryService(const GUID& classId, const FakeServiceConfig& config);
    ~FakeDiscoveryService() override;

    bool IsEnabled() override;
    uint32_t SetEnabled(bool enabled) override;
    uint32_t Execute(void*) override { return 0; }
    uint32_t GetSearchCapabilities() override;
    uint32_t Search(HWND window, MPrint::DestinationContext* context, PrintPathList& list, uint32_t flags) override;
    uint32_t Resolve(HWND owner, const std::wstring& address, const std::wstring& nickname,
                     const std::wstring& displayString, PrintPathList& list) override;
    uint32_t Start() override;
    uint32_t IsRunning() override;
    uint32_t Stop() override;
    uint32_t ValidateDevice(HWND, MPrint::PrintPath*) override;

    const GUID& classId() const { return classId_; }
    using DiscoveryServiceIntf::getContext;
    using DiscoveryServiceIntf::getResourceLoader;

private:
    void log(const std::string& call);

    GUID classId_;
    FakeServiceConfig config_;
    bool enabled_ = false;
    bool started_ = false;
    size_t validations_ = 0;
};

// Behaviour of the services the registry creates for this class id.
void configureFakeService(const GUID& classId, const FakeServiceConfig& config);
// A creator for ComponentDescriptor: makes a FakeDiscoveryService.
uint32_t createFakeService(const GUID& classId, MPrint::ComponentIntf** out);
// A creator that fails with code 42 and makes nothing.
uint32_t refuseFakeService(const GUID& classId, MPrint::ComponentIntf** out);

// "name.Call(args)" for every call, in order; cleared by the test.
std::vector<std::string>& fakeServiceLog();
int liveFakeServices();

} // namespace fakes
