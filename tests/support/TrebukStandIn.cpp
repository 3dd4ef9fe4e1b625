#include "support/TrebukStandIn.h"

#include "bidi/SNMPCommunityName.h"

namespace testtrebuk {

namespace {
constexpr wchar_t kDevicesKey[] = L"SOFTWARE\\VrelmTrebukStandIn\\Devices\\";
}

bool registerServer()
{
    static const bool registered = [] {
        wchar_t system[MAX_PATH] = {};
        GetSystemDirectoryW(system, MAX_PATH);
        const testenv::ProcessResult result = testenv::runProcess(
            std::wstring(L"\"") + system + L"\\regsvr32.exe\" /s \"" + testenv::binDir() +
            L"\\trebuk\\QZTrebukBidi.dll\"");
        return result.exitCode == 0;
    }();
    return registered;
}

ScopedDevice::ScopedDevice(const DeviceScript& script)
{
    static LONG counter = 0;
    const DWORD pid = GetCurrentProcessId();
    const LONG n = InterlockedIncrement(&counter);
    address_ = !script.address.empty() ? script.address
                                       : L"127." + std::to_wstring((pid >> 8) & 0xFF) + L"." +
                                             std::to_wstring(pid & 0xFF) + L"." + std::to_wstring(n & 0xFF);
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, (kDevicesKey + address_).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return;
    auto dword = [&](const wchar_t* name, DWORD value) {
        RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    };
    RegSetValueExW(key, L"Model", 0, REG_SZ, reinterpret_cast<const BYTE*>(script.model.c_str()),
                   static_cast<DWORD>((script.model.size() + 1) * sizeof(wchar_t)));
    if (script.connectFailures) {
        dword(L"ConnectFailures", script.connectFailures);
        dword(L"ConnectResult", script.connectResult);
    }
    if (script.getResult)
        dword(L"GetResult", script.getResult);
    if (script.overallStatus)
        dword(L"OverallStatus", script.overallValue);
    if (script.shortNextOids)
        dword(L"ShortNextOids", 1);
    RegCloseKey(key);
}

ScopedDevice::~ScopedDevice()
{
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kDevicesKey + address_).c_str());
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, SNMPCIOCommunityName::kKeyPath, address_.c_str());
}

std::wstring ScopedDevice::publishedCommunity() const
{
    wchar_t value[64] = {};
    DWORD size = sizeof(value) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, SNMPCIOCommunityName::kKeyPath, address_.c_str(), RRF_RT_REG_SZ, nullptr,
                     value, &size) != ERROR_SUCCESS)
        return {};
    return value;
}

std::vector<std::vector<std::string>> ScopedCallLog::calls(const std::string& word) const
{
    std::vector<std::vector<std::string>> found;
    for (const std::string& line : lines()) {
        if (line == word) {
            found.emplace_back();
            continue;
        }
        if (line.compare(0, word.size() + 1, word + " ") != 0)
            continue;
        std::vector<std::string> fields;
        size_t at = word.size() + 1;
        while (true) {
            const size_t tab = line.find('\t', at);
            fields.push_back(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
            if (tab == std::string::npos)
                break;
            at = tab + 1;
        }
        found.push_back(fields);
    }
    return found;
}

ScopedModel::ScopedModel(const std::string& oidTable)
{
    testenv::writeFile(dir_.file(L"oids.txt"), oidTable);
}

} // namespace testtrebuk
