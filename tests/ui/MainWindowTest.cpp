// The main window from its real template: layout, the navigation bar and page switching.
#include "resource.h"
#include "ui/MainDialog.h"
#include "ui/PrivateMessages.h"

#include "support/AppTestSupport.h"
#include "support/Fixtures.h"
#include "support/MessageBoxAnswerer.h"

#include <gtest/gtest.h>

namespace {

// Counts the page commands that reach the main window.
class CountingMainDialog : public CMainDialog {
public:
    int pageCommands = 0;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override
    {
        UINT id = CommandId(wParam);
        pageCommands += id == ID_PAGE_QUICK || id == ID_PAGE_SMART || id == ID_PAGE_RESTORE;
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
    RECT RectOf(HWND window) const
    {
        RECT rect;
        GetWindowRect(window, &rect);
        MapWindowPoints(nullptr, dialog.m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }

    CountingMainDialog dialog;
};

// The banner spans the top; the bar and the pages share the rest side by side,
// inside the client area and without overlapping.
TEST_F(MainWindowTest, LayoutFollowsTheClientArea)
{
    RECT client, overlap;
    dialog.GetClientRect(&client);
    RECT banner = RectOf(dialog.bannerLink.m_hWnd);
    RECT bar = RectOf(dialog.navigationBar.m_hWnd);
    RECT top = {0, 0, client.right, banner.bottom};
    EXPECT_TRUE(EqualRect(&banner, &top));
    EXPECT_NE(0, dialog.bannerLink.PictureLoaded());
    EXPECT_GE(bar.top, banner.bottom);
    for (HWND page : {dialog.quickPage.m_hWnd, dialog.smartPage.m_hWnd}) {
        RECT rect = RectOf(page);
        EXPECT_FALSE(IntersectRect(&overlap, &rect, &banner) || IntersectRect(&overlap, &rect, &bar));
        EXPECT_TRUE(rect.left >= bar.right && rect.right <= client.right && rect.bottom <= client.bottom);
        EXPECT_EQ(bar.top, rect.top);
        EXPECT_EQ(bar.bottom, rect.bottom);
        EXPECT_GT(rect.right - rect.left, 3 * (bar.right - bar.left));
    }
}

// The quick page shows first with its button pressed; every click on the bar shows
// its page alone, presses its button and reaches the main window once.
TEST_F(MainWindowTest, ToolbarClicksSwitchPagesOneVisibleAtATime)
{
    HWND toolbar = dialog.navigationBar.ToolbarWindow();
    ASSERT_EQ(3, SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0));
    const struct {
        int command;
        CDialog* page;
    } pages[] = {{ID_PAGE_QUICK, &dialog.quickPage}, {ID_PAGE_SMART, &dialog.smartPage},
                 {ID_PAGE_RESTORE, &dialog.restorePage}};
    int clicks = 0;
    int shown = ID_PAGE_QUICK;
    for (int command : {0, ID_PAGE_SMART, ID_PAGE_SMART, ID_PAGE_RESTORE, ID_PAGE_QUICK, ID_PAGE_QUICK, ID_PAGE_SMART}) {
        SCOPED_TRACE(clicks);
        if (command) {
            RECT button = {};
            SendMessageA(toolbar, TB_GETITEMRECT, SendMessageA(toolbar, TB_COMMANDTOINDEX, command, 0),
                         reinterpret_cast<LPARAM>(&button));
            LPARAM point = MAKELPARAM((button.left + button.right) / 2, (button.top + button.bottom) / 2);
            SendMessageA(toolbar, WM_LBUTTONDOWN, MK_LBUTTON, point);
            SendMessageA(toolbar, WM_LBUTTONUP, 0, point);
            apptest::Pump();
            ++clicks;
            shown = command;
        }
        EXPECT_EQ(clicks, dialog.pageCommands);
        for (const auto& page : pages) {
            EXPECT_EQ(page.command == shown, (page.page->GetStyle() & WS_VISIBLE) != 0) << page.command;
            EXPECT_EQ(page.command == shown, SendMessageA(toolbar, TB_ISBUTTONCHECKED, page.command, 0) != 0);
        }
    }
}

// An uninstaller that cannot be started is reported and nothing waits for it: the
// navigation bar and the quick page's actions stay usable, no leftovers are sought.
TEST_F(MainWindowTest, AnUninstallerThatCannotStartLeavesTheWindowUsable)
{
    fixtures::ScopedKeyIsolation isolation(HKEY_LOCAL_MACHINE, fixtures::kUninstallKey);
    const std::string key = std::string(fixtures::kUninstallKey) + "\\Missing";
    const std::string command = "C:\\Missing Folder\\gone.exe /S";
    fixtures::SetString(HKEY_LOCAL_MACHINE, key, "DisplayName", "Missing");
    fixtures::SetString(HKEY_LOCAL_MACHINE, key, "UninstallString", command);
    HWND quick = dialog.quickPage.m_hWnd, list = GetDlgItem(quick, IDC_LIST);
    SendMessageA(GetDlgItem(quick, IDC_REFRESH), BM_CLICK, 0, 0);
    ASSERT_TRUE(apptest::PumpUntil([&] { return !dialog.quickPage.IsLoading(); }, 30000));
    apptest::SelectRow(list, apptest::FindRow(list, "Missing"));
    std::vector<std::string> texts;
    {
        fixtures::MessageBoxAnswerer answerer(IDOK);
        SendMessageA(GetDlgItem(quick, IDC_UNINSTALL), BM_CLICK, 0, 0);
        apptest::Pump();
        for (const fixtures::MessageBoxAnswerer::Box& box : answerer.Boxes())
            if (box.window != dialog.m_hWnd)  // the main window's activations aside
                texts.push_back(box.text);
    }
    EXPECT_EQ(std::vector<std::string>{apptest::FormatString(IDS_UNINSTALL_NOT_STARTED, command.c_str())}, texts);
    EXPECT_TRUE(dialog.navigationBar.IsWindowEnabled());
    for (int id : {IDC_UNINSTALL, IDC_DELETE_ENTRY, IDC_REFRESH, IDC_LIST})
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(quick, id))) << id;
    EXPECT_NE(0u, dialog.quickPage.GetStyle() & WS_VISIBLE);
    EXPECT_EQ(0u, dialog.smartPage.GetStyle() & WS_VISIBLE);
}

// The quick page's "smart uninstall" of a product: the smart page comes up and
// analyses the product's folder as the entry's texts name it.
TEST_F(MainWindowTest, AProductsAnalysisShowsTheSmartPageOnItsFolder)
{
    fixtures::ScopedDir folder(fixtures::ProgramFilesFolder() + "\\" + fixtures::UniqueName("UmAnalysed"));
    ASSERT_TRUE(fixtures::WriteFileText(folder.Path() + "\\analysed.exe", "MZ"));
    UninstallClues clues;
    clues.root = HKEY_LOCAL_MACHINE;
    clues.keyPath = std::string(fixtures::kUninstallKey) + "\\UmAnalysed";
    clues.displayName = "Analysed";
    clues.installLocation = folder.Path() + "\\";
    clues.uninstallCommand = "\"" + folder.Path() + "\\analysed.exe\" /uninstall";
    PostMessageA(dialog.m_hWnd, WM_ANALYZE_PRODUCT, 0, reinterpret_cast<LPARAM>(&clues));
    apptest::Pump();
    EXPECT_NE(0u, dialog.smartPage.GetStyle() & WS_VISIBLE);
    EXPECT_EQ(0u, dialog.quickPage.GetStyle() & WS_VISIBLE);
    EXPECT_EQ(folder.Path(), apptest::WindowText(dialog.smartPage.GetDlgItem(IDC_TARGET)));
    EXPECT_EQ(LoadStringText(IDS_ANALYSIS_DONE), apptest::WindowText(dialog.smartPage.GetDlgItem(IDC_STATUS)));
    EXPECT_NE(-1, apptest::FindRow(dialog.smartPage.GetDlgItem(IDC_LIST), folder.Path() + "\\analysed.exe"));
}

// Enter (OK) leaves the modal run going; the close box becomes Cancel, which ends it.
TEST_F(MainWindowTest, CloseBoxEndsTheModalRunAndEnterDoesNot)
{
    dialog.DestroyWindow();
    CMainDialog modal;
    struct Closer {
        static void CALLBACK Fire(HWND, UINT, UINT_PTR id, DWORD)
        {
            KillTimer(nullptr, id);
            HWND main = FindWindowA("#32770", nullptr);
            PostMessageA(main, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
    };
    SetTimer(nullptr, 0, 50, &Closer::Fire);
    EXPECT_EQ(IDCANCEL, modal.DoModal());
    EXPECT_EQ(nullptr, modal.m_hWnd);
}

}  // namespace

// The program runs elevated and says which Windows versions it knows (Wine ignores
// both, so only the embedded manifest can be read).
TEST(Manifest, AsksForElevationAndNamesTheSupportedWindows)
{
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    ASSERT_NE(nullptr, found);
    const char* data = static_cast<const char*>(LockResource(LoadResource(nullptr, found)));
    const std::string manifest(data, SizeofResource(nullptr, found));
    EXPECT_NE(std::string::npos, manifest.find("level=\"requireAdministrator\""));
    for (const char* windows : {"e2011457-1546-43c5-a5fe-008deee3d3f0", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"})
        EXPECT_NE(std::string::npos, manifest.find(windows)) << windows;
}
