// The popup menu and image list owners: lazy loading from the resource
// module with "RCLID_" texts, enabling, inserting into the position-0
// submenu, and an image list replaced by a second create.
#include "ui/ImageList.h"
#include "ui/PopupMenu.h"

#include "support/SharedState.h"
#include "support/UiTestEnv.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

VRELM_TEST_SHARES(policy_settings);

namespace {

constexpr UINT kFixtureMenu = 400;

std::wstring itemText(HMENU menu, int position)
{
    wchar_t text[260] = {};
    GetMenuStringW(menu, position, text, 260, MF_BYPOSITION);
    return text;
}

std::vector<UINT> ids(HMENU menu)
{
    std::vector<UINT> result;
    for (int i = 0; i < GetMenuItemCount(menu); ++i)
        result.push_back(GetMenuItemID(menu, i));
    return result;
}

class PopupMenuTest : public testenv::UiSuite {
protected:
    testenv::UiTestEnv::ModuleScope module_{*env_, L"UiFixture.dll"};
};

TEST_F(PopupMenuTest, LoadsOnFirstUseAndLocalisesThePopup)
{
    MPrint::PopupMenu menu(extension(), kFixtureMenu);
    HMENU handle = menu.getMenu();
    ASSERT_NE(nullptr, handle);
    EXPECT_EQ(handle, menu.getMenu()); // loaded once
    HMENU popup = GetSubMenu(handle, 0);
    EXPECT_EQ(L"Move to", itemText(popup, 0));
    EXPECT_EQ(L"Remove", itemText(popup, 1));     // RCLID_31
    EXPECT_EQ(L"RCLID_9999", itemText(popup, 2)); // no such string: kept
    EXPECT_EQ(L"Plain", itemText(popup, 3));
    EXPECT_EQ(L"A", itemText(GetSubMenu(popup, 0), 0)); // nested submenus are not visited
    menu.destroy();
    EXPECT_FALSE(IsMenu(handle));

    MPrint::PopupMenu missing(extension(), 401);
    EXPECT_EQ(nullptr, missing.getMenu());
    EXPECT_FALSE(missing.insertItem(0, L"x", 3503));
}

TEST_F(PopupMenuTest, EnableAndDisableItems)
{
    MPrint::PopupMenu menu(extension(), kFixtureMenu);
    const struct {
        UINT id;
        bool enable;
        bool result;
    } rows[] = {
        {4011, false, true},  // enabled -> disabled
        {4011, false, false}, // already disabled
        {4013, false, false}, // disabled in the resource
        {4999, false, false}, // missing
        {4999, true, true},   // enabling a missing item still answers true
        {4011, true, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.id);
        EXPECT_EQ(row.result, menu.enableItem(row.id, row.enable));
    }
    EXPECT_EQ(0u, GetMenuState(GetSubMenu(menu.getMenu(), 0), 4011, MF_BYCOMMAND) & MF_GRAYED);
}

TEST_F(PopupMenuTest, InsertsIntoTheSubmenuBeforeTheSameIdOrAtTheEnd)
{
    MPrint::PopupMenu menu(extension(), kFixtureMenu);
    EXPECT_TRUE(menu.insertItem(0, L"B", 3504)); // before the item with that id
    EXPECT_TRUE(menu.insertItem(0, L"D", 3505)); // no such id: at the end
    EXPECT_FALSE(menu.insertItem(1, L"X", 3506)); // position 1 is no submenu
    HMENU target = GetSubMenu(GetSubMenu(menu.getMenu(), 0), 0);
    EXPECT_EQ((std::vector<UINT>{3502, 3504, 3504, 3505}), ids(target));
    EXPECT_EQ(L"B", itemText(target, 1));
    EXPECT_EQ(L"C", itemText(target, 2));
}

// Counts the destroys a second create makes.
class CountingImageList : public MPrint::ImageList {
public:
    bool destroy() override
    {
        const bool destroyed = MPrint::ImageList::destroy();
        if (destroyed)
            ++destroyed_;
        return destroyed;
    }
    int destroyed_ = 0;
};

TEST(ImageListTest, SecondCreateDestroysTheFirst)
{
    CountingImageList list;
    EXPECT_FALSE(list.destroy());
    ASSERT_TRUE(list.create(16, 16, ILC_MASK | ILC_COLOR8, 16, 16));
    EXPECT_EQ(0, list.destroyed_);
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 32, 16); // two images
    ReleaseDC(nullptr, screen);
    int index = -5;
    EXPECT_TRUE(list.addMasked(bitmap, RGB(255, 0, 255), index));
    EXPECT_EQ(0, index);
    ASSERT_TRUE(list.create(16, 16, ILC_MASK | ILC_COLOR8, 16, 16));
    EXPECT_EQ(1, list.destroyed_);
    EXPECT_EQ(0, ImageList_GetImageCount(list.getHandle()));
    HICON icon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));
    EXPECT_TRUE(list.addIcon(icon, index));
    EXPECT_EQ(0, index);
    DeleteObject(bitmap);
    EXPECT_TRUE(list.destroy());
    EXPECT_FALSE(list.addIcon(icon, index));
    EXPECT_EQ(-1, index);
}

} // namespace
