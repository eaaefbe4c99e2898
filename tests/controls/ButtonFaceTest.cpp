#include "controls/ButtonFace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "DibCanvas.h"
#include "resource.h"
#include "support/Fixtures.h"
#include "support/GdiCount.h"

namespace {

const COLORREF BACKGROUND = RGB(1, 2, 3);
const COLORREF CORNER_MARK = RGB(10, 200, 30);
// The button occupies (L, T)-(R, B) of a larger canvas.
const int L = 10, T = 10, R = 90, B = 40;
const RECT ITEM = {L, T, R, B};

ButtonFaceState Normal()
{
    return ButtonFaceState{FALSE, FALSE, FALSE, FALSE, FALSE};
}

bool Near(COLORREF a, COLORREF b, int tolerance)
{
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

// The ring's colour on row y, between its top colour and its bottom colour.
COLORREF RingAt(int y, COLORREF top, COLORREF bottom)
{
    const double f = static_cast<double>(y - (T + 2)) / ((B - 2) - (T + 2));
    return RGB(GetRValue(top) + (GetRValue(bottom) - GetRValue(top)) * f,
               GetGValue(top) + (GetGValue(bottom) - GetGValue(top)) * f,
               GetBValue(top) + (GetBValue(bottom) - GetBValue(top)) * f);
}

class FaceCanvas : public DibCanvas {
public:
    FaceCanvas() : DibCanvas(100, 50, BACKGROUND) { Set(R - 1, T, CORNER_MARK); }
    void Paint(const ButtonFaceState& state) { PaintCustomFace(Dc(), ITEM, state); }
};

struct FaceCase {
    const char* name;
    ButtonFaceState state;
    COLORREF ringTop;
    COLORREF ringBottom;
    COLORREF bodyTop;
    bool ringOnLeft;
};

TEST(ButtonFace, RingBodyAndOutlineColoursOfEveryState)
{
    const FaceCase cases[] = {
        {"normal", Normal(), RGB(255, 255, 255), RGB(226, 223, 214), RGB(252, 252, 251), false},
        {"default", {FALSE, FALSE, FALSE, FALSE, TRUE}, RGB(206, 231, 255), RGB(105, 130, 238), RGB(252, 252, 251), true},
        {"focused", {FALSE, FALSE, TRUE, FALSE, FALSE}, RGB(206, 231, 255), RGB(105, 130, 238), RGB(252, 252, 251), true},
        {"hot", {TRUE, FALSE, FALSE, FALSE, TRUE}, RGB(255, 240, 207), RGB(229, 151, 0), RGB(252, 252, 251), true},
        {"pressed", {TRUE, TRUE, FALSE, FALSE, FALSE}, RGB(209, 204, 193), RGB(242, 241, 238), RGB(229, 228, 221), true},
        {"disabled", {TRUE, TRUE, TRUE, TRUE, TRUE}, RGB(245, 244, 234), RGB(245, 244, 234), RGB(245, 244, 234), true},
    };
    for (const FaceCase& c : cases) {
        SCOPED_TRACE(c.name);
        FaceCanvas canvas;
        ASSERT_TRUE(canvas.Valid());
        canvas.Paint(c.state);
        // Ring: its top row carries exactly the top colour.
        EXPECT_EQ(c.ringTop, canvas.At(50, T + 2));
        EXPECT_TRUE(Near(canvas.At(R - 3, 25), RingAt(25, c.ringTop, c.ringBottom), 3));
        // Body starts two rows lower with its own colour.
        EXPECT_EQ(c.bodyTop, canvas.At(50, T + 4));
        // On the left the ring shows only outside the start state.
        const COLORREF left = canvas.At(L + 2, 25);
        if (c.ringOnLeft)
            EXPECT_TRUE(Near(left, RingAt(25, c.ringTop, c.ringBottom), 3)) << std::hex << left;
        else
            EXPECT_FALSE(Near(left, RingAt(25, c.ringTop, c.ringBottom), 3)) << std::hex << left;
        // Outer outline on the straight edges, one pixel inside the item.
        const COLORREF outer = c.state.disabled ? RGB(201, 199, 186) : RGB(0, 60, 116);
        EXPECT_EQ(outer, canvas.At(50, T + 1));
        EXPECT_EQ(outer, canvas.At(50, B - 2));
        EXPECT_EQ(outer, canvas.At(L + 1, 25));
        EXPECT_EQ(outer, canvas.At(R - 2, 25));
        // The inner outline survives at the corners only.
        const COLORREF inner = c.state.disabled ? RGB(216, 213, 199) : RGB(122, 149, 168);
        const RECT topLeft = {L + 1, T + 1, L + 5, T + 5};
        EXPECT_LT(canvas.CountNot(topLeft, inner), 16);
        // The top-right pixel keeps what was there; nothing outside the item changes.
        EXPECT_EQ(CORNER_MARK, canvas.At(R - 1, T));
        EXPECT_EQ(BACKGROUND, canvas.At(L - 1, 25));
        EXPECT_EQ(BACKGROUND, canvas.At(R, 25));
        EXPECT_EQ(BACKGROUND, canvas.At(50, T - 1));
        EXPECT_EQ(BACKGROUND, canvas.At(50, B));
    }
}

TEST(ButtonFace, GrooveIsPaintedOnlyWhenEnabled)
{
    FaceCanvas enabled;
    ASSERT_TRUE(enabled.Valid());
    enabled.Paint(Normal());
    EXPECT_EQ(RGB(226, 222, 203), enabled.At(L, 25));
    EXPECT_EQ(RGB(248, 247, 242), enabled.At(50, B - 1));
    EXPECT_EQ(RGB(220, 214, 194), enabled.At(50, T));
    // The left line stops short of the corners.
    EXPECT_EQ(BACKGROUND, enabled.At(L, T));
    EXPECT_EQ(BACKGROUND, enabled.At(L, B - 1));

    FaceCanvas disabled;
    ASSERT_TRUE(disabled.Valid());
    ButtonFaceState state = Normal();
    state.disabled = TRUE;
    disabled.Paint(state);
    EXPECT_EQ(BACKGROUND, disabled.At(L, 25));
    EXPECT_EQ(BACKGROUND, disabled.At(50, B - 1));
    EXPECT_EQ(BACKGROUND, disabled.At(50, T));
    EXPECT_EQ(CORNER_MARK, disabled.At(R - 1, T));
}

TEST(ButtonFace, FocusRectangleIsDrawnThreePixelsInside)
{
    // Focused and default share their colours; only the focus rectangle differs.
    FaceCanvas focused, plain;
    ASSERT_TRUE(focused.Valid() && plain.Valid());
    focused.Paint({FALSE, FALSE, TRUE, FALSE, FALSE});
    plain.Paint({FALSE, FALSE, FALSE, FALSE, TRUE});
    int onFrame = 0, offFrame = 0;
    for (int y = 0; y < focused.Height(); ++y) {
        for (int x = 0; x < focused.Width(); ++x) {
            if (focused.At(x, y) == plain.At(x, y))
                continue;
            const bool frame = (x == L + 3 || x == R - 4 || y == T + 3 || y == B - 4) && x >= L + 3 &&
                               x <= R - 4 && y >= T + 3 && y <= B - 4;
            (frame ? onFrame : offFrame)++;
        }
    }
    EXPECT_EQ(0, offFrame);
    // A dotted frame: about every other pixel of its perimeter.
    const int perimeter = 2 * ((R - L - 6) + (B - T - 6));
    EXPECT_GT(onFrame, perimeter / 3);
}

TEST(ButtonFace, ThousandPaintsLeakNoGdiObjects)
{
    FaceCanvas canvas;
    ASSERT_TRUE(canvas.Valid());
    const DWORD before = fixtures::LiveGdiObjectCount();
    for (int i = 0; i < 1000; ++i) {
        ButtonFaceState state = {i % 2, i % 3 == 0, i % 5 == 0, i % 7 == 0, i % 4 == 0};
        canvas.Paint(state);
    }
    EXPECT_EQ(before, fixtures::LiveGdiObjectCount());
}

// ---- Caption ----------------------------------------------------------------

// A bitmap-exact font, so the text has exactly the colours it is drawn in.
class CaptionCanvas : public DibCanvas {
public:
    CaptionCanvas() : DibCanvas(120, 60, BACKGROUND), font(nullptr), old(nullptr)
    {
        font = CreateFontA(-14, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, NONANTIALIASED_QUALITY, 0, "Arial");
        if (font)
            old = SelectObject(Dc(), font);
    }
    ~CaptionCanvas()
    {
        if (old)
            SelectObject(Dc(), old);
        if (font)
            DeleteObject(font);
    }
    // Bounding box of the pixels of one colour (or of all non-background pixels).
    RECT Bounds(COLORREF colour = CLR_INVALID) const
    {
        RECT box = {Width(), Height(), -1, -1};
        for (int y = 0; y < Height(); ++y) {
            for (int x = 0; x < Width(); ++x) {
                const COLORREF pixel = At(x, y);
                const bool hit = colour == CLR_INVALID ? pixel != BACKGROUND : pixel == colour;
                if (!hit)
                    continue;
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
        }
        return box;
    }

private:
    HFONT font;
    HGDIOBJ old;
};

const RECT CAPTION = {10, 5, 110, 55};
const POINT OFFSET = {1, 1};

TEST(ButtonCaption, IsCentredAndMovesWhenPressed)
{
    CaptionCanvas up, down;
    ASSERT_TRUE(up.Valid() && down.Valid());
    const COLORREF ink = RGB(200, 0, 0);
    PaintButtonCaption(up.Dc(), "OK", CAPTION, FALSE, FALSE, ink, OFFSET);
    PaintButtonCaption(down.Dc(), "OK", CAPTION, TRUE, FALSE, ink, OFFSET);

    const RECT box = up.Bounds();
    ASSERT_LT(box.left, box.right) << "nothing drawn";
    // Only the text colour is used.
    const RECT inked = up.Bounds(ink);
    EXPECT_EQ(box.left, inked.left);
    EXPECT_EQ(box.top, inked.top);
    EXPECT_EQ(box.right, inked.right);
    EXPECT_EQ(box.bottom, inked.bottom);
    // Centred both ways (glyph cells leave a few pixels of bearing).
    const int leftGap = box.left - CAPTION.left, rightGap = CAPTION.right - box.right;
    const int topGap = box.top - CAPTION.top, bottomGap = CAPTION.bottom - box.bottom;
    EXPECT_LE(std::abs(leftGap - rightGap), 3) << leftGap << " " << rightGap;
    EXPECT_LE(std::abs(topGap - bottomGap), 6) << topGap << " " << bottomGap;
    EXPECT_GT(topGap, 10);

    const RECT pressed = down.Bounds();
    EXPECT_EQ(box.left + 1, pressed.left);
    EXPECT_EQ(box.top + 1, pressed.top);
    EXPECT_EQ(box.right + 1, pressed.right);
    EXPECT_EQ(box.bottom + 1, pressed.bottom);
}

TEST(ButtonCaption, DisabledCaptionIsEmbossedInSystemColours)
{
    CaptionCanvas canvas;
    ASSERT_TRUE(canvas.Valid());
    const COLORREF ink = RGB(200, 0, 0);
    PaintButtonCaption(canvas.Dc(), "OK", CAPTION, FALSE, TRUE, ink, OFFSET);
    const COLORREF highlight = GetSysColor(COLOR_BTNHIGHLIGHT);
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    ASSERT_NE(highlight, shadow);
    const RECT light = canvas.Bounds(highlight);
    const RECT dark = canvas.Bounds(shadow);
    ASSERT_LT(light.left, light.right) << "no highlight";
    ASSERT_LT(dark.left, dark.right) << "no shadow";
    // The highlight copy lies one pixel right and down of the shadow copy.
    EXPECT_EQ(dark.right + 1, light.right);
    EXPECT_EQ(dark.bottom + 1, light.bottom);
    EXPECT_EQ(-1, canvas.Bounds(ink).right) << "the enabled colour must not be used";
}

TEST(ButtonCaption, LongCaptionWrapsInsideTheRectangle)
{
    CaptionCanvas canvas;
    ASSERT_TRUE(canvas.Valid());
    const RECT narrow = {30, 0, 90, 60};
    PaintButtonCaption(canvas.Dc(), "Remove the selected entry", narrow, FALSE, FALSE, RGB(0, 0, 0), OFFSET);
    const RECT box = canvas.Bounds();
    ASSERT_LT(box.left, box.right);
    EXPECT_GE(box.left, narrow.left);
    EXPECT_LE(box.right, narrow.right);
    EXPECT_GT(box.bottom - box.top, 30) << "expected several lines";
}

// ---- Icon -------------------------------------------------------------------

class IconTest : public testing::Test {
protected:
    void SetUp() override
    {
        icon.icon = static_cast<HICON>(
            LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_HELP_LINK), IMAGE_ICON, 0, 0, LR_DEFAULTCOLOR));
        icon.width = 16;
        icon.height = 16;
    }
    void TearDown() override
    {
        if (icon.icon)
            DestroyIcon(icon.icon);
    }
    // The icon's own pixels, drawn at (x, y) on a fresh canvas.
    RECT Reference(int x, int y)
    {
        CaptionCanvas canvas;
        DrawIconEx(canvas.Dc(), x, y, icon.icon, 0, 0, 0, nullptr, DI_NORMAL);
        return canvas.Bounds();
    }

    ButtonIcon icon = {nullptr, 0, 0};
};

TEST_F(IconTest, IconIsCentredAndMovesWhenPressed)
{
    ASSERT_NE(nullptr, icon.icon);
    const RECT item = {0, 0, 41, 31};
    // (41 - 16) / 2 = 12 and (31 - 16) / 2 = 7, rounding toward zero.
    const RECT expected = Reference(12, 7);
    ASSERT_LT(expected.left, expected.right);

    CaptionCanvas up, down;
    RECT caption = item;
    PaintButtonIcon(up.Dc(), icon, FALSE, item, &caption, FALSE, FALSE, OFFSET);
    PaintButtonIcon(down.Dc(), icon, FALSE, item, &caption, TRUE, FALSE, OFFSET);
    const RECT drawn = up.Bounds();
    EXPECT_EQ(expected.left, drawn.left);
    EXPECT_EQ(expected.top, drawn.top);
    EXPECT_EQ(expected.right, drawn.right);
    EXPECT_EQ(expected.bottom, drawn.bottom);
    const RECT pressed = down.Bounds();
    EXPECT_EQ(expected.left + 1, pressed.left);
    EXPECT_EQ(expected.top + 1, pressed.top);
    EXPECT_EQ(expected.right + 1, pressed.right);
    EXPECT_EQ(expected.bottom + 1, pressed.bottom);
}

TEST_F(IconTest, DisabledIconIsDrawnWithTheDisabledEffect)
{
    ASSERT_NE(nullptr, icon.icon);
    const RECT item = {0, 0, 40, 30};
    CaptionCanvas normal, disabled;
    RECT caption = item;
    PaintButtonIcon(normal.Dc(), icon, FALSE, item, &caption, FALSE, FALSE, OFFSET);
    PaintButtonIcon(disabled.Dc(), icon, FALSE, item, &caption, FALSE, TRUE, OFFSET);
    const RECT area = {0, 0, 40, 30};
    int differing = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            differing += normal.At(x, y) != disabled.At(x, y) ? 1 : 0;
    EXPECT_GT(differing, 10);
    // Embossed in the system's highlight and shadow colours.
    EXPECT_GT(area.right * area.bottom - disabled.CountNot(area, GetSysColor(COLOR_BTNSHADOW)), 0);
}

TEST_F(IconTest, WithCaptionTheIconSitsLeftAndTheCaptionFollowsIt)
{
    ASSERT_NE(nullptr, icon.icon);
    const RECT item = {0, 0, 100, 30};
    CaptionCanvas canvas;
    RECT caption = item;
    PaintButtonIcon(canvas.Dc(), icon, TRUE, item, &caption, FALSE, FALSE, OFFSET);
    const RECT drawn = canvas.Bounds();
    ASSERT_LT(drawn.left, drawn.right);
    EXPECT_LT(drawn.right, 30);
    EXPECT_GE(caption.left, drawn.right);
}

}  // namespace
