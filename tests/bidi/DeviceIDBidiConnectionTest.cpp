// The USB device-id connection: finding the USB printer interface of a port
// among present interfaces created through SetupAPI, and the 1284 device id
// read through it. Wine has no USB printer driver to answer the control, so
// the read alone is given by a subclass: it hands the raw bytes a driver
// returns to the connection's own parsing.
#include "bidi/DeviceIDBidiConnection.h"

#include "support/TestEnv.h"
#include "support/UsbPrintInterface.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using MPrint::BidiRequest;
using MPrint::DeviceIDBidiConnection;

// The answer of the get-device-id control: two-byte big-endian length, then the id.
std::string controlAnswer(const std::string& id)
{
    const size_t length = id.size() + 2;
    return std::string{static_cast<char>(length >> 8), static_cast<char>(length & 0xFF)} + id;
}

class ScriptedDevice : public DeviceIDBidiConnection {
public:
    std::string answer;   // what the control returns; empty: the control fails
    std::vector<std::wstring> found;

    bool FindUsbPrintInterface(const wchar_t* portName, HANDLE* device) override
    {
        const bool ok = DeviceIDBidiConnection::FindUsbPrintInterface(portName, device);
        if (ok)
            found.push_back(portName);
        return ok;
    }
    bool ReadDeviceID(std::string& id, HANDLE) override
    {
        id.clear();
        if (answer.empty())
            return false;
        id = deviceIdText(reinterpret_cast<const BYTE*>(answer.data()), static_cast<DWORD>(answer.size()));
        return true;
    }
};

// "KEY:value;" pairs of a device id.
std::map<std::string, std::string> idFields(const std::string& id)
{
    std::map<std::string, std::string> fields;
    size_t at = 0;
    while (at < id.size()) {
        size_t end = id.find(';', at);
        if (end == std::string::npos)
            end = id.size();
        const std::string pair = id.substr(at, end - at);
        const size_t colon = pair.find(':');
        if (colon != std::string::npos)
            fields[pair.substr(0, colon)] = pair.substr(colon + 1);
        at = end + 1;
    }
    return fields;
}

const char kId[] = "MFG:Vrelm;CMD:PCL,PJL,PCL3;MDL:Plinthe 950;CLS:PRINTER;";

} // namespace

TEST(DeviceIDBidiConnection, FindsTheListedInterfaceByBaseNameAndPortNumber)
{
    const std::wstring base = L"QZT" + std::to_wstring(GetCurrentProcessId() % 10000) + L"_";
    // An interface without a base name is known as "USB"; its port number is one no other interface of this prefix has.
    const DWORD number = 500 + GetCurrentProcessId() % 400;
    testenv::ScopedUsbPrintInterface named(base, 7);
    testenv::ScopedUsbPrintInterface unnamed(std::nullopt, number);
    testenv::ScopedUsbPrintInterface bare(base + L"Z", std::nullopt);
    ASSERT_TRUE(named.created());
    ASSERT_TRUE(unnamed.created());
    ASSERT_TRUE(bare.created());

    wchar_t defaultName[16];
    swprintf(defaultName, 16, L"USB%03lu", static_cast<unsigned long>(number));
    struct Row {
        std::wstring port;
        bool found;
    } rows[] = {
        {base + L"007", true},
        {defaultName, true},
        {base + L"Z000", true},
        {base + L"7", false},      // the number has at least three digits
        {L"qzt" + base.substr(3) + L"007", false},
        {base + L"008", false},
        {L"", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.port));
        DeviceIDBidiConnection connection;
        HANDLE device = nullptr;
        EXPECT_EQ(row.found, connection.FindUsbPrintInterface(row.port.c_str(), &device));
        if (row.found) {
            // No driver behind the interface: its path does not open, and the read refuses the handle.
            EXPECT_EQ(INVALID_HANDLE_VALUE, device);
            std::string id = "old";
            EXPECT_FALSE(connection.ReadDeviceID(id, device));
            EXPECT_EQ("", id);
            EXPECT_FALSE(connection.Connect(nullptr, row.port.c_str(), 0, 0));
        }
    }
}

TEST(DeviceIDBidiConnection, AnswersTheDeviceIdOidWithTheParsedId)
{
    const std::wstring base = L"QZI" + std::to_wstring(GetCurrentProcessId() % 10000) + L"_";
    testenv::ScopedUsbPrintInterface usb(base, 1);
    ASSERT_TRUE(usb.created());
    const std::wstring port = base + L"001";

    ScriptedDevice connection;
    connection.answer = controlAnswer(kId);
    EXPECT_FALSE(connection.Connect(nullptr, L"", 0, 0));
    EXPECT_FALSE(connection.Connect(nullptr, (base + L"002").c_str(), 0, 0));
    ASSERT_TRUE(connection.Connect(nullptr, port.c_str(), 0, 0));
    EXPECT_EQ(std::vector<std::wstring>{port}, connection.found);
    EXPECT_EQ(kId, connection.getDeviceID());
    const auto fields = idFields(connection.getDeviceID());
    EXPECT_EQ("Plinthe 950", fields.at("MDL"));
    EXPECT_EQ("PCL,PJL,PCL3", fields.at("CMD"));

    BidiRequest batch[] = {BidiRequest(MPrint::kDeviceIdOID), BidiRequest("1.3.6.1.2.1.25.3.2.1.3.1"),
                           BidiRequest(MPrint::kDeviceIdOID)};
    EXPECT_TRUE(connection.Get(batch, 3));
    for (int i : {0, 2}) {
        EXPECT_EQ(MPrint::BidiText, batch[i].value.type);
        EXPECT_EQ(kId, batch[i].value.text);
    }
    EXPECT_EQ(MPrint::BidiNone, batch[1].value.type);
    BidiRequest other("1.3.6.1.2.1.25.3.2.1.3.1");
    EXPECT_FALSE(connection.Get(&other, 1));
    EXPECT_EQ(MPrint::BidiNone, other.value.type);
    EXPECT_EQ("", other.value.text);
    EXPECT_FALSE(connection.Get(nullptr, 1));
    EXPECT_FALSE(connection.GetNext(batch, 1));
    EXPECT_FALSE(connection.Open());
    EXPECT_TRUE(connection.Close());
    EXPECT_FALSE(connection.IsHttpConnection());

    // A second Connect reads the id again and replaces it.
    connection.answer = controlAnswer("MFG:Vrelm;MDL:Other;");
    ASSERT_TRUE(connection.Connect(nullptr, port.c_str(), 0, 0));
    EXPECT_EQ("MFG:Vrelm;MDL:Other;", connection.getDeviceID());
    // A failed read leaves nothing to answer.
    connection.answer.clear();
    EXPECT_FALSE(connection.Connect(nullptr, port.c_str(), 0, 0));
    BidiRequest id(MPrint::kDeviceIdOID);
    EXPECT_FALSE(connection.Get(&id, 1));
}

TEST(DeviceIDBidiConnection, DeviceIdTextIsBoundedByTheAnswer)
{
    struct Row {
        const char* name;
        std::string answer;
        std::string text;
    } rows[] = {
        {"length field dropped", controlAnswer("MFG:A;MDL:B;"), "MFG:A;MDL:B;"},
        {"no length field", "MFG:A;MDL:B;", "MFG:A;MDL:B;"},
        {"up to the first zero byte", controlAnswer(std::string("MDL:B;\0junk", 11)), "MDL:B;"},
        {"empty answer", "", ""},
        {"length field only", std::string("\x00\x02", 2), ""},
        // A full buffer has no terminator: the text ends with the bytes returned.
        {"full buffer", controlAnswer(std::string(1022, 'x')), std::string(1022, 'x')},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<BYTE> bytes(row.answer.begin(), row.answer.end());
        bytes.push_back('!'); // past the answer: never part of the text
        EXPECT_EQ(row.text, DeviceIDBidiConnection::deviceIdText(bytes.data(), static_cast<DWORD>(row.answer.size())));
    }
    EXPECT_EQ("", DeviceIDBidiConnection::deviceIdText(nullptr, 4));
}
