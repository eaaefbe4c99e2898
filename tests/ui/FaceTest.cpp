// What the user sees of the button's custom face and of the gradient bands, read
// back from the pixels they paint.
#include "ui/ButtonFace.h"
#include "ui/GradientBands.h"

#include <gtest/gtest.h>

#include <set>

#include "support/DibCanvas.h"

namespace {

TEST(ButtonFace, EveryStateHasItsOwnFaceInsideTheItem)
{
    const RECT item = {10, 10, 90, 40};
    const COLORREF mark = RGB(10, 200, 30);
    // Normal, hovered, pressed, focused (the focus frame alone tells it from default), default, disabled.
    const ButtonFaceState states[] = {{FALSE, FALSE, FALSE, FALSE, FALSE}, {TRUE, FALSE, FALSE, FALSE, FALSE},
        {TRUE, TRUE, FALSE, FALSE, FALSE}, {FALSE, FALSE, TRUE, FALSE, FALSE}, {FALSE, FALSE, FALSE, FALSE, TRUE},
        {FALSE, FALSE, FALSE, TRUE, FALSE}};
    DibCanvas faces[6] = {{100, 50}, {100, 50}, {100, 50}, {100, 50}, {100, 50}, {100, 50}};
    for (int n = 0; n < 6; ++n) {
        SCOPED_TRACE(n);
        SetPixel(faces[n].Dc(), item.right - 1, item.top, mark);
        PaintCustomFace(faces[n].Dc(), item, states[n]);
        for (int i = 0; i < n; ++i)
            EXPECT_GT(faces[n].Differences(faces[i]), 0) << "same face as state " << i;
        // Nothing outside the item; its top-right pixel keeps what was there.
        EXPECT_EQ(faces[n].CountNot(faces[n].Whole(), BACKGROUND), faces[n].CountNot(item, BACKGROUND));
        EXPECT_EQ(mark, faces[n].At(item.right - 1, item.top));
    }
}

TEST(GradientBands, RunFromTheFirstColourInOneSolidBandPerStepShortOfTheSecond)
{
    const COLORREF from = RGB(90, 50, 0);
    const struct {
        RECT r;
        COLORREF to;
        BOOL vertical;
        size_t bands;  // one per colour step, at most one per pixel
    } cases[] = {
        {{10, 5, 110, 15}, RGB(90, 50, 10), FALSE, 10},  // ten bands of ten pixels
        {{1, 2, 7, 42}, RGB(86, 50, 2), TRUE, 4},
        {{0, 0, 10, 4}, RGB(90, 50, 3), FALSE, 3},  // the last pixel left out
        {{0, 0, 5, 2}, RGB(0, 50, 0), FALSE, 5},    // more steps than pixels
        {{0, 0, 30, 30}, from, TRUE, 0},
        {{10, 0, 10, 30}, RGB(255, 255, 255), FALSE, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.r.left << "," << c.r.top << "," << c.r.right << "," << c.r.bottom);
        const RECT& r = c.r;
        DibCanvas canvas(120, 50);
        FillGradientBands(canvas.Dc(), r.left, r.top, r.right, r.bottom, from, c.to, c.vertical);
        EXPECT_EQ(canvas.CountNot(canvas.Whole(), BACKGROUND), c.bands ? canvas.CountNot(r, BACKGROUND) : 0);
        if (!c.bands)
            continue;
        // Each band is one colour across the whole rectangle; at most the last pixel along it is left out.
        const RECT filled = {r.left, r.top, r.right - (c.vertical ? 0 : 1), r.bottom - (c.vertical ? 1 : 0)};
        std::set<COLORREF> colours;
        canvas.Count(r, [&](int x, int y) { return colours.insert(canvas.At(x, y)).second; });
        colours.erase(BACKGROUND);
        EXPECT_EQ(0, canvas.Count(filled, [&](int x, int y) { return canvas.At(x, y) == BACKGROUND; }));
        EXPECT_EQ(from, canvas.At(r.left, r.top));
        EXPECT_EQ(c.bands, colours.size());
        EXPECT_EQ(0u, colours.count(c.to));
    }
}

}  // namespace
