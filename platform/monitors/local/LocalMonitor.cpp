// "Local Port": the machine's own ports, kept where Windows keeps them, as
// values of HKLM "SOFTWARE\Microsoft\Windows NT\CurrentVersion\Ports".
// "AddPort" and "DeletePort" take a port name.
#include "monitorbase/MonitorCore.h"

namespace {

constexpr wchar_t kLocalPortsPath[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";

class LocalMonitor : public qzmon::Monitor {
public:
    using Monitor::Monitor;
    const wchar_t* name() const override { return L"Local Port"; }

    bool portExists(const std::wstring& port) const override
    {
        return !port.empty() && RegGetValueW(HKEY_LOCAL_MACHINE, kLocalPortsPath, port.c_str(), RRF_RT_ANY, nullptr,
                                             nullptr, nullptr) == ERROR_SUCCESS;
    }

    std::vector<qzmon::PortEntry> ports() override
    {
        std::vector<qzmon::PortEntry> entries;
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kLocalPortsPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return entries;
        for (DWORD index = 0;; ++index) {
            wchar_t port[256] = {};
            DWORD chars = 256;
            if (RegEnumValueW(key, index, port, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            entries.push_back({port, name()});
        }
        RegCloseKey(key);
        return entries;
    }

    DWORD xcvData(const std::wstring& command, qzmon::XcvCall& call) override
    {
        if (command != L"AddPort" && command != L"DeletePort")
            return ERROR_INVALID_FUNCTION;
        if (!call.administer())
            return ERROR_ACCESS_DENIED;
        std::wstring port;
        if (!qzmon::readText(call.input, call.inputSize, 0, port, 255))
            return ERROR_INVALID_PARAMETER;
        if (command == L"DeletePort") {
            return RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kLocalPortsPath, port.c_str()) == ERROR_SUCCESS
                       ? ERROR_SUCCESS
                       : ERROR_UNKNOWN_PORT;
        }
        if (port.empty() || port.find(L',') != std::wstring::npos)
            return ERROR_INVALID_NAME;
        if (portExists(port))
            return ERROR_ALREADY_EXISTS;
        return RegSetKeyValueW(HKEY_LOCAL_MACHINE, kLocalPortsPath, port.c_str(), REG_SZ, L"", sizeof(wchar_t)) ==
                       ERROR_SUCCESS
                   ? ERROR_SUCCESS
                   : ERROR_CANTWRITE;
    }
};

} // namespace

qzmon::Monitor* qzmon::createMonitor(const MONITORINIT& init)
{
    return new LocalMonitor(init);
}
