#include "controls/Picture.h"

#include <gtest/gtest.h>

#include "DibCanvas.h"
#include "framework/WinApp.h"
#include "framework/Wnd.h"
#include "resource.h"
#include "support/Fixtures.h"
#include "support/GdiCount.h"
#include "support/MessageBoxAnswerer.h"

namespace {

const COLORREF BACKGROUND = RGB(1, 2, 3);
const char ERROR_CAPTION[] = "CPicture Error";

// A 2 x 2 GIF: the top row red, the bottom row blue.
const unsigned char TWO_ROWS_GIF[] = {
    0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x02, 0x00, 0x02, 0x00, 0x81, 0x00, 0x00, 0xFF, 0x00,
    0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00,
    0x02, 0x00, 0x02, 0x00, 0x00, 0x02, 0x04, 0x04, 0xC1, 0x30, 0x05, 0x00, 0x3B};

TEST(Picture, BannerResourceLoadsAndFillsTheRectangle)
{
    fixtures::MessageBoxAnswerer answerer(IDOK);
    CPicture picture;
    EXPECT_FALSE(picture.HasPicture());
    ASSERT_TRUE(picture.LoadFromResource(IDR_BANNER, "GIF"));
    EXPECT_TRUE(picture.HasPicture());

    DibCanvas canvas(740, 80, BACKGROUND);
    ASSERT_TRUE(canvas.Valid());
    const RECT target = {5, 6, 5 + 729, 6 + 68};
    EXPECT_TRUE(picture.Draw(canvas.Dc(), target));
    // The banner covers the rectangle and nothing outside it.
    EXPECT_GT(canvas.CountNot(target, BACKGROUND), 729 * 68 * 9 / 10);
    const RECT left = {0, 0, 5, 80}, top = {0, 0, 740, 6}, right = {734, 0, 740, 80}, bottom = {0, 74, 740, 80};
    EXPECT_EQ(0, canvas.CountNot(left, BACKGROUND));
    EXPECT_EQ(0, canvas.CountNot(top, BACKGROUND));
    EXPECT_EQ(0, canvas.CountNot(right, BACKGROUND));
    EXPECT_EQ(0, canvas.CountNot(bottom, BACKGROUND));
    EXPECT_EQ(0u, answerer.Count());
}

TEST(Picture, PictureIsDrawnUprightAndStretched)
{
    CPicture picture;
    ASSERT_TRUE(picture.LoadFromMemory(TWO_ROWS_GIF, sizeof(TWO_ROWS_GIF)));
    ASSERT_TRUE(picture.HasPicture());
    DibCanvas canvas(40, 40, BACKGROUND);
    ASSERT_TRUE(canvas.Valid());
    const RECT target = {10, 10, 30, 30};
    ASSERT_TRUE(picture.Draw(canvas.Dc(), target));
    EXPECT_EQ(RGB(255, 0, 0), canvas.At(10, 10));
    EXPECT_EQ(RGB(255, 0, 0), canvas.At(29, 19));
    EXPECT_EQ(RGB(0, 0, 255), canvas.At(10, 20));
    EXPECT_EQ(RGB(0, 0, 255), canvas.At(29, 29));
    EXPECT_EQ(BACKGROUND, canvas.At(9, 15));
    EXPECT_EQ(BACKGROUND, canvas.At(30, 25));
    EXPECT_EQ(BACKGROUND, canvas.At(15, 30));
}

TEST(Picture, NothingIsDrawnWithoutContextOrPicture)
{
    CPicture picture;
    DibCanvas canvas(10, 10, BACKGROUND);
    const RECT target = {0, 0, 10, 10};
    EXPECT_FALSE(picture.Draw(canvas.Dc(), target));
    ASSERT_TRUE(picture.LoadFromMemory(TWO_ROWS_GIF, sizeof(TWO_ROWS_GIF)));
    EXPECT_FALSE(picture.Draw(nullptr, target));
    picture.ReleasePicture();
    EXPECT_FALSE(picture.HasPicture());
    EXPECT_FALSE(picture.Draw(canvas.Dc(), target));
    EXPECT_EQ(0, canvas.CountNot(target, BACKGROUND));
}

TEST(Picture, MissingResourceIsReportedAndReleasesTheEarlierPicture)
{
    fixtures::MessageBoxAnswerer answerer(IDOK);
    CPicture picture;
    ASSERT_TRUE(picture.LoadFromMemory(TWO_ROWS_GIF, sizeof(TWO_ROWS_GIF)));
    ASSERT_TRUE(picture.HasPicture());

    EXPECT_FALSE(picture.LoadFromResource(4321, "GIF"));
    EXPECT_FALSE(picture.HasPicture());
    ASSERT_EQ(1u, answerer.Count());
    EXPECT_EQ("FindResource() Failed\t", answerer.Boxes()[0].text);
    EXPECT_EQ(ERROR_CAPTION, answerer.Boxes()[0].caption);
    // Only the low 16 bits name the resource.
    EXPECT_TRUE(picture.LoadFromResource(0x10000 + IDR_BANNER, "GIF"));
    EXPECT_EQ(1u, answerer.Count());
}

TEST(Picture, ErrorBoxIsOwnedByTheMainWindow)
{
    CWinApp app("PictureTest");
    CWnd main;
    const RECT rect = {0, 0, 200, 100};
    ASSERT_TRUE(main.CreateEx(0, nullptr, "main", WS_OVERLAPPEDWINDOW, rect, nullptr, 0));
    app.m_pMainWnd = &main;
    {
        fixtures::MessageBoxAnswerer answerer(IDOK);
        CPicture picture;
        EXPECT_FALSE(picture.LoadFromResource(4321, "GIF"));
        ASSERT_EQ(1u, answerer.Count());
        EXPECT_EQ(main.m_hWnd, answerer.Boxes()[0].owner);
    }
    app.m_pMainWnd = nullptr;
    main.DestroyWindow();
}

TEST(Picture, BytesThatAreNoPictureLoadNothingSilently)
{
    fixtures::MessageBoxAnswerer answerer(IDOK);
    CPicture picture;
    const char junk[] = "this is not a picture at all, just some text bytes";
    // Handed to the decoder, but no picture results.
    EXPECT_TRUE(picture.LoadFromMemory(junk, sizeof(junk)));
    EXPECT_FALSE(picture.HasPicture());
    EXPECT_FALSE(picture.LoadFromMemory(junk, 0));
    // An existing resource that is not a picture (the manifest).
    EXPECT_FALSE(picture.LoadFromResource(1, MAKEINTRESOURCEA(24)));
    EXPECT_FALSE(picture.HasPicture());
    EXPECT_EQ(0u, answerer.Count());
}

TEST(Picture, ThousandLoadsAndPaintsLeakNothing)
{
    DibCanvas canvas(100, 20, BACKGROUND);
    ASSERT_TRUE(canvas.Valid());
    const RECT target = {0, 0, 100, 20};
    CPicture picture;
    // Warm up once: the decoder keeps some objects of its own.
    ASSERT_TRUE(picture.LoadFromResource(IDR_BANNER, "GIF"));
    picture.Draw(canvas.Dc(), target);
    const DWORD gdi = fixtures::LiveGdiObjectCount();
    for (int i = 0; i < 1000; ++i)
        ASSERT_TRUE(picture.Draw(canvas.Dc(), target));
    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(picture.LoadFromResource(IDR_BANNER, "GIF"));
    picture.Draw(canvas.Dc(), target);
    EXPECT_EQ(gdi, fixtures::LiveGdiObjectCount());
}

}  // namespace
