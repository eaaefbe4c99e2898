// The smart-uninstall page: screening, an analysis shown as checked rows, removal of
// the checked ones, drops and the guard against re-entry while an analysis runs.
#include "resource.h"
#include "support/AppTestSupport.h"
#include "support/BackupStoreSupport.h"
#include "support/Fixtures.h"
#include "support/MessageBoxAnswerer.h"
#include "ui/MainDialog.h"
#include "ui/SmartUninstallPage.h"

#include <gtest/gtest.h>

#include <dlgs.h>

#include <functional>
#include <tuple>

namespace {

using apptest::ItemText;
using apptest::WindowText;

// The buttons that could re-enter a running analysis.
const int kGuarded[] = {IDC_ANALYZE, IDC_UNINSTALL, IDC_PICK_DESKTOP, IDC_PICK_STARTMENU, IDC_PICK_PROGRAM};

// A window with a one-shot probe that runs when message is dispatched to it, before
// the window handles it: from inside whatever loop dispatches it.
template <typename Base, UINT message>
class Probed : public Base {
public:
    std::function<void()> probe;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == message && probe) {
            auto run = probe;
            probe = nullptr;
            run();
        }
        return Base::WindowProc(msg, wParam, lParam);
    }
};

// The page with a one-shot probe that runs when the analyzer reports a trace, from
// inside the running analysis.
class TraceProbedPage : public CSmartUninstallPage {
public:
    std::function<void()> probe;

protected:
    void OnTrace(const TraceItem& item) override
    {
        if (probe) {
            auto run = probe;
            probe = nullptr;
            run();
        }
        CSmartUninstallPage::OnTrace(item);
    }
};

// Answers the file-open dialog as a user does: types name and presses Open, then
// cancels the dialog if it comes back; any other box (a complaint) gets OK.
fixtures::MessageBoxAnswerer::Answer TypeName(const std::string& name)
{
    return [name, typed = false](HWND box) mutable {
        const bool dialog = GetDlgItem(box, cmb13) != nullptr;
        if (dialog && !typed)
            SetDlgItemTextA(box, cmb13, name.c_str());
        const int button = dialog && typed ? IDCANCEL : IDOK;
        typed = typed || dialog;
        return button;
    };
}

// A small installed program: a folder with two files and a key under HKCU\Software
// that names the folder.
class SmartPageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fixtures::WriteFileText(program, "MZ");
        fixtures::WriteFileText(data, "data");
        fixtures::SetString(HKEY_CURRENT_USER, softwareKey.Path(), "Path", program);
        RECT rect = {0, 0, 700, 500};
        ASSERT_TRUE(host.CreateEx(0, nullptr, "host", WS_OVERLAPPEDWINDOW, rect, nullptr, 0));
        ASSERT_TRUE(page.Create(IDD_SMART_PAGE, &host));
        list = page.GetDlgItem(IDC_LIST);
    }

    void Analyze(const std::string& target)
    {
        SetWindowTextA(page.GetDlgItem(IDC_TARGET), target.c_str());
        Click(IDC_ANALYZE);
    }
    void Click(int id) { SendMessageA(page.GetDlgItem(id), BM_CLICK, 0, 0); }
    int Rows() const { return apptest::ItemCount(list); }
    int FindRow(const std::string& text) const { return apptest::FindRow(list, text); }
    bool UninstallEnabled() const { return IsWindowEnabled(page.GetDlgItem(IDC_UNINSTALL)) != 0; }

    const std::string name = fixtures::UniqueName("SmartPage");
    const std::string folder = fixtures::ProgramFilesFolder() + "\\" + name;
    const std::string program = folder + "\\app.exe", data = folder + "\\data.txt";
    fixtures::ScopedDir folderGuard{folder};
    fixtures::ScopedKey softwareKey{HKEY_CURRENT_USER, "Software\\" + name};
    CWnd host;
    TraceProbedPage page;
    HWND list = nullptr;
};

TEST_F(SmartPageTest, ScreeningIgnoresOrRefusesBadTargets)
{
    fixtures::MessageBoxAnswerer answerer(IDOK);
    for (const char* ignored : {"", "app.exe", "\\app.exe", "a\\app.exe", "C:\\app.exe", "abc\\app.exe"}) {
        Analyze(ignored);
        EXPECT_EQ(0, Rows()) << ignored;
    }
    EXPECT_EQ(0u, answerer.Count());

    Analyze(program);
    const int rows = Rows();
    ASSERT_GT(rows, 0);

    // Inside the Windows folder in any spelling, or a folder too wide to be one
    // program's: refused by the page itself, the rows stay.
    const std::string windows = fixtures::WindowsFolder();
    std::string slashed = windows + "/notepad.exe";
    for (char& ch : slashed)
        ch = ch == '\\' ? '/' : static_cast<char>(tolower(static_cast<unsigned char>(ch)));
    char programFiles[MAX_PATH] = "";
    GetShortPathNameA(fixtures::ProgramFilesFolder().c_str(), programFiles, MAX_PATH);
    const std::string refused[] = {windows + "\\notepad.exe", windows + "TOOLS\\x.exe", slashed,
                                   windows + ".\\notepad.exe", "C:\\x\\..\\" + windows.substr(3) + "\\notepad.exe",
                                   fixtures::SpecialFolder(CSIDL_PERSONAL), fixtures::SpecialFolder(CSIDL_PROGRAMS),
                                   programFiles, "\\\\server\\share\\app.exe"};
    for (const std::string& target : refused) {
        Analyze(target);
        EXPECT_EQ(rows, Rows()) << target;
    }
    ASSERT_EQ(std::size(refused), answerer.Count());
    EXPECT_EQ(LoadStringText(IDS_REFUSED), answerer.Boxes()[0].text);

    // A shortcut path is handed to the analyzer, which refuses a missing one: the
    // list was cleared first, and the same message shows.
    Analyze(windows + "\\missing.LNK");
    EXPECT_EQ(0, Rows());
    EXPECT_EQ(std::size(refused) + 1, answerer.Count());
    EXPECT_TRUE(UninstallEnabled());  // kept from the earlier success
}

TEST_F(SmartPageTest, AnalysisShowsCertainTracesCheckedAndWeakOnesUncheckedWithTheirReason)
{
    // Another tool's settings name the program: only that value is listed, unchecked.
    fixtures::ScopedKey otherTool(HKEY_CURRENT_USER, "Software\\" + fixtures::UniqueName("OtherTool"));
    fixtures::SetString(HKEY_CURRENT_USER, otherTool.Path(), "Viewer", program);
    EXPECT_FALSE(UninstallEnabled());
    Analyze(program);
    ASSERT_GE(Rows(), 6);
    const std::string weakRow = "HKEY_CURRENT_USER\\" + otherTool.Path() + "\\Viewer";
    EXPECT_EQ(-1, FindRow("HKEY_CURRENT_USER\\" + otherTool.Path()));
    for (int row = 0; row < Rows(); ++row)
        EXPECT_EQ(ItemText(list, row, 0) != weakRow, apptest::ItemChecked(list, row)) << row;
    // Each kind with its image, and the type column where it is ours to name.
    const std::string key = "HKEY_CURRENT_USER\\" + softwareKey.Path(), value = LoadStringText(IDS_REGVALUE);
    const std::tuple<std::string, int, std::string> expected[] = {
        {program, 0, ""},
        {folder, 1, ""},
        {key, 3, LoadStringText(IDS_REGKEY)},
        {key + "\\Path", 2, value},
        {weakRow, 2, value + LoadStringText(IDS_WEAK_SEPARATOR) + LoadStringText(IDS_WEAK_OTHER_SETTINGS)}};
    for (const auto& [text, image, type] : expected) {
        SCOPED_TRACE(text);
        ASSERT_GE(FindRow(text), 0);
        EXPECT_EQ(image, apptest::ItemImage(list, FindRow(text)));
        EXPECT_TRUE(type.empty() || type == ItemText(list, FindRow(text), 1)) << ItemText(list, FindRow(text), 1);
    }
    EXPECT_EQ(0, FindRow(program));
    EXPECT_EQ(FindRow(key) + 1, FindRow(key + "\\Path"));

    EXPECT_EQ(LoadStringText(IDS_ANALYSIS_DONE), WindowText(page.GetDlgItem(IDC_STATUS)));
    EXPECT_TRUE(UninstallEnabled());
}

TEST_F(SmartPageTest, RowsAreTickedByClickOrSpaceBarAndRemovalTakesTheTickedOnes)
{
    Analyze(program);
    const int rows = Rows();
    const int dataRow = FindRow(data), programRow = FindRow(program);
    ASSERT_GE(dataRow, 0);
    ASSERT_GE(programRow, 0);
    // The space bar flips the focused row and every selected row with it.
    apptest::SelectOnly(list, {dataRow, programRow});
    apptest::PressSpace(list);
    EXPECT_FALSE(apptest::ItemChecked(list, dataRow));
    EXPECT_FALSE(apptest::ItemChecked(list, programRow));
    for (int row = 0; row < rows; ++row)
        EXPECT_TRUE(row == dataRow || row == programRow || apptest::ItemChecked(list, row)) << row;
    apptest::SelectOnly(list, {programRow});
    apptest::PressSpace(list);
    EXPECT_TRUE(apptest::ItemChecked(list, programRow));
    EXPECT_FALSE(apptest::ItemChecked(list, dataRow));
    // A click on a check box flips that row alone; a new analysis starts afresh.
    ASSERT_TRUE(apptest::ClickCheckBox(list, programRow));
    EXPECT_FALSE(apptest::ItemChecked(list, programRow));
    EXPECT_FALSE(apptest::ItemChecked(list, dataRow));
    Analyze(program);
    EXPECT_EQ(rows, Rows());
    EXPECT_TRUE(apptest::ItemChecked(list, programRow));
    EXPECT_TRUE(apptest::ItemChecked(list, dataRow));
    ASSERT_TRUE(apptest::ClickCheckBox(list, dataRow));
    EXPECT_FALSE(apptest::ItemChecked(list, dataRow));
    EXPECT_TRUE(apptest::ItemChecked(list, programRow));
    const std::vector<std::string> confirm = {LoadStringText(IDS_CONFIRM_REMOVE)};
    EXPECT_EQ(confirm, fixtures::MessageBoxAnswerer::TextsDuring(IDCANCEL, [&]() { Click(IDC_UNINSTALL); }));
    EXPECT_TRUE(fixtures::FileExists(program));
    EXPECT_FALSE(apptest::ItemChecked(list, dataRow));
    // A store of backups that everyone may write is not used: nothing goes, and the page says why.
    const std::string store = fixtures::SpecialFolder(CSIDL_COMMON_APPDATA) + "\\UninstallManager";
    ASSERT_TRUE(fixtures::MakeDirs(store) && fixtures::SetDacl(store, fixtures::kEveryoneMayWrite));
    const std::vector<std::string> unsafe = {confirm[0], LoadStringText(IDS_STORE_UNSAFE_REMOVAL)};
    EXPECT_EQ(unsafe, fixtures::MessageBoxAnswerer::TextsDuring(IDOK, [&]() { Click(IDC_UNINSTALL); }));
    EXPECT_EQ(unsafe[1], WindowText(page.GetDlgItem(IDC_STATUS)));
    EXPECT_TRUE(fixtures::FileExists(program));
    ASSERT_TRUE(fixtures::SetDacl(store, fixtures::kAdministratorsOnly));
    EXPECT_EQ(confirm, fixtures::MessageBoxAnswerer::TextsDuring(IDOK, [&]() { Click(IDC_UNINSTALL); }));
    EXPECT_FALSE(fixtures::FileExists(program));
    EXPECT_TRUE(fixtures::FileExists(data));  // unchecked: kept, and so is its folder
    EXPECT_TRUE(fixtures::DirExists(folder));
    EXPECT_FALSE(fixtures::KeyExists(HKEY_CURRENT_USER, softwareKey.Path()));
    EXPECT_EQ(0, Rows());
    EXPECT_EQ("", WindowText(page.GetDlgItem(IDC_TARGET)));
    EXPECT_FALSE(UninstallEnabled());
    // The status line says what happened: the folder was kept for the unchecked
    // file, not something that failed.
    EXPECT_EQ(apptest::FormatString(IDS_REMOVAL_SUMMARY, rows - 2, 0, 0) + apptest::FormatString(IDS_REMOVAL_KEPT, 1) +
                  LoadStringText(IDS_REMOVAL_UNDOABLE),
              WindowText(page.GetDlgItem(IDC_STATUS)));
}

// Accessibility and automation tools tick rows with the list's standard state
// message: it ticks and unticks the page's rows as a click does, one row or every
// row (-1), reads back, keeps selection and focus working, and the removal takes
// exactly what it ticked.
TEST_F(SmartPageTest, TheStandardCheckStateMessageTicksThePagesRows)
{
    Analyze(program);
    const int rows = Rows(), dataRow = FindRow(data), programRow = FindRow(program);
    ASSERT_GE(dataRow, 0);
    ASSERT_GE(programRow, 0);
    ListView_SetCheckState(list, dataRow, FALSE);
    EXPECT_FALSE(apptest::ItemChecked(list, dataRow));
    EXPECT_TRUE(apptest::ItemChecked(list, programRow));
    ListView_SetItemState(list, -1, INDEXTOSTATEIMAGEMASK(1), LVIS_STATEIMAGEMASK);
    for (int row = 0; row < rows; ++row)
        EXPECT_FALSE(apptest::ItemChecked(list, row)) << row;
    // A check and a selection in one message; the selection alone in another.
    ListView_SetItemState(list, dataRow, LVIS_SELECTED | INDEXTOSTATEIMAGEMASK(2), LVIS_SELECTED | LVIS_STATEIMAGEMASK);
    ListView_SetItemState(list, programRow, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    EXPECT_TRUE(apptest::ItemChecked(list, dataRow));
    EXPECT_FALSE(apptest::ItemChecked(list, programRow));
    EXPECT_EQ(2, ListView_GetSelectedCount(list));
    EXPECT_EQ(programRow, ListView_GetNextItem(list, -1, LVNI_FOCUSED));
    // No such row, no check image: nothing changes.
    LVITEMA item = {};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(2);
    EXPECT_FALSE(SendMessageA(list, LVM_SETITEMSTATE, rows, reinterpret_cast<LPARAM>(&item)));
    item.state = 0;
    EXPECT_FALSE(SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item)));
    EXPECT_TRUE(apptest::ItemChecked(list, dataRow));
    // The space bar flips the selected rows from what the message left.
    apptest::PressSpace(list);
    EXPECT_TRUE(apptest::ItemChecked(list, programRow));
    EXPECT_TRUE(apptest::ItemChecked(list, dataRow));

    EXPECT_FALSE(fixtures::MessageBoxAnswerer::TextsDuring(IDOK, [&]() { Click(IDC_UNINSTALL); }).empty());
    EXPECT_FALSE(fixtures::FileExists(program));
    EXPECT_FALSE(fixtures::FileExists(data));
    EXPECT_TRUE(fixtures::DirExists(folder));
    EXPECT_TRUE(fixtures::KeyExists(HKEY_CURRENT_USER, softwareKey.Path()));
}

TEST_F(SmartPageTest, DropsTakeTheFirstExistingFileOrAShortcutsTarget)
{
    HWND target = page.GetDlgItem(IDC_TARGET);
    fixtures::TempDir temp;
    const std::string link = temp.Path() + "\\app.lnk", stale = temp.Path() + "\\stale.lnk";
    const std::string folderLink = temp.Path() + "\\folder.lnk", gone = temp.Path() + "\\gone.exe";
    ASSERT_TRUE(fixtures::MakeShortcut(link, program));
    ASSERT_TRUE(fixtures::WriteFileText(gone, "MZ"));
    ASSERT_TRUE(fixtures::MakeShortcut(stale, gone));
    DeleteFileA(gone.c_str());
    ASSERT_TRUE(fixtures::MakeShortcut(folderLink, folder));

    SetWindowTextA(target, "typed");
    for (const std::string& rejected : {stale, folderLink, folder, temp.Path() + "\\missing.exe"}) {
        apptest::DropFiles(target, {rejected});
        EXPECT_EQ("typed", WindowText(target)) << rejected;
    }
    apptest::DropFiles(target, {data, program});
    EXPECT_EQ(data, WindowText(target));
    apptest::DropFiles(target, {link});
    EXPECT_EQ(program, WindowText(target));
}

TEST_F(SmartPageTest, BrowseDialogsTakeOneFileAndLeaveTheCurrentFolder)
{
    HWND target = page.GetDlgItem(IDC_TARGET);
    char saved[MAX_PATH] = "", before[MAX_PATH] = "", after[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, saved);
    fixtures::TempDir current;
    ASSERT_TRUE(SetCurrentDirectoryA(current.Path().c_str()));
    GetCurrentDirectoryA(MAX_PATH, before);
    for (int button : {IDC_PICK_DESKTOP, IDC_PICK_STARTMENU, IDC_PICK_PROGRAM}) {
        SetWindowTextA(target, "");
        fixtures::MessageBoxAnswerer picker(TypeName(program));
        Click(button);
        EXPECT_EQ(program, WindowText(target)) << button;
        GetCurrentDirectoryA(MAX_PATH, after);
        EXPECT_STREQ(before, after) << button;
    }
    // Two names at once are no target, never the folder that holds them.
    SetWindowTextA(target, "typed");
    fixtures::MessageBoxAnswerer picker(TypeName("\"" + program + "\" \"" + data + "\""));
    Click(IDC_PICK_PROGRAM);
    EXPECT_EQ("typed", WindowText(target));
    SetCurrentDirectoryA(saved);
}

TEST_F(SmartPageTest, ControlsCannotReenterARunningAnalysis)
{
    bool probed = false;
    page.probe = [&]() {
        probed = true;
        EXPECT_TRUE(page.IsAnalyzing());
        for (int id : kGuarded)
            EXPECT_FALSE(IsWindowEnabled(page.GetDlgItem(id))) << id;
        HWND target = page.GetDlgItem(IDC_TARGET);
        apptest::DropFiles(target, {data});
        EXPECT_EQ(program, WindowText(target));
        for (int id : {IDC_ANALYZE, IDC_UNINSTALL})
            page.SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(page.GetDlgItem(id)));
    };
    EXPECT_EQ(std::vector<std::string>{}, fixtures::MessageBoxAnswerer::TextsDuring(IDOK, [&]() { Analyze(program); }));
    EXPECT_TRUE(probed);
    EXPECT_FALSE(page.IsAnalyzing());
    EXPECT_TRUE(fixtures::FileExists(program));
    for (int id : kGuarded)
        EXPECT_TRUE(IsWindowEnabled(page.GetDlgItem(id))) << id;
}

TEST_F(SmartPageTest, InTheMainWindowAnAnalysisLocksTheQuickPageButNotNavigationOrKeyboard)
{
    CMainDialog dialog;
    ASSERT_TRUE(dialog.Create(IDD_MAIN_DIALOG));
    dialog.SendMessage(WM_COMMAND, MAKEWPARAM(ID_PAGE_SMART, BN_CLICKED), 0);
    HWND smart = dialog.smartPage.m_hWnd, quick = dialog.quickPage.m_hWnd;
    HWND target = GetDlgItem(smart, IDC_TARGET);
    SetWindowTextA(target, program.c_str());
    const int quickActions[] = {IDC_UNINSTALL, IDC_DELETE_ENTRY, IDC_REFRESH};

    Probed<CWnd, WM_APP> probe;
    RECT rect = {0, 0, 10, 10};
    ASSERT_TRUE(probe.CreateEx(0, nullptr, "probe", WS_POPUP, rect, nullptr, 0));
    HWND focusAfterTab = nullptr;
    bool probed = false;
    probe.probe = [&]() {
        probed = true;
        for (int id : quickActions)
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(quick, id))) << id;
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog.m_hWnd, IDC_NAVIGATION_BAR)));
        // The user presses Tab in the target field while the search runs.
        SetFocus(target);
        PostMessageA(target, WM_KEYDOWN, VK_TAB, 0);
        probe.probe = [&]() { focusAfterTab = GetFocus(); };
        PostMessageA(probe.m_hWnd, WM_APP, 0, 0);
    };
    PostMessageA(probe.m_hWnd, WM_APP, 0, 0);
    SendMessageA(GetDlgItem(smart, IDC_ANALYZE), BM_CLICK, 0, 0);

    EXPECT_TRUE(probed);
    // The next control that takes the focus: the buttons before the list are disabled.
    EXPECT_EQ(GetDlgItem(smart, IDC_LIST), focusAfterTab);
    for (int id : quickActions)
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(quick, id))) << id;
    dialog.DestroyWindow();
}

}  // namespace
