// Combo box items mirroring a list of print paths, on a real combo box:
// removal by index, path, text, duplicate display string and discovery
// mark, with the list and the box kept in step, and items or paths that
// have no counterpart.
#include "extension/PrintPathComboItems.h"

#include "destination/PrintPathAttr.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using MPrint::PrintPath;

class PrintPathComboItemsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        combo_ = CreateWindowExW(0, L"COMBOBOX", L"", CBS_DROPDOWNLIST | CBS_HASSTRINGS, 0, 0, 200, 200, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(nullptr, combo_);
    }
    void TearDown() override { DestroyWindow(combo_); }

    // One path and item per text; a "*" suffix marks the path newly discovered.
    void fill(const std::vector<std::wstring>& texts)
    {
        for (std::wstring text : texts) {
            auto* path = new PrintPath;
            if (!text.empty() && text.back() == L'*') {
                text.pop_back();
                path->setNumericAttribute(PrintPathAttr::NewlyDiscovered, 1, false);
            }
            path->setStringAttribute(PrintPathAttr::DisplayString, text, true);
            list_.emplace_back(path);
            addItem(text, path);
        }
    }
    void addItem(const std::wstring& text, PrintPath* path)
    {
        const LRESULT index = SendMessageW(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        SendMessageW(combo_, CB_SETITEMDATA, index, reinterpret_cast<LPARAM>(path));
    }
    PrintPath* pathAt(size_t index)
    {
        auto it = list_.begin();
        std::advance(it, index);
        return it->get();
    }

    // The box's texts, and checks that each item's path is in the list.
    std::vector<std::wstring> items()
    {
        std::vector<std::wstring> texts;
        const int count = static_cast<int>(SendMessageW(combo_, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            wchar_t text[64] = {};
            SendMessageW(combo_, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            texts.push_back(text);
            auto* path = reinterpret_cast<PrintPath*>(SendMessageW(combo_, CB_GETITEMDATA, i, 0));
            bool listed = path == nullptr;
            for (const auto& entry : list_)
                listed |= entry.get() == path;
            EXPECT_TRUE(listed) << "item " << i << " points at a deleted path";
        }
        return texts;
    }

    HWND combo_ = nullptr;
    PrintPathList list_;
};

using Texts = std::vector<std::wstring>;

TEST_F(PrintPathComboItemsTest, RemovalsKeepTheListAndTheBoxInStep)
{
    fill({L"Alpha", L"Beta", L"Alpha", L"Gamma*", L"Delta*", L"Alpha"});
    PrintPath* secondAlpha = pathAt(2);

    MPrint::removeNewlyDiscoveredItems(list_, combo_);
    EXPECT_EQ((Texts{L"Alpha", L"Beta", L"Alpha", L"Alpha"}), items()) << "both adjacent marked items go";
    EXPECT_EQ(4u, list_.size());

    MPrint::removeDuplicateDisplayStrings(list_, combo_, secondAlpha);
    EXPECT_EQ((Texts{L"Beta", L"Alpha"}), items()) << "only the path's own item keeps the text";
    EXPECT_EQ(secondAlpha, reinterpret_cast<PrintPath*>(SendMessageW(combo_, CB_GETITEMDATA, 1, 0)));

    MPrint::removeComboItemForPath(list_, combo_, secondAlpha);
    EXPECT_EQ((Texts{L"Beta"}), items());
    EXPECT_EQ(1u, list_.size());

    MPrint::removeComboItemAt(list_, combo_, 0);
    EXPECT_TRUE(items().empty());
    EXPECT_TRUE(list_.empty());
}

TEST_F(PrintPathComboItemsTest, ItemsAndPathsWithoutCounterparts)
{
    fill({L"Alpha", L"Beta"});
    addItem(L"Beta", nullptr);
    auto* unshown = new PrintPath;
    list_.emplace_back(unshown);

    MPrint::removeComboItemAt(list_, combo_, 2);
    EXPECT_EQ((Texts{L"Alpha", L"Beta", L"Beta"}), items()) << "an item without a path stays";

    MPrint::removeComboItemsByText(list_, combo_, L"Beta");
    EXPECT_EQ((Texts{L"Alpha"}), items()) << "every item of the text, with a path or without";
    EXPECT_EQ(2u, list_.size());

    MPrint::removeComboItemForPath(list_, combo_, unshown);
    EXPECT_EQ(2u, list_.size()) << "a path without an item stays";

    MPrint::removeAllComboItems(list_, combo_);
    EXPECT_TRUE(items().empty());
    EXPECT_TRUE(list_.empty()) << "also the path that had no item";

    MPrint::removeDuplicateDisplayStrings(list_, combo_, nullptr);
    MPrint::removeComboItemsByText(list_, combo_, L"None");

    // Behind an item without a path, a path's item lies past the list's size:
    // it still leaves with its path.
    addItem(L"Lone", nullptr);
    fill({L"Alpha"});
    MPrint::removeAllComboItems(list_, combo_);
    EXPECT_EQ((Texts{L"Lone"}), items());
    EXPECT_TRUE(list_.empty());
}

} // namespace
