// The job-control-ticket module stand-in (bin/vrelm108/<variant>/vrelm108.DLL)
// placed in the driver directory of a driver store of this process's own
// (VRELM_SPOOLER_DRIVER_ROOT), with its answers per queue and per device
// address and a call log of its own. The fixture tickets live in bin/jct.
#pragma once

#include "support/TestEnv.h"

#include <map>
#include <string>
#include <vector>

namespace testenv {

class JobTicketModuleStandIn {
public:
    // "full" or "queueonly" (no CreateJCTForDeviceAddress).
    explicit JobTicketModuleStandIn(const std::wstring& variant = L"full");
    ~JobTicketModuleStandIn();
    JobTicketModuleStandIn(const JobTicketModuleStandIn&) = delete;
    JobTicketModuleStandIn& operator=(const JobTicketModuleStandIn&) = delete;

    bool ready() const { return ready_; }
    // answer: a fixture ticket ("office.xml"), a full path, "fail" or "garbage".
    void answerQueue(const std::wstring& queue, const std::wstring& answer);
    void answerAddress(const std::wstring& address, const std::wstring& answer);
    // Log lines "<export>\t<queue or address>\t<0|1>", of one export or all.
    std::vector<std::string> calls(const std::string& exportName = {}) const;
    // Removes the module from the driver directory (as a queue without it).
    void removeModule() const;

    // bin/jct/<name>
    static std::wstring ticket(const std::wstring& name);
    // The feature texts (value name, text) of office.xml as a queue stores them.
    static const std::map<std::wstring, std::wstring>& officeValues();

private:
    void answer(const char* kind, const std::wstring& name, const std::wstring& answer);

    TempDir dir_;
    std::wstring modulePath_;
    bool ready_ = false;
};

} // namespace testenv
