#include "extension/ManagedPrintPolicy.h"

#include "core/COMWrapper.h"
#include "core/ProfileScope.h"
#include "core/RefreshTime.h"
#include "core/SettingsKeys.h"
#include "core/Socket.h"
#include "destination/PrinterSettings.h"
#include "discovery/DiscoveryClassIds.h"
#include "extension/ColorRules.h"
#include "extension/ManagedPrintPolicyParser.h"
#include "shared/SpoolerQueries.h"

#include <activeds.h>
#include <wrl/client.h>

#include <cstdio>
#include <cwchar>
#include <vector>

namespace MPrint {

namespace {

constexpr DWORD kMarkerOn = 19728374;
constexpr DWORD kPrinterPolicyOff = 972565793;
constexpr DWORD kNoPolicyRefreshMs = 10800000;

ManagedPrintPolicy* g_instance = nullptr;

bool hasValue(RegistryKey& key, const wchar_t* name)
{
    return key.isOpen() && RegQueryValueExW(key.getHandle(), name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool readDword(RegistryKey& key, const wchar_t* name, DWORD& value)
{
    DWORD read = 0;
    if (!key.queryDword(name, &read))
        return false;
    value = read;
    return true;
}

} // namespace

ManagedPrintPolicy* ManagedPrintPolicy::instance()
{
    if (!g_instance) {
        g_instance = new ManagedPrintPolicy();
        // Discovery service class id -> the key id whose value allows it.
        const std::pair<GUID, DWORD> services[] = {
            {discoveryids::kLocalPorts, 19},
            {discoveryids::kNetworkShares, 20},
            {discoveryids::kTcpIp, 21},
            {discoveryids::kBluetooth, 22},
        };
        for (const auto& service : services)
            g_instance->discoveryMap_.insert(service);
    }
    return g_instance;
}

bool ManagedPrintPolicy::hasInstance()
{
    return g_instance != nullptr;
}

ManagedPrintPolicy::ManagedPrintPolicy() = default;

ManagedPrintPolicy::~ManagedPrintPolicy()
{
    if (g_instance == this)
        g_instance = nullptr;
}

bool ManagedPrintPolicy::isPolicyFromServer()
{
    return location_.fromServer();
}

std::wstring ManagedPrintPolicy::getPolicyServer()
{
    return location_.server();
}

bool ManagedPrintPolicy::hasPolicy()
{
    if (!hasServerPolicy_ && !queried_) {
        Socket::Initializer sockets; // for the name look-ups of this load
        queryPolicy();
    }
    return hasGroupPolicy_ ? true : hasServerPolicy_;
}

bool ManagedPrintPolicy::getPrinterOrPolicyString(HANDLE printer, const wchar_t* name, std::wstring& value,
                                                  bool& fromPrinter)
{
    // The caller's handle serves the read: reopening the queue with full
    // access for every value cost more than the read itself.
    fromPrinter = PrinterSettings::readString(printer, name, value);
    return fromPrinter || getString(name, value);
}

bool ManagedPrintPolicy::getString(const wchar_t* name, std::wstring& value)
{
    hasPolicy();
    if (hasGroupPolicy_ && groupPolicyKey_)
        return groupPolicyKey_->queryString(name, value);
    if (hasServerPolicy_ && policyCacheKey_)
        return policyCacheKey_->queryString(name, value);
    return false;
}

bool ManagedPrintPolicy::getPrinterOrPolicyDword(HANDLE printer, const wchar_t* name, DWORD& value,
                                                 bool& fromPrinter)
{
    fromPrinter = PrinterSettings::readDword(printer, name, value);
    return fromPrinter || getDword(name, value);
}

bool ManagedPrintPolicy::getDword(const wchar_t* name, DWORD& value)
{
    hasPolicy();
    if (hasGroupPolicy_ && groupPolicyKey_)
        return readDword(*groupPolicyKey_, name, value);
    if (hasServerPolicy_ && policyCacheKey_)
        return readDword(*policyCacheKey_, name, value);
    return false;
}

bool ManagedPrintPolicy::isDeviceAddressShown()
{
    return !hasPolicy() || getBool(L"ShowDeviceAddress", false);
}

bool ManagedPrintPolicy::getBool(const wchar_t* name, bool defaultValue)
{
    hasPolicy();
    if (name && std::wcscmp(name, policyKeyNames[kPolicyKeyColor]) == 0)
        return isColorAllowed(defaultValue);
    RegistryKey* key = nullptr;
    if (hasGroupPolicy_ && groupPolicyKey_)
        key = groupPolicyKey_.get();
    else if (hasServerPolicy_ && policyCacheKey_)
        key = policyCacheKey_.get();
    DWORD value = 0;
    if (!key || !readDword(*key, name, value))
        return defaultValue;
    return value != 0;
}

bool ManagedPrintPolicy::isColorAllowed(bool defaultValue)
{
    // The value, the schedule, the application list and the host's path are
    // read once per load: reading them per question cost a dozen registry
    // reads and a module path each time. Before a load there is nothing to keep.
    if (!colorRead_ || !queried_) {
        readColorRules();
        colorRead_ = queried_;
    }
    if (!colorFound_)
        return defaultValue;
    if (color_ == 0)
        return false;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return colorRules_.allowedAt(now) && colorRules_.allowedForPath(hostPath_);
}

void ManagedPrintPolicy::readColorRules()
{
    const wchar_t* colorName = policyKeyNames[kPolicyKeyColor];
    RegistryKey* key = nullptr;
    color_ = 0;
    if (directoryAvailable_ && hasGroupPolicy_ && groupPolicyKey_ && readDword(*groupPolicyKey_, colorName, color_))
        key = groupPolicyKey_.get();
    else if (hasServerPolicy_ && policyCacheKey_ && readDword(*policyCacheKey_, colorName, color_))
        key = policyCacheKey_.get();
    colorFound_ = key != nullptr;
    colorRules_ = colorrules::Rules();
    if (key && color_ != 0)
        colorRules_.read(*key);
    if (hostPath_.empty()) {
        wchar_t path[MAX_PATH + 1] = {};
        GetModuleFileNameW(nullptr, path, MAX_PATH);
        hostPath_ = colorrules::lowerCase(path);
    }
}

bool ManagedPrintPolicy::isColorAllowedNow(RegistryKey& key)
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return isColorAllowedAt(key, now);
}

bool ManagedPrintPolicy::isColorAllowedAt(RegistryKey& key, const SYSTEMTIME& localTime)
{
    return colorrules::allowedAt(key, localTime);
}

bool ManagedPrintPolicy::isColorAllowedForApplication(RegistryKey& key)
{
    wchar_t path[MAX_PATH + 1] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return isColorAllowedForPath(key, path);
}

bool ManagedPrintPolicy::isColorAllowedForPath(RegistryKey& key, const std::wstring& hostPath)
{
    return colorrules::allowedForPath(key, hostPath);
}

bool ManagedPrintPolicy::isDiscoveryServiceAllowed(const GUID& classId)
{
    if (!hasPolicy())
        return true;
    const auto found = discoveryMap_.find(classId);
    if (found == discoveryMap_.end())
        return true;
    return getBool(policyKeyName(found->second), false);
}

void ManagedPrintPolicy::reset()
{
    PROFILE_SCOPE("ManagedPrintPolicy::reset");
    reloading_ = true;
    policyCacheKey_.reset();
    groupPolicyKey_.reset();
    queried_ = false;
    hasServerPolicy_ = false;
    location_.forgetSource();
    hasGroupPolicy_ = false;
    directoryAvailable_ = false;
    colorRead_ = false;
    serverPolicyOff_ = false;
    directoryPolicyOff_ = false;
    {
        Socket::Initializer sockets; // for the name look-ups of this load
        queryPolicy();
    }
    reloading_ = false;
}

bool ManagedPrintPolicy::arePoliciesOffForPrinter(HANDLE printer)
{
    bool off = serverPolicyOff_ && directoryPolicyOff_;
    if (printer && !off) {
        DWORD value = 0;
        if (getPrinterDword(printer, L"KRVZMA", value) && value == kPrinterPolicyOff)
            serverPolicyOff_ = true;
        if (getPrinterDword(printer, L"KRVADS", value) && value == kPrinterPolicyOff)
            directoryPolicyOff_ = true;
        off = serverPolicyOff_ && directoryPolicyOff_;
    }
    return off;
}

// One load: the local address names the cache; the markers say which
// sources are in force; the server policy comes from a valid cache or is
// fetched again; the user's identity is published; the directory policy is
// read when a directory answers.
bool ManagedPrintPolicy::queryPolicy()
{
    PROFILE_SCOPE("ManagedPrintPolicy::queryPolicy");
    if (!queried_ || reloading_) {
        queried_ = true;
        if (resolveLocalAddress()) {
            RegistryKey hkcu(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess, true, false);
            RegistryKey hklm(HKEY_LOCAL_MACHINE, settingskeys::kSettings, RegistryKey::kRead, false, false);
            readPolicyMarkers(hkcu, hklm);
            loadServerPolicy(hkcu, hklm);
        }
    }
    if (!(serverPolicyOff_ && directoryPolicyOff_))
        publishIdentity();
    if (directoryPolicyOff_)
        return true;
    if (!queryActiveDirectory())
        return false;
    hasGroupPolicy_ = readGroupPolicy();
    return hasGroupPolicy_;
}

bool ManagedPrintPolicy::resolveLocalAddress()
{
    char computer[128] = {};
    DWORD computerLength = sizeof(computer);
    const hostent* host = GetComputerNameA(computer, &computerLength) ? gethostbyname(computer) : nullptr;
    if (!host || host->h_addrtype != AF_INET || host->h_length != 4 || !host->h_addr_list || !host->h_addr_list[0])
        return false;
    const auto* bytes = reinterpret_cast<const unsigned char*>(host->h_addr_list[0]);
    wchar_t address[16] = {};
    std::swprintf(address, 16, L"%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
    localAddress_ = address;
    return true;
}

void ManagedPrintPolicy::readPolicyMarkers(RegistryKey& hkcu, RegistryKey& hklm)
{
    serverPolicyOff_ = true;
    DWORD marker = 0;
    if (readDword(hkcu, L"KRVZMA", marker) || readDword(hklm, L"KRVZMA", marker)) {
        if (marker == kMarkerOn)
            serverPolicyOff_ = false;
    } else {
        std::wstring text;
        if (hkcu.queryString(L"MPPQueryString", text) || hkcu.queryString(L"Policy", text) ||
            hklm.queryString(L"MPPQueryString", text) || hklm.queryString(L"Policy", text)) {
            if (!text.empty()) {
                hkcu.setDword(L"KRVZMA", kMarkerOn);
                serverPolicyOff_ = false;
            }
        }
    }
    directoryPolicyOff_ = true;
    if ((readDword(hkcu, L"KRVADS", marker) || readDword(hklm, L"KRVADS", marker)) && marker == kMarkerOn)
        directoryPolicyOff_ = false;
}

void ManagedPrintPolicy::loadServerPolicy(RegistryKey& hkcu, RegistryKey& hklm)
{
    if (serverPolicyOff_) {
        hasServerPolicy_ = false;
        writePolicyCache(hkcu, localAddress_, false, std::wstring());
        return;
    }
    bool found = false;
    std::wstring location;
    RegistryKey* locationKey = readCachedPolicy(hkcu) ? &hkcu : readCachedPolicy(hklm) ? &hklm : nullptr;
    if (locationKey)
        found = readPolicyLocation(*locationKey, location);

    bool cacheValid = false;
    std::unique_ptr<RegistryKey> cache =
        std::make_unique<RegistryKey>(hkcu.getHandle(), localAddress_, RegistryKey::kAllAccess, false, false);
    if (cache->isOpen() && !reloading_) {
        std::wstring cachedLocation;
        const bool stale = cache->queryString(L"Policy", cachedLocation) && found && cachedLocation != location;
        if (!stale) {
            DWORD refresh = 24, last = 0;
            readDword(*cache, L"RefreshPolicy", refresh);
            readDword(*cache, L"LastPolicyQuery", last);
            cacheValid = isFresh(last, refreshTimeToMs(refresh), GetTickCount());
        }
    }
    if (cacheValid) {
        hasServerPolicy_ = !hasValue(*cache, L"NoPolicy");
        policyCacheKey_ = std::move(cache);
    } else {
        cache.reset();
        hasServerPolicy_ = writePolicyCache(hkcu, localAddress_, found, location);
    }
}

// "Userid" from the policy, else "<user>-<address or computer name>", kept
// in the cache and given to child processes as %USERID%.
void ManagedPrintPolicy::publishIdentity()
{
    std::wstring identity;
    if (!getString(L"Userid", identity)) {
        wchar_t user[128] = {};
        DWORD userLength = 127;
        identity = GetUserNameW(user, &userLength) ? user : L"unknown";
        identity += L"-";
        if (!localAddress_.empty()) {
            identity += localAddress_;
        } else {
            wchar_t computer[MAX_COMPUTERNAME_LENGTH + 2] = {};
            DWORD computerLength = MAX_COMPUTERNAME_LENGTH + 1;
            if (GetComputerNameW(computer, &computerLength))
                identity += computer;
        }
        if (policyCacheKey_)
            policyCacheKey_->setString(L"Userid", identity.c_str());
    }
    SetEnvironmentVariableW(L"USERID", identity.c_str());
}

bool ManagedPrintPolicy::readGroupPolicy()
{
    groupPolicyKey_ = std::make_unique<RegistryKey>(HKEY_CURRENT_USER, settingskeys::kGroupPolicy, RegistryKey::kRead, false, false);
    if (!groupPolicyKey_->isOpen()) {
        groupPolicyKey_.reset();
        return false;
    }
    return true;
}

bool ManagedPrintPolicy::readPolicyLocation(RegistryKey& key, std::wstring& location)
{
    return location_.read(key, localAddress_, reloading_, location);
}

bool ManagedPrintPolicy::writePolicyCache(RegistryKey& parent, const std::wstring& subkey, bool found,
                                          const std::wstring& location)
{
    RegDeleteKeyW(parent.getHandle(), subkey.c_str());
    auto key = std::make_unique<RegistryKey>(parent.getHandle(), subkey, RegistryKey::kAllAccess, true, true);
    if (!key->isOpen())
        return false;
    const bool created = key->wasCreated();
    policyCacheKey_ = std::move(key);

    bool loaded = false;
    if (!serverPolicyOff_ && found) {
        if (created || reloading_)
            writeDefaultPolicy();
        ManagedPrintPolicyParser parser(policyCacheKey_->getHandle());
        loaded = parser.parseLocation(location);
    }
    // A failed fetch or parse is cached as "no policy" too, so that later
    // processes do not take the defaults and a partial document for a policy.
    if (!loaded) {
        policyCacheKey_->setDword(L"NoPolicy", 1);
        policyCacheKey_->setDword(L"RefreshPolicy", kNoPolicyRefreshMs);
    }
    policyCacheKey_->setString(L"Policy", location.c_str());
    policyCacheKey_->setDword(L"LastPolicyQuery", GetTickCount());
    return loaded;
}

void ManagedPrintPolicy::writeDefaultPolicy()
{
    if (!policyCacheKey_)
        return;
    const std::pair<const wchar_t*, DWORD> defaults[] = {
        {L"Restricted", 0},    {L"ShowDriverSettings", 1}, {L"ShowDeviceAddress", 1}, {L"ShowMakePermanent", 1},
        {L"ShowProfiles", 1},  {L"LocalPorts", 1},         {L"NetworkShares", 1},     {L"RendezvousTCPIP", 1},
        {L"Bluetooth", 0},     {L"CustomMPLCount", 0},     {L"Color", 1},             {L"RequireQZDevices", 0},
    };
    for (const auto& value : defaults)
        policyCacheKey_->setDword(value.first, value.second);
}

void ManagedPrintPolicy::buildQueryString(std::wstring& query, RegistryKey& key)
{
    query = PolicyLocation::queryString(key);
}

bool ManagedPrintPolicy::isPolicyServerReachable()
{
    return location_.isServerReachable(localAddress_, reloading_);
}

bool ManagedPrintPolicy::queryActiveDirectory()
{
    directoryAvailable_ = false;
    RegistryKey settings(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kRead, false, false);
    DWORD simulator = 0xFFFFFFFF;
    readDword(settings, L"ADSLoginSimulator", simulator);
    const LONG simulated = static_cast<LONG>(simulator);
    if (simulated == 0)
        return false;
    if (simulated > 0) {
        directoryAvailable_ = true;
        return true;
    }

    std::vector<char> domain(256);
    DWORD length = GetEnvironmentVariableA("USERDNSDOMAIN", domain.data(), static_cast<DWORD>(domain.size()));
    if (length >= domain.size()) {
        domain.assign(length + 10, '\0');
        length = GetEnvironmentVariableA("USERDNSDOMAIN", domain.data(), static_cast<DWORD>(domain.size()));
        if (length >= domain.size())
            length = 0;
    }
    if (length == 0 || !gethostbyname(domain.data()))
        return false;

    COMWrapper* com = getThreadCOMWrapper(__FILE__, __LINE__);
    const HRESULT init = com ? com->initialize() : E_FAIL;
    if (SUCCEEDED(init) || init == RPC_E_CHANGED_MODE) {
        Microsoft::WRL::ComPtr<IADs> root;
        if (SUCCEEDED(ADsOpenObject(L"LDAP://rootDSE", nullptr, nullptr, ADS_SECURE_AUTHENTICATION, IID_IADs,
                                    reinterpret_cast<void**>(root.GetAddressOf()))) &&
            root)
            directoryAvailable_ = true;
    }
    if (com)
        com->uninitialize();
    return directoryAvailable_;
}

bool ManagedPrintPolicy::readCachedPolicy(RegistryKey& key)
{
    std::wstring location;
    return key.queryString(L"Policy", location);
}

} // namespace MPrint
