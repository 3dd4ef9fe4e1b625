// Fixtures for the Trebuk port's COM server stand-in (bin/trebuk/
// QZTrebukBidi.dll): its registration with regsvr32, a device per unique
// address for the fixture's life (model table and scripted faults), and the
// server's call log, which child processes write too.
#pragma once

#include "core/Win32.h"
#include "support/TestEnv.h"

#include <string>
#include <vector>

namespace testtrebuk {

// regsvr32 /s of the stand-in in this prefix, once per process.
bool registerServer();

// What the server does for one device; see platform/trebuk/TrebukServer.cpp.
struct DeviceScript {
    std::wstring model = L"office-ledm"; // folder under bin/devices, or a full path
    std::wstring address;                // empty: a unique loopback address
    DWORD connectFailures = 0;           // 0xFFFFFFFF: every attempt fails
    DWORD connectResult = 0x80004005;
    DWORD getResult = 0;
    bool overallStatus = false;          // report overallValue as the overall status
    DWORD overallValue = 0;
    bool shortNextOids = false;
};

// A device at an address no other live process uses (127.<pid>.<n>), or at
// the script's address (a port name, an IPX address...); its key and the community
// published for it go with the scope.
class ScopedDevice {
public:
    explicit ScopedDevice(const DeviceScript& script = DeviceScript());
    ~ScopedDevice();
    ScopedDevice(const ScopedDevice&) = delete;
    ScopedDevice& operator=(const ScopedDevice&) = delete;
    const std::wstring& address() const { return address_; }
    // The community the module published for the address; empty when none.
    std::wstring publishedCommunity() const;

private:
    std::wstring address_;
};

// VRELM_TREBUK_LOG for this process and its children.
class ScopedCallLog : public testenv::ScopedLogVariable {
public:
    ScopedCallLog() : ScopedLogVariable(L"VRELM_TREBUK_LOG") {}
    // The tab-separated fields after the word of each line that starts with it.
    std::vector<std::vector<std::string>> calls(const std::string& word) const;
};

// A model folder written for one test: bin-independent, removed with the scope.
class ScopedModel {
public:
    explicit ScopedModel(const std::string& oidTable);
    const std::wstring& path() const { return dir_.path(); }

private:
    testenv::TempDir dir_;
};

} // namespace testtrebuk
