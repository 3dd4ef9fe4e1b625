// The managed print policy: its answers against the one registry or spooler
// read each stands for, and a policy document's parse with its registry
// writes against a bare parse and the same writes.
#include "BareSax.h"
#include "BenchHarness.h"

#include "extension/ManagedPrintPolicy.h"
#include "extension/ManagedPrintPolicyParser.h"
#include "support/PolicyTestEnv.h"
#include "support/PrivateCurrentUser.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"

#include <fstream>
#include <vector>

namespace {

// A site's policy: the colour schedule for every day, an application list,
// the discovery switches and a few defaults, as an administrator writes it.
std::string policyDocument()
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ManagedPrintPolicy>\n"
                      "  <RefreshPolicy>24</RefreshPolicy>\n  <WhenPrinting>FirstJob</WhenPrinting>\n"
                      "  <DeviceVerifyLevel>High</DeviceVerifyLevel>\n  <ShowProfiles>false</ShowProfiles>\n"
                      "  <Restricted>true</Restricted>\n  <Color>true</Color>\n"
                      "  <JobAccountingURL>https://accounts.example.test/jobs</JobAccountingURL>\n"
                      "  <DuplexDefault>2</DuplexDefault>\n  <EconomodeDefault>1</EconomodeDefault>\n";
    for (const char* day : {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"}) {
        const std::string d = day;
        xml += "  <" + d + "Color>Specify time</" + d + "Color><" + d + "ColorOnHour>0</" + d + "ColorOnHour><" + d +
               "ColorOnMinute>0</" + d + "ColorOnMinute><" + d + "ColorOffHour>23</" + d + "ColorOffHour><" + d +
               "ColorOffMinute>59</" + d + "ColorOffMinute>\n";
    }
    xml += "  <ApplicationExclude>1</ApplicationExclude>\n";
    for (int i = 1; i <= 12; ++i)
        xml += "  <Application>C:\\Program Files\\Vendor" + std::to_string(i) + "\\app" + std::to_string(i) +
               ".exe</Application>\n";
    xml += "  <LocalPorts>true</LocalPorts>\n  <NetworkShares>false</NetworkShares>\n"
           "  <RendezvousTCPIP>true</RendezvousTCPIP>\n  <Bluetooth>false</Bluetooth>\n</ManagedPrintPolicy>\n";
    return xml;
}

struct StoredValue {
    std::wstring name;
    DWORD type;
    std::vector<BYTE> data;
};

std::vector<StoredValue> storedValues(HKEY key)
{
    std::vector<StoredValue> values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        BYTE data[4096];
        DWORD size = sizeof(data);
        DWORD type = 0;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS)
            break;
        values.push_back({name, type, std::vector<BYTE>(data, data + size)});
    }
    return values;
}

bool readFile(const std::wstring& path, std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    char block[4096];
    DWORD read = 0;
    bytes.clear();
    while (ReadFile(file, block, sizeof(block), &read, nullptr) && read > 0)
        bytes.append(block, read);
    CloseHandle(file);
    return !bytes.empty();
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const bench::Options options = bench::parseOptions(argc, argv);
    testenv::PrivateCurrentUser privateUser;
    testenv::Winsock winsock;
    if (!privateUser.isActive())
        return 2;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int result = 0;
    {
        bench::Table table(options);
        testenv::TempDir dir;
        testenv::clearPolicyState();

        // The document parsed into the cache key, as a policy load does.
        const std::wstring documentPath = dir.file(L"site-policy.xml");
        const std::string document = policyDocument();
        std::ofstream(documentPath.c_str(), std::ios::binary) << document;
        RegistryKey parsedKey(HKEY_CURRENT_USER, L"Software\\VrelmBench\\PolicyParsed", RegistryKey::kAllAccess, true);
        RegistryKey bareKey(HKEY_CURRENT_USER, L"Software\\VrelmBench\\PolicyBare", RegistryKey::kAllAccess, true);
        std::vector<StoredValue> values;
        {
            MPrint::ManagedPrintPolicyParser first(parsedKey.getHandle());
            if (first.parseLocation(documentPath))
                values = storedValues(parsedKey.getHandle());
        }
        if (values.empty()) {
            table.fail(L"policy document parse", L"the document did not parse");
        } else {
            bench::BareSax sax;
            std::string bytes;
            table.run(L"policy document parse + its registry writes (" + std::to_wstring(values.size()) +
                          L" values) vs bare read, parse and RegSetValueEx",
                      [&] {
                          MPrint::ManagedPrintPolicyParser parser(parsedKey.getHandle());
                          return parser.parseLocation(documentPath);
                      },
                      [&] {
                          if (!readFile(documentPath, bytes) || !sax.parse(bytes))
                              return false;
                          bool ok = true;
                          for (const StoredValue& value : values)
                              ok &= RegSetValueExW(bareKey.getHandle(), value.name.c_str(), 0, value.type,
                                                   value.data.data(), static_cast<DWORD>(value.data.size())) ==
                                    ERROR_SUCCESS;
                          return ok;
                      });
        }

        // A server policy in force whose cache holds what the document wrote.
        RegistryKey cache = testenv::makeServerPolicyInForce(dir.file(L"policy.xml"));
        for (const StoredValue& value : values)
            RegSetValueExW(cache.getHandle(), value.name.c_str(), 0, value.type, value.data.data(),
                           static_cast<DWORD>(value.data.size()));
        MPrint::ManagedPrintPolicy* policy = MPrint::ManagedPrintPolicy::instance();
        if (!cache.isOpen() || !policy->hasPolicy()) {
            table.fail(L"policy answers", L"no server policy in force");
        } else {
            DWORD number = 0;
            const auto readCacheDword = [&](const wchar_t* name) {
                DWORD size = sizeof(number);
                return RegQueryValueExW(cache.getHandle(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(&number),
                                        &size) == ERROR_SUCCESS;
            };
            // The host is not on the exclusion list and the schedule allows
            // the whole day: the answer is true only after every check.
            table.run(L"getBool(\"Color\") vs one registry read", [&] { return policy->getBool(L"Color", false); },
                      [&] { return readCacheDword(L"Color"); });
            table.run(L"getBool(\"Restricted\") vs one registry read",
                      [&] { return policy->getBool(L"Restricted", false); },
                      [&] { return readCacheDword(L"Restricted"); });

            testspool::ScopedQueue queue(testspool::uniqueQueueName(L"Bench Policy"));
            queue.setDword(L"", L"DuplexDefault", 1);
            queue.setString(L"", L"LumoSNMPCommunityName", L"queue-community");
            HANDLE printer = nullptr;
            if (queue.error() != ERROR_SUCCESS ||
                !OpenPrinterW(const_cast<wchar_t*>(queue.name().c_str()), &printer, nullptr)) {
                table.fail(L"getPrinterOrPolicy*", L"no queue");
            } else {
                bool fromPrinter = false;
                table.run(L"getPrinterOrPolicyDword vs GetPrinterData",
                          [&] {
                              return policy->getPrinterOrPolicyDword(printer, L"DuplexDefault", number, fromPrinter) &&
                                     fromPrinter;
                          },
                          [&] {
                              DWORD type = 0, needed = 0;
                              return GetPrinterDataW(printer, const_cast<wchar_t*>(L"DuplexDefault"), &type,
                                                     reinterpret_cast<BYTE*>(&number), sizeof(number),
                                                     &needed) == ERROR_SUCCESS;
                          });
                std::wstring text;
                std::vector<BYTE> buffer(512);
                table.run(L"getPrinterOrPolicyString vs GetPrinterData",
                          [&] {
                              return policy->getPrinterOrPolicyString(printer, L"LumoSNMPCommunityName", text,
                                                                      fromPrinter) &&
                                     fromPrinter;
                          },
                          [&] {
                              DWORD type = 0, needed = 0;
                              return GetPrinterDataW(printer, const_cast<wchar_t*>(L"LumoSNMPCommunityName"), &type,
                                                     buffer.data(), static_cast<DWORD>(buffer.size()),
                                                     &needed) == ERROR_SUCCESS;
                          });
                ClosePrinter(printer);
            }
        }
        testenv::clearPolicyState();
        result = table.exitCode();
    }
    CoUninitialize();
    return result;
}
