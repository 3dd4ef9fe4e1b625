// The user's own settings, which the module and its rundll32 child read:
// prompting without a question, the destination chosen last, and that
// destination (a network device at a host) in the history. Put back, and
// the entry removed, with the scope.
#pragma once

#include "core/Win32.h"

#include <optional>
#include <string>
#include <vector>

namespace testenv {

class UserDestination {
public:
    // A non-empty community goes with the destination as its SNMP community.
    UserDestination(const std::wstring& display, const std::wstring& host, const std::wstring& verifyPdl,
                    const std::wstring& community = L"");
    ~UserDestination();
    UserDestination(const UserDestination&) = delete;
    UserDestination& operator=(const UserDestination&) = delete;

    // How many times the module re-pointed a queue for the user.
    DWORD changedPorts() const;

private:
    struct Kept {
        const wchar_t* name;
        std::wstring text;
        std::optional<DWORD> number;
        bool absent = false;
    };

    std::wstring display_;
    std::vector<Kept> kept_;
};

} // namespace testenv
