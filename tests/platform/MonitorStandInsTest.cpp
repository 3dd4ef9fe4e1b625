// The port-monitor stand-ins, loaded as the spooler loads them: each command
// with its record, the ports it leaves in the registry, its errors, and the
// exact bytes it records.
#include "access/MonitorAccess.h"
#include "shared/PortData1.h"
#include "support/KeravinRecords.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr wchar_t kKeravin[] = L"QZ Keravin Print Monitor";
const std::wstring kMonitorsKey = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\";

std::wstring unique(const std::wstring& base)
{
    return base + std::to_wstring(GetCurrentProcessId());
}

bool keyExists(const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::wstring stringValue(const std::wstring& path, const wchar_t* name)
{
    wchar_t text[256] = {};
    DWORD size = sizeof(text) - sizeof(wchar_t);
    RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), name, RRF_RT_REG_SZ, nullptr, text, &size);
    return text;
}

DWORD dwordValue(const std::wstring& path, const wchar_t* name)
{
    DWORD value = 0xFFFFFFFF;
    DWORD size = sizeof(value);
    RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}

void removePort(const std::wstring& monitor, const std::wstring& port)
{
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kMonitorsKey + monitor + L"\\Ports\\" + port).c_str());
}

std::vector<BYTE> bytesOf(const std::wstring& text)
{
    const BYTE* begin = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(begin, begin + (text.size() + 1) * sizeof(wchar_t));
}

template <typename T>
T at(const std::vector<BYTE>& bytes, size_t offset)
{
    T value{};
    std::memcpy(&value, bytes.data() + offset, sizeof(T));
    return value;
}

std::wstring textAt(const std::vector<BYTE>& bytes, size_t offset)
{
    return reinterpret_cast<const wchar_t*>(bytes.data() + offset);
}

class MonitorFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(qzmon::registerStandInMonitors()); }

    struct Result {
        DWORD status;
        DWORD needed;
        std::vector<BYTE> output;
    };

    // One Xcv exchange with a freshly loaded monitor: open, data, close.
    static Result xcv(const std::wstring& monitor, const std::wstring& command, const std::vector<BYTE>& input,
                      DWORD outputSize = 0, ACCESS_MASK access = SERVER_ACCESS_ADMINISTER)
    {
        auto loaded = qzmon::LoadedMonitor::load(monitor);
        EXPECT_TRUE(loaded) << narrowName(monitor);
        if (!loaded)
            return {0xFFFFFFFF, 0, {}};
        HANDLE handle = nullptr;
        EXPECT_TRUE(loaded->xcvOpen(monitor, access, handle));
        Result result{0, 0xBDBDBDBD, std::vector<BYTE>(outputSize + 4, 0xBD)};
        result.status = loaded->xcvData(handle, command, input.empty() ? nullptr : input.data(),
                                        static_cast<DWORD>(input.size()), outputSize ? result.output.data() : nullptr,
                                        outputSize, &result.needed);
        for (DWORD i = outputSize; i < outputSize + 4; ++i)
            EXPECT_EQ(result.output[i], 0xBD) << "byte past the output written";
        result.output.resize(outputSize);
        loaded->xcvClose(handle);
        return result;
    }

    static std::string narrowName(const std::wstring& text) { return testenv::narrow(text); }
};

TEST_F(MonitorFixture, KeravinPortCommandsCreateFindAndNamePorts)
{
    const std::wstring server = unique(L"srv");
    const std::wstring uncPort = server + L" share";
    const std::wstring novellPort = server + L" vol q";
    const std::wstring waypostPort = unique(L"WP_");
    struct Row {
        const char* name;
        const wchar_t* command;
        std::wstring first, second;
        ACCESS_MASK access;
        DWORD status;
        std::wstring answer;
    };
    const Row rows[] = {
        {"add UNC", L"AddNewPort", L"QZ UNC Port", L"\\\\" + server + L"\\share", SERVER_ACCESS_ADMINISTER, 0, uncPort},
        {"add again", L"AddNewPort", L"QZ UNC Port", L"\\\\" + server + L"\\share", SERVER_ACCESS_ADMINISTER, 183, L""},
        {"add Novell", L"AddNewPort", L"QZ UNC Novell Port", L"\\\\" + server + L"\\vol\\q", SERVER_ACCESS_ADMINISTER,
         0, novellPort},
        {"add without rights", L"AddNewPort", L"QZ UNC Port", L"\\\\" + server + L"\\other", 0, 5, L""},
        {"add a non-UNC path", L"AddNewPort", L"QZ UNC Port", server, SERVER_ACCESS_ADMINISTER, 123, L""},
        {"add Waypost as UNC", L"AddNewPort", L"QZ Waypost Port", waypostPort, SERVER_ACCESS_ADMINISTER, 87, L""},
        {"add Waypost", L"AddNewWPPort", L"QZ Waypost Port", waypostPort, SERVER_ACCESS_ADMINISTER, 0, waypostPort},
        {"name of UNC", L"GetPortName", L"QZ UNC Port", L"\\\\" + server + L"\\share", 0, 0, uncPort},
        {"name of Novell", L"GetPortName", L"QZ UNC Novell Port", L"\\\\" + server + L"\\vol\\q", 0, 0, novellPort},
        {"name of unknown", L"GetPortName", L"QZ UNC Port", L"\\\\" + server + L"\\none", 0, 1796, L""},
        {"find by target", L"FindPortSubString", kKeravin, L"\\\\" + server + L"\\share", 0, 0, uncPort},
        {"find by name end", L"FindPortSubString", kKeravin, L"vol q", 0, 0, novellPort},
        {"find nothing", L"FindPortSubString", kKeravin, unique(L"nothing"), 0, 1796, L""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<BYTE> record = testenv::keravinCommandRecord(row.first, row.second);
        const Result result = xcv(kKeravin, row.command, record, 256, row.access);
        EXPECT_EQ(result.status, row.status);
        if (row.status == 0) {
            EXPECT_EQ(textAt(result.output, 0), row.answer);
            EXPECT_EQ(result.needed, (row.answer.size() + 1) * 2);
        }
        const auto calls = qzmon::receivedCalls(kKeravin, GetCurrentProcessId());
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.back().command, row.command);
        EXPECT_EQ(calls.back().input, record);
        EXPECT_EQ(calls.back().status, row.status);
    }
    const std::wstring keravinKey = kMonitorsKey + kKeravin;
    EXPECT_TRUE(keyExists(keravinKey + L"\\QZ UNC Port\\" + uncPort));
    EXPECT_TRUE(keyExists(keravinKey + L"\\QZ UNC Novell Port\\" + novellPort));
    EXPECT_EQ(stringValue(keravinKey + L"\\Ports\\" + uncPort, L"Target"), L"\\\\" + server + L"\\share");

    // An answer that does not fit reports the size it needs.
    const Result small =
        xcv(kKeravin, L"GetPortName", testenv::keravinCommandRecord(L"QZ UNC Port", L"\\\\" + server + L"\\share"), 4);
    EXPECT_EQ(small.status, DWORD{ERROR_INSUFFICIENT_BUFFER});
    EXPECT_EQ(small.needed, (uncPort.size() + 1) * 2);

    for (const std::wstring& port : {uncPort, novellPort, waypostPort})
        removePort(kKeravin, port);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (keravinKey + L"\\QZ UNC Port\\" + uncPort).c_str());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (keravinKey + L"\\QZ UNC Novell Port\\" + novellPort).c_str());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (keravinKey + L"\\QZ Waypost Port\\" + waypostPort).c_str());
}

TEST_F(MonitorFixture, KeravinRejectsMalformedCommandRecords)
{
    std::vector<BYTE> good = testenv::keravinCommandRecord(L"QZ UNC Port", L"\\\\a\\b");
    struct Row {
        const char* name;
        std::vector<BYTE> record;
    };
    std::vector<Row> rows;
    auto mutate = [&](const char* name, size_t offset, DWORD value) {
        std::vector<BYTE> record = good;
        std::memcpy(&record[offset], &value, 4);
        rows.push_back({name, record});
    };
    mutate("size field differs", 0, static_cast<DWORD>(good.size() + 2));
    mutate("kind count", 4, 2);
    mutate("first offset", 8, 98);
    mutate("second offset", 16, 100);
    std::vector<BYTE> unterminated = good;
    unterminated.resize(unterminated.size() - 2);
    const DWORD size = static_cast<DWORD>(unterminated.size());
    std::memcpy(&unterminated[0], &size, 4);
    rows.push_back({"second text without terminator", unterminated});
    rows.push_back({"shorter than the header", std::vector<BYTE>(good.begin(), good.begin() + 40)});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(xcv(kKeravin, L"GetPortName", row.record, 256).status, DWORD{ERROR_INVALID_DATA});
    }
    EXPECT_EQ(xcv(kKeravin, L"NoSuchCommand", {}, 0).status, DWORD{ERROR_INVALID_FUNCTION});
}

std::vector<BYTE> jobInfoMessage(DWORD kind, DWORD job, const std::wstring& printer = L"",
                                 const std::wstring& destination = L"")
{
    DWORD recordSize = 88;
    if (kind == 0)
        recordSize += static_cast<DWORD>((printer.size() + 1 + destination.size() + 1) * 2);
    std::vector<BYTE> message(96 + recordSize, 0);
    const DWORD messageSize = static_cast<DWORD>(message.size()), type = 7;
    std::memcpy(&message[0], &messageSize, 4);
    std::memcpy(&message[4], &type, 4);
    BYTE* record = &message[8];
    std::memcpy(record, &recordSize, 4);
    std::memcpy(record + 4, &kind, 4);
    std::memcpy(record + 8, &job, 4);
    if (kind == 0) {
        const DWORD pid = 4242, accounting = 1, printerOffset = 84;
        const DWORD destinationOffset = 84 + static_cast<DWORD>((printer.size() + 1) * 2);
        std::memcpy(record + 12, &pid, 4);
        std::memcpy(record + 24, &accounting, 4);
        std::memcpy(record + 76, &printerOffset, 4);
        std::memcpy(record + 80, &destinationOffset, 4);
        std::memcpy(record + printerOffset, printer.c_str(), (printer.size() + 1) * 2);
        std::memcpy(record + destinationOffset, destination.c_str(), (destination.size() + 1) * 2);
    }
    return message;
}

TEST_F(MonitorFixture, KeravinJobAccountingRoundTrip)
{
    const DWORD job = 0x70000000 | GetCurrentProcessId();
    const std::wstring printer = unique(L"Queue");
    EXPECT_EQ(xcv(kKeravin, L"JobInfoData", jobInfoMessage(0, job, printer, L"10.0.0.5")).status, 0u);
    EXPECT_EQ(xcv(kKeravin, L"JobInfoData", jobInfoMessage(1, 0)).status, 0u);

    const Result query = xcv(kKeravin, L"JobInfoData", jobInfoMessage(5, job));
    ASSERT_EQ(query.status, DWORD{ERROR_INSUFFICIENT_BUFFER});
    ASSERT_GE(query.needed, 64u + sizeof(JOB_INFO_1W));
    const Result reply = xcv(kKeravin, L"JobInfoData", jobInfoMessage(5, job), query.needed);
    ASSERT_EQ(reply.status, 0u);
    const std::vector<BYTE>& r = reply.output;
    EXPECT_EQ(at<DWORD>(r, 0), query.needed);
    EXPECT_EQ(at<DWORD>(r, 8), 1u);     // accounting flag
    EXPECT_EQ(at<DWORD>(r, 28), 0u);    // delivery flag
    EXPECT_EQ(at<DWORD>(r, 44), 4242u); // process
    const DWORD info = at<DWORD>(r, 48);
    ASSERT_LE(info + sizeof(JOB_INFO_1W), r.size());
    EXPECT_EQ(at<DWORD>(r, info + offsetof(JOB_INFO_1W, JobId)), job);
    const auto printerMember = at<ULONG_PTR>(r, info + offsetof(JOB_INFO_1W, pPrinterName));
    EXPECT_EQ(textAt(r, info + printerMember), printer);
    EXPECT_EQ(textAt(r, static_cast<size_t>(at<ULONGLONG>(r, 56))), printer);

    EXPECT_EQ(xcv(kKeravin, L"JobInfoData", jobInfoMessage(6, job)).status, 0u);
    EXPECT_EQ(xcv(kKeravin, L"JobInfoData", jobInfoMessage(5, job), 4096).status, DWORD{ERROR_NOT_FOUND});
    std::vector<BYTE> wrongType = jobInfoMessage(1, 0);
    wrongType[4] = 8;
    EXPECT_EQ(xcv(kKeravin, L"JobInfoData", wrongType).status, DWORD{ERROR_INVALID_PARAMETER});
}

std::vector<BYTE> waypostRequest(ULONGLONG event, ULONGLONG job, const std::wstring& destination = L"")
{
    std::vector<BYTE> request(event == 1 ? 96 + (destination.size() + 1) * 2 : 96, 0);
    const DWORD size = static_cast<DWORD>(request.size()), type = 6;
    const ULONGLONG duplex = 1, flag = 1, copies = 3, nameOffset = 96;
    std::memcpy(&request[0], &size, 4);
    std::memcpy(&request[4], &type, 4);
    std::memcpy(&request[8], &event, 8);
    std::memcpy(&request[16], &job, 8);
    if (event == 1) {
        std::memcpy(&request[24], &duplex, 8);
        std::memcpy(&request[32], &flag, 8);
        std::memcpy(&request[40], &copies, 8);
        std::memcpy(&request[64], &nameOffset, 8);
        std::memcpy(&request[96], destination.c_str(), (destination.size() + 1) * 2);
    }
    return request;
}

TEST_F(MonitorFixture, KeravinWaypostJobLifecycle)
{
    const ULONGLONG job = 0x71000000 | GetCurrentProcessId();
    EXPECT_EQ(xcv(kKeravin, L"WaypostPrintEvent", waypostRequest(2, job), 4096).status, DWORD{ERROR_NOT_FOUND});
    EXPECT_EQ(xcv(kKeravin, L"WaypostPrintEvent", waypostRequest(1, job, L"Front desk")).status, 0u);
    const Result query = xcv(kKeravin, L"WaypostPrintEvent", waypostRequest(2, job));
    ASSERT_EQ(query.status, DWORD{ERROR_INSUFFICIENT_BUFFER});
    const Result reply = xcv(kKeravin, L"WaypostPrintEvent", waypostRequest(2, job), query.needed);
    ASSERT_EQ(reply.status, 0u);
    const std::vector<BYTE>& r = reply.output;
    EXPECT_EQ(at<ULONGLONG>(r, 0), 2u);
    EXPECT_EQ(at<ULONGLONG>(r, 8), job);
    EXPECT_EQ(at<ULONGLONG>(r, 16), 1u);  // duplex
    EXPECT_EQ(at<ULONGLONG>(r, 32), 3u);  // copies
    EXPECT_EQ(textAt(r, static_cast<size_t>(at<ULONGLONG>(r, 48))), L"Front desk");
    EXPECT_EQ(at<ULONGLONG>(r, 56), 0u);  // no printer reported for this job
    EXPECT_EQ(at<ULONGLONG>(r, 72), r.size() - 88);
    EXPECT_EQ(xcv(kKeravin, L"WaypostPrintEvent", waypostRequest(3, job)).status, 0u);
    EXPECT_EQ(xcv(kKeravin, L"WaypostPrintEvent", waypostRequest(3, job)).status, DWORD{ERROR_NOT_FOUND});
    EXPECT_EQ(xcv(kKeravin, L"FreeDVTs", {}).status, 0u);
}

TEST_F(MonitorFixture, KeravinUpgradeChecksTheNewCompanion)
{
    const std::wstring newer = testenv::binDir() + L"\\monitors\\keravin-6.2\\vrelm107.DLL";
    EXPECT_EQ(xcv(kKeravin, L"UpgradePrintMonitor", bytesOf(newer), 0, 0).status, DWORD{ERROR_ACCESS_DENIED});
    EXPECT_EQ(xcv(kKeravin, L"UpgradePrintMonitor", bytesOf(newer + L".missing")).status, DWORD{ERROR_FILE_NOT_FOUND});
    EXPECT_EQ(xcv(kKeravin, L"UpgradePrintMonitor", bytesOf(newer)).status, 0u);
    EXPECT_EQ(stringValue(kMonitorsKey + kKeravin, L"PendingUpgradeVersion"), L"6.2.0.0");
}

std::vector<BYTE> portData1(const std::wstring& port, const std::wstring& host, const std::wstring& ip)
{
    PORT_DATA_1 data = {};
    wcsncpy(data.sztPortName, port.c_str(), 63);
    wcsncpy(data.sztHostAddress, host.c_str(), 48);
    wcsncpy(data.sztIPAddress, ip.c_str(), 15);
    wcsncpy(data.sztSNMPCommunity, L"public", 32);
    data.dwVersion = 1;
    data.dwProtocol = 1;
    data.cbSize = sizeof(data);
    data.dwPortNumber = 9102;
    data.dwSNMPEnabled = 1;
    data.dwSNMPDevIndex = 1;
    std::vector<BYTE> bytes(sizeof(data));
    std::memcpy(bytes.data(), &data, sizeof(data));
    return bytes;
}

TEST_F(MonitorFixture, TcpIpMonitorsAddPortsFromPortData1AndAddPortIni)
{
    const std::wstring standardPort = unique(L"IP_10.1.");
    const std::wstring makerPort = unique(L"HST_printer");
    for (const wchar_t* monitor : {L"Standard TCP/IP Port", L"QZ Standard TCP/IP Port"}) {
        SCOPED_TRACE(narrowName(monitor));
        const std::wstring port = standardPort + (monitor[0] == L'S' ? L"1" : L"2");
        const std::vector<BYTE> record = portData1(port, L"", L"10.1.2.3");
        EXPECT_EQ(xcv(monitor, L"AddPort", record, 0, 0).status, DWORD{ERROR_ACCESS_DENIED});
        EXPECT_EQ(xcv(monitor, L"AddPort", record).status, 0u);
        EXPECT_EQ(xcv(monitor, L"AddPort", record).status, DWORD{ERROR_ALREADY_EXISTS});
        EXPECT_EQ(xcv(monitor, L"AddPort", std::vector<BYTE>(record.begin(), record.end() - 4)).status,
                  DWORD{ERROR_INVALID_PARAMETER});
        const std::wstring key = kMonitorsKey + monitor + L"\\Ports\\" + port;
        EXPECT_EQ(stringValue(key, L"IPAddress"), L"10.1.2.3");
        EXPECT_EQ(dwordValue(key, L"PortNumber"), 9102u);
        EXPECT_EQ(stringValue(key, L"SNMP Community"), L"public");
        const auto calls = qzmon::receivedCalls(monitor, GetCurrentProcessId());
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.back().input.size(), record.size() - 4);
        removePort(monitor, port);
    }

    wchar_t ini[MAX_PATH] = {};
    ExpandEnvironmentStringsW(L"%SystemRoot%\\system32\\AddPort.ini", ini, MAX_PATH);
    ASSERT_TRUE(WritePrivateProfileStringW(makerPort.c_str(), L"PortNumber", L"9101", ini));
    ASSERT_TRUE(WritePrivateProfileStringW(makerPort.c_str(), L"Community", L"corp", ini));
    EXPECT_EQ(xcv(L"QZ Standard TCP/IP Port", L"AddPortEx", bytesOf(makerPort)).status, DWORD{ERROR_INVALID_DATA});
    ASSERT_TRUE(WritePrivateProfileStringW(makerPort.c_str(), L"HostName", L"printer.example", ini));
    EXPECT_EQ(xcv(L"QZ Standard TCP/IP Port", L"AddPortEx", bytesOf(makerPort)).status, 0u);
    const std::wstring key = kMonitorsKey + L"QZ Standard TCP/IP Port\\Ports\\" + makerPort;
    EXPECT_EQ(stringValue(key, L"HostName"), L"printer.example");
    EXPECT_EQ(dwordValue(key, L"PortNumber"), 9101u);
    EXPECT_EQ(stringValue(key, L"SNMP Community"), L"corp");
    WritePrivateProfileStringW(makerPort.c_str(), nullptr, nullptr, ini);
    removePort(L"QZ Standard TCP/IP Port", makerPort);
}

TEST_F(MonitorFixture, MakerTcpIpMonitorComesInTwoVersions)
{
    struct Row {
        std::wstring file;
        DWORD ms, ls;
    };
    const Row rows[] = {{testenv::binDir() + L"\\vrelm613.DLL", MAKELONG(2, 5), MAKELONG(11, 0)},
                        {testenv::binDir() + L"\\monitors\\vrelm613-5.2.0.10\\vrelm613.DLL", MAKELONG(2, 5),
                         MAKELONG(10, 0)}};
    for (const Row& row : rows) {
        SCOPED_TRACE(narrowName(row.file));
        DWORD ignored = 0;
        std::vector<BYTE> block(GetFileVersionInfoSizeW(row.file.c_str(), &ignored));
        ASSERT_FALSE(block.empty());
        ASSERT_TRUE(GetFileVersionInfoW(row.file.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT size = 0;
        ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
        EXPECT_EQ(fixed->dwFileVersionMS, row.ms);
        EXPECT_EQ(fixed->dwFileVersionLS, row.ls);
    }
}

TEST_F(MonitorFixture, IpxSpxMonitorAddsPortFromItsRecord)
{
    const std::wstring port = unique(L"IPX_00112233");
    std::vector<BYTE> record(1048, 0);
    auto put32 = [&](size_t offset, DWORD value) { std::memcpy(&record[offset], &value, 4); };
    auto putText = [&](size_t offset, const std::wstring& text) {
        std::memcpy(&record[offset], text.c_str(), (text.size() + 1) * 2);
    };
    putText(0, port);
    put32(128, 1);
    put32(132, 3);
    put32(136, 1048);
    putText(242, L"public");
    putText(410, L"001122334455");
    put32(952, 16396);
    put32(956, 1);
    put32(960, 1);
    putText(976, L"0000ABCD");
    EXPECT_EQ(xcv(L"QZ Standard IPX/SPX Port", L"AddPort", record).status, 0u);
    const std::wstring key = kMonitorsKey + L"QZ Standard IPX/SPX Port\\Ports\\" + port;
    EXPECT_EQ(stringValue(key, L"HardwareAddress"), L"001122334455");
    EXPECT_EQ(stringValue(key, L"NetNum"), L"0000ABCD");
    EXPECT_EQ(dwordValue(key, L"PortNumber"), 16396u);
    EXPECT_EQ(xcv(L"QZ Standard IPX/SPX Port", L"AddPort", record).status, DWORD{ERROR_ALREADY_EXISTS});
    put32(136, 964);
    EXPECT_EQ(xcv(L"QZ Standard IPX/SPX Port", L"AddPort", record).status, DWORD{ERROR_INVALID_PARAMETER});
    removePort(L"QZ Standard IPX/SPX Port", port);
}

TEST_F(MonitorFixture, LocalPortMonitorListsAddsAndDeletesPorts)
{
    const std::wstring port = unique(L"C:\\spool\\out") + L".prn";
    EXPECT_EQ(xcv(L"Local Port", L"AddPort", bytesOf(port)).status, 0u);
    EXPECT_EQ(xcv(L"Local Port", L"AddPort", bytesOf(port)).status, DWORD{ERROR_ALREADY_EXISTS});

    auto loaded = qzmon::LoadedMonitor::load(L"Local Port");
    ASSERT_TRUE(loaded);
    DWORD needed = 0, returned = 0;
    SetLastError(0);
    EXPECT_FALSE(loaded->table().pfnEnumPorts(loaded->handle(), nullptr, 2, nullptr, 0, &needed, &returned));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INSUFFICIENT_BUFFER});
    std::vector<BYTE> buffer(needed);
    ASSERT_TRUE(loaded->table().pfnEnumPorts(loaded->handle(), nullptr, 2, buffer.data(), needed, &needed, &returned));
    std::vector<std::wstring> names;
    const auto* info = reinterpret_cast<const PORT_INFO_2W*>(buffer.data());
    for (DWORD i = 0; i < returned; ++i) {
        names.emplace_back(info[i].pPortName);
        EXPECT_STREQ(info[i].pMonitorName, L"Local Port");
    }
    for (const std::wstring& expected : {std::wstring(L"LPT1:"), std::wstring(L"FILE:"), port})
        EXPECT_NE(std::find(names.begin(), names.end(), expected), names.end()) << narrowName(expected);
    EXPECT_FALSE(loaded->table().pfnEnumPorts(loaded->handle(), nullptr, 3, buffer.data(), needed, &needed, &returned));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_LEVEL});

    EXPECT_EQ(xcv(L"Local Port", L"DeletePort", bytesOf(port)).status, 0u);
    EXPECT_NE(RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports",
                           port.c_str(), RRF_RT_ANY, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
}

// The same monitors reached as the module reaches them: XcvDataW of the spooler.
TEST_F(MonitorFixture, SpoolerRoutesXcvToEachMonitor)
{
    const std::wstring tcpPort = unique(L"IP_10.9.");
    const std::wstring localPort = unique(L"C:\\spool\\routed") + L".prn";
    struct Row {
        const wchar_t* monitor;
        const wchar_t* command;
        std::vector<BYTE> input;
        DWORD status;
    };
    const Row rows[] = {
        {L"Standard TCP/IP Port", L"AddPort", portData1(tcpPort + L"1", L"", L"10.9.0.1"), 0},
        {L"QZ Standard TCP/IP Port", L"AddPort", portData1(tcpPort + L"2", L"host.example", L""), 0},
        {L"QZ Standard IPX/SPX Port", L"AddPort", std::vector<BYTE>(1048, 0), ERROR_INVALID_PARAMETER},
        {L"Local Port", L"AddPort", bytesOf(localPort), 0},
        {kKeravin, L"FreeDVTs", {}, 0},
        {kKeravin, L"GetPortName", testenv::keravinCommandRecord(L"QZ UNC Port", L"\\\\nowhere\\none"),
         ERROR_UNKNOWN_PORT},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(narrowName(std::wstring(row.monitor) + L" " + row.command));
        std::wstring open = std::wstring(L",XcvMonitor ") + row.monitor;
        PRINTER_DEFAULTSW defaults = {nullptr, nullptr, SERVER_ACCESS_ADMINISTER};
        HANDLE xcv = nullptr;
        ASSERT_TRUE(OpenPrinterW(open.data(), &xcv, &defaults)) << GetLastError();
        BYTE output[256] = {};
        DWORD needed = 0, status = 0xBDBDBDBD;
        EXPECT_TRUE(XcvDataW(xcv, row.command, row.input.empty() ? nullptr : const_cast<BYTE*>(row.input.data()),
                             static_cast<DWORD>(row.input.size()), output, sizeof(output), &needed, &status));
        EXPECT_EQ(status, row.status);
        ClosePrinter(xcv);
        const auto calls = qzmon::receivedCalls(row.monitor, GetCurrentProcessId());
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.back().command, row.command);
        EXPECT_EQ(calls.back().input, row.input);
        EXPECT_EQ(calls.back().status, row.status);
        EXPECT_EQ(calls.back().access, DWORD{SERVER_ACCESS_ADMINISTER});
    }

    // Ports made through Xcv are the spooler's ports.
    DWORD needed = 0, count = 0;
    EnumPortsW(nullptr, 2, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed + 4096);
    ASSERT_TRUE(EnumPortsW(nullptr, 2, buffer.data(), static_cast<DWORD>(buffer.size()), &needed, &count));
    const auto* ports = reinterpret_cast<const PORT_INFO_2W*>(buffer.data());
    std::vector<std::wstring> names;
    for (DWORD i = 0; i < count; ++i)
        names.emplace_back(ports[i].pPortName);
    for (const std::wstring& port : {tcpPort + L"1", tcpPort + L"2", localPort})
        EXPECT_NE(std::find(names.begin(), names.end(), port), names.end()) << narrowName(port);

    removePort(L"Standard TCP/IP Port", tcpPort + L"1");
    removePort(L"QZ Standard TCP/IP Port", tcpPort + L"2");
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports",
                       localPort.c_str());
}

} // namespace
