// The policy document as a policy server or file may serve it, parsed into a
// policy cache key of its own (under a private HKEY_CURRENT_USER).
#include "FuzzTarget.h"

#include "extension/ManagedPrintPolicyParser.h"
#include "support/PrivateCurrentUser.h"

namespace {

class PolicyDocumentTarget : public fuzz::FuzzTarget {
public:
    ~PolicyDocumentTarget() override
    {
        if (key_)
            RegCloseKey(key_);
    }

    bool setUp() override
    {
        return user_.isActive() && RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\VrelmFuzz\\Policy", 0, nullptr, 0,
                                                   KEY_ALL_ACCESS, nullptr, &key_, nullptr) == ERROR_SUCCESS;
    }

    void run(const std::string& input) override
    {
        {
            MPrint::ManagedPrintPolicyParser parser(key_);
            parser.parse(input);
        }
        RegDeleteTreeW(key_, nullptr);
    }

    std::vector<std::string> dictionary() const override
    {
        return {"ManagedPrintPolicy", "RefreshPolicy", "CustomMPL", "Name", "Path", "xmlType", "OKV", "Application",
                "Color", "MondayColor", "SundayColorOnHour", "Restricted", "JobDeliveryURL", "DuplexDefault",
                "JobCompleteExe", "ApplicationExclude", "Userid", "ShowProfiles", "CheckStatus"};
    }

private:
    testenv::PrivateCurrentUser user_;
    HKEY key_ = nullptr;
};

} // namespace

FUZZ_TARGET(PolicyDocumentTarget, "policy", fuzz::InputShape::Xml);
