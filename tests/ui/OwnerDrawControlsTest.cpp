// Owner-drawn controls and drawing helpers drawn into a 32-bit DIB memory
// DC and read back by pixel (Wine's DIB engine is deterministic): the
// rounded button as a table of style x state, auto buttons' checked state,
// the group frame, pictures and their ownership, the background gradients.
#include "ui/DrawingHelpers.h"
#include "ui/OwnerDrawAutoButton.h"
#include "ui/OwnerDrawBitmap.h"
#include "ui/OwnerDrawGroupBox.h"
#include "ui/ProsumerButton.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// A width x height top-down 32-bit DIB selected into a memory DC.
class Canvas {
public:
    Canvas(int width, int height, COLORREF fill = RGB(255, 255, 255)) : width_(width), height_(height)
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        const RECT all = {0, 0, width, height};
        HBRUSH brush = CreateSolidBrush(fill);
        FillRect(dc_, &all, brush);
        DeleteObject(brush);
    }
    ~Canvas()
    {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    COLORREF at(int x, int y) const
    {
        GdiFlush();
        const DWORD pixel = bits_[y * width_ + x];
        return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
    }
    bool contains(COLORREF colour, const RECT& area) const
    {
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                if (at(x, y) == colour)
                    return true;
        return false;
    }
    DRAWITEMSTRUCT item(HWND window, UINT state) const
    {
        DRAWITEMSTRUCT draw = {};
        draw.CtlType = ODT_BUTTON;
        draw.itemAction = ODA_DRAWENTIRE;
        draw.itemState = state;
        draw.hwndItem = window;
        draw.hDC = dc_;
        draw.rcItem = {0, 0, width_, height_};
        return draw;
    }

private:
    int width_;
    int height_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
    DWORD* bits_ = nullptr;
};

// A hidden control window that only carries a text for the draw code.
HWND textWindow(const wchar_t* text, DWORD style = BS_OWNERDRAW)
{
    return CreateWindowExW(0, L"BUTTON", text, WS_POPUP | style, 0, 0, 64, 24, nullptr, nullptr, nullptr, nullptr);
}

bool closeTo(COLORREF a, COLORREF b, int tolerance)
{
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

TEST(ProsumerButtonDraw, StyleByStateTable)
{
    HWND window = textWindow(L"OK");
    const struct {
        const char* name;
        UINT state;
        bool gloss;
        bool focusRing;
    } states[] = {
        {"normal", 0, true, false},
        {"pressed", ODS_SELECTED, false, false},
        {"disabled", ODS_DISABLED, false, false},
        {"focused", ODS_FOCUS, true, true},
        {"focused and pressed", ODS_FOCUS | ODS_SELECTED, false, false},
    };
    for (UINT style : {ProsumerButton::kGrey, ProsumerButton::kBlue, ProsumerButton::kGreen}) {
        for (const auto& row : states) {
            SCOPED_TRACE(std::string(row.name) + " style " + std::to_string(style));
            Canvas canvas(64, 24);
            ProsumerButton button(window, IDOK, style);
            const DRAWITEMSTRUCT item = canvas.item(window, row.state);
            ASSERT_TRUE(button.draw(0, &item));
            EXPECT_EQ(row.gloss, canvas.at(5, 4) == ProsumerButton::colour(style, 6));
            EXPECT_EQ(ProsumerButton::colour(style, 3), canvas.at(32, 0)); // border
            EXPECT_EQ(row.focusRing, canvas.at(32, 1) == ProsumerButton::kFocusRing);
            const bool disabled = (row.state & ODS_DISABLED) != 0;
            const COLORREF textColour =
                disabled ? ProsumerButton::kDisabledText : style == ProsumerButton::kGrey ? RGB(0, 0, 0)
                                                                                          : RGB(255, 255, 255);
            EXPECT_TRUE(canvas.contains(textColour, {8, 4, 56, 20}));
            if (disabled) { // the lower half is flat entry 1
                EXPECT_EQ(ProsumerButton::colour(style, 1), canvas.at(32, 18));
            }
        }
    }
    ASSERT_FALSE(ProsumerButton(window, IDOK, 7).getStyle()); // unknown styles are grey
    DestroyWindow(window);
    EXPECT_FALSE(ProsumerButton(nullptr, 1, 1).draw(0, nullptr));
}

TEST(OwnerDrawAutoButtonDraw, SelectedDrawsFlipTheMarkAndTwoLeaveItUnchanged)
{
    HWND window = textWindow(L"Always");
    for (UINT kind : {OwnerDrawAutoButton::kRadioButton, OwnerDrawAutoButton::kCheckBox}) {
        SCOPED_TRACE(kind);
        Canvas canvas(64, 24);
        OwnerDrawAutoButton button(window, 1033, kind);
        const DRAWITEMSTRUCT selected = canvas.item(window, ODS_SELECTED);
        const DRAWITEMSTRUCT plain = canvas.item(window, 0);
        ASSERT_TRUE(button.draw(0, &selected));
        EXPECT_TRUE(button.isChecked());
        ASSERT_TRUE(button.draw(0, &selected));
        EXPECT_FALSE(button.isChecked());
        ASSERT_TRUE(button.draw(0, &plain));
        EXPECT_FALSE(button.isChecked());
        // The text starts right of the 14 x 14 / 12 x 12 box.
        EXPECT_FALSE(canvas.contains(RGB(0, 0, 0), {14, 0, OwnerDrawAutoButton::kTextIndent, 24}));
        EXPECT_TRUE(canvas.contains(RGB(0, 0, 0), {OwnerDrawAutoButton::kTextIndent, 0, 64, 24}));
    }
    DestroyWindow(window);
}

// Counts WM_DRAWITEM reaching the parent of an owner-drawn button.
int g_drawItems = 0;
LRESULT CALLBACK countingParent(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DRAWITEM) {
        ++g_drawItems;
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(OwnerDrawAutoButtonDraw, SetCheckedRedrawsOnlyOnAChange)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = countingParent;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"OwnerDrawTestParent";
    RegisterClassW(&windowClass);
    HWND parent = CreateWindowExW(0, L"OwnerDrawTestParent", L"", WS_POPUP | WS_VISIBLE, 0, 0, 100, 40, nullptr,
                                  nullptr, windowClass.hInstance, nullptr);
    HWND child = CreateWindowExW(0, L"BUTTON", L"Low", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 0, 0, 100, 20, parent,
                                 reinterpret_cast<HMENU>(1062), nullptr, nullptr);
    UpdateWindow(parent);
    OwnerDrawAutoButton button(child, 1062, OwnerDrawAutoButton::kRadioButton);
    g_drawItems = 0;
    button.setChecked(false);
    EXPECT_EQ(0, g_drawItems);
    EXPECT_FALSE(button.isChecked());
    button.setChecked(true);
    EXPECT_TRUE(button.isChecked());
    EXPECT_GE(g_drawItems, 1);
    DestroyWindow(parent);
}

TEST(OwnerDrawGroupBoxDraw, FrameStartsAtHalfTheCaptionHeight)
{
    const COLORREF frame = OwnerDrawGroupBox::kFrameColour;
    {
        SCOPED_TRACE("no caption");
        HWND window = textWindow(L"");
        Canvas canvas(64, 24);
        OwnerDrawGroupBox box(window, 1076);
        const DRAWITEMSTRUCT item = canvas.item(window, 0);
        ASSERT_TRUE(box.draw(0, &item));
        EXPECT_EQ(frame, canvas.at(32, 0));
        DestroyWindow(window);
    }
    {
        SCOPED_TRACE("caption");
        HWND window = textWindow(L"Group");
        Canvas canvas(64, 24);
        OwnerDrawGroupBox box(window, 1076);
        const DRAWITEMSTRUCT item = canvas.item(window, 0);
        ASSERT_TRUE(box.draw(0, &item));
        EXPECT_NE(frame, canvas.at(32, 0));
        EXPECT_TRUE(canvas.contains(OwnerDrawGroupBox::kCaptionColour, {10, 0, 64, 24}));
        // The top edge runs on right of the caption, not through it.
        EXPECT_TRUE(canvas.contains(frame, {58, 2, 62, 14}));
        EXPECT_FALSE(canvas.contains(frame, {12, 0, 20, 14}));
        DestroyWindow(window);
    }
}

HBITMAP pixelRow(std::initializer_list<COLORREF> colours)
{
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, static_cast<int>(colours.size()), 1);
    ReleaseDC(nullptr, screen);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    int x = 0;
    for (COLORREF colour : colours)
        SetPixel(dc, x++, 0, colour);
    SelectObject(dc, old);
    DeleteDC(dc);
    return bitmap;
}

TEST(OwnerDrawBitmapDraw, KeyColourLeavesTheBackground)
{
    const COLORREF green = RGB(0, 128, 0);
    HBITMAP bitmap = pixelRow({OwnerDrawBitmap::kMagenta, RGB(255, 0, 0), OwnerDrawBitmap::kMagenta, RGB(0, 0, 255)});
    {
        Canvas canvas(4, 1, green);
        ASSERT_TRUE(drawTransparentBitmap(canvas.dc(), bitmap, {0, 0}, OwnerDrawBitmap::kMagenta));
        EXPECT_EQ(green, canvas.at(0, 0));
        EXPECT_EQ(RGB(255, 0, 0), canvas.at(1, 0));
        EXPECT_EQ(green, canvas.at(2, 0));
        EXPECT_EQ(RGB(0, 0, 255), canvas.at(3, 0));
    }
    {
        Canvas canvas(4, 1, green);
        OwnerDrawBitmap picture(nullptr, 150);
        picture.setBitmap(bitmap, false);
        const DRAWITEMSTRUCT item = canvas.item(nullptr, 0);
        ASSERT_TRUE(picture.draw(0, &item));
        EXPECT_EQ(OwnerDrawBitmap::kMagenta, canvas.at(0, 0)); // opaque unless made transparent
        picture.setTransparent(true, OwnerDrawBitmap::kMagenta);
        Canvas second(4, 1, green);
        const DRAWITEMSTRUCT again = second.item(nullptr, 0);
        ASSERT_TRUE(picture.draw(0, &again));
        EXPECT_EQ(green, second.at(0, 0));
        picture.setBitmap(nullptr, false);
    }
    EXPECT_FALSE(drawBitmap(nullptr, bitmap, {0, 0}));
    EXPECT_FALSE(drawTransparentBitmap(nullptr, bitmap, {0, 0}, 0));
    DeleteObject(bitmap);
}

TEST(OwnerDrawBitmapDraw, OwnedBitmapsAreDeletedWhenReplacedBorrowedNever)
{
    HBITMAP borrowed = pixelRow({RGB(1, 2, 3)});
    HBITMAP owned = pixelRow({RGB(4, 5, 6)});
    HBITMAP last = pixelRow({RGB(7, 8, 9)});
    {
        OwnerDrawBitmap picture(nullptr, 1101);
        picture.setBitmap(borrowed, false);
        picture.setBitmap(owned, true);
        EXPECT_EQ(static_cast<DWORD>(OBJ_BITMAP), GetObjectType(borrowed));
        picture.setBitmap(last, true);
        EXPECT_EQ(0u, GetObjectType(owned));
        EXPECT_FALSE(picture.loadBitmap(1, nullptr));
    }
    EXPECT_EQ(0u, GetObjectType(last)); // the destructor deletes the owned one
    EXPECT_EQ(static_cast<DWORD>(OBJ_BITMAP), GetObjectType(borrowed));
    DeleteObject(borrowed);
}

TEST(DrawingHelpers, BackgroundAndHeaderBandColours)
{
    Canvas canvas(64, 24, RGB(0, 0, 0));
    ASSERT_TRUE(paintDialogBackground(canvas.dc(), {0, 0, 64, 24}));
    EXPECT_EQ(RGB(255, 255, 255), canvas.at(0, 0));
    EXPECT_TRUE(closeTo(RGB(186, 186, 186), canvas.at(63, 23), 4)) << std::hex << canvas.at(63, 23);
    EXPECT_EQ(RGB(255, 255, 255), canvas.at(0, 23));

    Canvas band(64, 8, RGB(0, 0, 0));
    ASSERT_TRUE(paintHeaderBand(band.dc(), {0, 0, 64, 8}));
    EXPECT_EQ(RGB(0, 72, 115), band.at(0, 4));
    EXPECT_TRUE(closeTo(RGB(108, 210, 231), band.at(32, 4), 4));
    EXPECT_TRUE(closeTo(RGB(0, 72, 115), band.at(63, 4), 6));
}

} // namespace

// In a mirrored (right-to-left) dialog the box sits at the right edge and is
// drawn whole: the same mark as left-to-right, moved, not clipped or shifted.
TEST(OwnerDrawAutoButtonDraw, MirroredLayoutDrawsTheWholeMarkAtTheRight)
{
    HWND window = textWindow(L"Always");
    constexpr int kWidth = 64;
    for (UINT kind : {OwnerDrawAutoButton::kRadioButton, OwnerDrawAutoButton::kCheckBox}) {
        for (bool checked : {false, true}) {
            SCOPED_TRACE(testing::Message() << "kind " << kind << " checked " << checked);
            Canvas ltr(kWidth, 24);
            Canvas rtl(kWidth, 24);
            ASSERT_NE(GDI_ERROR, SetLayout(rtl.dc(), LAYOUT_RTL));
            for (Canvas* canvas : {&ltr, &rtl}) {
                OwnerDrawAutoButton button(window, 1033, kind);
                button.setChecked(checked);
                const DRAWITEMSTRUCT plain = canvas->item(window, 0);
                ASSERT_TRUE(button.draw(0, &plain));
            }
            EXPECT_EQ(DWORD{LAYOUT_RTL}, GetLayout(rtl.dc()));
            const int size = kind == OwnerDrawAutoButton::kCheckBox ? 14 : 12;
            int differing = 0;
            for (int y = 0; y < size; ++y)
                for (int x = 0; x < size; ++x)
                    differing += ltr.at(x, y) != rtl.at(kWidth - size + x, y);
            EXPECT_EQ(0, differing);
        }
    }
    DestroyWindow(window);
}
