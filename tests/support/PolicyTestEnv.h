// The managed print policy's registry as tests see it: its fixed settings
// values, the volatile cache subkey and the group-policy key. Every test
// executable that touches them takes the CTest lock "policy_settings".
#pragma once

#include "core/RegistryKey.h"
#include "core/SettingsKeys.h"
#include "core/Win32.h"

#include <string>

namespace testenv {

// The dotted address the policy names its cache subkey by (the computer
// name resolved); empty when it does not resolve. Needs WSAStartup.
std::wstring policyLocalAddress();

// Removes every value and key a policy test may have set: the settings
// values the policy reads (HKCU and HKLM), the cache subkey and the
// group-policy key, and deletes the process's policy object.
void clearPolicyState();

// A cache subkey that a fresh policy object takes as valid: "Policy" =
// location, stamped now, refreshed after refreshHours.
RegistryKey makeValidPolicyCache(const std::wstring& location, DWORD refreshHours = 24);

// A server policy in force for the next policy object: an empty policy file
// at location, the user's settings naming it with the server-policy marker
// on, and a valid cache subkey, returned for the caller to fill. The key is
// closed when the file cannot be written.
RegistryKey makeServerPolicyInForce(const std::wstring& location);

// Sockets for the test process, balanced on destruction.
class Winsock {
public:
    Winsock() { WSAStartup(MAKEWORD(2, 2), &data_); }
    ~Winsock() { WSACleanup(); }
    Winsock(const Winsock&) = delete;
    Winsock& operator=(const Winsock&) = delete;

private:
    WSADATA data_{};
};

} // namespace testenv
