// What a row of the quick page offers besides its buttons: the context menu (by the
// mouse and by the keyboard) with the page's actions, the install folder, the name on
// the clipboard, the registry editor at the key and the smart page's analysis; and
// the export of the rows as shown.
#include "QuickPageProbe.h"
#include "framework/RegistryTree.h"
#include "inventory/UninstallCommand.h"
#include "resource.h"
#include "support/AppTestSupport.h"
#include "support/Fixtures.h"
#include "support/MessageBoxAnswerer.h"
#include "support/TableReaders.h"

#include <shlwapi.h>

#include <gtest/gtest.h>

namespace {

using Texts = std::vector<std::string>;
const char kRegeditKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit";

class QuickPageActionsTest : public ::testing::Test {
protected:
    fixtures::ScopedKeyIsolation machineEntries{HKEY_LOCAL_MACHINE, fixtures::kUninstallKey};
    fixtures::ScopedKeyIsolation userEntries{HKEY_CURRENT_USER, fixtures::kUserUninstallKey};
    fixtures::ScopedKeyIsolation regedit{HKEY_CURRENT_USER, kRegeditKey};
    fixtures::ScopedDir folder{fixtures::ProgramFilesFolder() + "\\" + fixtures::UniqueName("UmActions")};
    const std::string present = "\"" + fixtures::IconExecutable() + "\" /S";
    const std::string alpha = fixtures::Ansi("阿尔法, \"Alpha\" 版"), beta = fixtures::Ansi("贝塔");

    void SetUp() override
    {
        ASSERT_TRUE(fixtures::WriteFileText(folder.Path() + "\\app.exe", "MZ"));
        Add(HKEY_LOCAL_MACHINE, fixtures::kUninstallKey, "Alpha", alpha, present);
        fixtures::SetString(HKEY_LOCAL_MACHINE, std::string(fixtures::kUninstallKey) + "\\Alpha", "InstallLocation",
                            folder.Path());
        fixtures::SetString(HKEY_LOCAL_MACHINE, std::string(fixtures::kUninstallKey) + "\\Alpha", "HelpLink",
                            "http://alpha.example/");
        Add(HKEY_LOCAL_MACHINE, fixtures::kUninstallKey, "Beta", beta, "C:\\Missing\\gone.exe");
        Add(HKEY_CURRENT_USER, fixtures::kUserUninstallKey, "Mine", "Mine", present);
        fixtures::SetString(HKEY_CURRENT_USER, std::string(fixtures::kUserUninstallKey) + "\\Mine", "InstallLocation",
                            folder.Path());
        ASSERT_TRUE(host.CreateEx(0, nullptr, "host", WS_OVERLAPPEDWINDOW, RECT{0, 0, 800, 500}, nullptr, 0));
        ASSERT_TRUE(page.Create(IDD_QUICK_PAGE, &host));
        list = page.GetDlgItem(IDC_LIST);
        ASSERT_TRUE(apptest::PumpUntil([&] { return !page.IsLoading(); }, 30000));
    }
    void Add(HKEY root, const std::string& place, const std::string& key, const std::string& name,
             const std::string& command)
    {
        fixtures::SetString(root, place + "\\" + key, "DisplayName", name);
        fixtures::SetString(root, place + "\\" + key, "UninstallString", command);
    }
    int Row(const std::string& name) const { return apptest::FindRow(list, name); }
    // The context menu of a row as the keyboard opens it, the choice made there.
    void Choose(const std::string& name, UINT choice)
    {
        apptest::SelectRow(list, Row(name));
        page.menuChoice = choice;
        SendMessageA(list, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), -1);
    }
    const quicktest::MenuItem* Item(UINT id) const
    {
        for (const quicktest::MenuItem& item : page.menu)
            if (item.id == id)
                return &item;
        return nullptr;
    }

    quicktest::ProbeHost host;
    quicktest::ProbedQuickPage page;
    HWND list = nullptr;
};

// A right click selects the row under the pointer and shows the menu there; the
// keyboard shows it under the selected row. The menu names the page's actions as the
// buttons do, then the row's others; what cannot be done is greyed.
TEST_F(QuickPageActionsTest, TheMenuFollowsThePointerOrTheSelectedRow)
{
    RECT bounds = {};
    ASSERT_TRUE(ListView_GetItemRect(list, Row(beta), &bounds, LVIR_LABEL));
    POINT at = {bounds.left + 5, (bounds.top + bounds.bottom) / 2};
    ClientToScreen(list, &at);
    SendMessageA(list, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(at.x, at.y));
    EXPECT_EQ(Row(beta), ListView_GetNextItem(list, -1, LVNI_SELECTED));
    EXPECT_EQ(at.x, page.menuAt.x);
    EXPECT_EQ(at.y, page.menuAt.y);
    ASSERT_EQ(9u, page.menu.size());
    Texts texts;
    for (const quicktest::MenuItem& item : page.menu)
        texts.push_back(item.text);
    EXPECT_EQ((Texts{LoadStringText(IDS_MENU_DELETE_ENTRY), LoadStringText(IDS_MENU_UNINSTALL),
                     LoadStringText(IDS_MENU_REFRESH), LoadStringText(IDS_MENU_HELP_LINK), "",
                     LoadStringText(IDS_MENU_OPEN_FOLDER), LoadStringText(IDS_MENU_COPY_NAME),
                     LoadStringText(IDS_MENU_LOCATE_KEY), LoadStringText(IDS_MENU_SMART_UNINSTALL)}),
              texts);
    EXPECT_FALSE(Item(IDC_OPEN_LINK)->enabled);  // Beta has no help link
    EXPECT_FALSE(Item(IDM_OPEN_FOLDER)->enabled);  // nor a folder

    Choose(alpha, 0);
    RECT row = {};
    ListView_GetItemRect(list, Row(alpha), &row, LVIR_LABEL);
    POINT under = {row.left, row.bottom};
    ClientToScreen(list, &under);
    EXPECT_EQ(under.x, page.menuAt.x);
    EXPECT_EQ(under.y, page.menuAt.y);
    for (const quicktest::MenuItem& item : page.menu)
        EXPECT_EQ(item.id != 0, item.enabled) << item.text;  // everything (the separator aside)
    EXPECT_TRUE(Item(IDC_UNINSTALL)->byDefault);
    // While an analysis runs elsewhere, the actions are off here too.
    page.EnableActions(false);
    Choose(alpha, 0);
    for (UINT id : {IDC_UNINSTALL, IDC_DELETE_ENTRY, IDC_REFRESH, IDC_OPEN_LINK, IDM_SMART_UNINSTALL})
        EXPECT_FALSE(Item(id)->enabled) << id;
    EXPECT_TRUE(Item(IDM_COPY_NAME)->enabled);
}

TEST_F(QuickPageActionsTest, ThePagesActionsRunFromTheMenu)
{
    Choose(alpha, IDC_UNINSTALL);
    EXPECT_EQ(Texts{present}, page.commands);
    EXPECT_TRUE(page.IsWaiting());
    SendMessageA(page.GetDlgItem(IDC_UNINSTALL), BM_CLICK, 0, 0);  // stop waiting
    apptest::PumpUntil([&] { return !page.IsLoading(); }, 30000);

    const Texts asked = fixtures::MessageBoxAnswerer::TextsDuring(IDYES, [&] { Choose(beta, IDC_DELETE_ENTRY); });
    EXPECT_EQ(Texts{LoadStringText(IDS_CONFIRM_FORCED)}, asked);
    ASSERT_TRUE(apptest::PumpUntil([&] { return !page.IsLoading(); }, 30000));
    EXPECT_EQ(-1, Row(beta));
    EXPECT_FALSE(fixtures::KeyExists(HKEY_LOCAL_MACHINE, std::string(fixtures::kUninstallKey) + "\\Beta"));

    Add(HKEY_LOCAL_MACHINE, fixtures::kUninstallKey, "Gamma", "Gamma", present);
    Choose(alpha, IDC_REFRESH);
    ASSERT_TRUE(apptest::PumpUntil([&] { return !page.IsLoading(); }, 30000));
    EXPECT_NE(-1, Row("Gamma"));
}

// The install folder opens in Explorer; a user's product's folder only as the desktop
// user, which Wine has none of: refused, and the page says so.
TEST_F(QuickPageActionsTest, TheInstallFolderOpensAsItsOwnerMayOpenIt)
{
    Choose(alpha, IDM_OPEN_FOLDER);
    ASSERT_EQ(1u, page.folders.size());
    EXPECT_EQ(folder.Path(), page.folders[0].first);
    EXPECT_EQ(HKEY_LOCAL_MACHINE, page.folders[0].second);
    page.openFolders = true;
    const Texts shown = fixtures::MessageBoxAnswerer::TextsDuring(IDOK, [&] { Choose("Mine", IDM_OPEN_FOLDER); });
    EXPECT_EQ(Texts{apptest::FormatString(IDS_FOLDER_REFUSED, folder.Path().c_str())}, shown);
}

// Only a plain, existing folder is ever opened: not a file (Explorer would run it), not
// a link, not a name with a quote.
TEST(OpenFolderInExplorer, OpensNothingButAPlainFolder)
{
    fixtures::TempDir base("umopen");
    ASSERT_TRUE(fixtures::WriteFileText(base.Path() + "\\tool.exe", "MZ"));
    ASSERT_TRUE(fixtures::MakeDirs(base.Path() + "\\real"));
    ASSERT_TRUE(fixtures::MakeFolderLink(base.Path() + "\\link", base.Path() + "\\real"));
    for (const std::string& refused : {base.Path() + "\\tool.exe", base.Path() + "\\link", base.Path() + "\\gone",
                                       std::string(""), base.Path() + "\\real\" /select,\"C:\\x"}) {
        EXPECT_EQ(COMMAND_NOT_FOUND, OpenFolderInExplorer(refused.c_str(), HKEY_LOCAL_MACHINE)) << refused;
        EXPECT_EQ(COMMAND_NOT_FOUND, OpenFolderInExplorer(refused.c_str(), HKEY_CURRENT_USER)) << refused;
    }
    EXPECT_EQ(COMMAND_NO_DESKTOP_USER, OpenFolderInExplorer((base.Path() + "\\real").c_str(), HKEY_CURRENT_USER));
    fixtures::RemoveFolderLink(base.Path() + "\\link");
}

TEST_F(QuickPageActionsTest, TheNameGoesToTheClipboard)
{
    Choose(alpha, IDM_COPY_NAME);
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE data = GetClipboardData(CF_TEXT);
    const char* text = data ? static_cast<const char*>(GlobalLock(data)) : nullptr;
    const std::string copied = text ? text : "";
    if (text)
        GlobalUnlock(data);
    CloseClipboard();
    EXPECT_EQ(alpha, copied);
}

// The registry editor opens where it last was: the page writes the entry's key there
// and starts the Windows folder's editor; a link in place of the editor's setting key
// is not written through, and then nothing starts.
TEST_F(QuickPageActionsTest, TheRegistryEditorIsSentToTheEntrysKey)
{
    auto lastKey = [] {
        char text[1024] = "";
        DWORD size = sizeof(text);
        SHGetValueA(HKEY_CURRENT_USER, kRegeditKey, "LastKey", nullptr, text, &size);
        return std::string(text);
    };
    Choose(alpha, IDM_LOCATE_KEY);
    EXPECT_EQ("HKEY_LOCAL_MACHINE\\" + std::string(fixtures::kUninstallKey) + "\\Alpha", lastKey());
    Choose("Mine", IDM_LOCATE_KEY);
    EXPECT_EQ("HKEY_CURRENT_USER\\" + std::string(fixtures::kUserUninstallKey) + "\\Mine", lastKey());
    const std::string editor = fixtures::WindowsFolder() + "\\regedit.exe";
    EXPECT_EQ((Texts{editor, editor}), page.editors);

    fixtures::ScopedKey victim(HKEY_CURRENT_USER, "Software\\" + fixtures::UniqueName("UmVictim"));
    fixtures::DeleteKeyTree(HKEY_CURRENT_USER, kRegeditKey);
    ASSERT_TRUE(fixtures::MakeRegistryLinkTo(HKEY_CURRENT_USER, kRegeditKey,
                                             "\\Registry\\User\\" + fixtures::UserSid() + "\\" + victim.Path()));
    Choose(alpha, IDM_LOCATE_KEY);
    EXPECT_FALSE(fixtures::ValueExists(HKEY_CURRENT_USER, victim.Path(), "LastKey"));
    EXPECT_EQ(2u, page.editors.size());
    ::DeleteKeyTree(HKEY_CURRENT_USER, kRegeditKey);
}

// The smart page is asked, by a message to the page's parent, to analyse the product.
TEST_F(QuickPageActionsTest, SmartUninstallAsksForTheProductsAnalysis)
{
    Choose(alpha, IDM_SMART_UNINSTALL);
    EXPECT_TRUE(host.analysed.empty());  // posted: the menu's message ends first
    apptest::Pump();
    ASSERT_EQ(1u, host.analysed.size());
    EXPECT_EQ(folder.Path(), host.analysed[0].installLocation);
    EXPECT_EQ(alpha, host.analysed[0].displayName);
    EXPECT_EQ(std::string(fixtures::kUninstallKey) + "\\Alpha", host.analysed[0].keyPath);
    EXPECT_EQ(HKEY_LOCAL_MACHINE, host.analysed[0].root);
}

// The rows as shown, filtered and sorted, every column, go to the file in either form
// and read back whole; a file that cannot be written is reported.
TEST_F(QuickPageActionsTest, TheExportHoldsTheRowsAsShown)
{
    fixtures::SetString(HKEY_LOCAL_MACHINE, std::string(fixtures::kUninstallKey) + "\\Alpha", "Publisher",
                        "Acme, \"Best\" <Co> & Sons");
    fixtures::SetString(HKEY_LOCAL_MACHINE, std::string(fixtures::kUninstallKey) + "\\Alpha", "DisplayVersion", "1.2");
    fixtures::SetDword(HKEY_LOCAL_MACHINE, std::string(fixtures::kUninstallKey) + "\\Alpha", "EstimatedSize", 3000);
    SendMessageA(page.GetDlgItem(IDC_REFRESH), BM_CLICK, 0, 0);
    ASSERT_TRUE(apptest::PumpUntil([&] { return !page.IsLoading(); }, 30000));
    SetWindowTextA(page.GetDlgItem(IDC_FILTER), "a");  // Alpha and Beta's key names
    NMLISTVIEW click = {};
    click.hdr = {list, IDC_LIST, LVN_COLUMNCLICK};
    click.iSubItem = 0;
    SendMessageA(page, WM_NOTIFY, IDC_LIST, reinterpret_cast<LPARAM>(&click));
    SendMessageA(page, WM_NOTIFY, IDC_LIST, reinterpret_cast<LPARAM>(&click));  // by name, descending
    std::vector<Texts> shown = {{}};
    for (UINT id : {IDS_COL_NAME, IDS_COL_COMMAND, IDS_COL_PUBLISHER, IDS_COL_VERSION, IDS_COL_SIZE,
                    IDS_COL_INSTALL_DATE, IDS_COL_SOURCE})
        shown[0].push_back(LoadStringText(id));
    for (int row = 0; row < apptest::ItemCount(list); ++row) {
        shown.emplace_back();
        for (int column = 0; column < 7; ++column)
            shown.back().push_back(apptest::ItemText(list, row, column));
    }
    ASSERT_EQ(3u, shown.size());
    EXPECT_EQ(beta, shown[1][0]);
    EXPECT_EQ("2.9 MB", shown[2][4]);

    fixtures::TempDir out("umexport");
    page.exportPath = out.Path() + "\\" + fixtures::Ansi("列表.csv");
    SendMessageA(page.GetDlgItem(IDC_EXPORT), BM_CLICK, 0, 0);
    std::string text;
    ASSERT_TRUE(fixtures::ReadFileText(page.exportPath, &text));
    EXPECT_EQ(shown, tablereaders::ReadCsv(text));
    EXPECT_NE(std::string::npos, text.find("\"Acme, \"\"Best\"\" <Co> & Sons\""));

    page.exportPath = out.Path() + "\\list.HTML";
    SendMessageA(page.GetDlgItem(IDC_EXPORT), BM_CLICK, 0, 0);
    ASSERT_TRUE(fixtures::ReadFileText(page.exportPath, &text));
    EXPECT_EQ(shown, tablereaders::ReadHtml(text));

    page.exportPath = out.Path() + "\\no such folder\\list.csv";
    const Texts said = fixtures::MessageBoxAnswerer::TextsDuring(
        IDOK, [&] { SendMessageA(page.GetDlgItem(IDC_EXPORT), BM_CLICK, 0, 0); });
    EXPECT_EQ(Texts{apptest::FormatString(IDS_EXPORT_FAILED, page.exportPath.c_str())}, said);
    page.exportPath.clear();  // cancelled: nothing written, nothing said
    EXPECT_EQ(Texts{}, fixtures::MessageBoxAnswerer::TextsDuring(
                           IDOK, [&] { SendMessageA(page.GetDlgItem(IDC_EXPORT), BM_CLICK, 0, 0); }));
}

}  // namespace
