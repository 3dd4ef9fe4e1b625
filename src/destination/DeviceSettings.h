// Typed settings of a device, written and read by name: the sink that
// feature accessors and configuration steps write through.
#pragma once

#include "core/Win32.h"

#include <string>

class DeviceSettings {
public:
    virtual ~DeviceSettings() = default;
    virtual bool setString(const wchar_t* name, const wchar_t* text) = 0;
    virtual bool setDword(const wchar_t* name, DWORD value) = 0;
    // The output is untouched when false is returned.
    virtual bool getString(const wchar_t* name, std::wstring& text) = 0;
    virtual bool getDword(const wchar_t* name, DWORD& value) = 0;
};
