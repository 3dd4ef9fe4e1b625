// Colour or monochrome from the device's flag, its model name, its language
// and the UI setting; the queue's "PDL-PCL5" read from the spooler stand-in
// when no version is given.
#include "shared/DeviceRenderTypeHandler.h"
#include "core/ScopedHandle.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

TEST(DeviceRenderTypeHandler, DecisionFromDeviceFlagModelAndLanguage)
{
    struct Row {
        const char* name;
        int flag;
        const wchar_t* model;
        int pdlType;
        const wchar_t* version;
        int expected;
    };
    const Row rows[] = {
        {"model says colour, language says nothing", -1, L"QZ Color Laser 9", 0, L"", 1},
        {"upper-case colour word", -1, L"QZ PLINTHE 500", 0, L"", 1},
        {"mono model", -1, L"QZ Ardelle 4020", 0, L"", 0},
        {"empty model and no PCL 5e: the default", -1, L"", 3, L"Version 5.00", 0},
        {"PCL 5e and a colour model disagree", -1, L"Ardelle C 5", 3, L"Version 5.00E", 0},
        {"PCL 5e and an empty model: the default", -1, L"", 3, L"Version 5.00E", 0},
        {"device reports colour", 0, L"QZ Ardelle 4020", 6, L"", 1},
        {"colour device with PCL 5e is driven mono", 0, L"QZ Color 1", 3, L"Version 5.00E", 0},
        {"colour device, PCL 5e version but another language", 0, L"", 6, L"Version 5.00E", 1},
        {"device reports no colour", 1, L"QZ Color 1", 0, L"", 0},
        {"unknown flag keeps the default", 7, L"QZ Color 1", 0, L"", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CDeviceRenderTypeHandler handler;
        EXPECT_EQ(handler.SetRenderType(row.flag, row.model, row.pdlType, row.version), row.expected);
        EXPECT_EQ(handler.getRenderType(), row.expected);
    }
}

TEST(DeviceRenderTypeHandler, UiSettingAndForceMono)
{
    struct Row {
        const char* name;
        const wchar_t* model;
        int setting;
        int expected;
        DWORD forceMono;
    };
    const Row rows[] = {
        {"automatic, colour model", L"QZ Color 1", 2, 1, 0},
        {"automatic (-1), mono model", L"QZ Ardelle 4020", -1, 0, 1},
        {"automatic, empty model", L"", 2, 0, 1},
        {"colour asked", L"QZ Ardelle 4020", 1, 1, 0},
        {"mono asked", L"QZ Color 1", 0, 0, 1},
        {"any other setting is mono", L"QZ Color 1", 5, 0, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CDeviceRenderTypeHandler handler;
        DWORD forceMono = 0xBDBDBDBD;
        EXPECT_EQ(handler.SetRenderType(&forceMono, row.model, 0, row.setting), row.expected);
        EXPECT_EQ(forceMono, row.forceMono);
    }

    CDeviceRenderTypeHandler fresh;
    EXPECT_EQ(fresh.SetRenderType(nullptr, L"QZ Color 1", 0, 1), -1);
    EXPECT_EQ(fresh.SetRenderType(1), 1u);
    EXPECT_EQ(fresh.SetRenderType(nullptr, L"", 0, 0), 1);
}

TEST(DeviceRenderTypeHandler, QueueLanguageVersionDecidesWhenNoneIsGiven)
{
    ASSERT_NE(testspool::control(), nullptr);
    testspool::ScopedQueue queue(testspool::uniqueQueueName(L"Render"));
    ASSERT_EQ(queue.error(), DWORD{ERROR_SUCCESS});
    HANDLE raw = nullptr;
    ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(queue.name().c_str()), &raw, nullptr));
    ScopedPrinter printer(raw);

    CDeviceRenderTypeHandler handler(printer.get());
    EXPECT_FALSE(handler.IsPCL5e(L""));  // no value yet
    // Longer than any first guess of a buffer, so the read has to grow.
    const std::wstring version = std::wstring(300, L' ') + L"Version 5.00E";
    ASSERT_EQ(queue.setString(L"", L"PDL-PCL5", version), DWORD{ERROR_SUCCESS});
    EXPECT_TRUE(handler.IsPCL5e(L""));
    EXPECT_FALSE(handler.IsPCL5e(L"Version 5.00"));  // a given version wins
    // With the UI automatic, the queue's PCL 5e and a colour model disagree.
    DWORD forceMono = 0;
    EXPECT_EQ(handler.SetRenderType(&forceMono, L"QZ Color 1", 3, 2), 0);
    EXPECT_EQ(forceMono, 1u);
}
