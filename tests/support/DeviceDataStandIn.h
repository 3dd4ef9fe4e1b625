// The device-data module stand-in (bin/vrelm112/<variant>/vrelm112.dll)
// placed in the "3" folder of a driver store of this process's own
// (VRELM_SPOOLER_DRIVER_ROOT), with a host list and a call log of its own.
// The module loader keeps the module for the life of the process, so one
// instance is meant to live as long as the test process (see shared()).
#pragma once

#include "support/TestEnv.h"

#include <string>
#include <vector>

namespace testenv {

class DeviceDataStandIn {
public:
    // "full" or "lacking" (no GetXMLTreeFromTreeID).
    explicit DeviceDataStandIn(const std::wstring& variant = L"full");
    ~DeviceDataStandIn();
    DeviceDataStandIn(const DeviceDataStandIn&) = delete;
    DeviceDataStandIn& operator=(const DeviceDataStandIn&) = delete;

    // One per process, made on first use, never destroyed before exit.
    static DeviceDataStandIn& shared(const std::wstring& variant = L"full");

    bool ready() const { return ready_; }
    // The host's device type (1 LEDM, 2 legacy) and the folder of its trees
    // (a model name under bin/devices, optionally with a sub-folder, or a path).
    void addHost(const std::wstring& host, DWORD type, const std::wstring& folder);
    // Log lines "<export>\t<host>\t<root>\t<result>", of one export or all.
    std::vector<std::string> calls(const std::string& exportName = {}) const;
    void clearCalls() const;

private:
    TempDir dir_;
    bool ready_ = false;
};

} // namespace testenv
