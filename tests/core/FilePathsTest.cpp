// The directory separator and temporary file names.
#include "core/FilePaths.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring folderOf(const std::wstring& path)
{
    return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring nameOf(const std::wstring& path)
{
    return path.substr(path.find_last_of(L'\\') + 1);
}

bool isFreshName(const std::wstring& name)
{
    return name.size() > 7 && name.compare(0, 3, L"QZM") == 0 && name.compare(name.size() - 4, 4, L".tmp") == 0;
}

TEST(FilePaths, Separator)
{
    EXPECT_STREQ(L"\\", getPathSeparator());
    EXPECT_EQ(getPathSeparator(), getPathSeparator());
    EXPECT_EQ(L'\\', getPathSeparatorChar());
}

TEST(FilePaths, TempNameInGivenFolder)
{
    testenv::TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    const std::wstring first = makeTempFileName(dir.path().c_str());
    const std::wstring second = makeTempFileName(dir.path().c_str());
    for (const std::wstring& name : {first, second}) {
        SCOPED_TRACE(testenv::narrow(name));
        EXPECT_EQ(dir.path(), folderOf(name));
        EXPECT_TRUE(isFreshName(nameOf(name)));
        EXPECT_FALSE(testenv::fileExists(name));
    }
    EXPECT_NE(first, second);

    // The folder is left as it was: no file reserved by the system stays.
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(dir.file(L"*.tmp").c_str(), &found);
    EXPECT_EQ(INVALID_HANDLE_VALUE, find);
    if (find != INVALID_HANDLE_VALUE)
        FindClose(find);
}

TEST(FilePaths, TempNameWithoutFolder)
{
    wchar_t temp[MAX_PATH] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    std::wstring tempDir = temp;
    if (tempDir.back() == L'\\')
        tempDir.pop_back();

    // No folder, an empty one, and one too long for the name buffer all use
    // the temporary directory.
    const std::wstring tooLong = L"C:\\" + std::wstring(600, L'x');
    for (const wchar_t* directory : {static_cast<const wchar_t*>(nullptr), L"", tooLong.c_str()}) {
        const std::wstring name = makeTempFileName(directory);
        SCOPED_TRACE(testenv::narrow(name));
        EXPECT_EQ(0, _wcsicmp(tempDir.c_str(), folderOf(name).c_str()));
        EXPECT_TRUE(isFreshName(nameOf(name)));
        EXPECT_FALSE(testenv::fileExists(name));
    }

    // A folder that does not exist gives the fixed fallback name.
    EXPECT_EQ(L"c:\\temp\\qztemp.tmp", makeTempFileName(L"C:\\no\\such\\folder\\vrelm"));
}

} // namespace
