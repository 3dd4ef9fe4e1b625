// "QZ Standard TCP/IP Port": the maker's TCP/IP monitor. "AddPort" takes a
// PORT_DATA_1 record; "AddPortEx" takes a port name and reads that port's
// settings from the section of the same name in %SystemRoot%\system32\AddPort.ini.
#include "monitorbase/TcpPorts.h"

#include <vector>

namespace {

std::wstring addPortIniPath()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ExpandEnvironmentStringsW(L"%SystemRoot%\\system32\\AddPort.ini", path, MAX_PATH);
    return length == 0 || length > MAX_PATH ? std::wstring() : std::wstring(path);
}

std::wstring iniText(const std::wstring& file, const std::wstring& section, const wchar_t* key)
{
    wchar_t text[256] = {};
    GetPrivateProfileStringW(section.c_str(), key, L"", text, 256, file.c_str());
    return text;
}

class QZTcpMonitor : public qzmon::Monitor {
public:
    using Monitor::Monitor;
    const wchar_t* name() const override { return L"QZ Standard TCP/IP Port"; }

    DWORD xcvData(const std::wstring& command, qzmon::XcvCall& call) override
    {
        if (command != L"AddPort" && command != L"AddPortEx")
            return ERROR_INVALID_FUNCTION;
        if (!call.administer())
            return ERROR_ACCESS_DENIED;
        qzmon::TcpPortSettings settings;
        const DWORD status = command == L"AddPort" ? qzmon::parsePortData1(call.input, call.inputSize, settings)
                                                   : fromAddPortIni(call, settings);
        return status != ERROR_SUCCESS ? status : qzmon::addTcpPort(*this, settings);
    }

private:
    static DWORD fromAddPortIni(const qzmon::XcvCall& call, qzmon::TcpPortSettings& settings)
    {
        if (!qzmon::readText(call.input, call.inputSize, 0, settings.name, 127) ||
            (settings.name.size() + 1) * sizeof(wchar_t) != call.inputSize)
            return ERROR_INVALID_PARAMETER;
        const std::wstring file = addPortIniPath();
        if (file.empty() || GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES)
            return ERROR_FILE_NOT_FOUND;
        const std::wstring& section = settings.name;
        settings.portNumber = GetPrivateProfileIntW(section.c_str(), L"PortNumber", 9100, file.c_str());
        settings.snmpEnabled = GetPrivateProfileIntW(section.c_str(), L"SNMPEnabled", 0, file.c_str());
        settings.protocol = GetPrivateProfileIntW(section.c_str(), L"ProtocolType", 1, file.c_str());
        settings.community = iniText(file, section, L"Community");
        settings.hostName = iniText(file, section, L"HostName");
        settings.ipAddress = iniText(file, section, L"IPAddress");
        if (settings.hostName.empty() && settings.ipAddress.empty())
            return ERROR_INVALID_DATA;
        if (settings.protocol != 1 && settings.protocol != 2)
            return ERROR_INVALID_DATA;
        return ERROR_SUCCESS;
    }
};

} // namespace

qzmon::Monitor* qzmon::createMonitor(const MONITORINIT& init)
{
    return new QZTcpMonitor(init);
}
