// Device answers (a scripted connection) turned into the queue's feature
// values: duplex unit, job storage, tray defaults and USB tray names.
#include "VagantUIExtension/FeatureAccessor.h"
#include "support/MemoryDeviceSettings.h"
#include "support/ScriptedBidiConnection.h"

#include <gtest/gtest.h>

using MPrint::PrintPath;
using testenv::MemoryDeviceSettings;
using testenv::ScriptedBidiConnection;

namespace {

constexpr char kMediaPath[] = "1.3.6.1.2.1.43.13.4.1.9.1.2";
constexpr char kJobStorage[] = "1.3.6.1.4.1.11.2.3.9.4.2.1.1.6.7.2.4.0";
constexpr char kDuplex[] = "1.3.6.1.4.1.11.2.3.9.4.2.1.4.1.1.4.0";
constexpr char kMemory[] = "1.3.6.1.2.1.25.2.2.0";
constexpr char kModelText[] = "1.3.6.1.4.1.11.2.3.9.4.2.1.1.3.2.0";
constexpr char kDeviceId[] = "1.3.6.1.4.1.11.2.3.9.1.1.7.0";

// Disk n of the storage table (its next OID from request n).
std::string disk(int n)
{
    return "1.3.6.1.2.1.25.3.6.1.2." + std::to_string(n + 1);
}

// The base's queries without a port of its own.
class PlainAccessor : public MPrint::FeatureAccessor {
public:
    uint32_t Apply(PrintPath*, DeviceSettings*) override { return 0; }
};

std::wstring joined(const std::vector<std::wstring>& lines)
{
    std::wstring out;
    for (const std::wstring& line : lines)
        out += (out.empty() ? L"" : L"; ") + line;
    return out;
}

} // namespace

TEST(FeatureAccessor, DuplexAndJobStorageFromTheDevice)
{
    struct Row {
        const char* name;
        void (*script)(ScriptedBidiConnection&);
        uint32_t result;
        const wchar_t* written;
    };
    const Row rows[] = {
        {"media path named duplex",
         [](ScriptedBidiConnection& d) { d.text(kMediaPath, "simplex,duplex"); }, 0,
         L"dword LumoDisableDuplex=0; dword LumoDisableJobRetention=1"},
        {"media path text naming nothing ends the decision, whatever the duplex OID",
         [](ScriptedBidiConnection& d) { d.text(kMediaPath, "simplex").integer(kDuplex, 1); }, 0,
         L"dword LumoDisableDuplex=1; dword LumoDisableJobRetention=1"},
        {"media path as a positive number",
         [](ScriptedBidiConnection& d) { d.integer(kMediaPath, 4); }, 0,
         L"dword LumoDisableDuplex=0; dword LumoDisableJobRetention=1"},
        {"media path 0 but a duplex OID",
         [](ScriptedBidiConnection& d) { d.integer(kMediaPath, 0).integer(kDuplex, 1); }, 0,
         L"dword LumoDisableDuplex=0; dword LumoDisableJobRetention=1"},
        {"duplex OID without a second media path is no duplex",
         [](ScriptedBidiConnection& d) { d.integer(kDuplex, 1); }, 0,
         L"dword LumoDisableDuplex=1; dword LumoDisableJobRetention=1"},
        {"job storage answered 2", [](ScriptedBidiConnection& d) { d.integer(kJobStorage, 2); }, 0,
         L"dword LumoDisableDuplex=1; dword LumoDisableJobRetention=0"},
        {"job storage answered 1", [](ScriptedBidiConnection& d) { d.integer(kJobStorage, 1); }, 0,
         L"dword LumoDisableDuplex=1; dword LumoDisableJobRetention=1"},
        {"hard disk as the second storage",
         [](ScriptedBidiConnection& d) { d.integer(disk(1), 4).integer(disk(2), 3); }, 0,
         L"dword LumoDisableDuplex=1; dword LumoDisableJobRetention=0"},
        {"RAM disk with 64 MB", [](ScriptedBidiConnection& d) { d.integer(disk(1), 8).integer(kMemory, 65536); }, 0,
         L"dword LumoDisableDuplex=1; dword LumoDisableJobRetention=0"},
        {"RAM disk with 48 MB", [](ScriptedBidiConnection& d) { d.integer(disk(1), 8).integer(kMemory, 49152); }, 0,
         L"dword LumoDisableDuplex=1; dword LumoDisableJobRetention=1"},
        {"RAM disk of the one model that cannot hold jobs",
         [](ScriptedBidiConnection& d) {
             d.integer(disk(1), 8).integer(kMemory, 131072).text(kModelText, "qz color Ardelle 2210dn");
         },
         0, L"dword LumoDisableDuplex=1; dword LumoDisableJobRetention=1"},
        {"nothing but a device id: both written",
         [](ScriptedBidiConnection& d) {
             d.getNextFails = true;
             d.text(kDeviceId, "MFG:Acme;CMD:PCL;");
         },
         0, L"dword LumoDisableDuplex=1; dword LumoDisableJobRetention=1"},
        {"no answer at all: nothing written",
         [](ScriptedBidiConnection& d) {
             d.getNextFails = true;
             d.getFails = true;
         },
         9, L""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedBidiConnection device;
        row.script(device);
        MemoryDeviceSettings sink;
        PrintPath path;
        PlainAccessor accessor;
        EXPECT_EQ(accessor.QueryFeatures(&path, &device, &sink), row.result);
        EXPECT_EQ(joined(sink.writes), row.written);
    }
}

TEST(FeatureAccessor, InkjetStatusDigitDecidesDuplex)
{
    struct Row {
        const char* id;
        bool duplex;
    };
    // Step 2 found duplex (media path 1) for every row; the id may overrule.
    // The digit read is the seventh character from ";S:" on.
    const Row rows[] = {
        {"CMD:DYN;S:0380000;", false},
        {"CMD:DYN;S:0380800;", true},
        {"CMD:DYN;S:0380900;", false},  // 9 is the exception
        {"CMD:DYN;S:0380a00;", true},   // lower case hex
        {"CMD:DYN;S:0380F00;", true},
        {"CMD:DYN;S:0380700;", false},
        {"CMD:DYN;S:0380", true},       // too short: the earlier decision stands
        {"CMD:DYN;S:0380z00;", true},   // not a digit: likewise
        {"CMD:PCL;S:0380000;", true},   // not an inkjet command set
        {"CMD:DYN", true},              // no ';' after the command set
        {"CMD:DW-PCL;S:0000000;", false},
        {"MDL:x;CMD:PLINTHE,PJL;S:0000000;", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.id);
        ScriptedBidiConnection device;
        device.integer(kMediaPath, 1).text(kDeviceId, row.id);
        MemoryDeviceSettings sink;
        PrintPath path;
        PlainAccessor accessor;
        EXPECT_EQ(accessor.QueryFeatures(&path, &device, &sink), 0u);
        DWORD disabled = 99;
        EXPECT_TRUE(sink.getDword(L"LumoDisableDuplex", disabled));
        EXPECT_EQ(disabled, row.duplex ? 0u : 1u);
    }
}

TEST(FeatureAccessor, TrayDefaultsForPcl3DevicesEvenWithoutAConnection)
{
    PrintPath inkjet;
    MPrint::Device device("QZ Plinthe 100", "");
    device.addPdl(PdlInfo(5, "PJL", "version 1.0"));
    device.addPdl(PdlInfo(7, "PCL3", "version 1.0"));
    inkjet.setDevice(device, true);
    MemoryDeviceSettings sink;
    PlainAccessor accessor;
    EXPECT_EQ(accessor.QueryFeatures(&inkjet, nullptr, &sink), 9u);
    EXPECT_EQ(joined(sink.writes), L"dword LumoTrayType1=3; string LumoTrayName1=Tray 1; "
                                   L"dword LumoTrayType2=3; string LumoTrayName2=Tray 2");

    PrintPath laser;
    laser.setDevice(MPrint::Device("QZ Ardelle", ""), true);
    MemoryDeviceSettings none;
    EXPECT_FALSE(accessor.WriteTrayDefaults(&laser, &none));
    EXPECT_FALSE(accessor.WriteTrayDefaults(nullptr, &none));
    EXPECT_TRUE(none.writes.empty());

    EXPECT_EQ(accessor.Execute(nullptr), 9u);
    EXPECT_TRUE(accessor.IsEnabled());
    EXPECT_EQ(accessor.SetEnabled(false), 0u);
    EXPECT_FALSE(accessor.IsEnabled());
}
