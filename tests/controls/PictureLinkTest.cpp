#include "controls/PictureLink.h"

#include <gtest/gtest.h>

#include "DibCanvas.h"
#include "resource.h"
#include "support/Fixtures.h"
#include "support/GdiCount.h"
#include "support/MessageBoxAnswerer.h"

namespace {

const COLORREF BACKGROUND = RGB(1, 2, 3);

int Differences(const DibCanvas& a, const DibCanvas& b)
{
    int count = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            count += a.At(x, y) != b.At(x, y) ? 1 : 0;
    return count;
}

class PictureLinkTest : public testing::Test {
protected:
    void SetUp() override
    {
        const RECT frame = {50, 50, 850, 250};
        ASSERT_TRUE(parent.CreateEx(0, nullptr, "host", WS_POPUP | WS_VISIBLE, frame, nullptr, 0));
        HWND control = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_NOTIFY, 7, 9, 30, 20,
                                       parent.m_hWnd, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(IDC_BANNER)),
                                       GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, control);
        ASSERT_TRUE(link.SubclassWindow(control));
    }
    void TearDown() override
    {
        link.DestroyWindow();
        parent.DestroyWindow();
    }
    RECT RectInParent() const
    {
        RECT rect;
        link.GetWindowRect(&rect);
        MapWindowPoints(HWND_DESKTOP, parent.m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }
    void PaintInto(DibCanvas& canvas)
    {
        link.SendMessage(WM_PAINT, reinterpret_cast<WPARAM>(canvas.Dc()));
    }

    CWnd parent;
    CPictureLink link;
};

TEST_F(PictureLinkTest, ShowPictureSizesTheControlAndPaintsTheBanner)
{
    fixtures::MessageBoxAnswerer answerer(IDOK);
    EXPECT_EQ(0, link.PictureLoaded());
    UpdateWindow(link.m_hWnd);
    link.ShowPicture(729, 68, IDR_BANNER, "GIF");
    EXPECT_NE(0, link.PictureLoaded());
    EXPECT_EQ(0u, answerer.Count());
    const RECT rect = RectInParent();
    EXPECT_EQ(7, rect.left);
    EXPECT_EQ(9, rect.top);
    EXPECT_EQ(729, rect.right - rect.left);
    EXPECT_EQ(68, rect.bottom - rect.top);
    RECT update;
    EXPECT_TRUE(GetUpdateRect(link.m_hWnd, &update, FALSE)) << "invalidated for repainting";

    // Painted at its own size: the same pixels as the picture drawn directly.
    DibCanvas painted(729, 68, BACKGROUND), expected(729, 68, BACKGROUND);
    PaintInto(painted);
    CPicture picture;
    ASSERT_TRUE(picture.LoadFromResource(IDR_BANNER, "GIF"));
    const RECT whole = {0, 0, 729, 68};
    ASSERT_TRUE(picture.Draw(expected.Dc(), whole));
    EXPECT_EQ(0, Differences(painted, expected));
    EXPECT_GT(painted.CountNot(whole, BACKGROUND), 729 * 68 / 2);

    // A real paint validates the control.
    UpdateWindow(link.m_hWnd);
    EXPECT_FALSE(GetUpdateRect(link.m_hWnd, &update, FALSE));
}

TEST_F(PictureLinkTest, MissingPictureIsReportedAndTheControlPaintsAsAPlainStatic)
{
    fixtures::MessageBoxAnswerer answerer(IDOK);
    link.ShowPicture(200, 40, 4321, "GIF");
    EXPECT_EQ(0, link.PictureLoaded());
    ASSERT_EQ(1u, answerer.Count());
    EXPECT_EQ("FindResource() Failed\t", answerer.Boxes()[0].text);
    EXPECT_EQ("CPicture Error", answerer.Boxes()[0].caption);
    const RECT rect = RectInParent();
    EXPECT_EQ(200, rect.right - rect.left);
    EXPECT_EQ(40, rect.bottom - rect.top);

    // The static's own painting: one flat background colour, no picture.
    DibCanvas canvas(200, 40, BACKGROUND);
    PaintInto(canvas);
    const COLORREF fill = canvas.At(0, 0);
    const RECT whole = {0, 0, 200, 40};
    EXPECT_EQ(0, canvas.CountNot(whole, fill));
    UpdateWindow(link.m_hWnd);

    // Clicked with no link address, the banner opens nothing and shows nothing.
    EXPECT_EQ("", link.LinkAddress());
    link.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    link.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    EXPECT_EQ(1u, answerer.Count());
}

TEST_F(PictureLinkTest, ThousandPaintsLeakNoGdiObjects)
{
    link.ShowPicture(729, 68, IDR_BANNER, "GIF");
    ASSERT_NE(0, link.PictureLoaded());
    DibCanvas canvas(729, 68, BACKGROUND);
    PaintInto(canvas);
    UpdateWindow(link.m_hWnd);
    const DWORD gdi = fixtures::LiveGdiObjectCount();
    for (int i = 0; i < 1000; ++i) {
        if (i % 2) {
            PaintInto(canvas);
        } else {
            InvalidateRect(link.m_hWnd, nullptr, TRUE);
            UpdateWindow(link.m_hWnd);
        }
    }
    EXPECT_EQ(gdi, fixtures::LiveGdiObjectCount());
}

}  // namespace
