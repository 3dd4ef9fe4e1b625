// Whole-file reads for outside documents.
#include "core/OutsideDocument.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <string>

using testenv::TempDir;
using testenv::writeFile;

namespace {

TEST(ReadWholeFile, ReadsEveryByteOrNothing)
{
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    std::string large(100000, '\0');
    for (size_t i = 0; i < large.size(); ++i)
        large[i] = static_cast<char>(i * 13);
    struct Row {
        const char* name;
        std::string content;
    };
    const Row rows[] = {
        {"empty", ""},
        {"NUL bytes", std::string("a\0b\0", 4)},
        {"large", large},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::wstring path = dir.file(L"whole.bin");
        ASSERT_TRUE(writeFile(path, row.content));
        std::string out = "old";
        EXPECT_TRUE(readWholeFile(path.c_str(), out));
        EXPECT_TRUE(row.content == out);
    }
    std::string out = "old";
    EXPECT_FALSE(readWholeFile(dir.file(L"absent.bin").c_str(), out));
    EXPECT_FALSE(readWholeFile(dir.path().c_str(), out));
    EXPECT_FALSE(readWholeFile(nullptr, out));
    EXPECT_EQ("old", out);
}

// Reads that end before the size the file reported do not pass for the
// whole file. A Linux sysfs file seen through Wine's Z: drive reports 4096
// bytes and holds a few.
TEST(ReadWholeFile, ReadsEndingBeforeTheSizeFail)
{
    const wchar_t* path = L"Z:\\sys\\devices\\system\\cpu\\online";
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        GTEST_SKIP() << "no sysfs file visible through Z:";
    const DWORD size = GetFileSize(file, nullptr);
    CloseHandle(file);
    ASSERT_EQ(4096u, size);
    std::string out = "old";
    EXPECT_FALSE(readWholeFile(path, out));
    EXPECT_EQ("old", out);
}

} // namespace
