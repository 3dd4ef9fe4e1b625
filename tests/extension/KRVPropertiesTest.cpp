// The per-process property store in the shared registry of the prefix. Every
// property name here begins with "VrelmKrv" and is removed again; the names
// carry the process id, so parallel test processes never meet.
#include "extension/KRVProperties.h"

#include "core/RegistryKey.h"
#include "core/SettingsKeys.h"
#include "support/ChildRun.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {


std::wstring hexPid(DWORD pid = GetCurrentProcessId())
{
    wchar_t text[16];
    swprintf(text, 16, L"%lX", pid);
    return text;
}

// The raw value as stored: its type and bytes.
struct Stored {
    DWORD type = REG_NONE;
    DWORD size = 0;
    std::uint64_t data = 0;
    bool present = false;
};

Stored readStored(const wchar_t* keyPath, const std::wstring& valueName)
{
    Stored stored;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return stored;
    stored.size = sizeof(stored.data);
    stored.present = RegQueryValueExW(key, valueName.c_str(), nullptr, &stored.type,
                                      reinterpret_cast<BYTE*>(&stored.data), &stored.size) == ERROR_SUCCESS;
    RegCloseKey(key);
    return stored;
}

void removeStored(const wchar_t* keyPath, const std::wstring& valueName)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        RegDeleteValueW(key, valueName.c_str());
        RegCloseKey(key);
    }
}

TEST(KRVProperties, ValueNamesCarryPrinterAndProcess)
{
    struct Row {
        const wchar_t* printerName; // null: none given
        const wchar_t* storedPrefix;
    };
    const Row rows[] = {
        {L"Office", L"Office-"},
        {L"Floor 2\\Colour", L"Floor 2\\Colour-"},
        {L"", L""},
        {nullptr, L""},
    };
    const std::uint64_t value = 0x1122334455667788ull;
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "row #" << (&row - rows));
        const std::wstring stored = std::wstring(row.storedPrefix) + L"VrelmKrvName" + hexPid();
        ASSERT_TRUE(setPrinterProcessProperty(nullptr, row.printerName, L"VrelmKrvName", value));
        const Stored raw = readStored(settingskeys::kKrvProperties, stored);
        EXPECT_TRUE(raw.present);
        EXPECT_EQ(DWORD{REG_QWORD}, raw.type);
        EXPECT_EQ(8u, raw.size);
        EXPECT_EQ(value, raw.data);
        EXPECT_EQ(value, getPrinterProcessProperty(nullptr, row.printerName, L"VrelmKrvName"));
        EXPECT_EQ(value, deletePrinterProcessProperty(nullptr, row.printerName, L"VrelmKrvName"));
        EXPECT_FALSE(readStored(settingskeys::kKrvProperties, stored).present);
    }

    // The unprefixed process property is the same value as the one of an empty printer name.
    ASSERT_TRUE(setProcessProperty(L"VrelmKrvName", 5));
    EXPECT_EQ(5u, getPrinterProcessProperty(nullptr, L"", L"VrelmKrvName"));
    EXPECT_EQ(0u, getPrinterProcessProperty(nullptr, L"Office", L"VrelmKrvName"));
    EXPECT_EQ(5u, deleteProcessProperty(L"VrelmKrvName"));
}

// The printer prefix from a handle: the spooler's name for it (level 1).
TEST(KRVProperties, PrinterNameFromHandle)
{
    ASSERT_NE(nullptr, testspool::control());
    testspool::ScopedQueue queue(testspool::uniqueQueueName(L"VrelmKrv"));
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue.error());
    HANDLE printer = nullptr;
    ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(queue.name().c_str()), &printer, nullptr));

    ASSERT_TRUE(setPrinterProcessProperty(printer, nullptr, L"VrelmKrvByHandle", 9));
    EXPECT_EQ(9u, readStored(settingskeys::kKrvProperties, queue.name() + L"-VrelmKrvByHandle" + hexPid()).data);
    EXPECT_EQ(9u, getPrinterProcessProperty(nullptr, queue.name().c_str(), L"VrelmKrvByHandle"));
    // A given name wins over the handle.
    EXPECT_EQ(0u, getPrinterProcessProperty(printer, L"Other", L"VrelmKrvByHandle"));
    EXPECT_EQ(9u, deletePrinterProcessProperty(printer, nullptr, L"VrelmKrvByHandle"));
    ClosePrinter(printer);
}

TEST(KRVProperties, StoreKeyIsVolatile)
{
    ASSERT_TRUE(setProcessProperty(L"VrelmKrvVolatile", 1));
    HKEY store = nullptr;
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, DWORD(RegOpenKeyExW(HKEY_CURRENT_USER, settingskeys::kKrvProperties, 0, KEY_ALL_ACCESS, &store)));
    HKEY child = nullptr;
    EXPECT_EQ(DWORD{ERROR_CHILD_MUST_BE_VOLATILE},
              DWORD(RegCreateKeyExW(store, L"VrelmKrvLasting", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                    nullptr, &child, nullptr)));
    RegCloseKey(store);
    deleteProcessProperty(L"VrelmKrvVolatile");
}

TEST(KRVProperties, GetAndDelete)
{
    EXPECT_EQ(0u, getProcessProperty(L"VrelmKrvAbsent"));
    EXPECT_EQ(0u, deleteProcessProperty(L"VrelmKrvAbsent"));

    // -1 (all bits) is a value like any other; deleting moves it out in one step.
    ASSERT_TRUE(setProcessProperty(L"VrelmKrvMoved", ~0ull));
    EXPECT_EQ(~0ull, getProcessProperty(L"VrelmKrvMoved"));
    EXPECT_EQ(~0ull, deleteProcessProperty(L"VrelmKrvMoved"));
    EXPECT_EQ(0u, getProcessProperty(L"VrelmKrvMoved"));
    EXPECT_EQ(0u, deleteProcessProperty(L"VrelmKrvMoved"));

    // Values written by someone else: a DWORD reads as its number; bytes of
    // another type never pass for a value.
    RegistryKey store(HKEY_CURRENT_USER, settingskeys::kKrvProperties, RegistryKey::kAllAccess);
    ASSERT_TRUE(store.isOpen());
    const std::wstring dwordName = L"VrelmKrvDword" + hexPid();
    const std::wstring binaryName = L"VrelmKrvBinary" + hexPid();
    ASSERT_TRUE(store.setDword(dwordName, 7));
    const BYTE bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_EQ(DWORD{ERROR_SUCCESS},
              DWORD(RegSetValueExW(store.getHandle(), binaryName.c_str(), 0, REG_BINARY, bytes, sizeof(bytes))));
    EXPECT_EQ(7u, getProcessProperty(L"VrelmKrvDword"));
    EXPECT_EQ(0u, getProcessProperty(L"VrelmKrvBinary"));
    EXPECT_EQ(7u, deleteProcessProperty(L"VrelmKrvDword"));
    EXPECT_EQ(0u, deleteProcessProperty(L"VrelmKrvBinary"));
    EXPECT_FALSE(readStored(settingskeys::kKrvProperties, binaryName).present);
}

TEST(KRVProperties, InstallStateNeedsMarker)
{
    clearInstallMarker();
    clearInstallState();
    EXPECT_FALSE(setInstallState(0x20000));
    EXPECT_EQ(0u, getInstallState());

    ASSERT_TRUE(setInstallMarker());
    EXPECT_EQ(0x10203040u, readStored(settingskeys::kKrvProperties, L"_QZExInstallReg" + hexPid()).data);
    EXPECT_TRUE(setInstallState(0x80000));
    EXPECT_EQ(0x80000u, getInstallState());
    EXPECT_EQ(0x80000u, readStored(settingskeys::kKrvProperties, L"_QZInstallState" + hexPid()).data);

    // A marker of another value does not count.
    ASSERT_TRUE(setProcessProperty(L"_QZExInstallReg", 0x10203041));
    EXPECT_FALSE(setInstallState(0x10000));
    EXPECT_EQ(0x80000u, getInstallState());

    clearInstallMarker();
    clearInstallState();
    EXPECT_FALSE(readStored(settingskeys::kKrvProperties, L"_QZExInstallReg" + hexPid()).present);
    EXPECT_EQ(0u, getInstallState());
}

TEST(KRVProperties, CancelJobFlag)
{
    const wchar_t* cancelKey = settingskeys::kCancelJob;
    const std::wstring name = std::to_wstring(GetCurrentProcessId());
    removeStored(cancelKey, name);
    EXPECT_FALSE(takeCancelJobFlag());
    ASSERT_TRUE(setCancelJobFlag());
    const Stored raw = readStored(cancelKey, name);
    EXPECT_EQ(DWORD{REG_DWORD}, raw.type);
    EXPECT_EQ(1u, raw.data);
    EXPECT_TRUE(takeCancelJobFlag());
    EXPECT_FALSE(takeCancelJobFlag());
    EXPECT_FALSE(readStored(cancelKey, name).present);
}

// HKEY_CURRENT_USER of this process redirected to a volatile key: the
// settings key cannot be created there (a lasting key under a volatile one),
// so the store is not writable.
TEST(KRVProperties, UnwritableStoreIsANoOp)
{
    const wchar_t rootPath[] = L"Software\\VrelmTests\\KRVPropertiesTest";
    RegDeleteTreeW(HKEY_CURRENT_USER, rootPath);
    HKEY root = nullptr;
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, DWORD(RegCreateKeyExW(HKEY_CURRENT_USER, rootPath, 0, nullptr, REG_OPTION_VOLATILE,
                                                          KEY_ALL_ACCESS, nullptr, &root, nullptr)));
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, DWORD(RegOverridePredefKey(HKEY_CURRENT_USER, root)));
    closePropertyStore(); // the keys kept open belong to the real tree

    const bool writable = isPropertyStoreWritable();
    const bool set = setProcessProperty(L"VrelmKrvNoStore", 3);
    const bool installSet = setInstallMarker();
    const std::uint64_t got = getProcessProperty(L"VrelmKrvNoStore");
    const std::uint64_t deleted = deleteProcessProperty(L"VrelmKrvNoStore");
    HKEY settings = nullptr;
    const LONG settingsOpen =
        RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Tarvokin", 0, KEY_READ, &settings);

    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    closePropertyStore();
    if (settingsOpen == ERROR_SUCCESS)
        RegCloseKey(settings);
    RegCloseKey(root);
    RegDeleteTreeW(HKEY_CURRENT_USER, rootPath);

    EXPECT_FALSE(writable);
    EXPECT_FALSE(set);
    EXPECT_FALSE(installSet);
    EXPECT_EQ(0u, got);
    EXPECT_EQ(0u, deleted);
    EXPECT_EQ(DWORD{ERROR_FILE_NOT_FOUND}, DWORD(settingsOpen)); // nothing was created
    EXPECT_FALSE(readStored(settingskeys::kKrvProperties, L"VrelmKrvNoStore" + hexPid()).present);
}

TEST(KRVProperties, EachProcessSeesItsOwn)
{
    ASSERT_TRUE(setProcessProperty(L"VrelmKrvShared", 0xAAAA));
    const testenv::ProcessResult child = testenv::runSelf("KRVProperties.OtherProcessChild");
    EXPECT_EQ(0u, child.exitCode) << child.output;
    EXPECT_NE(std::string::npos, child.output.find("[  PASSED  ] 1 test")) << child.output;

    unsigned long childPid = 0;
    const size_t at = child.output.find("child-pid=");
    ASSERT_NE(std::string::npos, at) << child.output;
    ASSERT_EQ(1, std::sscanf(child.output.c_str() + at, "child-pid=%lx", &childPid));
    ASSERT_NE(GetCurrentProcessId(), childPid);

    // Both values are in the one key, each under its own process id.
    EXPECT_EQ(0xAAAAu, getProcessProperty(L"VrelmKrvShared"));
    const Stored childValue = readStored(settingskeys::kKrvProperties, L"VrelmKrvShared" + hexPid(childPid));
    EXPECT_TRUE(childValue.present);
    EXPECT_EQ(0xBBBBu, childValue.data);

    removeStored(settingskeys::kKrvProperties, L"VrelmKrvShared" + hexPid(childPid));
    EXPECT_EQ(0xAAAAu, deleteProcessProperty(L"VrelmKrvShared"));
}

TEST(KRVProperties, OtherProcessChild)
{
    CHILD_TEST_ONLY();
    EXPECT_EQ(0u, getProcessProperty(L"VrelmKrvShared"));
    EXPECT_EQ(0u, deleteProcessProperty(L"VrelmKrvShared"));
    EXPECT_TRUE(setProcessProperty(L"VrelmKrvShared", 0xBBBB));
    std::printf("child-pid=%lX\n", GetCurrentProcessId());
}

// The ieframe.dll stand-in beside the tests answers as VRELM_IEFRAME_ANSWER says.
TEST(KRVProperties, ProtectedModeAnswers)
{
    struct Row {
        const wchar_t* answer; // null: unset
        bool protectedMode;
    };
    const Row rows[] = {
        {nullptr, false},        // outside protected mode
        {L"0,1", true},          // S_OK, TRUE
        {L"0,0", false},         // S_OK, FALSE
        {L"0x80070005", true},   // E_ACCESSDENIED: taken as protected
        {L"0x80004005,1", false}, // E_FAIL
        {L"1,1", false},         // S_FALSE is not S_OK
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.answer ? testenv::narrow(row.answer) : "(unset)");
        SetEnvironmentVariableW(L"VRELM_IEFRAME_ANSWER", row.answer);
        EXPECT_EQ(row.protectedMode, isProtectedModeProcess());
        EXPECT_EQ(nullptr, GetModuleHandleW(L"ieframe.dll")); // freed again
    }
    SetEnvironmentVariableW(L"VRELM_IEFRAME_ANSWER", nullptr);

    // Wine's own ieframe.dll has no such export: a copy of this executable in
    // a folder without the stand-in gets that one.
    testenv::TempDir elsewhere;
    const std::wstring copy = elsewhere.file(L"KRVPropertiesTest.exe");
    ASSERT_TRUE(testenv::copyFileTo(testenv::binDir() + L"\\KRVPropertiesTest.exe", copy));
    const testenv::ProcessResult child =
        testenv::runProcess(L"\"" + copy + L"\" --gtest_filter=KRVProperties.ProtectedModeWithoutExportChild",
                            {{L"VRELM_TEST_CHILD", L"1"}, {L"VRELM_IEFRAME_ANSWER", L"0,1"}}, elsewhere.path());
    EXPECT_EQ(0u, child.exitCode) << child.output;
    EXPECT_NE(std::string::npos, child.output.find("[  PASSED  ] 1 test")) << child.output;
}

TEST(KRVProperties, ProtectedModeWithoutExportChild)
{
    CHILD_TEST_ONLY();
    HMODULE ieframe = LoadLibraryW(L"ieframe.dll");
    ASSERT_NE(nullptr, ieframe);
    EXPECT_EQ(nullptr, GetProcAddress(ieframe, "IEIsProtectedModeProcess"));
    FreeLibrary(ieframe);
    EXPECT_FALSE(isProtectedModeProcess());
}

} // namespace
