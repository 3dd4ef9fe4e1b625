// A DeviceSettings sink that keeps every value in memory and records the
// order of the writes ("dword Name=1", "string Name=Text").
#pragma once

#include "destination/DeviceSettings.h"

#include <map>
#include <string>
#include <vector>

namespace testenv {

class MemoryDeviceSettings : public DeviceSettings {
public:
    bool setString(const wchar_t* name, const wchar_t* text) override;
    bool setDword(const wchar_t* name, DWORD value) override;
    bool getString(const wchar_t* name, std::wstring& text) override;
    bool getDword(const wchar_t* name, DWORD& value) override;

    std::vector<std::wstring> writes;
    // The writes joined by "; ".
    std::wstring joinedWrites() const;

private:
    std::map<std::wstring, std::wstring> strings_;
    std::map<std::wstring, DWORD> dwords_;
};

} // namespace testenv
