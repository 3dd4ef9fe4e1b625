// The process-wide answer to what the administrator decided. Two sources:
// the server policy (an XML document fetched once and parsed into a volatile
// per-user cache key) and the directory policy (the group-policy key, read
// only when a directory answers). Loaded lazily on the first value request,
// then never again in the process unless reset() runs. Not locked: callers
// use it from one thread at a time.
#pragma once

#include "core/GuidLess.h"
#include "core/RegistryKey.h"
#include "core/Win32.h"
#include "extension/ColorRules.h"
#include "extension/PolicyKeys.h"
#include "extension/PolicyLocation.h"

#include <map>
#include <memory>
#include <string>

namespace MPrint {

class ManagedPrintPolicy {
public:
    // Created on first call; deleted by its owner (the extension's last release).
    static ManagedPrintPolicy* instance();
    static bool hasInstance();

    ManagedPrintPolicy();
    virtual ~ManagedPrintPolicy();
    ManagedPrintPolicy(const ManagedPrintPolicy&) = delete;
    ManagedPrintPolicy& operator=(const ManagedPrintPolicy&) = delete;

    virtual bool isPolicyFromServer();
    virtual std::wstring getPolicyServer();
    // Loads the policy on first use; true when a directory or server policy is in force.
    virtual bool hasPolicy();

    // The printer's own data first (sets fromPrinter), then the policy.
    virtual bool getPrinterOrPolicyString(HANDLE printer, const wchar_t* name, std::wstring& value,
                                          bool& fromPrinter);
    // Group policy when in force (and nothing else), else the server policy.
    virtual bool getString(const wchar_t* name, std::wstring& value);
    virtual bool getPrinterOrPolicyDword(HANDLE printer, const wchar_t* name, DWORD& value, bool& fromPrinter);
    virtual bool getDword(const wchar_t* name, DWORD& value);
    // "Color" always goes through the schedule and the application list.
    virtual bool getBool(const wchar_t* name, bool defaultValue);
    virtual bool isColorAllowed(bool defaultValue);
    virtual bool isColorAllowedNow(RegistryKey& key);
    virtual bool isColorAllowedForApplication(RegistryKey& key);
    virtual bool isDiscoveryServiceAllowed(const GUID& classId);
    // Device addresses are hidden only by a policy in force that does not
    // ask for them ("ShowDeviceAddress").
    bool isDeviceAddressShown();

    // Drops everything and loads again at once, ignoring the cache's validity.
    virtual void reset();
    virtual bool arePoliciesOffForPrinter(HANDLE printer);

    // The schedule test of isColorAllowedNow at a given local time.
    static bool isColorAllowedAt(RegistryKey& key, const SYSTEMTIME& localTime);
    // The application test of isColorAllowedForApplication for a given host path.
    static bool isColorAllowedForPath(RegistryKey& key, const std::wstring& hostPath);

protected:
    virtual bool queryPolicy();
    virtual bool readGroupPolicy();
    virtual bool readPolicyLocation(RegistryKey& key, std::wstring& location);
    virtual bool writePolicyCache(RegistryKey& parent, const std::wstring& subkey, bool found,
                                  const std::wstring& location);
    virtual void writeDefaultPolicy();
    virtual void buildQueryString(std::wstring& query, RegistryKey& key);
    virtual bool isPolicyServerReachable();
    virtual bool queryActiveDirectory();
    virtual bool readCachedPolicy(RegistryKey& key);

private:
    // The steps of queryPolicy.
    bool resolveLocalAddress();
    void readPolicyMarkers(RegistryKey& hkcu, RegistryKey& hklm);
    void loadServerPolicy(RegistryKey& hkcu, RegistryKey& hklm);
    void publishIdentity();
    void readColorRules();

    bool hasServerPolicy_ = false;
    bool hasGroupPolicy_ = false;
    bool directoryAvailable_ = false;
    bool queried_ = false;
    std::unique_ptr<RegistryKey> policyCacheKey_;
    std::unique_ptr<RegistryKey> groupPolicyKey_;
    std::map<GUID, DWORD, GuidLess> discoveryMap_;
    PolicyLocation location_;
    std::wstring localAddress_;
    bool reloading_ = false;
    bool serverPolicyOff_ = false;
    bool directoryPolicyOff_ = false;
    // The colour answer's inputs, read once per load (isColorAllowed).
    bool colorRead_ = false;
    bool colorFound_ = false;
    DWORD color_ = 0;
    colorrules::Rules colorRules_;
    std::wstring hostPath_; // lower case
};

} // namespace MPrint
