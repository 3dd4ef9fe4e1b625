#include "support/DeviceDataStandIn.h"

#include "support/LedmDevice.h"

#include <cstdio>

namespace testenv {

DeviceDataStandIn::DeviceDataStandIn(const std::wstring& variant)
{
    const std::wstring folder = makePrivateDriverStore(dir_);
    SetEnvironmentVariableW(L"VRELM_DEVICEDATA_CONFIG", dir_.file(L"hosts.txt").c_str());
    SetEnvironmentVariableW(L"VRELM_DEVICEDATA_LOG", dir_.file(L"calls.log").c_str());
    ready_ = writeFile(dir_.file(L"hosts.txt"), "") &&
             copyFileTo(binDir() + L"\\vrelm112\\" + variant + L"\\vrelm112.dll", folder + L"\\vrelm112.dll");
}

DeviceDataStandIn::~DeviceDataStandIn()
{
    SetEnvironmentVariableW(L"VRELM_DEVICEDATA_CONFIG", nullptr);
    SetEnvironmentVariableW(L"VRELM_DEVICEDATA_LOG", nullptr);
    SetEnvironmentVariableW(L"VRELM_SPOOLER_DRIVER_ROOT", nullptr);
}

DeviceDataStandIn& DeviceDataStandIn::shared(const std::wstring& variant)
{
    static DeviceDataStandIn* instance = new DeviceDataStandIn(variant);
    return *instance;
}

void DeviceDataStandIn::addHost(const std::wstring& host, DWORD type, const std::wstring& folder)
{
    const std::wstring path = folder.find(L':') != std::wstring::npos ? folder : LedmDevice::modelsDir() + L"\\" + folder;
    std::string line;
    for (wchar_t c : host + L"\t" + std::to_wstring(type) + L"\t" + path)
        line += static_cast<char>(c); // test hosts and build paths are ASCII
    const std::string content = readFile(dir_.file(L"hosts.txt")) + line + "\n";
    writeFile(dir_.file(L"hosts.txt"), content);
}

std::vector<std::string> DeviceDataStandIn::calls(const std::string& exportName) const
{
    std::vector<std::string> result;
    for (const std::string& line : readLines(dir_.file(L"calls.log")))
        if (exportName.empty() || line.compare(0, exportName.size() + 1, exportName + "\t") == 0)
            result.push_back(line);
    return result;
}

void DeviceDataStandIn::clearCalls() const { DeleteFileW(dir_.file(L"calls.log").c_str()); }

} // namespace testenv
