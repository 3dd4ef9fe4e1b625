// Printers shared by print servers, named "\\server\share": the shell's
// browse-for-printer dialog (Search), typed paths (Resolve, which probes
// the share) and ValidateDevice, which tells a Novell queue, an open share,
// a share that wants other credentials (14) and an unreachable one (2)
// apart. The Novell modules are loaded and freed within each test.
#pragma once

#include "discovery/BasicDiscoveryService.h"

#include <shlobj.h>

#include <string>

namespace MPrint {

class UNCPathDiscovery : public BasicDiscoveryService {
public:
    static constexpr uint32_t kUnreachable = 2;
    static constexpr uint32_t kCredentialsNeeded = 14;
    static constexpr int kNewFolderButton = 14150;
    static constexpr wchar_t kHiddenProperty[] = L"Hidden";

    UNCPathDiscovery();
    ~UNCPathDiscovery() override;

    uint32_t GetSearchCapabilities() override; // kCapSearch | kCapResolve
    // The modal browse dialog (flags 8 without 32, else 3): 0 with the
    // picked printer announced, 5 when nothing was picked.
    uint32_t Search(HWND window, DestinationContext* context, PrintPathList& list, uint32_t flags) override;
    // Any path of the grammar resolves (0), reachable or not; the probe only
    // adds "WindowsUNC" or "NovellAddress".
    uint32_t Resolve(HWND owner, const std::wstring& address, const std::wstring& nickname,
                     const std::wstring& displayString, PrintPathList& list) override;
    uint32_t ValidateDevice(HWND owner, PrintPath* path) override;

    // "\\server\share" with at most one trailing "\": both names non-empty,
    // at least 6 characters in all, the server part a UNC server name.
    static bool isUNCPrinterPath(const std::wstring& text);
    // Whether a Novell module (vrelq01, then vreln01) answers a handle for
    // the path; a module that is missing or answers none passes to the next.
    static bool isNovellQueue(const std::wstring& path);
    // The browse dialog's callback, data the service: hides the new-folder
    // button once (OK and Cancel trade places when it lay right of Cancel)
    // and keeps the dialog open with a message on a path it cannot take.
    static int CALLBACK browseCallback(HWND dialog, UINT message, LPARAM parameter, LPARAM data);

protected:
    // True when the share exists: opened (opened set) or refusing these
    // credentials. Opens it for writing, which on a printer share starts and
    // ends an empty spool file.
    bool probeShare(const std::wstring& path, bool& opened);
    // The open of probeShare: ERROR_SUCCESS (the handle closed again) or the
    // open's error. Tests replace it for the logon failure Wine cannot give.
    virtual DWORD openShareForWrite(const std::wstring& path);
    // Runs a folder browse with the callback (data: this service) and
    // answers the picked path, empty when nothing was picked. COM is
    // initialised for the browse and uninitialised only when that worked.
    std::wstring browse(HWND owner, int rootFolder, const std::wstring& title, UINT flags, BFFCALLBACK callback);
    // Hides the new-folder button the first time; true that once.
    static bool hideNewFolderButton(HWND dialog);
    // Builds the announced or resolved path of an address; the caller adds
    // the rest.
    PrintPath* makeUncPath(const std::wstring& address, DWORD manuallyEntered) const;
    // The browse dialog's message on a path it cannot take.
    void showInvalidSelection(HWND dialog) const;
};

} // namespace MPrint
