#include "SamplePaths.h"

#include "destination/PrintPathAttr.h"

namespace bench {

namespace {

bool readDword(HKEY key, const std::wstring& name, DWORD& value)
{
    DWORD size = sizeof(value);
    DWORD type = 0;
    return RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
               ERROR_SUCCESS &&
           type == REG_DWORD;
}

} // namespace

std::unique_ptr<MPrint::PrintPath> samplePrintPath(int index)
{
    const std::wstring n = std::to_wstring(index);
    auto path = std::make_unique<MPrint::PrintPath>();
    MPrint::Device device("Office Colour 4500 Series", "Floor 3 East, room " + std::to_string(index));
    device.addPdl(PdlInfo(6, "PostScript", "3"));
    device.addPdl(PdlInfo(47, "PCL XL", "2.1"));
    device.addPdl(PdlInfo(10, "PCL 5e", "5"));
    device.addPdl(PdlInfo(54, "PDF", "1.7"));
    path->setDevice(device, true);
    path->setDiscoveryId({0x0A0B0C0D, 0x0E0F, 0xABCD, {0x01, 0x02, 0xA3, 0xB4, 0xC5, 0xD6, 0xE7, 0xF8}});
    path->addConfiguratorId({0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}});
    path->addFeatureId({0x00000001, 0x0002, 0x0003, {0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05}});
    path->addFeatureId({0x00000002, 0x0002, 0x0003, {0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x06}});
    const std::wstring address = L"10.20." + std::to_wstring(index / 250) + L"." + std::to_wstring(index % 250 + 1);
    path->setStringAttribute(PrintPathAttr::Address, address, true);
    path->setStringAttribute(PrintPathAttr::IPAddress, address, true);
    path->setStringAttribute(PrintPathAttr::HostnameAddress, L"prn-" + n + L".floor3.example.test", true);
    path->setStringAttribute(PrintPathAttr::HardwareAddress, L"00:1B:2C:3D:4E:" + n, true);
    path->setStringAttribute(PrintPathAttr::DisplayString, L"Floor 3 East colour " + n, true);
    path->setStringAttribute(PrintPathAttr::Nickname, L"East colour \u00E9 & mono " + n, true);
    path->setStringAttribute(PrintPathAttr::DestinationType, L"Network", true);
    path->setStringAttribute(PrintPathAttr::RegMdlName, L"Office Colour 4500 Series PS", true);
    path->setStringAttribute(PrintPathAttr::UNCPath, L"\\\\print-east\\Floor3Colour" + n, true);
    path->setStringAttribute(PrintPathAttr::DeviceConfigAddress, L"https://" + address + L"/config/device.xml", true);
    path->setStringAttribute(PrintPathAttr::JobAccountingURL, L"https://accounts.example.test/jobs/submit", true);
    path->setStringAttribute(PrintPathAttr::JobCompleteURL, L"https://accounts.example.test/jobs/complete", true);
    path->setStringAttribute(PrintPathAttr::JobDeliveryURL, L"https://accounts.example.test/jobs/deliver", true);
    path->setStringAttribute(PrintPathAttr::PrinterInfo,
                             L"Duplex unit; 3 trays (A4, A4, A3); finisher with stapler; 1200 dpi; colour", true);
    path->setStringAttribute(PrintPathAttr::LumoSNMPCommunityName, L"public", true);
    path->setStringAttribute(PrintPathAttr::JobAccountingModule, L"C:\\Program Files\\Accounts\\acctjob.dll", true);
    path->setStringAttribute(PrintPathAttr::JobAccountingAPIName, L"SubmitPrintJobRecord", true);
    path->setStringAttribute(PrintPathAttr::JobDeliveryModule, L"C:\\Program Files\\Accounts\\deliver.dll", true);
    path->setStringAttribute(PrintPathAttr::JobDeliveryAPIName, L"DeliverPrintJob", true);
    path->setStringAttribute(L"mDNSType", L"_pdl-datastream._tcp", true);
    path->setNumericAttribute(L"Port", 9100, true);
    path->setNumericAttribute(L"ChangeId", 40000u + static_cast<DWORD>(index), true);
    path->setNumericAttribute(L"NewlyDiscovered", 1, false);
    BYTE blob[96];
    for (size_t i = 0; i < sizeof(blob); ++i)
        blob[i] = static_cast<BYTE>(i * 7 + index);
    path->setBinaryAttribute(L"ExternalBidiConfigData", blob, sizeof(blob), true);
    path->setBinaryAttribute(L"ConfigSignature", blob, 48, true);
    return path;
}

std::wstring kilobytes(size_t bytes)
{
    const size_t tenths = (bytes * 10 + 512) / 1024;
    return std::to_wstring(tenths / 10) + L"." + std::to_wstring(tenths % 10) + L" KB";
}

std::string samplePrintPathXml(int index)
{
    std::string xml;
    MPrint::PrintPath::toXml(*samplePrintPath(index), xml, true);
    return xml;
}

bool bareHistoryLoad(HKEY key, BareSax& sax, std::vector<wchar_t>& buffer, std::string& utf8)
{
    DWORD limit = 0, length = 0, values = 0;
    readDword(key, L"HistoryLimit", limit);
    if (!readDword(key, L"HistoryLength", length))
        return false;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    for (DWORD n = 0; n < length; ++n) {
        DWORD age = 0;
        readDword(key, L"TargetAge" + std::to_wstring(n), age);
        DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        DWORD type = 0;
        if (RegQueryValueExW(key, (L"Target" + std::to_wstring(n)).c_str(), nullptr, &type,
                             reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS)
            return false;
        const int chars = static_cast<int>(size / sizeof(wchar_t)) - 1;
        utf8.resize(static_cast<size_t>(chars) * 3);
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, buffer.data(), chars, utf8.data(),
                                              static_cast<int>(utf8.size()), nullptr, nullptr);
        utf8.resize(static_cast<size_t>(bytes));
        if (!sax.parse(utf8))
            return false;
    }
    return true;
}

} // namespace bench
