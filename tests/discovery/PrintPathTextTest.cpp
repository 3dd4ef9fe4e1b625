// The display texts services put on their paths: "PrinterInfo" from the
// resource module's model and address lines, hidden addresses, a model
// already named, a device's model in the ANSI code page; "Nickname" from an
// address, one-character texts included.
#include "discovery/PrintPathText.h"

#include "destination/PrintPathAttr.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

using MPrint::PrintPath;

namespace {

bool hidden()
{
    return false;
}

} // namespace

TEST(PrintPathTextTest, PrinterInfo)
{
    const MPrint::ResourceLoader loader(testenv::binDir() + L"\\vrelm102.DLL");
    struct Row {
        const char* why;
        const wchar_t* before;
        const wchar_t* model;
        bool addressHidden;
        const wchar_t* expected;
    } rows[] = {
        {"model and address", L"", L"QZ Laser 5", false, L"Model: QZ Laser 5\nAddress: 10.0.0.5"},
        {"no model", L"", L"", false, L"Address: 10.0.0.5"},
        {"address hidden", L"", L"QZ Laser 5", true, L"Model: QZ Laser 5"},
        {"nothing to show", L"old", L"", true, L""},
        {"model already named", L"Old text with QZ Laser 5", L"QZ Laser 5", false, L"Old text with QZ Laser 5"},
        {"another model named", L"Model: QZ Ink 2", L"QZ Laser 5", false, L"Model: QZ Laser 5\nAddress: 10.0.0.5"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        MPrint::setDeviceAddressShownQuery(row.addressHidden ? &hidden : nullptr);
        PrintPath path;
        if (*row.before)
            path.setStringAttribute(PrintPathAttr::PrinterInfo, row.before, true);
        MPrint::setPrinterInfoText(path, loader, row.model, L"10.0.0.5");
        EXPECT_EQ(path.getStringAttribute(PrintPathAttr::PrinterInfo), row.expected);
        EXPECT_TRUE(path.attributes().at(PrintPathAttr::PrinterInfo).persist);
    }
    MPrint::setDeviceAddressShownQuery(nullptr);
}

// A device names its model in the ANSI code page (the test prefix's is 1252).
TEST(PrintPathTextTest, PrinterInfoFromADevicesModel)
{
    const MPrint::ResourceLoader loader(testenv::binDir() + L"\\vrelm102.DLL");
    PrintPath path;
    MPrint::setPrinterInfoTextFromModel(path, loader, "Caf\xE9 Laser", L"10.0.0.5");
    EXPECT_EQ(path.getStringAttribute(PrintPathAttr::PrinterInfo), L"Model: Caf\u00E9 Laser\nAddress: 10.0.0.5");
}

TEST(PrintPathTextTest, NicknameFromAddress)
{
    struct Row {
        const wchar_t* text;
        bool set;
        const wchar_t* nickname;
    } rows[] = {
        {L"Vennaset", true, L"Ve nnaset"},
        {L"QZ Laser", true, L"QZ Laser"},
        {L"my qz printer", true, L"my qz printer"},
        {L"X", true, L"X"}, // no second character to insert after
        {L"", false, L""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.text));
        PrintPath path;
        EXPECT_EQ(MPrint::setNicknameFromAddress(path, row.text), row.set);
        EXPECT_EQ(path.getStringAttribute(PrintPathAttr::Nickname), row.nickname);
    }
}
