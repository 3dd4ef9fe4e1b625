// The real destination of a queue that a remote-desktop connection created
// for a client's printer (a terminal-server or Citrix client port): the
// client's own printer when its port leads to a device, else what the
// client's "print$" share says of the printer (vrelc21.cfg: its port, its
// model and a bidi cache to import), else the port of the client's printer
// of the same name. The port found is kept in the queue's printer data
// "LumoAutoCreatedClientPort", through the maker's monitor when the spooler
// refuses the write. A share that refuses access is offered a connection
// with credentials when the user's "AutoCreatePrompt" is set.
#pragma once

#include "core/Win32.h"

#include <string>

class LumoraPrintingExtension;

class AutoCreatedClientPortSetup {
public:
    // The configuration file, below the client's server name.
    static constexpr wchar_t kConfigFile[] = L"\\print$\\vrelc21.cfg";
    // Longest value taken from the configuration file; a longer one is refused.
    static constexpr DWORD kMaxConfigValue = 1024;

    explicit AutoCreatedClientPortSetup(LumoraPrintingExtension* extension);
    virtual ~AutoCreatedClientPortSetup() = default;
    AutoCreatedClientPortSetup(const AutoCreatedClientPortSetup&) = delete;
    AutoCreatedClientPortSetup& operator=(const AutoCreatedClientPortSetup&) = delete;

    // True with the port when one was found and stored, or when the
    // configuration file gave it (the store may then have failed); false
    // without a handle, a readable queue or a client port.
    bool run(HANDLE printer, std::wstring& port);

protected:
    // The credentials box for the client's share (template 106, owned by the
    // active window): 1 when connected, 2 when cancelled.
    virtual INT_PTR askForConnection(const std::wstring& uncPath, const std::wstring& displayText);

private:
    enum class ConfigResult { kRead, kRefused, kMissing };

    // Reads the printer's section of the client's configuration file.
    ConfigResult readConfig(const std::wstring& server, const std::wstring& printerName, const std::wstring& portName,
                            std::wstring& port, bool& result);
    static bool storePort(HANDLE printer, const std::wstring& printerName, const std::wstring& port);

    LumoraPrintingExtension* extension_;
};
