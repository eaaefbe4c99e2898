// The main window from its real template: layout, the navigation bar and page switching.
#include "app/MainDialog.h"
#include "resource.h"

#include "support/AppTestSupport.h"

#include <gtest/gtest.h>

namespace {

using apptest::RectIn;

bool IsChecked(HWND toolbar, int command)
{
    return SendMessageA(toolbar, TB_ISBUTTONCHECKED, command, 0) != 0;
}

void ClickToolbarButton(HWND toolbar, int command)
{
    int index = static_cast<int>(SendMessageA(toolbar, TB_COMMANDTOINDEX, command, 0));
    RECT button = {};
    SendMessageA(toolbar, TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&button));
    apptest::ClickAt(toolbar, (button.left + button.right) / 2, (button.top + button.bottom) / 2);
}

// Counts the page commands that reach the main window.
class CountingMainDialog : public CMainDialog {
public:
    int pageCommands = 0;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override
    {
        if (CommandId(wParam) == ID_PAGE_QUICK || CommandId(wParam) == ID_PAGE_SMART)
            ++pageCommands;
        return CMainDialog::OnCommand(wParam, lParam);
    }
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dialog.Create(IDD_MAIN_DIALOG));
        apptest::Pump();
    }

    CountingMainDialog dialog;
};

// The banner spans the top; the bar and the pages share the rest side by side,
// inside the client area and without overlapping.
TEST_F(MainWindowTest, LayoutFollowsTheClientArea)
{
    RECT client, overlap;
    dialog.GetClientRect(&client);
    RECT banner = RectIn(dialog.bannerLink.m_hWnd, dialog.m_hWnd);
    RECT bar = RectIn(dialog.navigationBar.m_hWnd, dialog.m_hWnd);
    RECT top = {0, 0, client.right, banner.bottom};
    EXPECT_TRUE(EqualRect(&banner, &top));
    EXPECT_NE(0, dialog.bannerLink.PictureLoaded());
    for (HWND page : {dialog.quickPage.m_hWnd, dialog.smartPage.m_hWnd}) {
        RECT rect = RectIn(page, dialog.m_hWnd);
        EXPECT_FALSE(IntersectRect(&overlap, &rect, &banner) || IntersectRect(&overlap, &rect, &bar));
        EXPECT_TRUE(rect.left >= bar.right && rect.right <= client.right && rect.bottom <= client.bottom);
        EXPECT_EQ(bar.top, rect.top);
        EXPECT_EQ(bar.bottom, rect.bottom);
        EXPECT_GT(rect.right - rect.left, 3 * (bar.right - bar.left));
    }
    EXPECT_GE(bar.top, banner.bottom);
}

TEST_F(MainWindowTest, StartsOnTheQuickPageWithTheFirstButtonPressed)
{
    HWND toolbar = dialog.navigationBar.ToolbarWindow();
    ASSERT_NE(nullptr, toolbar);
    EXPECT_EQ(2, SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0));
    EXPECT_TRUE(IsChecked(toolbar, ID_PAGE_QUICK));
    EXPECT_FALSE(IsChecked(toolbar, ID_PAGE_SMART));
    EXPECT_TRUE(dialog.quickPage.GetStyle() & WS_VISIBLE);
    EXPECT_TRUE(dialog.smartPage.IsWindow());
    EXPECT_FALSE(dialog.smartPage.GetStyle() & WS_VISIBLE);
}

TEST_F(MainWindowTest, ToolbarClicksSwitchPagesOneVisibleAtATime)
{
    HWND toolbar = dialog.navigationBar.ToolbarWindow();
    const int sequence[] = {ID_PAGE_SMART, ID_PAGE_SMART, ID_PAGE_QUICK, ID_PAGE_QUICK, ID_PAGE_SMART};
    int clicks = 0;
    for (int command : sequence) {
        ClickToolbarButton(toolbar, command);
        ++clicks;
        bool smart = command == ID_PAGE_SMART;
        EXPECT_EQ(clicks, dialog.pageCommands);
        EXPECT_EQ(smart, (dialog.smartPage.GetStyle() & WS_VISIBLE) != 0);
        EXPECT_EQ(!smart, (dialog.quickPage.GetStyle() & WS_VISIBLE) != 0);
        EXPECT_EQ(smart, IsChecked(toolbar, ID_PAGE_SMART));
        EXPECT_EQ(!smart, IsChecked(toolbar, ID_PAGE_QUICK));
    }
}

TEST_F(MainWindowTest, CloseBoxEndsTheModalRun)
{
    dialog.DestroyWindow();
    CMainDialog modal;
    // The close box becomes Cancel, which ends the modal loop.
    struct Closer {
        static void CALLBACK Fire(HWND, UINT, UINT_PTR id, DWORD)
        {
            KillTimer(nullptr, id);
            HWND main = FindWindowA("#32770", nullptr);
            if (main)
                PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
    };
    SetTimer(nullptr, 0, 50, &Closer::Fire);
    EXPECT_EQ(IDCANCEL, modal.DoModal());
    EXPECT_EQ(nullptr, modal.m_hWnd);
}

TEST_F(MainWindowTest, EnterDoesNotCloseTheWindow)
{
    dialog.SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    apptest::Pump();
    EXPECT_TRUE(dialog.IsWindow());
}

}  // namespace
