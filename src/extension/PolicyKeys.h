// The policy vocabulary: value names indexed by key id (83 names, then a
// null entry). The names are the value names in the policy cache key and in
// the group-policy key; ids 37 to 71 are the weekday colour schedule,
// 37 + 5 x weekday (0 Sunday) + 0 "Color", 1 on hour, 2 off hour, 3 on
// minute, 4 off minute.
#pragma once

#include "core/Win32.h"

namespace MPrint {

inline constexpr const wchar_t* policyKeyNames[84] = {
    L"RefreshPolicy", L"Userid", L"JobAccountingModule", L"JobAccountingAPIName", L"JobAccountingURL",
    L"VendorPortName", L"JobDeliveryModule", L"JobDeliveryAPIName", L"JobDeliveryURL", L"JobCompleteURL",
    L"JobCompleteExe", L"JobCompleteModule", L"JobCompleteAPI", L"JobCompleteReUserBrowserSession",
    L"Restricted", L"ShowDriverSettings", L"ShowDeviceAddress", L"ShowMakePermanent", L"ShowProfiles",
    L"LocalPorts", L"NetworkShares", L"RendezvousTCPIP", L"Bluetooth", L"QZMPLOnly",
    L"QZManagedPrinterListURL", L"CustomMPLName", L"CustomMPLPath", L"CustomMPLCount", L"Color",
    L"RequireQZDevices", L"DeviceVerifyLevel", L"WhenPrinting", L"CustomMPLType", L"PolicyInfoLinkName",
    L"PolicyInfoLinkURL", L"JobDeliveryMode", L"CheckStatus",
    L"SundayColor", L"SundayColorOnHour", L"SundayColorOffHour", L"SundayColorOnMinute", L"SundayColorOffMinute",
    L"MondayColor", L"MondayColorOnHour", L"MondayColorOffHour", L"MondayColorOnMinute", L"MondayColorOffMinute",
    L"TuesdayColor", L"TuesdayColorOnHour", L"TuesdayColorOffHour", L"TuesdayColorOnMinute",
    L"TuesdayColorOffMinute",
    L"WednesdayColor", L"WednesdayColorOnHour", L"WednesdayColorOffHour", L"WednesdayColorOnMinute",
    L"WednesdayColorOffMinute",
    L"ThursdayColor", L"ThursdayColorOnHour", L"ThursdayColorOffHour", L"ThursdayColorOnMinute",
    L"ThursdayColorOffMinute",
    L"FridayColor", L"FridayColorOnHour", L"FridayColorOffHour", L"FridayColorOnMinute", L"FridayColorOffMinute",
    L"SaturdayColor", L"SaturdayColorOnHour", L"SaturdayColorOffHour", L"SaturdayColorOnMinute",
    L"SaturdayColorOffMinute",
    L"ApplicationExclude", L"DuplexDefault", L"EconomodeDefault", L"PrivatePrintDefault", L"PrivatePrintPin",
    L"StrandelQACDefault", L"LumoSNMPCommunityName", L"ServicesTab", L"DestinationVerificationAddress",
    L"DestinationVerificationType", L"GrayscaleDefault",
    nullptr,
};

constexpr DWORD policyKeyCount = 83;
constexpr DWORD kPolicyKeyColor = 28;
constexpr DWORD kPolicyKeyScheduleFirst = 37;
// "Application_1" to "Application_99": the colour check reads no further.
constexpr DWORD kMaxPolicyApplications = 99;
// "CustomMPLName0" to "CustomMPLName98" (with their paths and types): each
// becomes a discovery service of its own.
constexpr DWORD kMaxPolicyCustomLists = 99;

// The services tab's links, read from the policy (and, without one, from the
// user's settings) beyond the key table: a policy document must be able to
// set them.
inline constexpr const wchar_t* policyServicesTabNames[6] = {
    L"ServicesTab", L"OnlineDiagnostics", L"OnlineSupport", L"ProductManuals", L"DriverUpdates", L"OrderSupplies",
};

// The name of a key id, or null past the table.
constexpr const wchar_t* policyKeyName(DWORD keyId)
{
    return keyId < policyKeyCount ? policyKeyNames[keyId] : nullptr;
}

} // namespace MPrint
