#include "support/ManagedListFixtures.h"

#include "destination/PrintPathAttr.h"

namespace testenv {

const char kCustomListFixture[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<QZManagedPrinting>
 <RefreshMPL>12</RefreshMPL>
 <Printers>
  <GroupName>Floor 1</GroupName>
  <Printer>
   <PRINTERNAME>  Alpha
   </PRINTERNAME>
   <PrinterModel>QZ Ardelle 400</PrinterModel>
   <IPAddress>10.0.0.5</IPAddress>
   <uncpath>\\srv\alpha</uncpath>
   <SNMPCommunityName>office</SNMPCommunityName>
   <harddisk>installed</harddisk>
   <duplexunit>NotInstalled</duplexunit>
   <validatedevice>yes</validatedevice>
   <Color>true</Color>
   <Comment>by the door</Comment>
   <Location>Room 12</Location>
   <CostPerPage>0.05</CostPerPage>
  </Printer>
  <Printer>
   <PrinterName>Beta</PrinterName>
   <PrinterModel>Rejected Model</PrinterModel>
   <GroupName>Leaky</GroupName>
   <Hostname>beta-host</Hostname>
   <SecurePrinter>1</SecurePrinter>
   <ExtConfigPDLPCL5>leak</ExtConfigPDLPCL5>
  </Printer>
  <Printer>
   <PrinterName>Gamma</PrinterName>
   <PrinterModel>QZ Plinthe 20</PrinterModel>
   <Hostname>gamma.example</Hostname>
   <harddisk>yes</harddisk>
   <JobDelivery>selected</JobDelivery>
   <JobDeliveryURL>http://jobs/submit</JobDeliveryURL>
   <ExtConfigAddress>http://cfg/gamma.xml</ExtConfigAddress>
   <ExtConfigType>bidiconfigdata</ExtConfigType>
   <ExtConfigPDLPostScript>3010.107</ExtConfigPDLPostScript>
   <ExtConfigPDLPCL6>6.0</ExtConfigPDLPCL6>
   <DestinationVerificationAddress>10.9.9.9</DestinationVerificationAddress>
   <DestinationVerificationType>3</DestinationVerificationType>
   <JobAccountingModule>acct.dll</JobAccountingModule>
   <DestinationType>Secure</DestinationType>
  </Printer>
  <Printer>
   <PrinterName>Delta</PrinterName>
   <IPXSPXAddress>00000001:0080C7123456</IPXSPXAddress>
   <validatedevice>0</validatedevice>
   <ExtConfigType>unknown</ExtConfigType>
  </Printer>
 </Printers>
 <ManagedPrinters>
  <ManagedList><Name>Branch</Name><xmlfile>branch.xml</xmlfile><xmlType>okv</xmlType></ManagedList>
  <ManagedList><Name>Annex</Name><xmlfile>annex.xml</xmlfile></ManagedList>
 </ManagedPrinters>
</QZManagedPrinting>
)";

const char kOkvListFixture[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<Devices>
 <Device>
  <Model>QZ Ardelle 500</Model>
  <HWAddr>00:11:22:33:44:55</HWAddr>
  <IPv4Address>10.1.1.1</IPv4Address>
  <IPHostName>ardelle.example</IPHostName>
  <CAP_DUPLEX>Yes, auto</CAP_DUPLEX>
  <CAP_DISK>No</CAP_DISK>
  <DeviceGroupMembership>Lab</DeviceGroupMembership>
 </Device>
 <Device>
  <Model>QZ Plinthe 9</Model>
  <SysName>plinthe-sys</SysName>
  <IPAddr>10.1.1.2</IPAddr>
  <CAP_DUPLEX>yes</CAP_DUPLEX>
  <SystemLocation>Hall</SystemLocation>
 </Device>
 <Device>
  <DisplayName>Named</DisplayName>
  <Model>M3</Model>
  <IPXAddr>00000002:000000000001</IPXAddr>
 </Device>
 <Device>
  <Model>M4</Model>
  <IPAddr>10.1.1.4</IPAddr>
 </Device>
</Devices>
)";

std::string generateCustomList(int printers, int groups)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<qzmanagedprinting>\n<Printers>\n";
    xml.reserve(static_cast<size_t>(printers) * 300 + 200);
    for (int i = 0; i < printers; ++i) {
        const std::string n = std::to_string(i);
        xml += "<Printer>\n<GroupName>Group " + std::to_string(groups > 0 ? i % groups : 0) + "</GroupName>\n";
        xml += "<PrinterName>Printer " + n + "</PrinterName>\n";
        xml += "<PrinterModel>QZ Ardelle " + std::to_string(i % 7) + "00</PrinterModel>\n";
        xml += "<IPAddress>10." + std::to_string(i / 65536) + "." + std::to_string(i / 256 % 256) + "." +
               std::to_string(i % 256) + "</IPAddress>\n";
        xml += "<SNMPCommunityName>public</SNMPCommunityName>\n<duplexunit>Installed</duplexunit>\n";
        xml += "<Location>Floor " + std::to_string(i % 9) + "</Location>\n</Printer>\n";
    }
    xml += "</Printers>\n</qzmanagedprinting>\n";
    return xml;
}

CapturedRecord capture(const MPrint::ManagedPrinterRecord& r, const MPrint::ManagedPrinterCaps& caps)
{
    CapturedRecord c;
    c.groupName = r.groupName;
    c.comment = r.comment;
    c.printerName = r.printerName;
    c.address = r.address;
    c.model = r.model;
    c.costPerPage = r.costPerPage;
    c.location = r.location;
    c.snmpCommunity = r.snmpCommunity;
    c.addressType = r.addressType;
    c.jobDelivery = r.jobDelivery;
    c.securePrinter = r.securePrinter;
    c.jobCompleteBrowserSession = r.jobCompleteBrowserSession;
    c.extConfigAddress = r.extConfigAddress;
    c.extConfigType = r.extConfigType;
    for (const wchar_t* pdl : {r.pdlPostScript, r.pdlPcl5, r.pdlPcl6, r.pdlPcl3})
        c.pdls.push_back(pdl ? pdl : L"(null)");
    c.jobDeliveryUrl = r.jobDeliveryUrl;
    c.jobAccountingModule = r.jobAccountingModule;
    c.destinationType = r.destinationType;
    c.verificationAddress = r.destinationVerificationAddress;
    c.verificationType = r.destinationVerificationType;
    c.caps = caps;
    return c;
}

void captureInto(void* records, const MPrint::ManagedPrinterRecord& record, const MPrint::ManagedPrinterCaps& caps)
{
    static_cast<std::vector<CapturedRecord>*>(records)->push_back(capture(record, caps));
}

bool RecordingListHost::readList(const std::wstring& location, std::string& bytes, DWORD* status, DWORD timeoutMs)
{
    reads.push_back(location);
    return CachedManagedListHost::readList(location, bytes, status, timeoutMs);
}

bool RecordingListHost::acceptModel(const char* model)
{
    return rejected.count(model) == 0;
}

void RecordingListHost::setPrinterInfoText(MPrint::PrintPath& path, const std::wstring& model,
                                           const std::wstring& address)
{
    path.setStringAttribute(PrintPathAttr::PrinterInfo, model + L" @ " + address, true);
}

std::wstring RecordingListHost::loadString(UINT id)
{
    return L"[" + std::to_wstring(id) + L"] %1";
}

bool InMemoryListHost::readList(const std::wstring& location, std::string& out, DWORD*, DWORD)
{
    reads.push_back(location);
    out = bytes;
    return true;
}

void InMemoryListHost::forgetCachedList(const std::wstring&) {}

void InMemoryListHost::setRefreshTime(const std::wstring&, DWORD) {}

MPrint::PrintPath* InMemoryListHost::findPrintPath(const std::wstring& address, const std::wstring& name)
{
    auto* path = new MPrint::PrintPath;
    path->setStringAttribute(PrintPathAttr::Address, address, true);
    path->setStringAttribute(PrintPathAttr::Nickname, name, true);
    return path;
}

MPrint::PrintPath* DisplayNameListHost::findPrintPath(const std::wstring& address, const std::wstring& name)
{
    if (address == L"unresolvable")
        return nullptr;
    MPrint::PrintPath* path = InMemoryListHost::findPrintPath(address, name);
    path->setStringAttribute(PrintPathAttr::DisplayString, name, true);
    return path;
}

} // namespace testenv
