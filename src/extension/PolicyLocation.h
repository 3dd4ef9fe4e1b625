// Where the server policy is fetched from. The "Policy" value names an
// http(s) location (a query telling the server who asks is added unless it
// names an .xml file), a file, or a policy server's host; without a usable
// value the site's policy server ("printpolicy" unless a value named
// another) serves "/policy" when its name resolves. Whether it resolved is
// remembered per process for three hours.
#pragma once

#include "core/RegistryKey.h"

#include <string>

namespace MPrint {

class PolicyLocation {
public:
    PolicyLocation();

    // The document's location from the key's "Policy" value, or the policy
    // server's; false when there is nothing to fetch. recheck ignores the
    // remembered reachability (a reload).
    bool read(RegistryKey& key, const std::wstring& localAddress, bool recheck, std::wstring& location);
    // Whether the policy server's name resolves (remembered per process and
    // local address unless recheck).
    bool isServerReachable(const std::wstring& localAddress, bool recheck);
    // "?userName=...[&domainName=...][&mpdVersion=a.b.c.d][&<MPPQueryString>]".
    static std::wstring queryString(RegistryKey& key);

    const std::wstring& server() const { return server_; }
    bool fromServer() const { return fromServer_; }
    // A reload forgets whether the policy came from the server.
    void forgetSource() { fromServer_ = false; }

private:
    std::wstring server_;
    bool fromServer_ = false;
};

} // namespace MPrint
