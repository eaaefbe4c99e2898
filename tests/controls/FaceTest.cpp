// What the user sees of the button's face, caption and icon and of the gradient
// bands, read back from the pixels they paint.
#include "controls/GradientBands.h"
#include "controls/PageButton.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <set>
#include <vector>

#include "DibCanvas.h"
#include "framework/GdiObjects.h"
#include "resource.h"

namespace {

const RECT ITEM = {10, 10, 90, 40};  // on a 100 x 50 canvas
const COLORREF MARK = RGB(10, 200, 30);

// True when each colour channel moves one way only over count pixels from start.
bool Monotonic(const DibCanvas& canvas, POINT start, POINT step, int count)
{
    for (int shift : {0, 8, 16}) {
        int rising = 0, falling = 0;
        for (int i = 1; i < count; ++i) {
            const int now = (canvas.At(start.x + i * step.x, start.y + i * step.y) >> shift) & 0xFF;
            const int before = (canvas.At(start.x + (i - 1) * step.x, start.y + (i - 1) * step.y) >> shift) & 0xFF;
            rising += now > before;
            falling += now < before;
        }
        if (rising && falling)
            return false;
    }
    return true;
}

TEST(ButtonFace, EveryStateHasItsOwnGradientFaceInsideTheItem)
{
    const ButtonFaceState states[] = {
        {FALSE, FALSE, FALSE, FALSE, FALSE}, {TRUE, FALSE, FALSE, FALSE, FALSE}, {TRUE, TRUE, FALSE, FALSE, FALSE},
        {FALSE, FALSE, TRUE, FALSE, FALSE},  {FALSE, FALSE, FALSE, FALSE, TRUE}, {FALSE, FALSE, FALSE, TRUE, FALSE},
    };
    std::vector<std::unique_ptr<DibCanvas>> faces;
    for (const ButtonFaceState& state : states) {
        SCOPED_TRACE(faces.size());
        faces.emplace_back(new DibCanvas(100, 50));
        const DibCanvas& face = *faces.back();
        SetPixel(face.Dc(), ITEM.right - 1, ITEM.top, MARK);
        PaintCustomFace(face.Dc(), ITEM, state);
        for (size_t i = 0; i + 1 < faces.size(); ++i)
            EXPECT_GT(face.Differences(*faces[i]), 0) << "same face as state " << i;
        // Nothing outside the item; its top-right pixel keeps what was there.
        EXPECT_EQ(face.CountNot(face.Whole(), BACKGROUND), face.CountNot(ITEM, BACKGROUND));
        EXPECT_EQ(MARK, face.At(ITEM.right - 1, ITEM.top));
        // The sunken edge at the left shows only while enabled.
        EXPECT_EQ(!state.disabled, face.At(ITEM.left, 25) != BACKGROUND);
        // The body runs from one colour to another down the face; disabled, it is flat.
        EXPECT_TRUE(Monotonic(face, {50, ITEM.top + 4}, {0, 1}, ITEM.bottom - ITEM.top - 9));
        EXPECT_EQ(!state.disabled, face.At(50, ITEM.top + 4) != face.At(50, ITEM.bottom - 6));
    }
    // The focus shows as a dotted frame inside the face (focused and default differ in it alone).
    const DibCanvas &focused = *faces[3], &byDefault = *faces[4];
    auto differs = [&](int x, int y) { return focused.At(x, y) != byDefault.At(x, y); };
    RECT frame = focused.Bounds(differs);
    EXPECT_GT(frame.left, ITEM.left + 1);
    EXPECT_GT(frame.top, ITEM.top + 1);
    EXPECT_LT(frame.right, ITEM.right - 1);
    EXPECT_LT(frame.bottom, ITEM.bottom - 1);
    EXPECT_GT(focused.Count(frame, differs), 2 * ((frame.right - frame.left) + (frame.bottom - frame.top)) / 3);
    InflateRect(&frame, -1, -1);
    EXPECT_EQ(0, focused.Count(frame, differs));
}

// Text without antialiasing, so it has exactly the colours it is drawn in.
class ContentCanvas : public DibCanvas {
public:
    ContentCanvas() : DibCanvas(120, 60) {}

private:
    OwnedGdi<HFONT> font{
        CreateFontA(-14, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, NONANTIALIASED_QUALITY, 0, "Arial")};
    SelectedObject selected{Dc(), font};
};

TEST(ButtonContent, CaptionAndIconAreCentredShiftWhenPressedAndEmbossWhenDisabled)
{
    const RECT area = {10, 5, 110, 55};
    const COLORREF ink = RGB(200, 0, 0), shadow = GetSysColor(COLOR_BTNSHADOW);
    CPageButton button;
    ASSERT_EQ(0, button.SetIcons(IDI_HELP_LINK, 0));
    const struct {
        const char* name;
        std::function<void(HDC, BOOL, BOOL)> paint;
    } contents[] = {
        {"caption", [&](HDC dc, BOOL down, BOOL dim) { PaintButtonCaption(dc, "OK", area, down, dim, ink, {1, 1}); }},
        {"icon",
         [&](HDC dc, BOOL down, BOOL dim) {
             RECT caption = area;
             PaintButtonIcon(dc, button.Icon(), FALSE, area, &caption, down, dim, {1, 1});
         }},
    };
    for (const auto& content : contents) {
        SCOPED_TRACE(content.name);
        ContentCanvas up, down, dim;
        content.paint(up.Dc(), FALSE, FALSE);
        content.paint(down.Dc(), TRUE, FALSE);
        content.paint(dim.Dc(), FALSE, TRUE);
        const RECT box = up.Painted();
        ASSERT_LT(box.left, box.right) << "nothing drawn";
        EXPECT_LE(std::abs((box.left - area.left) - (area.right - box.right)), 3);
        EXPECT_LE(std::abs((box.top - area.top) - (area.bottom - box.bottom)), 6);
        EXPECT_EQ(Shifted(box, 1, 1), down.Painted());
        EXPECT_GT(dim.Differences(up), 10);
        EXPECT_GT(dim.Count(area, [&](int x, int y) { return dim.At(x, y) == shadow; }), 0);
    }
    // The caption uses its colour alone; disabled, a highlight copy lies one pixel
    // right and down of the shadow copy. A long caption wraps inside its rectangle.
    ContentCanvas enabled, disabled, wrapped;
    PaintButtonCaption(enabled.Dc(), "OK", area, FALSE, FALSE, ink, {1, 1});
    PaintButtonCaption(disabled.Dc(), "OK", area, FALSE, TRUE, ink, {1, 1});
    auto inColour = [](const DibCanvas& canvas, COLORREF colour) {
        return canvas.Bounds([&](int x, int y) { return canvas.At(x, y) == colour; });
    };
    EXPECT_EQ(enabled.Painted(), inColour(enabled, ink));
    EXPECT_EQ(Shifted(inColour(disabled, shadow), 1, 1), inColour(disabled, GetSysColor(COLOR_BTNHIGHLIGHT)));
    EXPECT_EQ(-1, inColour(disabled, ink).right);
    PaintButtonCaption(wrapped.Dc(), "Remove the selected entry", {30, 0, 90, 60}, FALSE, FALSE, ink, {1, 1});
    const RECT lines = wrapped.Painted();
    EXPECT_TRUE(lines.left >= 30 && lines.right <= 90 && lines.bottom - lines.top > 30);
}

TEST(GradientBands, RunFromTheFirstColourTowardsTheSecondInSolidStripes)
{
    const struct {
        const char* name;
        RECT rect;
        COLORREF from, to;
        BOOL vertical;
        size_t bands;  // one per colour step, at most one per pixel
    } cases[] = {
        {"left to right", {10, 5, 110, 15}, RGB(0, 0, 0), RGB(0, 0, 10), FALSE, 10},
        {"top to bottom", {1, 2, 7, 42}, RGB(200, 50, 0), RGB(196, 50, 2), TRUE, 4},
        {"more steps than pixels", {0, 0, 5, 2}, RGB(0, 100, 0), RGB(0, 0, 0), FALSE, 5},
        {"full range", {0, 0, 300, 4}, RGB(255, 0, 0), RGB(0, 0, 255), FALSE, 255},
        {"uneven bands", {0, 0, 10, 4}, RGB(0, 0, 0), RGB(0, 0, 3), FALSE, 3},
        {"equal colours", {0, 0, 30, 30}, RGB(9, 9, 9), RGB(9, 9, 9), TRUE, 0},
        {"empty", {10, 0, 10, 30}, RGB(0, 0, 0), RGB(255, 255, 255), FALSE, 0},
        {"inverted", {0, 20, 30, 5}, RGB(0, 0, 0), RGB(255, 255, 255), TRUE, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RECT& r = c.rect;
        DibCanvas canvas(320, 50);
        FillGradientBands(canvas.Dc(), r.left, r.top, r.right, r.bottom, c.from, c.to, c.vertical);
        EXPECT_EQ(canvas.CountNot(canvas.Whole(), BACKGROUND), c.bands ? canvas.CountNot(r, BACKGROUND) : 0);
        if (!c.bands)
            continue;
        // Solid across the direction; along it the first colour first, one stripe per
        // band, monotonic, never the second colour, at most the last pixel left out.
        EXPECT_EQ(0, canvas.Count(r, [&](int x, int y) {
            return canvas.At(x, y) != (c.vertical ? canvas.At(r.left, y) : canvas.At(x, r.top));
        }));
        const POINT along = c.vertical ? POINT{0, 1} : POINT{1, 0};
        const int length = c.vertical ? r.bottom - r.top : r.right - r.left;
        std::set<COLORREF> colours;
        for (int i = 0; i < length; ++i)
            colours.insert(canvas.At(r.left + i * along.x, r.top + i * along.y));
        const int unpainted = static_cast<int>(colours.erase(BACKGROUND));
        EXPECT_EQ(c.from, canvas.At(r.left, r.top));
        EXPECT_EQ(c.bands, colours.size());
        EXPECT_EQ(0u, colours.count(c.to));
        EXPECT_EQ(0, canvas.Count({r.left, r.top, r.right - along.x, r.bottom - along.y},
                                  [&](int x, int y) { return canvas.At(x, y) == BACKGROUND; }));
        EXPECT_TRUE(Monotonic(canvas, {r.left, r.top}, along, length - unpainted));
    }
}

}  // namespace
