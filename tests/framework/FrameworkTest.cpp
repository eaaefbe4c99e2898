// The application framework under real windows: dialogs from the program's own
// templates, data exchange, message reflection, the modal loop and message boxes.
#include "framework/Button.h"
#include "framework/Dialog.h"
#include "framework/Static.h"
#include "framework/WinApp.h"
#include "resource.h"
#include "support/Fixtures.h"
#include "support/MessageBoxAnswerer.h"

#include <gtest/gtest.h>

namespace {

// A button that counts the clicks reflected to it and may consume them.
class CountingButton : public CButton {
public:
    int reflectedClicks = 0;
    int drawCalls = 0;
    bool consumeClicks = false;
    HBRUSH ctlColorBrush = nullptr;

    void DrawItem(DRAWITEMSTRUCT*) override { ++drawCalls; }

protected:
    BOOL OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        if (msg == WM_COMMAND && CommandCode(wParam) == BN_CLICKED) {
            ++reflectedClicks;
            return consumeClicks;
        }
        if (msg == WM_CTLCOLORBTN && ctlColorBrush) {
            *result = reinterpret_cast<LRESULT>(ctlColorBrush);
            return TRUE;
        }
        return CButton::OnChildNotify(msg, wParam, lParam, result);
    }
};

// The quick-uninstall template as a child page, with a few controls bound.
class TestPage : public CDialog {
public:
    TestPage() : CDialog(IDD_QUICK_PAGE) {}

    CountingButton refreshButton;
    std::string displayName;
    int parentClicks = 0;
    bool initialised = false;

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        initialised = true;
        return TRUE;
    }
    void DoDataExchange(CDataExchange* dx) override
    {
        DDX_Control(dx, IDC_REFRESH, refreshButton);
        DDX_Text(dx, IDC_DISPLAY_NAME, displayName);
    }
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override
    {
        if (CommandId(wParam) == IDC_REFRESH && CommandCode(wParam) == BN_CLICKED) {
            ++parentClicks;
            return TRUE;
        }
        return CDialog::OnCommand(wParam, lParam);
    }
};

class FrameworkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RECT rect = {0, 0, 800, 600};
        ASSERT_TRUE(host.CreateEx(0, nullptr, "host", WS_OVERLAPPEDWINDOW, rect, nullptr, 0));
        ASSERT_TRUE(page.Create(IDD_QUICK_PAGE, &host));
    }

    CWnd host;
    TestPage page;
};

TEST_F(FrameworkTest, ModelessPageBindsItsControlsAndExchangesText)
{
    EXPECT_TRUE(page.initialised);
    EXPECT_EQ(host.m_hWnd, page.GetParent());
    EXPECT_EQ(page.GetDlgItem(IDC_REFRESH), page.refreshButton.m_hWnd);
    EXPECT_EQ(&page.refreshButton, CWnd::FromHandle(page.refreshButton.m_hWnd));

    page.displayName = fixtures::Ansi("软件名称 ABC");
    page.UpdateData(FALSE);
    char shown[64] = "";
    GetDlgItemTextA(page.m_hWnd, IDC_DISPLAY_NAME, shown, sizeof(shown));
    EXPECT_EQ(fixtures::Ansi("软件名称 ABC"), shown);

    SetDlgItemTextA(page.m_hWnd, IDC_DISPLAY_NAME, "typed");
    page.UpdateData(TRUE);
    EXPECT_EQ("typed", page.displayName);
}

TEST_F(FrameworkTest, ClickReachesButtonThenParentUnlessConsumed)
{
    page.refreshButton.SendMessage(BM_CLICK);
    EXPECT_EQ(1, page.refreshButton.reflectedClicks);
    EXPECT_EQ(1, page.parentClicks);

    page.refreshButton.consumeClicks = true;
    page.refreshButton.SendMessage(BM_CLICK);
    EXPECT_EQ(2, page.refreshButton.reflectedClicks);
    EXPECT_EQ(1, page.parentClicks);
}

TEST_F(FrameworkTest, ColourRequestsAndOwnerDrawingAreReflectedToTheControl)
{
    HBRUSH brush = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    page.refreshButton.ctlColorBrush = brush;
    HDC dc = GetDC(page.m_hWnd);
    LRESULT answer = SendMessageA(page.m_hWnd, WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc),
                                  reinterpret_cast<LPARAM>(page.refreshButton.m_hWnd));
    ReleaseDC(page.m_hWnd, dc);
    EXPECT_EQ(reinterpret_cast<LRESULT>(brush), answer);

    page.refreshButton.ModifyStyle(BS_TYPEMASK, BS_OWNERDRAW, SWP_FRAMECHANGED);
    page.ShowWindow(SW_SHOW);
    host.ShowWindow(SW_SHOW);
    RedrawWindow(page.refreshButton.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_GE(page.refreshButton.drawCalls, 1);
}

// A child page ignores OK and Cancel; destroying it unbinds every object.
TEST_F(FrameworkTest, ChildPageIgnoresOkAndCancelAndUnbindsWhenDestroyed)
{
    host.ShowWindow(SW_SHOW);
    page.ShowWindow(SW_SHOW);
    page.SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    page.SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_TRUE(page.IsWindowVisible());
    HWND button = page.refreshButton.m_hWnd;
    page.DestroyWindow();
    EXPECT_EQ(nullptr, page.m_hWnd);
    EXPECT_EQ(nullptr, page.refreshButton.m_hWnd);
    EXPECT_EQ(nullptr, CWnd::FromHandle(button));
}

// A modal dialog that ends itself from a timer and records what passed PreTranslateMessage.
class SelfClosingDialog : public CDialog {
public:
    SelfClosingDialog() : CDialog(IDD_MAIN_DIALOG) {}
    int pretranslated = 0;
    bool cancelAtStart = false;

    BOOL PreTranslateMessage(MSG* msg) override
    {
        if (msg->message == WM_APP)
            ++pretranslated;
        return CDialog::PreTranslateMessage(msg);
    }

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        PostMessageA(m_hWnd, WM_APP, 0, 0);
        if (cancelAtStart)
            PostMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        else
            SetTimer(m_hWnd, 1, 10, nullptr);
        return TRUE;
    }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_TIMER) {
            KillTimer(m_hWnd, 1);
            EndDialog(42);
            return 0;
        }
        return CDialog::WindowProc(msg, wParam, lParam);
    }
};

TEST(ModalDialog, RunsItsOwnLoopUntilEndDialog)
{
    SelfClosingDialog dialog;
    EXPECT_EQ(42, dialog.DoModal());
    EXPECT_EQ(1, dialog.pretranslated);
    EXPECT_EQ(nullptr, dialog.m_hWnd);
    // Cancel ends it too.
    SelfClosingDialog cancelled;
    cancelled.cancelAtStart = true;
    EXPECT_EQ(IDCANCEL, cancelled.DoModal());
}

TEST(MessageBox, CaptionIsTheExecutableName)
{
    CWinApp app;
    EXPECT_EQ("test_framework", app.AppName());
    fixtures::MessageBoxAnswerer answerer(IDNO);
    EXPECT_EQ(IDNO, AfxMessageBox(IDS_CONFIRM_FORCED, MB_YESNO | MB_ICONQUESTION));
    ASSERT_EQ(1u, answerer.Count());
    EXPECT_EQ("test_framework", answerer.Boxes()[0].caption);
    EXPECT_EQ(LoadStringText(IDS_CONFIRM_FORCED), answerer.Boxes()[0].text);
    EXPECT_FALSE(answerer.Boxes()[0].text.empty());
}

}  // namespace
