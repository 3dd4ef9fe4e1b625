// Decides whether a device is driven in colour (1) or monochrome (0) from
// what is known of it: the colour flag it reported, its model name, its page
// description language and version, and the user interface's colour
// setting. -1 means not decided. The printer handle, when given, is only
// read ("PDL-PCL5") and never closed here.
#pragma once

#include "core/Win32.h"

#include <string>

class CDeviceRenderTypeHandler {
public:
    enum RenderType : int { RenderNotSet = -1, RenderMono = 0, RenderColor = 1 };
    // Device colour flag: -1 not reported, 0 reports colour, 1 reports none.
    enum DeviceColorFlag : int { DeviceColorUnknown = -1, DeviceColor = 0, DeviceNoColor = 1 };
    // UI setting: -1 or 2 automatic, 1 colour, anything else monochrome.
    enum UiRenderSetting : int { UiAutomatic = -1, UiMono = 0, UiColor = 1, UiAutomatic2 = 2 };
    static constexpr int kPdlPcl5 = 3;

    CDeviceRenderTypeHandler() = default;
    explicit CDeviceRenderTypeHandler(HANDLE printer) : printer_(printer) {}
    // Not virtual: nothing deletes a handler through a base pointer.
    ~CDeviceRenderTypeHandler() = default;

    virtual int GetDefaultRenderType();
    virtual DWORD SetRenderType(int renderType);
    // forceMono null: the stored type unchanged. Otherwise *forceMono = 1
    // unless the decision is colour.
    virtual int SetRenderType(DWORD* forceMono, std::wstring modelName, int pdlType, int uiRenderTypeSetting);
    virtual int SetRenderType(int deviceColorFlag, std::wstring modelName, int pdlType, std::wstring pdlVersion);
    virtual int GetRenderTypeFromPDL(int pdlType, std::wstring pdlVersion);
    virtual int GetRenderTypeFromModelName(const std::wstring& modelName);
    virtual bool IsColorModelName(std::wstring modelName);
    virtual int CombineRenderTypes(int fromPDL, int fromModel);
    // An empty version reads the printer's "PDL-PCL5" instead.
    virtual bool IsPCL5e(std::wstring pdlVersion);

    int getRenderType() const { return renderType_; }

private:
    int renderType_ = RenderNotSet;
    HANDLE printer_ = nullptr;
};
