// A made-up server for UNC paths: Wine maps \\server\share\... to the folder
// dosdevices\unc\server\share\... of the prefix. The server's folder is
// created for the scope of the object and removed with all it holds.
#pragma once

#include "core/Win32.h"

#include <string>

namespace testenv {

class UncServer {
public:
    explicit UncServer(const std::wstring& server);
    ~UncServer();
    UncServer(const UncServer&) = delete;
    UncServer& operator=(const UncServer&) = delete;

    // False when the prefix is unknown or the folder could not be made.
    bool ready() const { return ready_; }
    // "\\server" and "\\server\relative".
    std::wstring path(const std::wstring& relative = L"") const;
    // The local folder or file behind "\\server\relative".
    std::wstring local(const std::wstring& relative) const;
    // Writes a file below the server, creating its folders.
    bool writeFile(const std::wstring& relative, const std::string& bytes) const;
    // A folder where a file is expected: opening it for reading is refused.
    bool makeFolder(const std::wstring& relative) const;

private:
    std::wstring server_;
    std::wstring root_;
    bool ready_ = false;
};

} // namespace testenv
