// Help file extraction from a real cabinet made by cabarc.exe: the language's
// file, the US English fallback, refreshing by file time, and the localised
// name rules.
#include "support/TestEnv.h"
#include "ui/CHelpCab.h"

#include <gtest/gtest.h>

namespace {

TEST(CHelpCabTest, LocalizedNames)
{
    const struct {
        const wchar_t* cabinet;
        LANGID language;
        const wchar_t* name; // null: no localised name
    } cases[] = {
        {L"C:\\drivers\\xyzhl01.cab", 0x040C, L"xyzFR01.chm"},
        {L"XYZHL01.CAB", 0x040C, L"xyzFR01.chm"},
        {L"d\\xyzhl01.cab", 0x0404, L"xyzHT01.chm"},
        {L"xyzhl01.cab", 0x0804, L"xyzHC01.chm"},
        {L"xyzhl01.cab", 0x0C04, L"xyzHC01.chm"},
        {L"xyzhl01.cab", 0x041A, L"xyzHR01.chm"},
        {L"xyzhl01.cab", 0x081A, L"xyzSR01.chm"},
        {L"xyzhl01.cab", 0x040F, L"xyzEN01.chm"}, // a language without a code
        {L"xyzhl.dat", 0x0407, L"xyzDE.dat"},
        {L"C:\\hl\\abchx01.cab", 0x040C, nullptr},
        {L"abhl.cab", 0x040C, nullptr},
        {L"xyzh", 0x040C, nullptr},
        {L"", 0x040C, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testenv::narrow(c.cabinet));
        std::wstring name = L"untouched";
        EXPECT_EQ(CHelpCab::makeLocalizedName(c.cabinet, c.language, name), c.name != nullptr);
        EXPECT_EQ(name, c.name ? c.name : L"untouched");
    }
}

class CHelpCabExtractTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(dir_.path().empty());
        wchar_t temp[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH + 1, temp);
        temp_ = temp;
        // Names unique to this process: the temporary folder is shared.
        id_ = std::to_wstring(GetCurrentProcessId());
        cabinet_ = dir_.file(L"xyzhl" + id_ + L".cab");
    }

    void TearDown() override
    {
        for (const wchar_t* code : {L"FR", L"EN", L"DE"})
            DeleteFileW(helpFile(code).c_str());
    }

    std::wstring helpFile(const wchar_t* code) const { return temp_ + L"xyz" + code + id_ + L".chm"; }

    // A cabinet holding one file per language code, each with its code as text.
    void makeCabinet(std::initializer_list<const wchar_t*> codes)
    {
        std::wstring command = L"cabarc.exe N \"" + cabinet_ + L"\"";
        for (const wchar_t* code : codes) {
            const std::wstring name = std::wstring(L"xyz") + code + id_ + L".chm";
            writeFile(dir_.file(name), testenv::narrow(code));
            command += L" " + name;
        }
        DeleteFileW(cabinet_.c_str());
        const testenv::ProcessResult result = testenv::runProcess(command, {}, dir_.path(), 10000);
        ASSERT_EQ(result.exitCode, 0u) << result.output;
    }

    static void writeFile(const std::wstring& path, const std::string& content)
    {
        ASSERT_TRUE(testenv::writeFile(path, content));
    }

    // Moves a file's last-write time by the given number of hours.
    static void shiftWriteTime(const std::wstring& path, int hours)
    {
        HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        ULARGE_INTEGER value{{now.dwLowDateTime, now.dwHighDateTime}};
        value.QuadPart += static_cast<long long>(hours) * 36000000000LL;
        FILETIME shifted{value.LowPart, value.HighPart};
        SetFileTime(file, nullptr, nullptr, &shifted);
        CloseHandle(file);
    }

    bool extractFor(LANGID language, std::wstring& path)
    {
        CHelpCab helpCab;
        helpCab.setLanguage(language);
        return helpCab.extractFromCabinet(cabinet_, path);
    }

    testenv::TempDir dir_;
    std::wstring temp_;
    std::wstring id_;
    std::wstring cabinet_;
};

TEST_F(CHelpCabExtractTest, ExtractsTheLanguagesFileWithTheCabinetsTimes)
{
    makeCabinet({L"FR", L"EN"});
    std::wstring path;
    ASSERT_TRUE(extractFor(0x040C, path));
    EXPECT_EQ(path, helpFile(L"FR"));
    EXPECT_EQ(testenv::readFile(path), "FR");

    WIN32_FILE_ATTRIBUTE_DATA extracted, cabinet;
    ASSERT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &extracted));
    ASSERT_TRUE(GetFileAttributesExW(cabinet_.c_str(), GetFileExInfoStandard, &cabinet));
    EXPECT_EQ(CompareFileTime(&extracted.ftLastWriteTime, &cabinet.ftLastWriteTime), 0);
}

TEST_F(CHelpCabExtractTest, FallsBackToUsEnglish)
{
    makeCabinet({L"FR", L"EN"});
    std::wstring path;
    ASSERT_TRUE(extractFor(0x0407, path));
    EXPECT_EQ(path, helpFile(L"EN"));
    EXPECT_EQ(testenv::readFile(path), "EN");
    EXPECT_EQ(GetFileAttributesW(helpFile(L"DE").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(CHelpCabExtractTest, NewerFileIsKeptAndOlderFileIsRefreshed)
{
    makeCabinet({L"FR"});
    writeFile(helpFile(L"FR"), "kept");
    shiftWriteTime(helpFile(L"FR"), 1);
    std::wstring path;
    ASSERT_TRUE(extractFor(0x040C, path));
    EXPECT_EQ(testenv::readFile(path), "kept");

    shiftWriteTime(helpFile(L"FR"), -48);
    ASSERT_TRUE(extractFor(0x040C, path));
    EXPECT_EQ(testenv::readFile(path), "FR");
}

TEST_F(CHelpCabExtractTest, OutdatedFileThatCannotBeRefreshedIsNotReported)
{
    makeCabinet({L"EN"});
    // An old French file, and a cabinet without French: the stale file is
    // removed and the English one is used instead of a path that is gone.
    writeFile(helpFile(L"FR"), "stale");
    shiftWriteTime(helpFile(L"FR"), -48);
    std::wstring path;
    ASSERT_TRUE(extractFor(0x040C, path));
    EXPECT_EQ(path, helpFile(L"EN"));

    makeCabinet({L"DE"});
    DeleteFileW(helpFile(L"EN").c_str());
    path = L"untouched";
    EXPECT_FALSE(extractFor(0x040C, path));
    EXPECT_EQ(path, L"untouched");
}

TEST_F(CHelpCabExtractTest, NoPrinterOrBufferAnswersFalse)
{
    CHelpCab helpCab;
    wchar_t buffer[MAX_PATH];
    wmemset(buffer, L'x', MAX_PATH);
    EXPECT_FALSE(helpCab.extract(nullptr, buffer, MAX_PATH));
    EXPECT_EQ(buffer[0], L'x');
    EXPECT_FALSE(helpCab.extract(reinterpret_cast<HANDLE>(1), nullptr, MAX_PATH));
    EXPECT_EQ(helpCab.getLanguage(), GetUserDefaultUILanguage());
}

} // namespace
