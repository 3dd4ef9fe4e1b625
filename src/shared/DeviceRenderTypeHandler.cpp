#include "shared/DeviceRenderTypeHandler.h"

#include "core/AsciiCase.h"
#include "core/TraceLine.h"
#include "shared/PrinterData.h"

namespace {

// Searched in this order; the first that the lower-cased name holds wins.
constexpr const wchar_t* kColorModelParts[] = {L"color", L"calvenor", L"6100c", L"inkjet",
                                               L"plinthe", L"ardelle c", L"zel c"};

} // namespace

int CDeviceRenderTypeHandler::GetDefaultRenderType()
{
    return RenderMono;
}

DWORD CDeviceRenderTypeHandler::SetRenderType(int renderType)
{
    renderType_ = renderType;
    logTraceFormat("CDeviceRenderTypeHandler::SetRenderType() - set render type(%d)", renderType);
    return 1;
}

int CDeviceRenderTypeHandler::SetRenderType(DWORD* forceMono, std::wstring modelName, int pdlType,
                                            int uiRenderTypeSetting)
{
    logTraceFormat("SetRenderType - pForceMono(0x%p), modelName(%S), ePDLType(%d), eUIRenderTypeSetting(%d)\n",
                   static_cast<void*>(forceMono), modelName.c_str(), pdlType, uiRenderTypeSetting);
    if (!forceMono)
        return renderType_;
    const int fromPdl = GetRenderTypeFromPDL(pdlType, std::wstring());
    const int fromModel = GetRenderTypeFromModelName(modelName);
    int type;
    if (uiRenderTypeSetting == UiAutomatic || uiRenderTypeSetting == UiAutomatic2)
        type = CombineRenderTypes(fromPdl, fromModel);
    else
        type = uiRenderTypeSetting == UiColor ? RenderColor : RenderMono;
    SetRenderType(type);
    *forceMono = type != RenderColor ? 1 : 0;
    return renderType_;
}

int CDeviceRenderTypeHandler::SetRenderType(int deviceColorFlag, std::wstring modelName, int pdlType,
                                            std::wstring pdlVersion)
{
    logTraceFormat("SetRenderType - eDeviceColorFlag(%d), modelName(%S), ePDLType(%d), pdlVersion(%S)\n (%s:%d)",
                   deviceColorFlag, modelName.c_str(), pdlType, pdlVersion.c_str(), __FILE__, __LINE__);
    int type = GetDefaultRenderType();
    const int fromPdl = GetRenderTypeFromPDL(pdlType, pdlVersion);
    const int fromModel = GetRenderTypeFromModelName(modelName);
    if (deviceColorFlag == DeviceColorUnknown)
        type = CombineRenderTypes(fromPdl, fromModel);
    else if (deviceColorFlag == DeviceColor)
        type = fromPdl != RenderMono ? RenderColor : RenderMono; // PCL 5e is never driven in colour
    else if (deviceColorFlag == DeviceNoColor)
        type = RenderMono;
    SetRenderType(type);
    return renderType_;
}

int CDeviceRenderTypeHandler::GetRenderTypeFromPDL(int pdlType, std::wstring pdlVersion)
{
    return pdlType == kPdlPcl5 && IsPCL5e(pdlVersion) ? RenderMono : RenderNotSet;
}

int CDeviceRenderTypeHandler::GetRenderTypeFromModelName(const std::wstring& modelName)
{
    if (IsColorModelName(modelName))
        return RenderColor;
    return modelName.empty() ? RenderNotSet : RenderMono;
}

bool CDeviceRenderTypeHandler::IsColorModelName(std::wstring modelName)
{
    const std::wstring lower = asciiLowered(modelName);
    for (const wchar_t* part : kColorModelParts) {
        if (lower.find(part) != std::wstring::npos) {
            logTraceFormat("CDeviceRenderTypeHandler::IsColorModelName - matched color device, modelName(%S), "
                           "sub-string(%S)",
                           modelName.c_str(), part);
            return true;
        }
    }
    return false;
}

int CDeviceRenderTypeHandler::CombineRenderTypes(int fromPDL, int fromModel)
{
    if (fromPDL == fromModel && fromPDL != RenderNotSet)
        return fromPDL;
    if (fromPDL == RenderNotSet && fromModel != RenderNotSet)
        return fromModel;
    if (fromModel == RenderNotSet)
        return GetDefaultRenderType();
    return RenderMono;
}

bool CDeviceRenderTypeHandler::IsPCL5e(std::wstring pdlVersion)
{
    if (pdlVersion.empty() && printer_) {
        std::wstring stored;
        if (readPrinterDataText(printer_, nullptr, L"PDL-PCL5", stored) == ERROR_SUCCESS)
            pdlVersion = stored;
    }
    return pdlVersion.find(L"5.00E") != std::wstring::npos;
}
