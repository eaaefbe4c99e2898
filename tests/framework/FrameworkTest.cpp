// The application framework under real windows: dialogs from templates of the
// tests' own, data exchange, message reflection, the modal loop and message boxes;
// whether a path exists.
#include "FrameworkTestDialogs.h"
#include "framework/Button.h"
#include "framework/Dialog.h"
#include "framework/PathExists.h"
#include "framework/WinApp.h"
#include "support/Fixtures.h"
#include "support/MessageBoxAnswerer.h"

#include <gtest/gtest.h>

namespace {

// A button that counts the clicks reflected to it, may consume them, and answers
// colour requests with a grey brush.
class CountingButton : public CButton {
public:
    int reflectedClicks = 0, drawCalls = 0;
    bool consumeClicks = false;

    void DrawItem(DRAWITEMSTRUCT*) override { ++drawCalls; }

protected:
    BOOL OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        if (msg == WM_COMMAND && CommandCode(wParam) == BN_CLICKED)
            return ++reflectedClicks, consumeClicks;
        if (msg != WM_CTLCOLORBTN)
            return CButton::OnChildNotify(msg, wParam, lParam, result);
        *result = reinterpret_cast<LRESULT>(GetStockObject(GRAY_BRUSH));
        return TRUE;
    }
};

// A child page of its own template, with a few controls bound.
class TestPage : public CDialog {
public:
    TestPage() : CDialog(IDD_TEST_PAGE) {}

    CountingButton refresh;
    std::string displayName;
    int parentClicks = 0;

protected:
    void DoDataExchange(CDataExchange* dx) override
    {
        DDX_Control(dx, IDC_TEST_BUTTON, refresh);
        DDX_Text(dx, IDC_TEST_EDIT, displayName);
    }
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override
    {
        if (wParam == MAKEWPARAM(IDC_TEST_BUTTON, BN_CLICKED))
            return ++parentClicks, TRUE;
        return CDialog::OnCommand(wParam, lParam);
    }
};

// A modeless page binds its controls when it starts and exchanges text both ways;
// clicks, colour requests and owner drawing are reflected to the control; as a
// child page it ignores OK and Cancel, and destroying it unbinds every object.
TEST(ModelessPage, BindsExchangesReflectsAndUnbinds)
{
    CWnd host;
    TestPage page;
    ASSERT_TRUE(host.CreateEx(0, nullptr, "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, {0, 0, 800, 600}, nullptr, 0));
    ASSERT_TRUE(page.Create(IDD_TEST_PAGE, &host));
    page.ShowWindow(SW_SHOW);
    EXPECT_EQ(page.GetDlgItem(IDC_TEST_BUTTON), page.refresh.m_hWnd);
    EXPECT_EQ(&page.refresh, CWnd::FromHandle(page.refresh.m_hWnd));
    page.displayName = fixtures::Ansi("软件名称 ABC");
    page.UpdateData(FALSE);
    char shown[64] = "";
    GetDlgItemTextA(page.m_hWnd, IDC_TEST_EDIT, shown, sizeof(shown));
    EXPECT_EQ(page.displayName, shown);
    SetDlgItemTextA(page.m_hWnd, IDC_TEST_EDIT, "typed");
    page.UpdateData(TRUE);
    EXPECT_EQ("typed", page.displayName);

    // A click reaches the button, then the parent unless the button consumed it.
    page.refresh.SendMessage(BM_CLICK);
    page.refresh.consumeClicks = true;
    page.refresh.SendMessage(BM_CLICK);
    EXPECT_EQ(2, page.refresh.reflectedClicks);
    EXPECT_EQ(1, page.parentClicks);
    HDC dc = GetDC(page.m_hWnd);
    const LRESULT brush = page.SendMessage(WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc),
                                           reinterpret_cast<LPARAM>(page.refresh.m_hWnd));
    EXPECT_EQ(reinterpret_cast<LRESULT>(GetStockObject(GRAY_BRUSH)), brush);
    ReleaseDC(page.m_hWnd, dc);
    page.refresh.ModifyStyle(BS_TYPEMASK, BS_OWNERDRAW, SWP_FRAMECHANGED);
    RedrawWindow(page.refresh.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_GE(page.refresh.drawCalls, 1);

    page.SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    page.SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_TRUE(page.IsWindowVisible());
    HWND button = page.refresh.m_hWnd;
    page.DestroyWindow();
    EXPECT_EQ(nullptr, page.m_hWnd);
    EXPECT_EQ(nullptr, page.refresh.m_hWnd);
    EXPECT_EQ(nullptr, CWnd::FromHandle(button));
}

// A modal dialog that posts itself WM_APP, then ends with 42 at its first timer
// tick or cancels at once; it counts the WM_APP that pass PreTranslateMessage.
class SelfClosingDialog : public CDialog {
public:
    explicit SelfClosingDialog(bool cancel) : CDialog(IDD_TEST_MODAL), cancel(cancel) {}
    BOOL PreTranslateMessage(MSG* msg) override
    {
        pretranslated += msg->message == WM_APP;
        if (msg->message == WM_TIMER)
            EndDialog(42);
        return CDialog::PreTranslateMessage(msg);
    }
    const bool cancel;
    int pretranslated = 0;

protected:
    BOOL OnInitDialog() override
    {
        PostMessageA(m_hWnd, WM_APP, 0, 0);
        if (cancel)
            PostMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        else
            SetTimer(m_hWnd, 1, 10, nullptr);
        return CDialog::OnInitDialog();
    }
};

TEST(ModalDialog, RunsItsOwnLoopUntilEndDialogOrCancel)
{
    SelfClosingDialog dialog(false), cancelled(true);
    EXPECT_EQ(42, dialog.DoModal());
    EXPECT_EQ(1, dialog.pretranslated);
    EXPECT_EQ(nullptr, dialog.m_hWnd);
    EXPECT_EQ(IDCANCEL, cancelled.DoModal());
}

TEST(AfxMessageBox, CaptionIsTheExecutableName)
{
    CWinApp app;
    fixtures::MessageBoxAnswerer answerer(IDNO);
    EXPECT_EQ(IDNO, AfxMessageBox(IDS_TEST_QUESTION, MB_YESNO | MB_ICONQUESTION));
    ASSERT_EQ(1u, answerer.Count());
    EXPECT_EQ("test_framework", answerer.Boxes()[0].caption);
    EXPECT_EQ(LoadStringText(IDS_TEST_QUESTION), answerer.Boxes()[0].text);
    EXPECT_FALSE(answerer.Boxes()[0].text.empty());
}

// A file, a folder, nothing, and patterns, which name nothing whatever they match.
TEST(PathExists, TellsFilesFromFoldersAndPatternsNameNothing)
{
    fixtures::TempDir dir("umexists");
    ASSERT_TRUE(fixtures::WriteFileText(dir.Path() + "\\setup.exe"));
    const struct {
        std::string path;
        bool exists, file;
    } cases[] = {{dir.Path() + "\\setup.exe", true, true},     {dir.Path(), true, false},
                 {dir.Path() + "\\missing.exe", false, false}, {dir.Path() + "\\*.exe", false, false},
                 {dir.Path() + "\\set??.exe", false, false},   {"", false, false}};
    for (const auto& c : cases) {
        bool isFile = true;
        EXPECT_EQ(c.exists, PathExists(c.path.c_str(), &isFile)) << c.path;
        EXPECT_EQ(c.file, isFile) << c.path;
        EXPECT_EQ(c.file, IsExistingFile(c.path.c_str())) << c.path;
    }
    EXPECT_FALSE(IsExistingFile(nullptr));
}

}  // namespace
