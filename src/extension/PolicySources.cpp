#include "extension/PolicySources.h"

#include "VagantUIExtension/ManagedListSource.h"
#include "bidi/PolicySource.h"
#include "discovery/PrintPathText.h"
#include "extension/CachedManagedListHost.h"
#include "extension/ManagedPrintPolicy.h"

namespace MPrint {

namespace {

bool managedPolicyBool(const wchar_t* name, bool defaultValue)
{
    ManagedPrintPolicy* policy = ManagedPrintPolicy::instance();
    return policy ? policy->getBool(name, defaultValue) : defaultValue;
}

bool deviceAddressShown()
{
    return ManagedPrintPolicy::instance()->isDeviceAddressShown();
}

class PolicyListSource : public ManagedListSource {
public:
    bool hasPolicy() override { return ManagedPrintPolicy::instance()->hasPolicy(); }
    bool getString(const wchar_t* name, std::wstring& value) override
    {
        return ManagedPrintPolicy::instance()->getString(name, value);
    }
    bool getDword(const wchar_t* name, DWORD& value) override
    {
        return ManagedPrintPolicy::instance()->getDword(name, value);
    }
    std::wstring getPolicyServer() override
    {
        ManagedPrintPolicy* policy = ManagedPrintPolicy::instance();
        return policy->isPolicyFromServer() ? policy->getPolicyServer() : std::wstring();
    }
    bool readList(const std::wstring& location, std::string& bytes, DWORD* status, DWORD timeoutMs) override
    {
        return CachedManagedListHost::readThroughCache(location, bytes, status, timeoutMs);
    }
};

PolicyListSource g_listSource;

} // namespace

void installPolicySources()
{
    setPolicyBoolSource(&managedPolicyBool);
    setDeviceAddressShownQuery(&deviceAddressShown);
    ManagedListSource::set(&g_listSource);
}

} // namespace MPrint
