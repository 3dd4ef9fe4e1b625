// The module's process gets the whole destination workflow: the core's own
// operations, and the queue's SNMP community stored by its provider, which
// the core cannot reach from its layer. Set while the module loads (a
// pointer, nothing more) and taken away before it unloads.
#include "bidi/SNMPCommunityName.h"
#include "extension/DestinationWorkflow.h"

namespace {

class ModuleWorkflow : public MPrint::DestinationWorkflow {
public:
    // By the caller's open handle when there is one, else by the queue's
    // name (opened with full access, which a user without rights on the
    // queue does not get: the store then fails).
    bool storeQueueCommunity(HANDLE printer, const std::wstring& printerName, const std::wstring& community) override
    {
        if (printer)
            return SNMPQueueCommunityName(&printer).store(community);
        return SNMPQueueCommunityName(printerName.c_str()).store(community);
    }
};

struct Install {
    Install() { MPrint::DestinationWorkflow::set(&workflow); }
    ~Install() { MPrint::DestinationWorkflow::set(nullptr); }
    ModuleWorkflow workflow;
} g_install;

} // namespace
