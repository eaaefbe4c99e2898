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
#include "resource.h"

namespace {

TEST(ButtonFace, EveryStateHasItsOwnFaceInsideTheItem)
{
    const RECT item = {10, 10, 90, 40};
    const COLORREF mark = RGB(10, 200, 30);
    // Normal, hovered, pressed, focused (the focus frame alone tells it from default), default, disabled.
    const ButtonFaceState states[] = {{FALSE, FALSE, FALSE, FALSE, FALSE}, {TRUE, FALSE, FALSE, FALSE, FALSE},
                                      {TRUE, TRUE, FALSE, FALSE, FALSE},   {FALSE, FALSE, TRUE, FALSE, FALSE},
                                      {FALSE, FALSE, FALSE, FALSE, TRUE},  {FALSE, FALSE, FALSE, TRUE, FALSE}};
    std::vector<std::unique_ptr<DibCanvas>> faces;
    for (const ButtonFaceState& state : states) {
        SCOPED_TRACE(faces.size());
        faces.emplace_back(new DibCanvas(100, 50));
        const DibCanvas& face = *faces.back();
        SetPixel(face.Dc(), item.right - 1, item.top, mark);
        PaintCustomFace(face.Dc(), item, state);
        for (size_t i = 0; i + 1 < faces.size(); ++i)
            EXPECT_GT(face.Differences(*faces[i]), 0) << "same face as state " << i;
        // Nothing outside the item; its top-right pixel keeps what was there.
        EXPECT_EQ(face.CountNot(face.Whole(), BACKGROUND), face.CountNot(item, BACKGROUND));
        EXPECT_EQ(mark, face.At(item.right - 1, item.top));
    }
}

TEST(ButtonContent, CaptionAndIconAreCentredShiftWhenPressedAndChangeWhenDisabled)
{
    CPageButton button;
    ASSERT_EQ(0, button.SetIcons(IDI_HELP_LINK, 0));
    RECT caption;
    const struct {
        const char* name;
        RECT area;
        std::function<void(HDC, const RECT&, BOOL, BOOL)> paint;
        int minHeight;  // a long caption wraps into more lines
    } contents[] = {
        {"caption", {10, 5, 110, 55},
         [](HDC dc, const RECT& area, BOOL down, BOOL dim) {
             PaintButtonCaption(dc, "OK", area, down, dim, RGB(200, 0, 0), {1, 1});
         }, 1},
        {"long caption", {20, 0, 100, 60},
         [](HDC dc, const RECT& area, BOOL down, BOOL dim) {
             PaintButtonCaption(dc, "Remove the selected entry", area, down, dim, RGB(200, 0, 0), {1, 1});
         }, 30},
        {"icon", {10, 5, 110, 55},
         [&](HDC dc, const RECT& area, BOOL down, BOOL dim) {
             PaintButtonIcon(dc, button.Icon(), FALSE, area, &caption, down, dim, {1, 1});
         }, 1},
    };
    for (const auto& c : contents) {
        SCOPED_TRACE(c.name);
        DibCanvas up(120, 60), down(120, 60), dim(120, 60);
        c.paint(up.Dc(), c.area, FALSE, FALSE);
        c.paint(down.Dc(), c.area, TRUE, FALSE);
        c.paint(dim.Dc(), c.area, FALSE, TRUE);
        RECT box = up.Painted(), inside;
        ASSERT_GE(box.bottom - box.top, c.minHeight);
        EXPECT_TRUE(IntersectRect(&inside, &box, &c.area) && EqualRect(&inside, &box));
        EXPECT_LE(std::abs((box.left - c.area.left) - (c.area.right - box.right)), 3);
        EXPECT_LE(std::abs((box.top - c.area.top) - (c.area.bottom - box.bottom)), 6);
        OffsetRect(&box, 1, 1);
        EXPECT_EQ(box, down.Painted());
        EXPECT_GT(dim.Differences(up), 10);
    }
}

TEST(GradientBands, RunFromTheFirstColourTowardsTheSecondInSolidBands)
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
        {"uneven bands, the last pixel left out", {0, 0, 10, 4}, RGB(0, 0, 0), RGB(0, 0, 3), FALSE, 3},
        {"equal colours", {0, 0, 30, 30}, RGB(9, 9, 9), RGB(9, 9, 9), TRUE, 0},
        {"empty", {10, 0, 10, 30}, RGB(0, 0, 0), RGB(255, 255, 255), FALSE, 0},
        {"inverted", {0, 20, 30, 5}, RGB(0, 0, 0), RGB(255, 255, 255), TRUE, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RECT& r = c.rect;
        DibCanvas canvas(120, 50);
        FillGradientBands(canvas.Dc(), r.left, r.top, r.right, r.bottom, c.from, c.to, c.vertical);
        EXPECT_EQ(canvas.CountNot(canvas.Whole(), BACKGROUND), c.bands ? canvas.CountNot(r, BACKGROUND) : 0);
        if (!c.bands)
            continue;
        // Solid across the direction, and at most the last pixel along it left out.
        const POINT along = c.vertical ? POINT{0, 1} : POINT{1, 0};
        EXPECT_EQ(0, canvas.Count(r, [&](int x, int y) {
            return canvas.At(x, y) != canvas.At(c.vertical ? r.left : x, c.vertical ? y : r.top);
        }));
        EXPECT_EQ(0, canvas.Count({r.left, r.top, r.right - along.x, r.bottom - along.y},
                                  [&](int x, int y) { return canvas.At(x, y) == BACKGROUND; }));
        // The first colour first, then each channel ever nearer the second, never reaching it.
        std::set<COLORREF> colours;
        auto gap = [&](COLORREF colour, int shift) {
            return std::abs(int(colour >> shift & 0xFF) - int(c.to >> shift & 0xFF));
        };
        COLORREF before = c.from;
        for (int x = r.left, y = r.top; x < r.right && y < r.bottom && canvas.At(x, y) != BACKGROUND;
             x += along.x, y += along.y) {
            for (int shift : {0, 8, 16})
                EXPECT_LE(gap(canvas.At(x, y), shift), gap(before, shift));
            colours.insert(before = canvas.At(x, y));
        }
        EXPECT_EQ(c.from, canvas.At(r.left, r.top));
        EXPECT_EQ(c.bands, colours.size());
        EXPECT_EQ(0u, colours.count(c.to));
    }
}

}  // namespace
