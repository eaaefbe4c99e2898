#include "controls/GradientBands.h"

#include <gtest/gtest.h>

#include "DibCanvas.h"
#include "support/Fixtures.h"
#include "support/GdiCount.h"

namespace {

const COLORREF BACKGROUND = RGB(1, 2, 3);

TEST(GradientBands, TenStepsOverHundredPixelsGiveTenBandsOfTen)
{
    DibCanvas canvas(120, 20, BACKGROUND);
    ASSERT_TRUE(canvas.Valid());
    FillGradientBands(canvas.Dc(), 10, 5, 110, 15, RGB(0, 0, 0), RGB(0, 0, 10), FALSE);
    for (int x = 0; x < 100; ++x) {
        for (int y : {5, 10, 14})
            EXPECT_EQ(RGB(0, 0, x / 10), canvas.At(10 + x, y)) << "offset " << x << " row " << y;
    }
    // Nothing outside the rectangle.
    EXPECT_EQ(BACKGROUND, canvas.At(9, 10));
    EXPECT_EQ(BACKGROUND, canvas.At(110, 10));
    EXPECT_EQ(BACKGROUND, canvas.At(50, 4));
    EXPECT_EQ(BACKGROUND, canvas.At(50, 15));
}

TEST(GradientBands, LastPixelStaysUnpaintedWhenBandsDoNotDivideTheLength)
{
    DibCanvas canvas(20, 4, BACKGROUND);
    ASSERT_TRUE(canvas.Valid());
    FillGradientBands(canvas.Dc(), 0, 0, 10, 4, RGB(0, 0, 0), RGB(0, 0, 3), FALSE);
    for (int x = 0; x < 9; ++x)
        EXPECT_EQ(RGB(0, 0, x / 3), canvas.At(x, 2)) << "offset " << x;
    EXPECT_EQ(BACKGROUND, canvas.At(9, 2));
}

TEST(GradientBands, VerticalDirectionPaintsHorizontalStripesAndNeverTheEndColour)
{
    DibCanvas canvas(8, 40, BACKGROUND);
    ASSERT_TRUE(canvas.Valid());
    // Red falls by 4 over 40 rows: four bands of ten rows, 200, 199, 198, 197.
    FillGradientBands(canvas.Dc(), 1, 0, 7, 40, RGB(200, 50, 0), RGB(196, 50, 2), TRUE);
    for (int y = 0; y < 40; ++y) {
        const int band = y / 10;
        // Blue steps by 0.5 per band and is truncated.
        const COLORREF expected = RGB(200 - band, 50, band / 2);
        EXPECT_EQ(expected, canvas.At(1, y)) << "row " << y;
        EXPECT_EQ(expected, canvas.At(6, y)) << "row " << y;
    }
    EXPECT_EQ(BACKGROUND, canvas.At(0, 20));
    EXPECT_EQ(BACKGROUND, canvas.At(7, 20));
}

TEST(GradientBands, ShortRectangleGetsOneBandPerPixel)
{
    DibCanvas canvas(10, 2, BACKGROUND);
    ASSERT_TRUE(canvas.Valid());
    // A difference of 100 over 5 pixels: 5 bands, steps of 20.
    FillGradientBands(canvas.Dc(), 0, 0, 5, 2, RGB(0, 100, 0), RGB(0, 0, 0), FALSE);
    for (int x = 0; x < 5; ++x)
        EXPECT_EQ(RGB(0, 100 - 20 * x, 0), canvas.At(x, 1)) << "pixel " << x;
    EXPECT_EQ(BACKGROUND, canvas.At(5, 1));
}

TEST(GradientBands, EqualColoursAndEmptyRectanglesPaintNothing)
{
    DibCanvas canvas(30, 30, BACKGROUND);
    ASSERT_TRUE(canvas.Valid());
    const RECT all = {0, 0, 30, 30};
    FillGradientBands(canvas.Dc(), 0, 0, 30, 30, RGB(9, 9, 9), RGB(9, 9, 9), FALSE);
    FillGradientBands(canvas.Dc(), 0, 0, 30, 30, RGB(9, 9, 9), RGB(9, 9, 9), TRUE);
    FillGradientBands(canvas.Dc(), 10, 0, 10, 30, RGB(0, 0, 0), RGB(255, 255, 255), FALSE);
    FillGradientBands(canvas.Dc(), 20, 0, 10, 30, RGB(0, 0, 0), RGB(255, 255, 255), FALSE);
    FillGradientBands(canvas.Dc(), 0, 20, 30, 5, RGB(0, 0, 0), RGB(255, 255, 255), TRUE);
    EXPECT_EQ(0, canvas.CountNot(all, BACKGROUND));
}

TEST(GradientBands, FullRangeLeavesNoBrushBehind)
{
    DibCanvas canvas(300, 4, BACKGROUND);
    ASSERT_TRUE(canvas.Valid());
    const DWORD before = fixtures::LiveGdiObjectCount();
    // The count sees a single brush, so a leak cannot hide.
    HBRUSH probe = CreateSolidBrush(RGB(1, 1, 1));
    EXPECT_EQ(before + 1, fixtures::LiveGdiObjectCount());
    DeleteObject(probe);
    for (int i = 0; i < 20; ++i)
        FillGradientBands(canvas.Dc(), 0, 0, 300, 4, RGB(255, 0, 0), RGB(0, 0, 255), FALSE);
    EXPECT_EQ(before, fixtures::LiveGdiObjectCount());
    // 255 bands over 300 pixels: the first is pure red, the last one step short of blue.
    EXPECT_EQ(RGB(255, 0, 0), canvas.At(0, 0));
    EXPECT_EQ(RGB(1, 0, 254), canvas.At(298, 0));
}

}  // namespace
