// Fixtures for the maker's port components: the shared I/O COM server
// (bin/sharedio/QZSharedIO.dll) and the remote-port module
// (bin/remoteport/<variant>/vrelm109.dll). Each records its calls in a file
// of its own per fixture.
#pragma once

#include "core/Win32.h"

#include <string>
#include <vector>

namespace testports {

// Registers the shared I/O server in the prefix (idempotent); false when it
// could not be loaded or registered.
bool registerSharedIO();

// What the shared I/O stand-in answers for one port, for the fixture's life.
struct SharedIOAnswer {
    DWORD flags = 0;
    DWORD valueA = 0;
    std::wstring address;  // empty: the address slots fail
    DWORD valueB = 0;
    std::wstring secondary;
    DWORD result = 0;      // HRESULT of the classification
};
class ScopedSharedIOPort {
public:
    ScopedSharedIOPort(const std::wstring& port, const SharedIOAnswer& answer);
    ~ScopedSharedIOPort();
    ScopedSharedIOPort(const ScopedSharedIOPort&) = delete;
    ScopedSharedIOPort& operator=(const ScopedSharedIOPort&) = delete;

private:
    std::wstring key_;
};

// The folder holding a variant of vrelm109.dll ("full" or "nofree").
std::wstring remotePortDir(const std::wstring& variant);

} // namespace testports
