// The names of print-path attributes shared across the module, one constant
// each, so that a misspelt name is a compile error rather than an attribute
// nobody reads. Types and persistence are fixed by use: a string name is
// always set as a string, a number as a number.
#pragma once

namespace PrintPathAttr {

// Strings, persisted.
inline constexpr wchar_t Address[] = L"Address";
inline constexpr wchar_t BidiPort[] = L"BidiPort";
inline constexpr wchar_t DestinationType[] = L"DestinationType";
inline constexpr wchar_t DeviceConfigAddress[] = L"DeviceConfigAddress";
inline constexpr wchar_t DisplayString[] = L"DisplayString";
inline constexpr wchar_t DynamicPort[] = L"DynamicPort";
inline constexpr wchar_t ExtBidiCacheFile[] = L"ExtBidiCacheFile";
inline constexpr wchar_t ExternalBidiConfigData[] = L"ExternalBidiConfigData";
inline constexpr wchar_t HardwareAddress[] = L"HardwareAddress";
inline constexpr wchar_t HostnameAddress[] = L"HostnameAddress";
inline constexpr wchar_t IgnorePDLCheck[] = L"IgnorePDLCheck";
inline constexpr wchar_t IPAddress[] = L"IPAddress";
inline constexpr wchar_t IPXSPXAddress[] = L"IPXSPXAddress";
inline constexpr wchar_t JobAccountingAPIName[] = L"JobAccountingAPIName";
inline constexpr wchar_t JobAccountingModule[] = L"JobAccountingModule";
inline constexpr wchar_t JobAccountingURL[] = L"JobAccountingURL";
inline constexpr wchar_t JobCompleteURL[] = L"JobCompleteURL";
inline constexpr wchar_t JobDeliveryAPIName[] = L"JobDeliveryAPIName";
inline constexpr wchar_t JobDeliveryModule[] = L"JobDeliveryModule";
inline constexpr wchar_t JobDeliveryURL[] = L"JobDeliveryURL";
inline constexpr wchar_t LocalPort[] = L"LocalPort";
inline constexpr wchar_t LumoSNMPCommunityName[] = L"LumoSNMPCommunityName";
inline constexpr wchar_t ManagedGroupXMLAdded[] = L"ManagedGroupXMLAdded";
inline constexpr wchar_t mplDestinationVerificationAddress[] = L"mplDestinationVerificationAddress";
inline constexpr wchar_t mplJobAccountingAPI[] = L"mplJobAccountingAPI";
inline constexpr wchar_t mplJobAccountingModule[] = L"mplJobAccountingModule";
inline constexpr wchar_t mplJobAccountingURL[] = L"mplJobAccountingURL";
inline constexpr wchar_t mplJobCompleteAPI[] = L"mplJobCompleteAPI";
inline constexpr wchar_t mplJobCompleteExe[] = L"mplJobCompleteExe";
inline constexpr wchar_t mplJobCompleteModule[] = L"mplJobCompleteModule";
inline constexpr wchar_t mplJobCompleteURL[] = L"mplJobCompleteURL";
inline constexpr wchar_t mplJobDeliveryAPIName[] = L"mplJobDeliveryAPIName";
inline constexpr wchar_t mplJobDeliveryModule[] = L"mplJobDeliveryModule";
inline constexpr wchar_t mplJobDeliveryURL[] = L"mplJobDeliveryURL";
inline constexpr wchar_t NetNum[] = L"NetNum";
inline constexpr wchar_t Nickname[] = L"Nickname";
inline constexpr wchar_t NovellAddress[] = L"NovellAddress";
inline constexpr wchar_t PrinterInfo[] = L"PrinterInfo";
inline constexpr wchar_t qJobAccountingAPI[] = L"qJobAccountingAPI";
inline constexpr wchar_t qJobAccountingModule[] = L"qJobAccountingModule";
inline constexpr wchar_t qJobAccountingURL[] = L"qJobAccountingURL";
inline constexpr wchar_t qJobCompleteAPI[] = L"qJobCompleteAPI";
inline constexpr wchar_t qJobCompleteExe[] = L"qJobCompleteExe";
inline constexpr wchar_t qJobCompleteModule[] = L"qJobCompleteModule";
inline constexpr wchar_t qJobCompleteURL[] = L"qJobCompleteURL";
inline constexpr wchar_t qJobDeliveryAPIName[] = L"qJobDeliveryAPIName";
inline constexpr wchar_t qJobDeliveryModule[] = L"qJobDeliveryModule";
inline constexpr wchar_t qJobDeliveryURL[] = L"qJobDeliveryURL";
inline constexpr wchar_t RegMdlName[] = L"RegMdlName";
inline constexpr wchar_t UNCPath[] = L"UNCPath";
inline constexpr wchar_t UNCPort[] = L"UNCPort";
inline constexpr wchar_t Userid[] = L"Userid";
inline constexpr wchar_t WSDAddress[] = L"WSDAddress";

// Strings kept in memory only.
inline constexpr wchar_t Comment[] = L"Comment";
inline constexpr wchar_t Location[] = L"Location";
inline constexpr wchar_t Model[] = L"Model";
inline constexpr wchar_t mDNSDomain[] = L"mDNSDomain";
inline constexpr wchar_t mDNSType[] = L"mDNSType";

// Strings only read (present when a stored path carries them).
inline constexpr wchar_t BIDICurrentPort[] = L"BIDICurrentPort";
inline constexpr wchar_t BIDIDeviceAddress[] = L"BIDIDeviceAddress";
inline constexpr wchar_t BTDll[] = L"BTDll";
inline constexpr wchar_t LocalPrinterName[] = L"LocalPrinterName";

// Numbers, persisted.
inline constexpr wchar_t AutoCreateType[] = L"AutoCreateType";
inline constexpr wchar_t BidiCType[] = L"BidiCType";
inline constexpr wchar_t BIDIDeviceAddressOverride[] = L"BIDIDeviceAddressOverride";
inline constexpr wchar_t BIDIPortNumber[] = L"BIDIPortNumber";
inline constexpr wchar_t BIDIPortType[] = L"BIDIPortType";
inline constexpr wchar_t ChangeId[] = L"ChangeId";
inline constexpr wchar_t DV_ModelName[] = L"DV:ModelName";
inline constexpr wchar_t DV_PDL[] = L"DV:PDL";
inline constexpr wchar_t ExternalConfigType[] = L"ExternalConfigType";
inline constexpr wchar_t JobDelivery[] = L"JobDelivery";
inline constexpr wchar_t LastConfigTime[] = L"LastConfigTime";
inline constexpr wchar_t LastQuery[] = L"LastQuery";
inline constexpr wchar_t LocalPortType[] = L"LocalPortType";
inline constexpr wchar_t LumoDisableColor[] = L"LumoDisableColor";
inline constexpr wchar_t LumoDisableDuplex[] = L"LumoDisableDuplex";
inline constexpr wchar_t LumoIsColorDevice[] = L"LumoIsColorDevice";
inline constexpr wchar_t LumoPagesPerMinute[] = L"LumoPagesPerMinute";
inline constexpr wchar_t LumoPSLanguageLevel[] = L"LumoPSLanguageLevel";
inline constexpr wchar_t ManuallyEntered[] = L"ManuallyEntered";
inline constexpr wchar_t mplDestinationVerificationType[] = L"mplDestinationVerificationType";
inline constexpr wchar_t Port[] = L"Port";
inline constexpr wchar_t SecurePrinter[] = L"SecurePrinter";
inline constexpr wchar_t SubPort[] = L"SubPort";
inline constexpr wchar_t TrebukPort[] = L"TrebukPort";
inline constexpr wchar_t TrebukPortInfo[] = L"TrebukPortInfo";
inline constexpr wchar_t ValidateDevice[] = L"ValidateDevice";
inline constexpr wchar_t WindowsUNC[] = L"WindowsUNC";

// Numbers kept in memory only (working flags).
inline constexpr wchar_t ChangePortOnly[] = L"ChangePortOnly";
inline constexpr wchar_t ConfigChanged[] = L"ConfigChanged";
inline constexpr wchar_t Default[] = L"Default";
inline constexpr wchar_t ForceDocPropCall[] = L"ForceDocPropCall";
inline constexpr wchar_t NewlyDiscovered[] = L"NewlyDiscovered";
inline constexpr wchar_t NewPortCreated[] = L"NewPortCreated";
inline constexpr wchar_t NoUNCFA[] = L"NoUNCFA";
inline constexpr wchar_t NoWizardFinish[] = L"NoWizardFinish";
inline constexpr wchar_t PausePrintJob[] = L"PausePrintJob";
inline constexpr wchar_t Resolved[] = L"Resolved";
inline constexpr wchar_t SetBIDIHelperValuesXcv[] = L"SetBIDIHelperValuesXcv";
inline constexpr wchar_t ShownCheckStatus[] = L"ShownCheckStatus";
inline constexpr wchar_t StaticModeUpdate[] = L"StaticModeUpdate";

// Numbers persisted at some call sites only.
inline constexpr wchar_t LumoDisableJobRetention[] = L"LumoDisableJobRetention";
inline constexpr wchar_t NoBidiQuery[] = L"NoBidiQuery";

// Numbers only read.
inline constexpr wchar_t ReConfigure[] = L"Re-Configure";
inline constexpr wchar_t UNCDevPropCall[] = L"UNCDevPropCall";

} // namespace PrintPathAttr
