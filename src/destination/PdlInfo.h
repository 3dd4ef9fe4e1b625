// One page description language of a device: the Printer MIB interpreter
// family (3 PCL, 6 PostScript, 47 PCL XL), its name and version text as the
// device reported them, and the major/minor numbers read from that text
// (-1 when there are none).
#pragma once

#include "core/Win32.h"

#include <string>

class PdlInfo {
public:
    PdlInfo(DWORD family, const std::string& description, const std::string& version);

    // Copying keeps the parsed numbers; assign() parses again.
    void assign(DWORD family, const std::string& description, const std::string& version);

    // Family, description and version text, compared exactly.
    bool operator==(const PdlInfo& other) const;

    DWORD getFamily() const { return family_; }
    const std::string& getDescription() const { return description_; }
    const std::string& getVersion() const { return version_; }
    int getMajorVersion() const { return major_; }
    int getMinorVersion() const { return minor_; }
    const std::string& getVersionRemainder() const { return remainder_; }

private:
    void parseVersion();

    DWORD family_ = 0;
    std::string description_;
    std::string version_;
    int major_ = -1;
    int minor_ = -1;
    std::string remainder_;
};
