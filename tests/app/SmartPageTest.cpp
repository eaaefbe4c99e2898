// The smart-uninstall page: screening, an analysis shown as checked rows, removal of
// the checked ones, drops and the guard against re-entry while an analysis runs.
#include "smart/SmartUninstallPage.h"
#include "app/MainDialog.h"
#include "framework/WinApp.h"
#include "resource.h"
#include "support/Fixtures.h"
#include "support/MessageBoxAnswerer.h"

#include "support/AppTestSupport.h"

#include <gtest/gtest.h>

#include <dlgs.h>
#include <shlobj.h>

#include <functional>

namespace {

template <typename... Args>
std::string Format(UINT id, Args... args)
{
    char text[512] = "";
    snprintf(text, sizeof(text), LoadStringText(id).c_str(), args...);
    return text;
}

// The page with a probe that acts from inside the running analysis.
class ProbedSmartPage : public CSmartUninstallPage {
public:
    std::function<void()> duringAnalysis;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_TRACE_NOTIFY && duringAnalysis) {
            auto probe = duringAnalysis;
            duringAnalysis = nullptr;
            probe();
        }
        return CSmartUninstallPage::WindowProc(msg, wParam, lParam);
    }
};

// A window that runs a probe when a message posted to it is dispatched, by whatever
// loop dispatches it.
class ProbeWindow : public CWnd {
public:
    std::function<void()> probes[2];  // for WM_APP and WM_APP + 1

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if ((msg == WM_APP || msg == WM_APP + 1) && probes[msg - WM_APP]) {
            auto probe = probes[msg - WM_APP];
            probes[msg - WM_APP] = nullptr;
            probe();
            return 0;
        }
        return CWnd::WindowProc(msg, wParam, lParam);
    }
};

// Answers the file-open dialog as a user does: types name and presses Open, then
// cancels the dialog if it comes back; any other box (a complaint) gets OK.
class FilePicker {
public:
    explicit FilePicker(std::string name) : name(std::move(name))
    {
        current = this;
        hook = SetWindowsHookExA(WH_CBT, Procedure, nullptr, GetCurrentThreadId());
    }
    ~FilePicker()
    {
        UnhookWindowsHookEx(hook);
        current = nullptr;
    }

private:
    static LRESULT CALLBACK Procedure(int code, WPARAM wParam, LPARAM lParam)
    {
        HWND window = reinterpret_cast<HWND>(wParam);
        char className[32] = "";
        if (code == HCBT_ACTIVATE && current && GetClassNameA(window, className, sizeof(className)) &&
            lstrcmpA(className, "#32770") == 0) {
            bool dialog = GetDlgItem(window, cmb13) != nullptr;
            if (dialog && !current->typed)
                SetDlgItemTextA(window, cmb13, current->name.c_str());
            PostMessageA(window, WM_COMMAND, dialog && current->typed ? IDCANCEL : IDOK, 0);
            current->typed = current->typed || dialog;
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static FilePicker* current;
    std::string name;
    HHOOK hook = nullptr;
    bool typed = false;
};
FilePicker* FilePicker::current = nullptr;

// A small installed program: a folder with two files and a key under HKCU\Software
// that names the folder.
class SmartPageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char programFiles[MAX_PATH] = "";
        ExpandEnvironmentStringsA("%ProgramFiles%", programFiles, MAX_PATH);
        std::string name = fixtures::UniqueName("SmartPage");
        folder = std::string(programFiles) + "\\" + name;
        program = folder + "\\app.exe";
        data = folder + "\\data.txt";
        softwareKey = "Software\\" + name;
        fixtures::WriteFileText(program, "MZ");
        fixtures::WriteFileText(data, "data");
        fixtures::SetString(HKEY_CURRENT_USER, softwareKey, "Path", folder + "\\app.exe");
        RECT rect = {0, 0, 700, 500};
        ASSERT_TRUE(host.CreateEx(0, nullptr, "host", WS_OVERLAPPEDWINDOW, rect, nullptr, 0));
        ASSERT_TRUE(page.Create(IDD_SMART_PAGE, &host));
        list = page.GetDlgItem(IDC_LIST);
    }
    void TearDown() override
    {
        fixtures::RemoveTree(folder);
        fixtures::DeleteKeyTree(HKEY_CURRENT_USER, softwareKey);
    }

    void Analyze(const std::string& target)
    {
        SetWindowTextA(page.GetDlgItem(IDC_TARGET), target.c_str());
        SendMessageA(page.GetDlgItem(IDC_ANALYZE), BM_CLICK, 0, 0);
    }
    int Rows() const { return apptest::ItemCount(list); }
    std::string Status() const { return apptest::WindowText(page.GetDlgItem(IDC_STATUS)); }
    bool UninstallEnabled() const { return IsWindowEnabled(page.GetDlgItem(IDC_UNINSTALL)) != 0; }
    int FindRow(const std::string& text) const
    {
        for (int row = 0; row < Rows(); ++row) {
            if (apptest::ItemText(list, row, 0) == text)
                return row;
        }
        return -1;
    }

    std::string folder, program, data, softwareKey;
    CWnd host;
    ProbedSmartPage page;
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
    int rows = Rows();
    ASSERT_GT(rows, 0);

    // Inside the Windows folder in any spelling, or a folder too wide to be one
    // program's: refused by the page itself, the rows stay.
    std::string windows = fixtures::WindowsFolder();
    std::string slashed = windows + "/notepad.exe";
    for (char& ch : slashed)
        ch = ch == '\\' ? '/' : static_cast<char>(tolower(static_cast<unsigned char>(ch)));
    char programFiles[MAX_PATH] = "";
    GetShortPathNameA(fixtures::SpecialFolder(CSIDL_PROGRAM_FILES).c_str(), programFiles, MAX_PATH);
    const std::string refused[] = {windows + "\\notepad.exe", windows + "TOOLS\\x.exe", slashed,
                                   windows + ".\\notepad.exe", "C:\\x\\..\\" + windows.substr(3) + "\\notepad.exe",
                                   fixtures::SpecialFolder(CSIDL_PERSONAL), fixtures::SpecialFolder(CSIDL_PROGRAMS),
                                   programFiles, "\\\\server\\share\\app.exe"};
    for (const std::string& target : refused) {
        Analyze(target);
        EXPECT_EQ(rows, Rows()) << target;
    }
    ASSERT_EQ(sizeof(refused) / sizeof(refused[0]), answerer.Count());
    EXPECT_EQ(LoadStringText(IDS_REFUSED), answerer.Boxes()[0].text);

    // A shortcut path is handed to the analyzer, which refuses a missing one: the
    // list was cleared first, and the same message shows.
    Analyze(windows + "\\missing.LNK");
    EXPECT_EQ(0, Rows());
    EXPECT_EQ(sizeof(refused) / sizeof(refused[0]) + 1, answerer.Count());
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
    EXPECT_EQ(program, apptest::ItemText(list, 0, 0));
    EXPECT_EQ(0, apptest::ItemImage(list, 0));
    const std::string weakRow = "HKEY_CURRENT_USER\\" + otherTool.Path() + "\\Viewer";
    EXPECT_EQ(-1, FindRow("HKEY_CURRENT_USER\\" + otherTool.Path()));
    for (int row = 0; row < Rows(); ++row)
        EXPECT_EQ(apptest::ItemText(list, row, 0) != weakRow, apptest::ItemChecked(list, row)) << row;
    int otherRow = FindRow(weakRow);
    ASSERT_GE(otherRow, 0);
    EXPECT_EQ(LoadStringText(IDS_REGVALUE) + LoadStringText(IDS_WEAK_SEPARATOR) +
                  LoadStringText(IDS_WEAK_OTHER_SETTINGS),
              apptest::ItemText(list, otherRow, 1));

    int folderRow = FindRow(folder);
    ASSERT_GE(folderRow, 0);
    EXPECT_EQ(1, apptest::ItemImage(list, folderRow));

    int keyRow = FindRow("HKEY_CURRENT_USER\\" + softwareKey);
    ASSERT_GE(keyRow, 0);
    EXPECT_EQ(3, apptest::ItemImage(list, keyRow));
    EXPECT_EQ(LoadStringText(IDS_REGKEY), apptest::ItemText(list, keyRow, 1));
    int valueRow = FindRow("HKEY_CURRENT_USER\\" + softwareKey + "\\Path");
    ASSERT_EQ(keyRow + 1, valueRow);
    EXPECT_EQ(2, apptest::ItemImage(list, valueRow));
    EXPECT_EQ(LoadStringText(IDS_REGVALUE), apptest::ItemText(list, valueRow, 1));

    EXPECT_EQ(LoadStringText(IDS_ANALYSIS_DONE), Status());
    EXPECT_TRUE(UninstallEnabled());
}

TEST_F(SmartPageTest, RemovalTakesTheCheckedTracesAndReportsTheOutcome)
{
    Analyze(program);
    const int rows = Rows();
    int dataRow = FindRow(data);
    ASSERT_GE(dataRow, 0);
    apptest::SetChecked(list, dataRow, false);
    {
        fixtures::MessageBoxAnswerer answerer(IDCANCEL);
        SendMessageA(page.GetDlgItem(IDC_UNINSTALL), BM_CLICK, 0, 0);
        ASSERT_EQ(1u, answerer.Count());
        EXPECT_EQ(LoadStringText(IDS_CONFIRM_REMOVE), answerer.Boxes()[0].text);
    }
    EXPECT_TRUE(fixtures::FileExists(program));
    EXPECT_FALSE(apptest::ItemChecked(list, dataRow));

    {
        fixtures::MessageBoxAnswerer answerer(IDOK);
        SendMessageA(page.GetDlgItem(IDC_UNINSTALL), BM_CLICK, 0, 0);
    }
    EXPECT_FALSE(fixtures::FileExists(program));
    EXPECT_TRUE(fixtures::FileExists(data));  // unchecked: kept, and so is its folder
    EXPECT_TRUE(fixtures::DirExists(folder));
    EXPECT_FALSE(fixtures::KeyExists(HKEY_CURRENT_USER, softwareKey));
    EXPECT_EQ(0, Rows());
    EXPECT_EQ("", apptest::WindowText(page.GetDlgItem(IDC_TARGET)));
    EXPECT_FALSE(UninstallEnabled());
    // The status line says what happened: the folder was kept for the unchecked
    // file, not something that failed.
    EXPECT_EQ(Format(IDS_REMOVAL_SUMMARY, rows - 2, 0, 0) + Format(IDS_REMOVAL_KEPT, 1), Status());
}

TEST_F(SmartPageTest, NotificationsWithoutATraceAddNoRow)
{
    EXPECT_EQ(1, page.SendMessage(WM_TRACE_NOTIFY, TRACE_NOTIFY_CODE + 1, 0));
    TraceItem item = {};
    item.kind = TRACE_FILE;
    EXPECT_EQ(1, page.SendMessage(WM_TRACE_NOTIFY, TRACE_NOTIFY_CODE, 0));
    EXPECT_EQ(1, page.SendMessage(WM_TRACE_NOTIFY, TRACE_NOTIFY_CODE + 1, reinterpret_cast<LPARAM>(&item)));
    EXPECT_EQ(0, Rows());
    item.rootKey = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000005));
    item.kind = TRACE_REGKEY;
    lstrcpyA(item.path, "Software\\X");
    EXPECT_EQ(1, page.SendMessage(WM_TRACE_NOTIFY, TRACE_NOTIFY_CODE, reinterpret_cast<LPARAM>(&item)));
    EXPECT_EQ("\\Software\\X", apptest::ItemText(list, 0, 0));
}

TEST_F(SmartPageTest, DropsTakeTheFirstExistingFileOrAShortcutsTarget)
{
    HWND target = page.GetDlgItem(IDC_TARGET);
    fixtures::TempDir temp;
    std::string link = temp.Path() + "\\app.lnk";
    std::string stale = temp.Path() + "\\stale.lnk";
    std::string folderLink = temp.Path() + "\\folder.lnk";
    ASSERT_TRUE(fixtures::MakeShortcut(link, program));
    ASSERT_TRUE(fixtures::WriteFileText(temp.Path() + "\\gone.exe", "MZ"));
    ASSERT_TRUE(fixtures::MakeShortcut(stale, temp.Path() + "\\gone.exe"));
    DeleteFileA((temp.Path() + "\\gone.exe").c_str());
    ASSERT_TRUE(fixtures::MakeShortcut(folderLink, folder));

    SetWindowTextA(target, "typed");
    for (const std::string& rejected : {stale, folderLink, folder, temp.Path() + "\\missing.exe"}) {
        apptest::DropFiles(target, {rejected});
        EXPECT_EQ("typed", apptest::WindowText(target)) << rejected;
    }
    apptest::DropFiles(target, {data, program});
    EXPECT_EQ(data, apptest::WindowText(target));
    apptest::DropFiles(target, {link});
    EXPECT_EQ(program, apptest::WindowText(target));
}

TEST_F(SmartPageTest, BrowseDialogsTakeOneFileAndLeaveTheCurrentFolder)
{
    HWND target = page.GetDlgItem(IDC_TARGET);
    char saved[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, saved);
    fixtures::TempDir current;
    ASSERT_TRUE(SetCurrentDirectoryA(current.Path().c_str()));
    char before[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, before);
    for (int button : {IDC_PICK_DESKTOP, IDC_PICK_STARTMENU, IDC_PICK_PROGRAM}) {
        SetWindowTextA(target, "");
        FilePicker picker(program);
        SendMessageA(page.GetDlgItem(button), BM_CLICK, 0, 0);
        EXPECT_EQ(program, apptest::WindowText(target)) << button;
        char after[MAX_PATH] = "";
        GetCurrentDirectoryA(MAX_PATH, after);
        EXPECT_STREQ(before, after) << button;
    }
    // Two names at once are no target, never the folder that holds them.
    SetWindowTextA(target, "typed");
    FilePicker picker("\"" + program + "\" \"" + data + "\"");
    SendMessageA(page.GetDlgItem(IDC_PICK_PROGRAM), BM_CLICK, 0, 0);
    EXPECT_EQ("typed", apptest::WindowText(target));
    SetCurrentDirectoryA(saved);
}

TEST_F(SmartPageTest, ControlsCannotReenterARunningAnalysis)
{
    bool probed = false;
    page.duringAnalysis = [&]() {
        probed = true;
        EXPECT_TRUE(page.IsAnalyzing());
        for (int id : {IDC_ANALYZE, IDC_UNINSTALL, IDC_PICK_DESKTOP, IDC_PICK_STARTMENU, IDC_PICK_PROGRAM})
            EXPECT_FALSE(IsWindowEnabled(page.GetDlgItem(id))) << id;
        HWND target = page.GetDlgItem(IDC_TARGET);
        apptest::DropFiles(target, {data});
        EXPECT_EQ(program, apptest::WindowText(target));
        page.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_ANALYZE, BN_CLICKED),
                         reinterpret_cast<LPARAM>(page.GetDlgItem(IDC_ANALYZE)));
        page.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_UNINSTALL, BN_CLICKED),
                         reinterpret_cast<LPARAM>(page.GetDlgItem(IDC_UNINSTALL)));
    };
    fixtures::MessageBoxAnswerer answerer(IDOK);
    Analyze(program);
    EXPECT_TRUE(probed);
    EXPECT_EQ(0u, answerer.Count());
    EXPECT_FALSE(page.IsAnalyzing());
    EXPECT_TRUE(fixtures::FileExists(program));
    for (int id : {IDC_ANALYZE, IDC_UNINSTALL, IDC_PICK_DESKTOP, IDC_PICK_STARTMENU, IDC_PICK_PROGRAM})
        EXPECT_TRUE(IsWindowEnabled(page.GetDlgItem(id))) << id;
}

TEST_F(SmartPageTest, InTheMainWindowAnAnalysisLocksTheQuickPageButNotNavigationOrKeyboard)
{
    CMainDialog dialog;
    ASSERT_TRUE(dialog.Create(IDD_MAIN_DIALOG));
    dialog.SendMessage(WM_COMMAND, MAKEWPARAM(ID_PAGE_SMART, BN_CLICKED), 0);
    HWND smart = dialog.smartPage.m_hWnd;
    HWND quick = dialog.quickPage.m_hWnd;
    HWND target = GetDlgItem(smart, IDC_TARGET);
    SetWindowTextA(target, program.c_str());
    const int quickActions[] = {IDC_UNINSTALL, IDC_DELETE_ENTRY, IDC_REFRESH};

    ProbeWindow probe;
    RECT rect = {0, 0, 10, 10};
    ASSERT_TRUE(probe.CreateEx(0, nullptr, "probe", WS_POPUP, rect, nullptr, 0));
    HWND focusAfterTab = nullptr;
    bool probed = false;
    probe.probes[0] = [&]() {
        probed = true;
        for (int id : quickActions)
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(quick, id))) << id;
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog.m_hWnd, IDC_NAVIGATION_BAR)));
        // The user presses Tab in the target field while the search runs.
        SetFocus(target);
        PostMessageA(target, WM_KEYDOWN, VK_TAB, 0);
        PostMessageA(probe.m_hWnd, WM_APP + 1, 0, 0);
    };
    probe.probes[1] = [&]() { focusAfterTab = GetFocus(); };
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
