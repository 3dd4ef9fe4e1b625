// Strings from the resource module in a chosen language: table arithmetic,
// the language fallback, right-to-left choice and module ownership. The
// user's default language is a property of the process, so those cases run
// this executable again as a child in another locale.
#include "core/ResourceLoader.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

using MPrint::ResourceLoader;

namespace {

const LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
const LANGID kGerman = MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN);
const LANGID kHebrew = MAKELANGID(LANG_HEBREW, SUBLANG_HEBREW_ISRAEL);
const LANGID kFrench = MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH); // no table of its own

std::wstring standIn()
{
    return testenv::binDir() + L"\\vrelm102.DLL";
}

std::wstring fixture()
{
    return testenv::binDir() + L"\\LoaderFixture.dll";
}

bool isLoaded(const wchar_t* name)
{
    return GetModuleHandleW(name) != nullptr;
}

} // namespace

TEST(ResourceLoader, StringIdsMapToBlocksOfSixteen)
{
    ResourceLoader loader(standIn());
    ASSERT_NE(loader.getModule(), nullptr);
    ASSERT_TRUE(loader.isOwned());
    loader.setLanguage(kEnglish);

    struct Row {
        UINT id;
        const wchar_t* text; // null: no string
    } rows[] = {
        {0, L"Text not available"},       // block 1, index 0
        {1, L"QZ Managed Printing"},      // block 1, index 1
        {2, nullptr},                     // block 1 exists, index 2 empty
        {14, L"No printer has been chosen yet. Choose one to continue."},
        {16, L"Enter a printer address"}, // block 2, index 0
        {31, L"Remove"},                  // block 2, index 15
        {32, L"Shared printers"},         // block 3, index 0
        {152, L"Type the address of a printer that is not listed."},
        {153, nullptr},
        {5000, nullptr}, // no such block
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.id);
        std::wstring out = L"untouched";
        const size_t copied = loader.loadString(row.id, out);
        if (row.text) {
            EXPECT_EQ(out, row.text);
            EXPECT_EQ(copied, out.size());
        } else {
            EXPECT_EQ(copied, 0u);
            EXPECT_EQ(out, L"untouched");
            EXPECT_EQ(loader.loadString(row.id), L"");
        }
    }
}

TEST(ResourceLoader, LanguageOfTheLoaderNotOfTheThread)
{
    ResourceLoader loader(standIn());
    const std::pair<LANGID, const wchar_t*> rows[] = {
        {kEnglish, L"Default"},
        {kGerman, L"Standard"},
        {kHebrew, L"\u05d1\u05e8\u05d9\u05e8\u05ea \u05de\u05d7\u05d3\u05dc"},
    };
    for (const auto& [language, text] : rows) {
        SCOPED_TRACE(language);
        loader.setLanguage(language);
        EXPECT_EQ(loader.loadString(25), text);
    }
}

TEST(ResourceLoader, LongStringsAreCutAt255Characters)
{
    ResourceLoader loader(fixture());
    ASSERT_NE(loader.getModule(), nullptr);
    loader.setLanguage(kEnglish);
    std::wstring text;
    ASSERT_EQ(loader.loadString(300, text), 255u);
    ASSERT_EQ(text.size(), 255u);
    EXPECT_EQ(text.substr(0, 8), L"000-004-");
    EXPECT_EQ(text.substr(248), L"248-252"); // the 300-character text goes on "-256-..."
    EXPECT_EQ(loader.loadString(301), L"");
    EXPECT_EQ(loader.loadString(302), L"after an empty string") << "the walk steps over an empty string";
}

TEST(ResourceLoader, PickByDirectionFollowsThePrimaryLanguage)
{
    ResourceLoader loader;
    const std::pair<LANGID, bool> rows[] = {
        {kHebrew, true},
        {MAKELANGID(LANG_HEBREW, SUBLANG_NEUTRAL), true},
        {MAKELANGID(LANG_ARABIC, SUBLANG_ARABIC_SAUDI_ARABIA), true},
        {MAKELANGID(LANG_ARABIC, SUBLANG_ARABIC_EGYPT), true},
        {MAKELANGID(LANG_FARSI, SUBLANG_DEFAULT), false},
        {kEnglish, false},
        {kGerman, false},
        {LANG_NEUTRAL, false},
    };
    for (const auto& [language, rightToLeft] : rows) {
        SCOPED_TRACE(language);
        loader.setLanguage(language);
        EXPECT_EQ(loader.pickByDirection(1, 2), rightToLeft ? 2 : 1);
    }
}

TEST(ResourceLoader, OwnedModulesAreLoadedAndFreedOncePerLoader)
{
    ASSERT_FALSE(isLoaded(L"vrelm102.DLL"));
    {
        auto* original = new ResourceLoader(standIn());
        original->setLanguage(kGerman);
        ResourceLoader copy(*original);
        EXPECT_TRUE(copy.isOwned());
        EXPECT_EQ(copy.getModuleName(), standIn());
        EXPECT_EQ(copy.getLanguage(), kGerman);
        delete original;
        ASSERT_TRUE(isLoaded(L"vrelm102.DLL")) << "the copy holds a load of its own";
        EXPECT_EQ(copy.loadString(25), L"Standard");

        ResourceLoader assigned;
        assigned = copy;
        EXPECT_TRUE(assigned.isOwned());
        assigned = assigned;
        EXPECT_EQ(assigned.loadString(18), L"Drucker suchen");

        // Borrowing: the handle is shared, the name dropped, nothing freed.
        ResourceLoader borrowing(copy.getModule());
        EXPECT_FALSE(borrowing.isOwned());
        assigned = borrowing;
        EXPECT_FALSE(assigned.isOwned());
        EXPECT_EQ(assigned.getModule(), copy.getModule());
        EXPECT_TRUE(assigned.getModuleName().empty());
        ResourceLoader borrowedCopy(borrowing);
        EXPECT_FALSE(borrowedCopy.isOwned());
    }
    EXPECT_FALSE(isLoaded(L"vrelm102.DLL")) << "every load was freed";

    ResourceLoader loader(standIn());
    loader.setModule(nullptr);
    EXPECT_FALSE(isLoaded(L"vrelm102.DLL")) << "setModule frees what the loader owned";
}

TEST(ResourceLoader, MissingModuleGivesEmptyResults)
{
    ResourceLoader loader(testenv::binDir() + L"\\no-such-module.dll");
    EXPECT_EQ(loader.getModule(), nullptr);
    EXPECT_FALSE(loader.isOwned());
    std::wstring out = L"untouched";
    EXPECT_EQ(loader.loadString(1, out), 0u);
    EXPECT_EQ(out, L"untouched");
    EXPECT_EQ(loader.loadIcon(1), nullptr);
    EXPECT_EQ(loader.loadLargeIcon(L"MAIN"), nullptr);

    ResourceLoader copy(loader);
    EXPECT_EQ(copy.getModule(), nullptr);
    EXPECT_FALSE(copy.isOwned());

    ResourceLoader none;
    EXPECT_EQ(none.loadString(1), L"");
    none.load(static_cast<const wchar_t*>(nullptr));
    EXPECT_EQ(none.getModule(), nullptr);
}

// Run as a child: reports the default language and what a default and a
// French loader find, one "key=value" line each (UTF-8).
TEST(ResourceLoaderChild, Report)
{
    const char* reportFile = getenv("VRELM_LOADER_REPORT");
    if (!reportFile)
        GTEST_SKIP() << "runs only as a child of LanguageFallbackAndDirectionFollowTheUser";
    ResourceLoader loader(standIn());
    char language[16];
    std::snprintf(language, sizeof(language), "%04x", loader.getLanguage());
    std::string report = std::string("language=") + language + "\n";
    report += "default=" + testenv::narrow(loader.loadString(25)) + "\n";
    report += std::string("rtl=") + loader.pickByDirection("0", "1") + "\n";
    loader.setLanguage(kFrench);
    report += "french=" + testenv::narrow(loader.loadString(25)) + "\n";
    ASSERT_TRUE(testenv::writeReport(testenv::widen(reportFile), report));
}

namespace {

std::map<std::string, std::string> runChild(const wchar_t* locale)
{
    testenv::TempDir dir;
    const std::wstring reportFile = dir.file(L"report.txt");
    const std::wstring command =
        L"\"" + testenv::binDir() + L"\\ResourceLoaderTest.exe\" --gtest_filter=ResourceLoaderChild.Report";
    const std::string output =
        testenv::runInLocale(command, locale, reportFile, {{L"VRELM_LOADER_REPORT", reportFile}}, 20000);
    EXPECT_FALSE(output.empty()) << "no report from the child";
    std::map<std::string, std::string> report;
    size_t pos = 0;
    while (pos < output.size()) {
        size_t end = output.find('\n', pos);
        if (end == std::string::npos)
            end = output.size();
        const std::string line = output.substr(pos, end - pos);
        const size_t eq = line.find('=');
        if (eq != std::string::npos)
            report[line.substr(0, eq)] = line.substr(eq + 1);
        pos = end + 1;
    }
    return report;
}

} // namespace

// A language without a table of its own falls back to the user's default
// language, whatever that is; right-to-left follows the user's language.
TEST(ResourceLoader, LanguageFallbackAndDirectionFollowTheUser)
{
    const std::string hebrewDefault = testenv::narrow(L"\u05d1\u05e8\u05d9\u05e8\u05ea \u05de\u05d7\u05d3\u05dc");
    struct Row {
        const wchar_t* lang;
        const char* language;
        const char* text;
        const char* rtl;
    } rows[] = {
        {L"de_DE.UTF-8", "0407", "Standard", "0"},
        {L"he_IL.UTF-8", "040d", hebrewDefault.c_str(), "1"},
        {L"en_US.UTF-8", "0409", "Default", "0"},
        // No Japanese table: the user default finds none, English is last.
        {L"ja_JP.UTF-8", "0411", "Default", "0"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testenv::narrow(row.lang));
        auto report = runChild(row.lang);
        EXPECT_EQ(report["language"], row.language);
        EXPECT_EQ(report["default"], row.text);
        EXPECT_EQ(report["french"], row.text) << "the retry takes the user's default language";
        EXPECT_EQ(report["rtl"], row.rtl);
    }
}
