// The spooler stand-in's queues, printer data, drivers and error answers,
// through the ordinary winspool API as the module calls it.
#include "support/TestEnv.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

#include <winspool.h>

#include <algorithm>
#include <vector>

using testspool::ScopedQueue;

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;
constexpr BYTE kGuard = 0xBD;

HANDLE openQueue(const std::wstring& name, ACCESS_MASK access = PRINTER_ACCESS_USE)
{
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, access};
    HANDLE printer = nullptr;
    if (!OpenPrinterW(const_cast<wchar_t*>(name.c_str()), &printer, &defaults))
        return nullptr;
    return printer;
}

class Printer {
public:
    explicit Printer(const std::wstring& name, ACCESS_MASK access = PRINTER_ACCESS_USE) : h_(openQueue(name, access)) {}
    ~Printer()
    {
        if (h_)
            ClosePrinter(h_);
    }
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

class SpoolerPrinters : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(testspool::control(), nullptr) << "winspool.drv is not the stand-in"; }
};

TEST_F(SpoolerPrinters, GetPrinterSizeQueryThenFillPacksStringsAfterFixedPart)
{
    ScopedQueue queue(testspool::uniqueQueueName(L"Sizes"), L"Vrelm Test Driver", L"LPT1:");
    ASSERT_EQ(queue.error(), DWORD{ERROR_SUCCESS});
    Printer printer(queue.name());
    ASSERT_NE(printer.get(), nullptr);
    struct Row {
        DWORD level;
        size_t fixed;
    } rows[] = {{1, sizeof(PRINTER_INFO_1W)}, {2, sizeof(PRINTER_INFO_2W)}, {4, sizeof(PRINTER_INFO_4W)},
                {5, sizeof(PRINTER_INFO_5W)}, {8, sizeof(PRINTER_INFO_8W)},  {9, sizeof(PRINTER_INFO_9W)}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.level);
        DWORD needed = kSentinel;
        SetLastError(kSentinel);
        EXPECT_FALSE(GetPrinterW(printer.get(), row.level, nullptr, 0, &needed));
        EXPECT_EQ(GetLastError(), DWORD{ERROR_INSUFFICIENT_BUFFER});
        ASSERT_GE(needed, row.fixed);
        ASSERT_LT(needed, 0x10000u);
        // One byte short fails and leaves the buffer alone.
        std::vector<BYTE> buffer(needed + 16, kGuard);
        DWORD again = 0;
        EXPECT_FALSE(GetPrinterW(printer.get(), row.level, buffer.data(), needed - 1, &again));
        EXPECT_EQ(GetLastError(), DWORD{ERROR_INSUFFICIENT_BUFFER});
        EXPECT_EQ(again, needed);
        EXPECT_EQ(buffer[0], kGuard);
        ASSERT_TRUE(GetPrinterW(printer.get(), row.level, buffer.data(), needed, &again));
        EXPECT_EQ(buffer[needed], kGuard);
        // Every pointer points inside the block, after the fixed part.
        const auto* pointers = reinterpret_cast<BYTE* const*>(buffer.data());
        for (size_t i = 0; i < row.fixed / sizeof(void*); ++i) {
            const BYTE* p = pointers[i];
            if (p >= buffer.data() && p < buffer.data() + buffer.size()) {
                EXPECT_GE(p, buffer.data() + row.fixed);
            }
        }
    }
    std::vector<BYTE> buffer(4096);
    DWORD needed = 0;
    ASSERT_TRUE(GetPrinterW(printer.get(), 2, buffer.data(), 4096, &needed));
    const auto* info = reinterpret_cast<PRINTER_INFO_2W*>(buffer.data());
    EXPECT_EQ(info->pServerName, nullptr);
    EXPECT_STREQ(info->pPrinterName, queue.name().c_str());
    EXPECT_STREQ(info->pPortName, L"LPT1:");
    EXPECT_STREQ(info->pDriverName, L"Vrelm Test Driver");
    ASSERT_NE(info->pDevMode, nullptr);
    EXPECT_EQ(info->pDevMode->dmSize, sizeof(DEVMODEW));
}

TEST_F(SpoolerPrinters, PrinterDataSizeQueryNestedKeysAndEnumeration)
{
    ScopedQueue queue(testspool::uniqueQueueName(L"Data"));
    ASSERT_EQ(queue.error(), DWORD{ERROR_SUCCESS});
    Printer printer(queue.name(), PRINTER_ALL_ACCESS);
    ASSERT_NE(printer.get(), nullptr);
    const wchar_t text[] = L"10.0.0.3:161";
    ASSERT_EQ(SetPrinterDataW(printer.get(), const_cast<wchar_t*>(L"NovellSNMPAddressAndPort"), REG_SZ,
                              (LPBYTE)text, sizeof(text)),
              DWORD{ERROR_SUCCESS});
    DWORD type = kSentinel, needed = kSentinel;
    BYTE small[4];
    memset(small, kGuard, sizeof(small));
    EXPECT_EQ(GetPrinterDataW(printer.get(), const_cast<wchar_t*>(L"NovellSNMPAddressAndPort"), &type, small,
                              sizeof(small), &needed),
              DWORD{ERROR_MORE_DATA});
    EXPECT_EQ(needed, sizeof(text));
    EXPECT_EQ(small[0], kGuard);
    // The plain form is the "PrinterDriverData" key of the Ex form.
    wchar_t read[64] = {};
    EXPECT_EQ(GetPrinterDataExW(printer.get(), L"PrinterDriverData", L"NovellSNMPAddressAndPort", &type,
                                (LPBYTE)read, sizeof(read), &needed),
              DWORD{ERROR_SUCCESS});
    EXPECT_EQ(type, DWORD{REG_SZ});
    EXPECT_STREQ(read, text);
    EXPECT_EQ(GetPrinterDataW(printer.get(), const_cast<wchar_t*>(L"Missing"), &type, (LPBYTE)read, sizeof(read),
                              &needed),
              DWORD{ERROR_FILE_NOT_FOUND});

    const wchar_t enabled[] = L"Enabled";
    ASSERT_EQ(SetPrinterDataExW(printer.get(), L"DMCDriverData\\Physical", L"PRINT_AUTO_CONFIG", REG_SZ,
                                (LPBYTE)enabled, sizeof(enabled)),
              DWORD{ERROR_SUCCESS});
    DWORD number = 7;
    ASSERT_EQ(SetPrinterDataExW(printer.get(), L"DMCDriverData\\Physical", L"Count", REG_DWORD, (LPBYTE)&number,
                                sizeof(number)),
              DWORD{ERROR_SUCCESS});
    // The registry holds it in Windows' own layout.
    HKEY key = nullptr;
    const std::wstring path = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\" + queue.name() +
                              L"\\DMCDriverData\\Physical";
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);

    DWORD count = kSentinel;
    EXPECT_EQ(EnumPrinterDataExW(printer.get(), L"DMCDriverData\\Physical", nullptr, 0, &needed, &count),
              DWORD{ERROR_MORE_DATA});
    std::vector<BYTE> values(needed);
    ASSERT_EQ(EnumPrinterDataExW(printer.get(), L"DMCDriverData\\Physical", values.data(), needed, &needed, &count),
              DWORD{ERROR_SUCCESS});
    ASSERT_EQ(count, 2u);
    const auto* entries = reinterpret_cast<PRINTER_ENUM_VALUESW*>(values.data());
    for (DWORD i = 0; i < count; ++i) {
        if (std::wstring(entries[i].pValueName) == L"Count") {
            EXPECT_EQ(entries[i].dwType, DWORD{REG_DWORD});
            EXPECT_EQ(*reinterpret_cast<DWORD*>(entries[i].pData), 7u);
        } else {
            EXPECT_STREQ(entries[i].pValueName, L"PRINT_AUTO_CONFIG");
            EXPECT_EQ(entries[i].cbData, sizeof(enabled));
        }
    }
    wchar_t keys[256] = {};
    ASSERT_EQ(EnumPrinterKeyW(printer.get(), L"DMCDriverData", keys, sizeof(keys), &needed), DWORD{ERROR_SUCCESS});
    EXPECT_STREQ(keys, L"Physical");
    EXPECT_EQ(keys[wcslen(keys) + 1], L'\0');

    EXPECT_EQ(DeletePrinterDataExW(printer.get(), L"DMCDriverData\\Physical", L"Count"), DWORD{ERROR_SUCCESS});
    EXPECT_EQ(GetPrinterDataExW(printer.get(), L"DMCDriverData\\Physical", L"Count", &type, (LPBYTE)read,
                                sizeof(read), &needed),
              DWORD{ERROR_FILE_NOT_FOUND});
    EXPECT_EQ(DeletePrinterKeyW(printer.get(), L"DMCDriverData"), DWORD{ERROR_SUCCESS});
    EXPECT_EQ(EnumPrinterKeyW(printer.get(), L"DMCDriverData", keys, sizeof(keys), &needed),
              DWORD{ERROR_FILE_NOT_FOUND});
}

TEST_F(SpoolerPrinters, BadKeyPathsAreRefused)
{
    ScopedQueue queue(testspool::uniqueQueueName(L"Keys"));
    Printer printer(queue.name(), PRINTER_ALL_ACCESS);
    ASSERT_NE(printer.get(), nullptr);
    DWORD number = 1, type = 0, needed = 0;
    const std::wstring tooLong(600, L'k');
    for (const wchar_t* key : {L"", L"\\Lead", L"Trail\\", L"Two\\\\Slashes", tooLong.c_str()}) {
        SCOPED_TRACE(testenv::narrow(key).substr(0, 20));
        EXPECT_EQ(SetPrinterDataExW(printer.get(), key, L"V", REG_DWORD, (LPBYTE)&number, sizeof(number)),
                  DWORD{ERROR_INVALID_PARAMETER});
        EXPECT_EQ(GetPrinterDataExW(printer.get(), key, L"V", &type, (LPBYTE)&number, sizeof(number), &needed),
                  DWORD{ERROR_INVALID_PARAMETER});
    }
}

TEST_F(SpoolerPrinters, BadHandlesAndLevelsAnswerWithErrors)
{
    ScopedQueue queue(testspool::uniqueQueueName(L"Errors"));
    Printer printer(queue.name());
    ASSERT_NE(printer.get(), nullptr);
    BYTE buffer[512];
    DWORD needed = 0, count = 0, type = 0;
    HANDLE closed = openQueue(queue.name());
    ASSERT_TRUE(ClosePrinter(closed));
    for (HANDLE bad : {HANDLE(nullptr), closed, HANDLE(uintptr_t{0x12345678}), INVALID_HANDLE_VALUE}) {
        SetLastError(kSentinel);
        EXPECT_FALSE(GetPrinterW(bad, 2, buffer, sizeof(buffer), &needed));
        EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});
        EXPECT_FALSE(ClosePrinter(bad));
        EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});
        EXPECT_EQ(GetPrinterDataW(bad, const_cast<wchar_t*>(L"x"), &type, buffer, sizeof(buffer), &needed),
                  DWORD{ERROR_INVALID_HANDLE});
        EXPECT_FALSE(EnumJobsW(bad, 0, 10, 1, buffer, sizeof(buffer), &needed, &count));
        EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});
        EXPECT_FALSE(GetPrinterDriverW(bad, nullptr, 1, buffer, sizeof(buffer), &needed));
        EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});
        DWORD status = kSentinel;
        EXPECT_FALSE(XcvDataW(bad, L"AddPort", nullptr, 0, nullptr, 0, &needed, &status));
        EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});
        EXPECT_EQ(status, kSentinel);
    }
    for (DWORD level : {0u, 3u, 10u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(level);
        SetLastError(kSentinel);
        EXPECT_FALSE(GetPrinterW(printer.get(), level, buffer, sizeof(buffer), &needed));
        EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_LEVEL});
        EXPECT_FALSE(EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, level, buffer, sizeof(buffer), &needed, &count));
        EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_LEVEL});
        EXPECT_FALSE(GetJobW(printer.get(), 1, level == 3 ? 9 : level, buffer, sizeof(buffer), &needed));
        EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_LEVEL});
        EXPECT_FALSE(EnumPortsW(nullptr, level, buffer, sizeof(buffer), &needed, &count));
        EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_LEVEL});
        EXPECT_FALSE(GetPrinterDriverDirectoryW(nullptr, nullptr, level, buffer, sizeof(buffer), &needed));
        EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_LEVEL});
    }
    // Unknown and over-long names.
    const std::wstring longName(5000, L'q');
    for (const std::wstring& name : {std::wstring(L"No Such Queue 4711"), longName, std::wstring(L"\\\\NoServer\\Q"),
                                     std::wstring(L",XcvMonitor")}) {
        HANDLE h = reinterpret_cast<HANDLE>(uintptr_t{1});
        SetLastError(kSentinel);
        EXPECT_FALSE(OpenPrinterW(const_cast<wchar_t*>(name.c_str()), &h, nullptr));
        EXPECT_NE(GetLastError(), DWORD{ERROR_SUCCESS});
        EXPECT_EQ(h, nullptr);
    }
}

TEST_F(SpoolerPrinters, DriverDirectoryIsARealFolderAndDriverLevelsResolveFiles)
{
    wchar_t directory[MAX_PATH] = {};
    DWORD needed = 0;
    SetLastError(kSentinel);
    EXPECT_FALSE(GetPrinterDriverDirectoryW(nullptr, nullptr, 1, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INSUFFICIENT_BUFFER});
    ASSERT_TRUE(GetPrinterDriverDirectoryW(nullptr, nullptr, 1, (LPBYTE)directory, sizeof(directory), &needed));
    EXPECT_EQ(needed, (wcslen(directory) + 1) * sizeof(wchar_t));
    const DWORD attributes = GetFileAttributesW(directory);
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(GetPrinterDriverDirectoryW(nullptr, const_cast<wchar_t*>(L"Windows 3.11"), 1, (LPBYTE)directory,
                                            sizeof(directory), &needed));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_ENVIRONMENT});

    const std::wstring driver = testspool::uniqueQueueName(L"Driver");
    const SpoolerControlApi* api = testspool::control();
    const wchar_t dll[] = L"VRELMDRV.DLL";
    ASSERT_EQ(api->setDriverValue(driver.c_str(), L"Driver", REG_SZ, dll, sizeof(dll)), DWORD{ERROR_SUCCESS});
    const wchar_t dependent[] = L"A.DLL\0B.INI\0";
    ASSERT_EQ(api->setDriverValue(driver.c_str(), L"Dependent Files", REG_MULTI_SZ, dependent, sizeof(dependent)),
              DWORD{ERROR_SUCCESS});
    const wchar_t date[] = L"06/21/2024";
    api->setDriverValue(driver.c_str(), L"DriverDate", REG_SZ, date, sizeof(date));
    ScopedQueue queue(testspool::uniqueQueueName(L"DriverQueue"), driver);
    Printer printer(queue.name());
    ASSERT_NE(printer.get(), nullptr);
    for (DWORD level : {1u, 3u, 6u}) {
        SCOPED_TRACE(level);
        EXPECT_FALSE(GetPrinterDriverW(printer.get(), nullptr, level, nullptr, 0, &needed));
        EXPECT_EQ(GetLastError(), DWORD{ERROR_INSUFFICIENT_BUFFER});
        std::vector<BYTE> buffer(needed);
        ASSERT_TRUE(GetPrinterDriverW(printer.get(), nullptr, level, buffer.data(), needed, &needed));
        // Level 1 starts with the name, the others with the version.
        const wchar_t* name = level == 1 ? reinterpret_cast<DRIVER_INFO_1W*>(buffer.data())->pName
                                         : reinterpret_cast<DRIVER_INFO_3W*>(buffer.data())->pName;
        EXPECT_STREQ(name, driver.c_str());
        if (level == 3) {
            const auto* info = reinterpret_cast<DRIVER_INFO_3W*>(buffer.data());
            EXPECT_EQ(std::wstring(info->pDriverPath), std::wstring(directory) + L"\\3\\VRELMDRV.DLL");
            EXPECT_STREQ(info->pEnvironment, L"Windows x64");
            EXPECT_EQ(std::wstring(info->pDependentFiles), std::wstring(directory) + L"\\3\\A.DLL");
        }
        if (level == 6) {
            SYSTEMTIME time{};
            FileTimeToSystemTime(&reinterpret_cast<DRIVER_INFO_6W*>(buffer.data())->ftDriverDate, &time);
            EXPECT_EQ(time.wYear, 2024);
            EXPECT_EQ(time.wMonth, 6);
        }
    }
    RegDeleteTreeW(HKEY_LOCAL_MACHINE,
                   (L"SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Drivers\\Version-3\\" +
                    driver).c_str());
}

TEST_F(SpoolerPrinters, EnumPrintersFindsLocalRemoteAndClientProviderQueues)
{
    ScopedQueue local(testspool::uniqueQueueName(L"Local"));
    const std::wstring server = L"\\\\PC" + std::to_wstring(GetCurrentProcessId());
    ScopedQueue remote(server + L"\\" + testspool::uniqueQueueName(L"Laser"), L"Remote Driver", L"IP_10.0.0.5");
    ASSERT_EQ(remote.error(), DWORD{ERROR_SUCCESS});
    const std::wstring provider = L"Client Network!" + server;
    ASSERT_EQ(testspool::control()->addProviderPrinter(provider.c_str(), remote.name().c_str()),
              DWORD{ERROR_SUCCESS});

    auto names = [](DWORD flags, const std::wstring& name, DWORD level, DWORD& error) {
        std::vector<std::wstring> found;
        DWORD needed = 0, count = 0;
        wchar_t* n = name.empty() ? nullptr : const_cast<wchar_t*>(name.c_str());
        std::vector<BYTE> buffer;
        // Parallel tests add queues between the size query and the fill: query again then.
        for (int attempt = 0; attempt < 10; ++attempt) {
            EnumPrintersW(flags, n, level, nullptr, 0, &needed, &count);
            buffer.assign(needed + 8, 0);
            error = EnumPrintersW(flags, n, level, buffer.data(), needed, &needed, &count) ? 0 : GetLastError();
            if (error != ERROR_INSUFFICIENT_BUFFER)
                break;
        }
        for (DWORD i = 0; i < count && !error; ++i) {
            if (level == 2) {
                const auto* info = reinterpret_cast<PRINTER_INFO_2W*>(buffer.data()) + i;
                found.push_back(std::wstring(info->pServerName ? info->pServerName : L"-") + L"|" + info->pPrinterName);
            } else {
                const auto* info = reinterpret_cast<PRINTER_INFO_4W*>(buffer.data()) + i;
                found.push_back(std::wstring(info->pServerName ? info->pServerName : L"-") + L"|" + info->pPrinterName);
            }
        }
        return found;
    };
    DWORD error = 0;
    auto has = [](const std::vector<std::wstring>& list, const std::wstring& entry) {
        return std::find(list.begin(), list.end(), entry) != list.end();
    };
    std::vector<std::wstring> found = names(PRINTER_ENUM_LOCAL, L"", 4, error);
    EXPECT_EQ(error, 0u);
    EXPECT_TRUE(has(found, L"-|" + local.name()));
    EXPECT_FALSE(has(found, server + L"|" + remote.name()));
    found = names(PRINTER_ENUM_NAME, server, 2, error);
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(found, std::vector<std::wstring>{server + L"|" + remote.name()});
    found = names(PRINTER_ENUM_NAME, provider, 2, error);
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(found, std::vector<std::wstring>{server + L"|" + remote.name()});
    names(PRINTER_ENUM_NAME, L"\\\\NoSuchServer", 2, error);
    EXPECT_EQ(error, DWORD{RPC_S_SERVER_UNAVAILABLE});
    names(PRINTER_ENUM_NAME, L"No Provider!\\\\X", 2, error);
    EXPECT_EQ(error, DWORD{ERROR_INVALID_NAME});

    // The remote queue opens by its full name and answers its own port.
    Printer printer(remote.name());
    ASSERT_NE(printer.get(), nullptr);
    BYTE buffer[2048];
    DWORD needed = 0;
    ASSERT_TRUE(GetPrinterW(printer.get(), 5, buffer, sizeof(buffer), &needed));
    EXPECT_STREQ(reinterpret_cast<PRINTER_INFO_5W*>(buffer)->pPortName, L"IP_10.0.0.5");
    testspool::control()->removeProvider(provider.c_str());
}

TEST_F(SpoolerPrinters, ServerHandlesAnswerTheServersOwnData)
{
    const std::wstring server = L"\\\\SRV" + std::to_wstring(GetCurrentProcessId());
    ScopedQueue remote(server + L"\\" + testspool::uniqueQueueName(L"Shared"));
    ASSERT_EQ(remote.error(), DWORD{ERROR_SUCCESS});
    for (const std::wstring& name : {std::wstring(), server}) {
        SCOPED_TRACE(testenv::narrow(name));
        HANDLE handle = nullptr;
        ASSERT_TRUE(OpenPrinterW(name.empty() ? nullptr : const_cast<wchar_t*>(name.c_str()), &handle, nullptr));
        DWORD type = kSentinel, needed = kSentinel, version = kSentinel;
        EXPECT_EQ(GetPrinterDataW(handle, const_cast<wchar_t*>(L"MajorVersion"), &type, (LPBYTE)&version,
                                  sizeof(version), &needed),
                  DWORD{ERROR_SUCCESS});
        EXPECT_EQ(type, DWORD{REG_DWORD});
        EXPECT_EQ(version, 3u);
        BYTE small[2];
        memset(small, kGuard, sizeof(small));
        EXPECT_EQ(GetPrinterDataW(handle, const_cast<wchar_t*>(L"Architecture"), &type, small, sizeof(small),
                                  &needed),
                  DWORD{ERROR_MORE_DATA});
        EXPECT_EQ(needed, sizeof(L"Windows x64"));
        EXPECT_EQ(small[0], kGuard);
        wchar_t text[32] = {};
        EXPECT_EQ(GetPrinterDataW(handle, const_cast<wchar_t*>(L"Architecture"), &type, (LPBYTE)text,
                                  sizeof(text), &needed),
                  DWORD{ERROR_SUCCESS});
        EXPECT_STREQ(text, L"Windows x64");
        EXPECT_EQ(GetPrinterDataW(handle, const_cast<wchar_t*>(L"NoSuchServerValue"), &type, (LPBYTE)text,
                                  sizeof(text), &needed),
                  DWORD{ERROR_FILE_NOT_FOUND});
        ClosePrinter(handle);
    }
}

TEST_F(SpoolerPrinters, RightsSwitchRefusesAdministrationButNotUse)
{
    ScopedQueue queue(testspool::uniqueQueueName(L"Rights"));
    testspool::ScopedUserRights user;
    HANDLE h = reinterpret_cast<HANDLE>(uintptr_t{1});
    PRINTER_DEFAULTSW all{nullptr, nullptr, PRINTER_ALL_ACCESS};
    SetLastError(kSentinel);
    EXPECT_FALSE(OpenPrinterW(const_cast<wchar_t*>(queue.name().c_str()), &h, &all));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_ACCESS_DENIED});
    EXPECT_EQ(h, nullptr);
    PRINTER_DEFAULTSW admin{nullptr, nullptr, SERVER_ACCESS_ADMINISTER};
    EXPECT_FALSE(OpenPrinterW(const_cast<wchar_t*>(L",XcvMonitor Local Port"), &h, &admin));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_ACCESS_DENIED});

    Printer printer(queue.name());
    ASSERT_NE(printer.get(), nullptr);
    DWORD number = 1;
    EXPECT_EQ(SetPrinterDataW(printer.get(), const_cast<wchar_t*>(L"StaticMode"), REG_DWORD, (LPBYTE)&number,
                              sizeof(number)),
              DWORD{ERROR_ACCESS_DENIED});
    SetLastError(kSentinel);
    PRINTER_INFO_5W info{const_cast<wchar_t*>(queue.name().c_str()), const_cast<wchar_t*>(L"LPT2:"), 0, 0, 0};
    EXPECT_FALSE(SetPrinterW(printer.get(), 5, (LPBYTE)&info, 0));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_ACCESS_DENIED});
    BYTE buffer[2048];
    DWORD needed = 0;
    EXPECT_TRUE(GetPrinterW(printer.get(), 5, buffer, sizeof(buffer), &needed));
    EXPECT_STREQ(reinterpret_cast<PRINTER_INFO_5W*>(buffer)->pPortName, L"LPT1:");
}

TEST_F(SpoolerPrinters, SetPrinterChangesPortAndRenamesQueue)
{
    const std::wstring original = testspool::uniqueQueueName(L"Office");
    ScopedQueue queue(original);
    HANDLE printer = openQueue(original, PRINTER_ALL_ACCESS);
    ASSERT_NE(printer, nullptr);
    PRINTER_INFO_5W five{const_cast<wchar_t*>(original.c_str()), const_cast<wchar_t*>(L"LPT2:"), 0, 1, 2};
    EXPECT_TRUE(SetPrinterW(printer, 5, (LPBYTE)&five, 0));
    five.pPortName = const_cast<wchar_t*>(L"NOPORT_4711");
    EXPECT_FALSE(SetPrinterW(printer, 5, (LPBYTE)&five, 0));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_UNKNOWN_PORT});

    const std::wstring renamed = original + L" (Copy 1)";
    PRINTER_INFO_4W four{const_cast<wchar_t*>(renamed.c_str()), nullptr, PRINTER_ATTRIBUTE_LOCAL};
    ASSERT_TRUE(SetPrinterW(printer, 4, (LPBYTE)&four, 0));
    BYTE buffer[2048];
    DWORD needed = 0;
    ASSERT_TRUE(GetPrinterW(printer, 5, buffer, sizeof(buffer), &needed));
    EXPECT_STREQ(reinterpret_cast<PRINTER_INFO_5W*>(buffer)->pPrinterName, renamed.c_str());
    EXPECT_STREQ(reinterpret_cast<PRINTER_INFO_5W*>(buffer)->pPortName, L"LPT2:");
    ClosePrinter(printer);
    EXPECT_EQ(openQueue(original), nullptr);
    EXPECT_EQ(testspool::control()->removeQueue(renamed.c_str()), DWORD{ERROR_SUCCESS});
}

TEST_F(SpoolerPrinters, DocumentPropertiesSizeOutAndInBuffers)
{
    ScopedQueue queue(testspool::uniqueQueueName(L"DevMode"));
    Printer printer(queue.name());
    ASSERT_NE(printer.get(), nullptr);
    const LONG size = DocumentPropertiesW(nullptr, printer.get(), nullptr, nullptr, nullptr, 0);
    ASSERT_GE(size, static_cast<LONG>(sizeof(DEVMODEW)));
    std::vector<BYTE> out(size + 4, kGuard);
    auto* mode = reinterpret_cast<DEVMODEW*>(out.data());
    ASSERT_EQ(DocumentPropertiesW(nullptr, printer.get(), nullptr, mode, nullptr, DM_OUT_BUFFER), IDOK);
    EXPECT_EQ(out[size], kGuard);
    EXPECT_EQ(mode->dmDuplex, DMDUP_SIMPLEX);
    std::vector<BYTE> in = out;
    auto* changed = reinterpret_cast<DEVMODEW*>(in.data());
    changed->dmFields = DM_DUPLEX;
    changed->dmDuplex = DMDUP_VERTICAL;
    ASSERT_EQ(DocumentPropertiesW(nullptr, printer.get(), nullptr, mode, changed, DM_IN_BUFFER | DM_OUT_BUFFER), IDOK);
    EXPECT_EQ(mode->dmDuplex, DMDUP_VERTICAL);
    EXPECT_EQ(DocumentPropertiesW(nullptr, reinterpret_cast<HANDLE>(uintptr_t{77}), nullptr, mode, nullptr,
                                  DM_OUT_BUFFER),
              -1);
}

TEST_F(SpoolerPrinters, AddPrinterChecksDriverPortAndNameAndDeletePrinterRemovesJobs)
{
    const std::wstring name = testspool::uniqueQueueName(L"Added");
    ScopedQueue existing(testspool::uniqueQueueName(L"Existing"), L"Vrelm Test Driver");  // makes the driver known
    auto add = [](const std::wstring& queue, const wchar_t* driver, const wchar_t* port, DWORD level = 2) {
        PRINTER_INFO_2W info{};
        info.pPrinterName = const_cast<wchar_t*>(queue.c_str());
        info.pDriverName = const_cast<wchar_t*>(driver);
        info.pPortName = const_cast<wchar_t*>(port);
        info.pPrintProcessor = const_cast<wchar_t*>(L"winprint");
        SetLastError(kSentinel);
        HANDLE h = AddPrinterW(nullptr, level, reinterpret_cast<LPBYTE>(&info));
        return std::make_pair(h, h ? DWORD{0} : GetLastError());
    };
    struct Row {
        const char* what;
        std::wstring queue;
        const wchar_t* driver;
        const wchar_t* port;
        DWORD level, error;
    } rows[] = {{"level", name, L"Vrelm Test Driver", L"LPT1:", 1, ERROR_INVALID_LEVEL},
                {"exists", existing.name(), L"Vrelm Test Driver", L"LPT1:", 2, ERROR_PRINTER_ALREADY_EXISTS},
                {"driver", name, L"No Such Driver 4711", L"LPT1:", 2, ERROR_UNKNOWN_PRINTER_DRIVER},
                {"port", name, L"Vrelm Test Driver", L"NOPORT_4711", 2, ERROR_UNKNOWN_PORT},
                {"comma", name + L",x", L"Vrelm Test Driver", L"LPT1:", 2, ERROR_INVALID_PRINTER_NAME},
                {"long", std::wstring(300, L'n'), L"Vrelm Test Driver", L"LPT1:", 2, ERROR_INVALID_PRINTER_NAME}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const auto [h, error] = add(row.queue, row.driver, row.port, row.level);
        EXPECT_EQ(h, nullptr);
        EXPECT_EQ(error, row.error);
    }
    const auto [printer, error] = add(name, L"Vrelm Test Driver", L"LPT1:");
    ASSERT_NE(printer, nullptr) << error;
    DOC_INFO_1W doc{const_cast<wchar_t*>(L"Doc"), nullptr, nullptr};
    const DWORD job = StartDocPrinterW(printer, 1, reinterpret_cast<LPBYTE>(&doc));
    EXPECT_NE(job, 0u);
    EndDocPrinter(printer);
    ASSERT_TRUE(DeletePrinter(printer));
    ClosePrinter(printer);
    EXPECT_EQ(openQueue(name), nullptr);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PRINTER_NAME});
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                            (L"SOFTWARE\\VrelmSpoolerStandIn\\Jobs\\" + std::to_wstring(job)).c_str(), 0, KEY_READ,
                            &key),
              ERROR_SUCCESS);
    // A handle without DELETE access cannot delete.
    Printer user(existing.name());
    EXPECT_FALSE(DeletePrinter(user.get()));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_ACCESS_DENIED});
}

TEST_F(SpoolerPrinters, GlobalAndPerUserDeviceModes)
{
    ScopedQueue queue(testspool::uniqueQueueName(L"Modes"));
    Printer admin(queue.name(), PRINTER_ALL_ACCESS);
    ASSERT_NE(admin.get(), nullptr);
    std::vector<BYTE> mode(DocumentPropertiesW(nullptr, admin.get(), nullptr, nullptr, nullptr, 0));
    ASSERT_GE(mode.size(), sizeof(DEVMODEW));
    auto* devMode = reinterpret_cast<DEVMODEW*>(mode.data());
    ASSERT_EQ(DocumentPropertiesW(nullptr, admin.get(), nullptr, devMode, nullptr, DM_OUT_BUFFER), IDOK);
    devMode->dmCopies = 3;
    PRINTER_INFO_8W global{devMode};
    ASSERT_TRUE(SetPrinterW(admin.get(), 8, reinterpret_cast<LPBYTE>(&global), 0));
    ASSERT_EQ(DocumentPropertiesW(nullptr, admin.get(), nullptr, devMode, nullptr, DM_OUT_BUFFER), IDOK);
    EXPECT_EQ(devMode->dmCopies, 3);
    // A user may set only their own device mode.
    Printer user(queue.name());
    devMode->dmCopies = 5;
    PRINTER_INFO_9W mine{devMode};
    EXPECT_FALSE(SetPrinterW(user.get(), 8, reinterpret_cast<LPBYTE>(&mine), 0));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_ACCESS_DENIED});
    ASSERT_TRUE(SetPrinterW(user.get(), 9, reinterpret_cast<LPBYTE>(&mine), 0));
    BYTE buffer[4096];
    DWORD needed = 0;
    ASSERT_TRUE(GetPrinterW(user.get(), 9, buffer, sizeof(buffer), &needed));
    ASSERT_NE(reinterpret_cast<PRINTER_INFO_9W*>(buffer)->pDevMode, nullptr);
    EXPECT_EQ(reinterpret_cast<PRINTER_INFO_9W*>(buffer)->pDevMode->dmCopies, 5);
    ASSERT_TRUE(GetPrinterW(user.get(), 8, buffer, sizeof(buffer), &needed));
    EXPECT_EQ(reinterpret_cast<PRINTER_INFO_8W*>(buffer)->pDevMode->dmCopies, 3);
    PRINTER_INFO_9W none{nullptr};
    EXPECT_TRUE(SetPrinterW(user.get(), 9, reinterpret_cast<LPBYTE>(&none), 0));
    // A device mode whose sizes overrun is refused.
    devMode->dmDriverExtra = 0xFFFF;
    EXPECT_FALSE(SetPrinterW(admin.get(), 8, reinterpret_cast<LPBYTE>(&global), 0));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
}

TEST_F(SpoolerPrinters, ControlSurfaceRefusesBadArguments)
{
    const SpoolerControlApi* api = testspool::control();
    const std::wstring longName(5000, L'x');
    DWORD job = kSentinel;
    const DWORD number = 1;
    struct Row {
        const char* what;
        DWORD error;
    } rows[] = {
        {"queue null", api->addQueue(nullptr, L"D", L"LPT1:", 0)},
        {"queue long", api->addQueue(longName.c_str(), L"D", L"LPT1:", 0)},
        {"queue comma", api->addQueue(L"a,b", L"D", L"LPT1:", 0)},
        {"driver null", api->addQueue(L"Vrelm NoDriver", nullptr, L"LPT1:", 0)},
        {"driver slash", api->addQueue(L"Vrelm NoDriver", L"a\\b", L"LPT1:", 0)},
        {"remove missing", api->removeQueue(L"No Such Queue 4711")},
        {"value missing queue", api->setQueueValue(L"No Such Queue 4711", nullptr, L"v", REG_DWORD, &number, 4)},
        {"value no data", api->setQueueValue(nullptr, nullptr, L"v", REG_DWORD, nullptr, 4)},
        {"job null id", api->addJob(L"No Such Queue 4711", L"d", 0, nullptr)},
        {"job missing queue", api->addJob(L"No Such Queue 4711", L"d", 0, &job)},
        {"status missing job", api->setJobStatus(0x7FFFFFF0, 1, 0)},
        {"complete missing job", api->completeJob(0)},
        {"port unknown monitor", api->addPort(L"No Such Monitor 4711", L"P")},
        {"provider local printer", api->addProviderPrinter(L"X!\\\\Y", L"Local")},
        {"monitor slash", api->addMonitor(L"a\\b", L"x.dll")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_NE(row.error, DWORD{ERROR_SUCCESS});
    }
    EXPECT_EQ(job, 0u);
}

} // namespace
