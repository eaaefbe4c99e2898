// The application framework under real windows: dialogs from templates of the
// tests' own, data exchange, message reflection, the modal loop and message boxes;
// the list's sort arrow on either kind of header;
// whether a path exists; the readings of command lines, icon references and product
// codes; files read whole.
#include "FrameworkTestDialogs.h"
#include "framework/Button.h"
#include "framework/Dialog.h"
#include "framework/Handles.h"
#include "framework/IconReference.h"
#include "framework/ListCtrl.h"
#include "framework/PackProductCode.h"
#include "framework/ParseCommandLine.h"
#include "framework/PathExists.h"
#include "framework/ReadWholeFile.h"
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
// Where the header draws sort arrows itself it is told which; otherwise the list puts
// its own arrow bitmap on the item's right: one pixel at the top for ascending, the
// full width at the top for descending. Either way one column at a time has it.
TEST(ListCtrl, TheSortArrowShowsOnEitherKindOfHeader)
{
    CListCtrl list;
    ASSERT_TRUE(list.SubclassWindow(CreateWindowExA(0, WC_LISTVIEWA, "", WS_POPUP | LVS_REPORT, 0, 0, 300, 200, nullptr,
                                                    nullptr, nullptr, nullptr)));
    for (int column = 0; column < 3; ++column)
        list.InsertColumn(column, "column", LVCFMT_LEFT, 80);
    HWND header = ListView_GetHeader(list);
    auto item = [&](int column) {
        HDITEMA read = {};
        read.mask = HDI_FORMAT | HDI_BITMAP;
        Header_GetItem(header, column, &read);
        return read;
    };
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    // The arrow's shadow pixels in its top and bottom rows.
    auto widths = [&](HBITMAP arrow) {
        BITMAP size = {};
        GetObjectA(arrow, sizeof(size), &size);
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ before = SelectObject(dc, arrow);
        int top = 0, bottom = 0;
        for (int x = 0; x < size.bmWidth; ++x) {
            top += GetPixel(dc, x, 0) == shadow;
            bottom += GetPixel(dc, x, size.bmHeight - 1) == shadow;
        }
        SelectObject(dc, before);
        DeleteDC(dc);
        return std::make_pair(top, bottom);
    };
    const int flags = HDF_SORTUP | HDF_SORTDOWN | HDF_BITMAP | HDF_BITMAP_ON_RIGHT;

    list.ShowSortArrow(1, true, false);
    EXPECT_EQ(HDF_BITMAP | HDF_BITMAP_ON_RIGHT, item(1).fmt & flags);
    ASSERT_NE(nullptr, item(1).hbm);
    EXPECT_EQ(std::make_pair(1, 9), widths(item(1).hbm));
    list.ShowSortArrow(2, false, false);
    EXPECT_EQ(0, item(1).fmt & flags);
    EXPECT_EQ(HDF_BITMAP | HDF_BITMAP_ON_RIGHT, item(2).fmt & flags);
    ASSERT_NE(nullptr, item(2).hbm);
    EXPECT_EQ(std::make_pair(9, 1), widths(item(2).hbm));
    list.ShowSortArrow(0, false, true);
    EXPECT_EQ(HDF_SORTDOWN, item(0).fmt & flags);
    EXPECT_EQ(0, item(2).fmt & flags);
    list.DestroyWindow();
}

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

// The forms uninstall entries use, each with the one answer of the command reader
// (what it runs, its arguments, whether it may be started: an existing file named
// in full) and of the icon reader (the file and the icon's index). The files the
// rules look for are real: an unquoted path with spaces, a comma in a folder's name,
// the system's programs; environment references are expanded.
TEST(CommandLineAndIconForms, EachFormHasOneAnswer)
{
    const std::string programFiles = fixtures::ProgramFilesFolder();
    fixtures::ScopedDir spaced(programFiles + "\\" + fixtures::UniqueName("Um A B"));
    fixtures::ScopedDir vendor(programFiles + "\\" + fixtures::UniqueName("Um Acme, Inc"));
    fixtures::TempDir modules("umforms");
    const std::string uninst = spaced.Path() + "\\uninst.exe", app = vendor.Path() + "\\App\\app.exe";
    const std::string dll = modules.Path() + "\\y.dll", system = fixtures::SystemFolder();
    const std::string commaNamed = modules.Path() + "\\pack,2";  // a file's own name ends in ",2"
    for (const std::string& file : {uninst, app, dll, commaNamed})
        ASSERT_TRUE(fixtures::WriteFileText(file, "MZ")) << file;
    ASSERT_TRUE(SetEnvironmentVariableA("UM_FORMS_AB", spaced.Path().c_str()));
    const std::string guid = "{6B1F3A52-90C4-4D7E-A1B3-5C2E8F0D4A11}", longPath = "C:\\" + std::string(300, 'a');
    const struct {
        std::string text;
        CommandProgram named;
        std::string program, arguments;
        bool startable;
        std::string iconFile;  // empty: the icon reader names nothing
        int iconIndex;
    } forms[] = {
        {"\"" + uninst + "\" /S", PROGRAM_PATH, uninst, "/S", true, uninst, 0},
        {uninst + " /S", PROGRAM_PATH, uninst, "/S", true, uninst + " /S", 0},
        {"\"" + uninst, PROGRAM_PATH, uninst, "", true, uninst, 0},  // a quote never closed
        {"  \"" + uninst + "\"   ", PROGRAM_PATH, uninst, "", true, uninst, 0},
        {uninst + " /S  \t", PROGRAM_PATH, uninst, "/S", true, uninst + " /S", 0},
        {app + ",0", PROGRAM_NONE, "", "", false, app, 0},
        {"\"" + app + "\",0", PROGRAM_PATH, app, ",0", true, app, 0},
        {app, PROGRAM_PATH, app, "", true, app, 0},
        {dll + ",-101", PROGRAM_NONE, "", "", false, dll, -101},
        {commaNamed, PROGRAM_NONE, "", "", false, commaNamed, 0},
        {"\"" + commaNamed + "\"", PROGRAM_PATH, commaNamed, "", true, commaNamed, 0},
        {"%UM_FORMS_AB%\\uninst.exe /S", PROGRAM_PATH, uninst, "/S", true, uninst + " /S", 0},
        {"%SystemRoot%\\System32\\MsiExec.exe /X" + guid, PROGRAM_PATH, system + "\\MsiExec.exe", "/X" + guid, true,
         system + "\\MsiExec.exe /X" + guid, 0},
        {"MsiExec.exe /X" + guid, PROGRAM_PATH, system + "\\MsiExec.exe", "/X" + guid, true, "MsiExec.exe /X" + guid, 0},
        {"RunDll32.exe shell32.dll,Control_RunDLL appwiz.cpl", PROGRAM_PATH, system + "\\RunDll32.exe",
         "shell32.dll,Control_RunDLL appwiz.cpl", true, "RunDll32.exe shell32.dll,Control_RunDLL appwiz.cpl", 0},
        // A name without its extension is no program's: a setting's word ("write") would be one.
        {"rundll32 \"" + dll + "\",Uninstall", PROGRAM_NONE, "", "", false, "rundll32 \"" + dll + "\",Uninstall", 0},
        // Never looked up: a bare name the system folders lack, a path that is not full.
        {"UmNoSuchTool.exe /S", PROGRAM_UNRESOLVED, "UmNoSuchTool.exe", "/S", false, "UmNoSuchTool.exe /S", 0},
        {"App\\uninst.exe /S", PROGRAM_UNRESOLVED, "App\\uninst.exe", "/S", false, "App\\uninst.exe /S", 0},
        {"C:uninst.exe", PROGRAM_UNRESOLVED, "C:uninst.exe", "", false, "C:uninst.exe", 0},
        {modules.Path() + "\\*.exe", PROGRAM_UNRESOLVED, modules.Path() + "\\*.exe", "", false,
         modules.Path() + "\\*.exe", 0},
        {"", PROGRAM_NONE, "", "", false, "", 0},
        {"\"\" /S", PROGRAM_NONE, "", "", false, "", 0},
        {longPath + ".exe /S", PROGRAM_NONE, "", "", false, "", 0},
        {longPath + ",0", PROGRAM_NONE, "", "", false, "", 0},
    };
    for (const auto& form : forms) {
        SCOPED_TRACE(form.text);
        std::string program = "unset", arguments = "unset";
        EXPECT_EQ(form.named, ParseCommandLine(form.text.c_str(), &program, &arguments));
        EXPECT_EQ(fixtures::LowerAscii(form.program), fixtures::LowerAscii(program));
        EXPECT_EQ(form.arguments, arguments);
        EXPECT_EQ(form.startable, FindStartableProgram(form.text.c_str(), &program, &arguments));
        char file[MAX_PATH] = "unset";
        int index = 7;
        EXPECT_EQ(!form.iconFile.empty(), ReadIconReference(form.text.c_str(), file, MAX_PATH, &index));
        EXPECT_EQ(fixtures::LowerAscii(form.iconFile), fixtures::LowerAscii(file));
        EXPECT_EQ(form.iconIndex, index);
    }
    SetEnvironmentVariableA("UM_FORMS_AB", nullptr);
}

// Product codes as the Installer's keys name them: the first three groups reversed,
// each later byte's digits swapped, upper case; anything but an exact {GUID} is none.
TEST(ProductCode, PacksExactCodesOnly)
{
    const struct {
        const char* code;
        const char* packed;  // "": no product code
    } codes[] = {
        {"{12345678-90AB-CDEF-1234-567890ABCDEF}", "87654321BA09FEDC2143658709BADCFE"},
        {"{90120000-0030-0000-0000-0000000FF1CE}", "00002109030000000000000000F01FEC"},
        {"{6b1f3a52-90c4-4d7e-a1b3-5c2e8f0d4a11}", "25A3F1B64C09E7D41A3BC5E2F8D0A411"},
        {"{00000000-0000-0000-0000-000000000000}", "00000000000000000000000000000000"},
        {"12345678-90AB-CDEF-1234-567890ABCDEF", ""},     // no braces
        {"{12345678-90AB-CDEF-1234-567890ABCDEF", ""},    // one brace
        {"{12345678-90AB-CDEF-1234-567890ABCDEF}x", ""},  // more after it
        {"{12345678-90AB-CDEF-1234-567890ABCDE}", ""},    // a digit short
        {"{12345678-90AB-CDEF-1234-567890ABCDEG}", ""},   // no hex digit
        {"{1234567-890AB-CDEF-1234-567890ABCDEF}", ""},   // a dash moved
        {"{12345678-90AB-CDEF-1234567890ABCDEF0}", ""},   // a dash missing
        {"{12345678 90AB CDEF 1234 567890ABCDEF}", ""},
        {"{\xB5\x5C" "345678-90AB-CDEF-1234-567890ABCDEF}", ""},  // a double-byte character
        {"", ""},
    };
    for (const auto& c : codes) {
        EXPECT_EQ(c.packed, PackProductCode(c.code)) << c.code;
        EXPECT_EQ(*c.packed != '\0', IsProductCode(c.code)) << c.code;
    }
    EXPECT_EQ("", PackProductCode(nullptr));
    EXPECT_FALSE(IsProductCode(nullptr));
}

// A plain file is read whole, every byte as it is, when it holds no more than the cap;
// a larger one, a folder, a missing or held file, or no path gives nothing. Its start
// is read up to the cap, whatever its size.
TEST(ReadWholeFile, ReadsAPlainFileWithinItsCapAndRefusesTheRest)
{
    fixtures::TempDir dir("umwhole");
    const std::string bytes("a\0b\xB2\xE2\r\n", 7), file = dir.Path() + "\\list.txt", empty = dir.Path() + "\\empty";
    const std::string missing = dir.Path() + "\\missing";
    ASSERT_TRUE(fixtures::WriteFileText(file, bytes) && fixtures::WriteFileText(empty, ""));
    const struct {
        const char* path;
        ULONGLONG cap;
        bool read;
        std::string bytes;
    } cases[] = {
        {file.c_str(), 7, true, bytes},  {file.c_str(), 1ULL << 40, true, bytes}, {file.c_str(), 6, false, ""},
        {empty.c_str(), 0, true, ""},    {dir.Path().c_str(), 100, false, ""},
        {missing.c_str(), 100, false, ""},  {nullptr, 100, false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path ? c.path : "(none)");
        std::string read = "unset";
        EXPECT_EQ(c.read, ReadWholeFile(c.path, c.cap, &read));
        EXPECT_EQ(c.bytes, read);
        const DWORD startCap = c.cap > 100 ? 100 : static_cast<DWORD>(c.cap);
        const bool isFile = c.path && c.path != dir.Path().c_str() && c.path != missing.c_str();
        EXPECT_EQ(isFile, ReadFileStart(c.path, startCap, &read));
        EXPECT_EQ(isFile ? bytes.substr(0, c.path == file.c_str() ? startCap : 0) : "", read);
    }
    // A file another program holds without letting others read it.
    OwnedFile held(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    std::string read = "unset";
    EXPECT_FALSE(ReadWholeFile(file.c_str(), 100, &read));
    EXPECT_EQ("", read);
    read = "unset";
    EXPECT_FALSE(ReadFileStart(file.c_str(), 100, &read));
    EXPECT_EQ("", read);
}

}  // namespace
