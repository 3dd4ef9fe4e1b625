// Typed printer-data reads against the spooler stand-in: types checked where
// the reads ask for one, strings bounded by their stored size.
#include "shared/PrinterData.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

using testspool::ScopedQueue;

namespace {

class ScopedPrinterHandle {
public:
    explicit ScopedPrinterHandle(const std::wstring& name)
    {
        OpenPrinterW(const_cast<wchar_t*>(name.c_str()), &handle_, nullptr);
    }
    ~ScopedPrinterHandle()
    {
        if (handle_)
            ClosePrinter(handle_);
    }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_ = nullptr;
};

// Printer data stored with exactly these bytes (no terminator added).
DWORD setRaw(const ScopedQueue& queue, const wchar_t* key, const wchar_t* value, DWORD type, const void* data,
             DWORD size)
{
    return testspool::control()->setQueueValue(queue.name().c_str(), key, value, type, data, size);
}

} // namespace

TEST(PrinterData, TypedReadsBoundedStringsAndTheAutoConfigSwitch)
{
    ASSERT_NE(testspool::control(), nullptr);
    ScopedQueue queue(testspool::uniqueQueueName(L"Data"));
    ASSERT_EQ(queue.error(), DWORD{ERROR_SUCCESS});
    ScopedPrinterHandle printer(queue.name());
    ASSERT_NE(printer.get(), nullptr);

    // "PRINT_AUTO_CONFIG": only exactly "Disabled" switches it off.
    struct Row {
        const wchar_t* value;  // null: missing
        bool enabled;
    } rows[] = {{nullptr, true}, {L"", true}, {L"disabled", true}, {L"Disabled", false}, {L"Disabled ", true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.value ? testenv::narrow(row.value) : "missing");
        if (row.value)
            queue.setString(L"DMCDriverData\\Physical", L"PRINT_AUTO_CONFIG", row.value);
        else
            setRaw(queue, L"DMCDriverData\\Physical", L"PRINT_AUTO_CONFIG", REG_SZ, nullptr, 0);
        EXPECT_EQ(isPrintAutoConfigEnabled(printer.get()), row.enabled);
    }

    queue.setDword(L"QZPresetRoot", L"Count", 7);
    queue.setString(L"QZPresetRoot", L"Name", L"text");
    DWORD number = 0xBD;
    EXPECT_TRUE(getPrinterDataExDword(printer.get(), L"QZPresetRoot", L"Count", &number));
    EXPECT_EQ(number, 7u);
    number = 0xBD;
    EXPECT_FALSE(getPrinterDataExDword(printer.get(), L"QZPresetRoot", L"Name", &number));
    EXPECT_EQ(number, 0xBDu);
    EXPECT_FALSE(getPrinterDataExDword(printer.get(), L"", L"Count", &number));
    std::wstring text = L"unchanged";
    EXPECT_TRUE(getPrinterDataExString(printer.get(), L"QZPresetRoot", L"Name", text));
    EXPECT_EQ(text, L"text");
    text = L"unchanged";
    EXPECT_FALSE(getPrinterDataExString(printer.get(), L"QZPresetRoot", L"Missing", text));
    EXPECT_EQ(text, L"unchanged");
    // Stored without a terminator: the text ends with the data.
    const std::wstring unterminated = L"ABCDEFGH";
    setRaw(queue, L"QZPresetRoot", L"Raw", REG_SZ, unterminated.data(),
           static_cast<DWORD>(unterminated.size() * sizeof(wchar_t)));
    EXPECT_TRUE(getPrinterDataExString(printer.get(), L"QZPresetRoot", L"Raw", text));
    EXPECT_EQ(text, unterminated);

    EXPECT_FALSE(isLumoraPrinter(printer.get()));
    queue.setDword(L"", L"LumoraPrinter", 1);
    EXPECT_TRUE(isLumoraPrinter(printer.get()));
    queue.setDword(L"", L"QZPDLType", 3);
    DWORD pdl = 0;
    EXPECT_EQ(getPdlTypeData(printer.get(), &pdl), DWORD{ERROR_SUCCESS});
    EXPECT_EQ(pdl, 3u);
}

TEST(PrinterData, NovellAddressIsTheTextBeforeItsLastColon)
{
    ASSERT_NE(testspool::control(), nullptr);
    ScopedQueue queue(testspool::uniqueQueueName(L"Novell"));
    ASSERT_EQ(queue.error(), DWORD{ERROR_SUCCESS});
    struct Row {
        std::wstring stored;
        bool terminated;
        std::wstring address;
    } rows[] = {
        {L"10.0.0.3:161", true, L"10.0.0.3"},
        {L"10.0.0.3", true, L"10.0.0.3"},
        {L"fe80::1:161", true, L"fe80::1"},
        {L"10.0.0.4:161", false, L"10.0.0.4"},
        {std::wstring(259, L'x'), false, std::wstring(259, L'x')},
        {std::wstring(300, L'x'), true, L""},  // more than the 260 characters the read takes
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.stored.substr(0, 20)));
        const DWORD size = static_cast<DWORD>((row.stored.size() + (row.terminated ? 1 : 0)) * sizeof(wchar_t));
        ASSERT_EQ(setRaw(queue, L"PrinterDriverData", L"NovellSNMPAddressAndPort", REG_SZ, row.stored.c_str(), size),
                  DWORD{ERROR_SUCCESS});
        EXPECT_EQ(getNovellSnmpAddress(queue.name()), row.address);
    }
    EXPECT_EQ(getNovellSnmpAddress(L"No Such Queue"), L"");
    EXPECT_EQ(getNovellSnmpAddress(L""), L"");
}

