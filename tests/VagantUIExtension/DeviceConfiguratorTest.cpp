// Device answers (a scripted connection) turned into a configured print
// path: model, languages in family order, colour, speed, the change-counter
// gate, and the device id's fields.
#include "VagantUIExtension/DefaultDeviceConfigurator.h"
#include "VagantUIExtension/DeviceConfigurator.h"
#include "destination/PrintPathAttr.h"
#include "support/ConfiguredDevice.h"
#include "support/ScriptedBidiConnection.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

using MPrint::DeviceConfigurator;
using MPrint::PrintPath;
using testenv::ScriptedBidiConnection;

namespace {

constexpr char kModel[] = "1.3.6.1.2.1.25.3.2.1.3.1";
constexpr char kCounter[] = "1.3.6.1.2.1.43.5.1.1.1.1";
constexpr char kSpeed[] = "1.3.6.1.2.1.43.13.4.1.4.1.1";
constexpr char kDeviceId[] = "1.3.6.1.4.1.11.2.3.9.1.1.7.0";
constexpr char kVendorModel[] = "1.3.6.1.4.1.1602.1.13.1.1.5.1";

// The module's texts, for the "PrinterInfo" lines ("Model: %1", "Address: %1").
const MPrint::ResourceLoader& texts()
{
    static const MPrint::ResourceLoader loader(testenv::binDir() + L"\\vrelm102.DLL");
    return loader;
}

// Row n of the interpreter table: family, description, level.
void interpreter(ScriptedBidiConnection& device, int row, LONG family, const std::string& name,
                 const std::string& version)
{
    const std::string n = "." + std::to_string(row);
    device.integer("1.3.6.1.2.1.43.15.1.1.2.1" + n, family)
        .text("1.3.6.1.2.1.43.15.1.1.5.1" + n, name)
        .text("1.3.6.1.2.1.43.15.1.1.3.1" + n, version);
}

void colorants(ScriptedBidiConnection& device, int count)
{
    for (int i = 1; i <= count; ++i)
        device.integer("1.3.6.1.2.1.43.12.1.1.2.1." + std::to_string(i), 3);
}

std::string pdls(const MPrint::Device& device)
{
    return testenv::pdlList(device);
}

bool persisted(const PrintPath& path, const wchar_t* name)
{
    const auto it = path.attributes().find(name);
    return it != path.attributes().end() && it->second.persist;
}

} // namespace

TEST(DeviceConfigurator, DeviceAnswersMakeTheConfiguredPath)
{
    struct Row {
        const char* name;
        void (*script)(ScriptedBidiConnection&);
        uint32_t result;
        const char* model;      // of the path's device
        const char* pdls;       // family:description/version in order
        bool configured;
        DWORD color;
        DWORD speed;
        const wchar_t* info;    // "PrinterInfo", "" none
    };
    const Row rows[] = {
        {"laser with an interpreter table, two colorants, 250 pages per hour",
         [](ScriptedBidiConnection& d) {
             d.text(kModel, "QZ Ardelle 4020").integer(kSpeed, 250);
             interpreter(d, 1, 3, "PCL", "Version 5.00E");
             interpreter(d, 2, 6, "POSTSCRIPT", "Version 3010");
             interpreter(d, 3, 47, "PCLXL", "Version 2.0");
             colorants(d, 2);
         },
         0, "QZ Ardelle 4020", "3:PCL/Version 5.00E,6:POSTSCRIPT/Version 3010,47:PCLXL/Version 2.0", true, 1, 4,
         L"Model: QZ Ardelle 4020\nAddress: 10.1.2.3"},
        {"model only: the language guessed from it, one colorant is mono, 45 ppm",
         [](ScriptedBidiConnection& d) {
             d.text(kModel, "QZ Ardelle 4020").integer(kSpeed, 45);
             colorants(d, 1);
         },
         0, "QZ Ardelle 4020", "3:PCL5/version 5.0", true, 0, 45,
         L"Model: QZ Ardelle 4020\nAddress: 10.1.2.3"},
        {"no model OID: model and languages from the device id; DYN means colour",
         [](ScriptedBidiConnection& d) { d.text(kDeviceId, "MFG:Acme;MDL:Jet 9;CMD:DYN,PCL,PJL,PCLXL;"); }, 0,
         "Acme Jet 9", "47:PCL6/version 2.0,7:PCL3/version 1.0,5:PJL/version 1.0", true, 1, 0,
         L"Model: Acme Jet 9\nAddress: 10.1.2.3"},
        {"an inkjet model with a table also gets PCL3 from its device id",
         [](ScriptedBidiConnection& d) {
             d.text(kModel, "QZ Plinthe 100").text(kDeviceId, "MDL:Plinthe 100;CMD:DW-PCL,DYN;");
             interpreter(d, 1, 5, "PJL", "Version 1.0");
         },
         0, "QZ Plinthe 100", "5:PJL/Version 1.0,7:PCL3/version 1.0", true, 1, 0, L"Model: QZ Plinthe 100\nAddress: 10.1.2.3"},
        {"one vendor's devices name their model elsewhere",
         [](ScriptedBidiConnection& d) {
             d.text(kModel, "Canon UX").text(kVendorModel, "UX-PRO 4525 PostScript");
         },
         0, "UX-PRO 4525 PostScript", "6:PostScript/version 3.0", true, 0, 0,
         L"Model: UX-PRO 4525 PostScript\nAddress: 10.1.2.3"},
        {"a model that says nothing about its language: 0, device left alone",
         [](ScriptedBidiConnection& d) { d.text(kModel, "Mystery Box"); }, 0, "", "", false, 0, 0,
         L"Model: Mystery Box\nAddress: 10.1.2.3"},
        {"nothing answered: 2, colour and speed still written",
         [](ScriptedBidiConnection&) {}, 2, "", "", false, 0, 0, L""},
        {"a model answered as a number is no model", [](ScriptedBidiConnection& d) { d.integer(kModel, 7); }, 2, "",
         "", false, 0, 0, L""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedBidiConnection device;
        row.script(device);
        PrintPath path;
        DeviceConfigurator configurator;
        configurator.Initialize(texts(), nullptr);
        EXPECT_EQ(configurator.Configure(&device, &path, L"10.1.2.3"), row.result);
        EXPECT_EQ(path.getDevice().getModelName(), row.model);
        EXPECT_EQ(pdls(path.getDevice()), row.pdls);
        EXPECT_EQ(path.isDeviceConfigured(), row.configured);
        EXPECT_EQ(path.isDevicePresent(), row.configured);
        EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::LumoIsColorDevice), row.color);
        EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::LumoPagesPerMinute), row.speed);
        EXPECT_TRUE(persisted(path, PrintPathAttr::LumoIsColorDevice));
        EXPECT_TRUE(persisted(path, PrintPathAttr::LumoPagesPerMinute));
        EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::ConfigChanged), 1u);
        EXPECT_FALSE(persisted(path, PrintPathAttr::ConfigChanged));
        EXPECT_EQ(path.getStringAttribute(PrintPathAttr::PrinterInfo), row.info);
        const bool modelRead = *row.info != 0;
        EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::DV_ModelName), modelRead ? 1u : 0xFFFFFFFFu);
    }
}

TEST(DeviceConfigurator, InterpreterWalkStopsAtTenRowsOrTheTableEnd)
{
    ScriptedBidiConnection device;
    device.text(kModel, "QZ Ardelle 9000");
    for (int i = 1; i <= 12; ++i)
        interpreter(device, i, 3, "PCL" + std::to_string(i), "Version 5.0");
    MPrint::Device found;
    DeviceConfigurator configurator;
    EXPECT_TRUE(configurator.QueryInterpreters(&device, found));
    EXPECT_EQ(found.pdlEnd() - found.pdlBegin(), 10);

    // A device whose next OID never moves stops at the same bound.
    device.getNextStuck = true;
    MPrint::Device stuck;
    EXPECT_TRUE(configurator.QueryInterpreters(&device, stuck));
    EXPECT_EQ(stuck.pdlEnd() - stuck.pdlBegin(), 10);

    // A get-next that fails ends the walk at once, with the device id empty.
    device.getNextFails = true;
    MPrint::Device none;
    EXPECT_FALSE(configurator.QueryInterpreters(&device, none));
    EXPECT_EQ(none.pdlBegin(), none.pdlEnd());
    EXPECT_FALSE(configurator.QueryInterpreters(nullptr, none));
}

TEST(DeviceConfigurator, ChangeCounterGate)
{
    ScriptedBidiConnection device;
    device.text(kModel, "QZ Ardelle 4020").integer(kCounter, 17);
    interpreter(device, 1, 3, "PCL", "Version 5.0");
    DeviceConfigurator configurator;
    PrintPath path;

    // First run: reconfigures and keeps the counter.
    EXPECT_EQ(configurator.Configure(&device, &path, L"a"), 0u);
    EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::ChangeId), 17u);
    EXPECT_TRUE(persisted(path, PrintPathAttr::ChangeId));

    // Unchanged: 0 at once, "NoBidiQuery" kept in memory, nothing else asked.
    path.removeNumericAttribute(PrintPathAttr::ConfigChanged);
    device.asked.clear();
    EXPECT_EQ(configurator.Configure(&device, &path, L"a"), 0u);
    EXPECT_EQ(device.asked, std::vector<std::string>{std::string("get ") + kCounter});
    EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::NoBidiQuery), 17u);
    EXPECT_FALSE(persisted(path, PrintPathAttr::NoBidiQuery));
    EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::ConfigChanged), 0xFFFFFFFFu);

    // Changed: asked again, the new counter kept.
    device.integer(kCounter, 18);
    EXPECT_EQ(configurator.Configure(&device, &path, L"a"), 0u);
    EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::ChangeId), 18u);
    EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::ConfigChanged), 1u);

    // A counter that cannot be read always reconfigures.
    device.forget(kCounter);
    path.removeNumericAttribute(PrintPathAttr::ConfigChanged);
    EXPECT_EQ(configurator.Configure(&device, &path, L"a"), 0u);
    EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::ConfigChanged), 1u);
}

TEST(DeviceConfigurator, UnconfiguredPathIsAskedAgainThoughItsCounterIsUnchanged)
{
    // The first run reads the counter but no model: 2, and the counter is
    // already stored. The second run must not report 0 for a device it has
    // never configured.
    ScriptedBidiConnection device;
    device.integer(kCounter, 5);
    DeviceConfigurator configurator;
    PrintPath path;
    EXPECT_EQ(configurator.Configure(&device, &path, L"a"), 2u);
    EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::ChangeId), 5u);
    EXPECT_EQ(configurator.Configure(&device, &path, L"a"), 2u);
    EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::NoBidiQuery), 0xFFFFFFFFu);

    // Once the device answers, it is configured and later runs skip.
    device.text(kModel, "QZ Ardelle 4020");
    EXPECT_EQ(configurator.Configure(&device, &path, L"a"), 0u);
    EXPECT_TRUE(path.isDeviceConfigured());
    EXPECT_EQ(configurator.Configure(&device, &path, L"a"), 0u);
    EXPECT_EQ(path.getNumericAttribute(PrintPathAttr::NoBidiQuery), 5u);
}

TEST(DeviceConfigurator, NoConnectionAndTheBaseConfigurePrintPath)
{
    DeviceConfigurator configurator;
    PrintPath path;
    path.setDevice(MPrint::Device("Old", "Old"), true);
    path.setDeviceConfigured(true);
    EXPECT_EQ(configurator.Configure(nullptr, &path, L"a"), 4u);
    EXPECT_EQ(path.getDevice().getModelName(), "Old");
    EXPECT_EQ(path.attributes().size(), 0u);

    EXPECT_EQ(configurator.ConfigurePrintPath(&path), 4u);
    EXPECT_EQ(path.getDevice().getModelName(), "");
    EXPECT_FALSE(path.isDevicePresent());
    EXPECT_FALSE(path.isDeviceConfigured());

    // Every query of a null connection fails and leaves its output alone.
    std::string text = "kept";
    DWORD number = 99;
    EXPECT_FALSE(configurator.QueryModelName(nullptr, text));
    EXPECT_FALSE(configurator.QueryDeviceID(nullptr, text));
    EXPECT_FALSE(configurator.QueryChangeCount(nullptr, &number));
    EXPECT_FALSE(configurator.QueryPagesPerMinute(nullptr, &number));
    EXPECT_EQ(configurator.QueryIsColor(nullptr), 0u);
    EXPECT_EQ(text, "kept");
    EXPECT_EQ(number, 99u);
}

TEST(DeviceConfigurator, DeviceIdFieldsAndCommandSets)
{
    struct IdRow {
        const char* id;
        bool result;
        const char* model;
        const char* command;
        const char* description;
    };
    const IdRow ids[] = {
        {"MFG:Acme;MDL:Laser 9;CMD:PCL,PJL;", true, "Acme Laser 9", "PCL,PJL", ""},
        {"CMD:PCL,PJL;MDL:Laser 9;MFG:Acme;", true, "Acme Laser 9", "PCL,PJL", ""},
        {"manufacturer:Acme;model:Laser 9;command set:POSTSCRIPT;description:Big one;", true, "Acme Laser 9",
         "POSTSCRIPT", "Big one"},
        {"MFG:Acme;", false, "Acme ", "", ""},
        {"MFG:Acme;MDL:Laser 9", false, "Acme ", "", ""},  // text after the last ';' is ignored
        {"junk;:empty key;MDL:x:y;", true, "x:y", "", ""},
        {"", false, "", "", ""},
    };
    DeviceConfigurator configurator;
    for (const IdRow& row : ids) {
        SCOPED_TRACE(row.id);
        std::string model, command, description;
        EXPECT_EQ(configurator.ParseDeviceID(row.id, model, command, description), row.result);
        EXPECT_EQ(model, row.model);
        EXPECT_EQ(command, row.command);
        EXPECT_EQ(description, row.description);
    }

    struct CmdRow {
        const char* command;
        DWORD family;
        const char* added;  // "" none
    };
    const CmdRow commands[] = {
        {"PCLXL,PJL", 47, "PCL6/version 2.0"},  {"PCL,PJL", 7, ""},
        {"DYN,PJL", 7, "PCL3/version 1.0"},     {"DYN", 7, ""},
        {"PCL,PJL", 3, "PCL5/version 5.0"},     {"PJL", 5, "PJL/version 1.0"},
        {"POSTSCRIPT", 6, "PostScript/version 2.0"}, {"postscript", 6, ""},
        {"PCL,PJL", 37, ""},                    {"", 3, ""},
    };
    for (const CmdRow& row : commands) {
        SCOPED_TRACE(std::string(row.command) + " " + std::to_string(row.family));
        MPrint::Device device;
        EXPECT_EQ(configurator.AddPDLsFromCommandSet(device, row.command, row.family), *row.added != 0);
        std::string added;
        if (device.pdlBegin() != device.pdlEnd())
            added = (*device.pdlBegin())->getDescription() + "/" + (*device.pdlBegin())->getVersion();
        EXPECT_EQ(added, row.added);
    }
}

TEST(DeviceConfigurator, LanguageGuessedFromTheModelName)
{
    struct Row {
        const char* model;
        const char* pdl;  // "" none
    };
    const Row rows[] = {
        {"QZ PCL 6 PostScript", "47:PCL6/version 2.0"},  // the first rule wins
        {"Acme pcl6", "47:PCL6/version 2.0"},
        {"QZ InkJet 5", "7:PCL3/version 1.0"},
        {"Calvenor 12", "7:PCL3/version 1.0"},
        {"Acme PostScript", "6:PostScript/version 3.0"},
        {"QZ Ardelle 1", "3:PCL5/version 5.0"},
        {"Acme PCL 5", "3:PCL5/version 5.0"},
        {"Acme 9", ""},
    };
    DeviceConfigurator configurator;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.model);
        PrintPath path;
        std::string model = row.model;
        configurator.GuessPDLFromModelName(model, &path);
        EXPECT_EQ(pdls(path.getDevice()), row.pdl);
        EXPECT_EQ(path.isDeviceConfigured(), *row.pdl != 0);
        EXPECT_EQ(path.getDevice().getModelName(), *row.pdl ? row.model : "");
    }

    // A device that already has a model and languages is left alone; one
    // with a model only is guessed from its own model.
    PrintPath known;
    MPrint::Device device("QZ Ardelle 2", "");
    known.setDevice(device, true);
    std::string other = "Acme PostScript";
    configurator.GuessPDLFromModelName(other, &known);
    EXPECT_EQ(pdls(known.getDevice()), "3:PCL5/version 5.0");
    EXPECT_EQ(known.getDevice().getModelName(), "QZ Ardelle 2");
    std::string again = "Acme PostScript";
    configurator.GuessPDLFromModelName(again, &known);
    EXPECT_EQ(pdls(known.getDevice()), "3:PCL5/version 5.0");
}

TEST(DeviceConfigurator, DefaultDeviceIsCannedAndNotPresent)
{
    PrintPath path;
    path.setNumericAttribute(L"ChangeId", 3, true);
    MPrint::DefaultDeviceConfigurator configurator;
    EXPECT_EQ(0u, configurator.ConfigurePrintPath(&path));
    EXPECT_EQ("QZ Ardelle 4020 Series", path.getDevice().getModelName());
    EXPECT_EQ("37:Automatic Language Switching/Version 2.1,5:PJL/Version 2.1,3:PCL/Version 5.00E,"
              "47:PCLXL/Version 2.0,6:POSTSCRIPT/Version 1010.107",
              pdls(path.getDevice()));
    EXPECT_TRUE(path.isDeviceConfigured());
    EXPECT_FALSE(path.isDevicePresent());
    EXPECT_EQ(0u, configurator.ConfigurePrintPath(nullptr));
}
