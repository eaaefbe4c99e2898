// The quick-uninstall page over real uninstall entries, and the uninstall commands
// it starts.
#include "inventory/QuickUninstallPage.h"
#include "framework/WinApp.h"
#include "inventory/UninstallCommand.h"
#include "resource.h"
#include "support/Fixtures.h"
#include "support/MessageBoxAnswerer.h"
#include "support/TraceCoverage.h"

#include "support/AppTestSupport.h"

#include "DemoSeed.h"
#include "InstallLog.h"

#include <tlhelp32.h>

#include <gtest/gtest.h>

namespace {

const char kUninstall[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// The page with the link opening recorded, and the uninstall command recorded too
// unless the test lets it run.
class RecordingQuickPage : public CQuickUninstallPage {
public:
    std::vector<std::string> commands;
    std::vector<std::string> links;
    bool runCommands = false;
    LONG deletionDenied = ERROR_SUCCESS;  // what deleting a registration answers instead
    const CInstalledSoftwareList& List() const { return inventory; }

protected:
    bool RunUninstallCommand(const char* command) override
    {
        commands.push_back(command);
        return runCommands ? CQuickUninstallPage::RunUninstallCommand(command) : true;
    }
    LONG DeleteEntryKey(HKEY root, const char* keyPath) override
    {
        return deletionDenied ? deletionDenied : CQuickUninstallPage::DeleteEntryKey(root, keyPath);
    }
    void OpenLink(const char* link) override { links.push_back(link); }
};

// The demo uninstaller, built next to the test programs.
std::string DemoUninstaller()
{
    return demo::BuiltPayloadFolder() + "\\DemoUninstall.exe";
}

// Ends every running process of that file name; how many there were.
int EndProcessesNamed(const char* exeName)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    int found = 0;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (_stricmp(entry.szExeFile, exeName) != 0)
            continue;
        ++found;
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID);
        if (process) {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, 5000);
            CloseHandle(process);
        }
    }
    CloseHandle(snapshot);
    return found;
}

bool WaitUntilKeyGone(HKEY root, const std::string& path)
{
    for (int i = 0; i < 300 && fixtures::KeyExists(root, path); ++i)
        Sleep(50);
    return !fixtures::KeyExists(root, path);
}

std::string FormatString(UINT id, const std::string& subject)
{
    char text[1024] = "";
    snprintf(text, sizeof(text), LoadStringText(id).c_str(), subject.c_str());
    return text;
}

struct Product {
    std::string key;
    std::string name;
    std::string command;
    std::string publisher;
    std::string helpLink;
};

class QuickPageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        products = {
            {"Beta", fixtures::Ansi("贝塔软件"), "\"C:\\Beta\\uninst.exe\" /S", "Beta Corp", "http://beta.example/"},
            {"Alpha", "Alpha Tool", "C:\\Alpha\\remove.exe", "", ""},
            {"Gamma", "Gamma", "\"" + fixtures::IconExecutable() + "\"", fixtures::Ansi("伽马"), "http://g/"},
        };
        for (const Product& product : products) {
            std::string path = std::string(kUninstall) + "\\" + product.key;
            fixtures::SetString(HKEY_LOCAL_MACHINE, path, "DisplayName", product.name);
            fixtures::SetString(HKEY_LOCAL_MACHINE, path, "UninstallString", product.command);
            if (!product.publisher.empty())
                fixtures::SetString(HKEY_LOCAL_MACHINE, path, "Publisher", product.publisher);
            if (!product.helpLink.empty())
                fixtures::SetString(HKEY_LOCAL_MACHINE, path, "HelpLink", product.helpLink);
        }
        RECT rect = {0, 0, 700, 500};
        ASSERT_TRUE(host.CreateEx(0, nullptr, "host", WS_OVERLAPPEDWINDOW, rect, nullptr, 0));
        ASSERT_TRUE(page.Create(IDD_QUICK_PAGE, &host));
        list = page.GetDlgItem(IDC_LIST);
        order = fixtures::SubkeyNames(HKEY_LOCAL_MACHINE, kUninstall);
    }

    const Product& ProductAt(int row) const
    {
        for (const Product& product : products) {
            if (product.key == order[row])
                return product;
        }
        return products[0];
    }
    int RowNamed(const std::string& name) const
    {
        for (int row = 0; row < apptest::ItemCount(list); ++row) {
            if (apptest::ItemText(list, row, 0) == name)
                return row;
        }
        return -1;
    }
    std::string Field(int id) const { return apptest::WindowText(page.GetDlgItem(id)); }
    bool LinkButtonEnabled() const { return IsWindowEnabled(page.GetDlgItem(IDC_OPEN_LINK)) != 0; }
    void Click(int id) { SendMessageA(page.GetDlgItem(id), BM_CLICK, 0, 0); }

    fixtures::ScopedKeyIsolation isolation{HKEY_LOCAL_MACHINE, kUninstall};
    std::vector<Product> products;
    std::vector<std::string> order;
    CWnd host;
    RecordingQuickPage page;
    HWND list = nullptr;
};

// Every product in registry order with an image each; selecting a row shows its
// record, and the help-link button follows it.
TEST_F(QuickPageTest, ListsEveryProductAndSelectionShowsItsRecord)
{
    ASSERT_EQ(3, apptest::ItemCount(list));
    ASSERT_EQ(3u, order.size());
    HIMAGELIST images = reinterpret_cast<HIMAGELIST>(SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
    EXPECT_EQ(3, ImageList_GetImageCount(images));
    EXPECT_FALSE(LinkButtonEnabled());
    EXPECT_EQ("", Field(IDC_DISPLAY_NAME));
    for (int row = 0; row < 3; ++row) {
        const Product& product = ProductAt(row);
        EXPECT_EQ(product.name, apptest::ItemText(list, row, 0));
        EXPECT_EQ(product.command, apptest::ItemText(list, row, 1));
        EXPECT_EQ(product.publisher, apptest::ItemText(list, row, 2));
        EXPECT_EQ(row, apptest::ItemImage(list, row));
        apptest::SelectRow(list, row);
        EXPECT_EQ(product.name, Field(IDC_DISPLAY_NAME));
        EXPECT_EQ(product.command, Field(IDC_UNINSTALL_STRING));
        EXPECT_EQ(product.publisher, Field(IDC_PUBLISHER));
        EXPECT_EQ(product.helpLink, Field(IDC_HELP_LINK));
        EXPECT_EQ(std::string(kUninstall) + "\\" + product.key, Field(IDC_KEY_PATH));
        EXPECT_EQ(!product.helpLink.empty(), LinkButtonEnabled());
        if (!product.helpLink.empty()) {
            Click(IDC_OPEN_LINK);
            ASSERT_FALSE(page.links.empty());
            EXPECT_EQ(product.helpLink, page.links.back());
        }
    }
}

TEST_F(QuickPageTest, NormalUninstallRunsTheNamedProgramOrSaysItCannot)
{
    // A real uninstaller in a folder whose path has spaces, a decoy where the
    // unquoted command would be cut at its first space, a product whose uninstaller
    // is missing.
    char programFiles[MAX_PATH] = "";
    ExpandEnvironmentStringsA("%ProgramFiles%", programFiles, MAX_PATH);
    fixtures::ScopedDir folder(std::string(programFiles) + "\\" + fixtures::UniqueName("Um A") + " B");
    const std::string uninstaller = folder.Path() + "\\uninst.exe";
    ASSERT_TRUE(fixtures::CopyFileTo(DemoUninstaller(), uninstaller)) << DemoUninstaller();
    ASSERT_TRUE(fixtures::WriteFileText(folder.Path() + "\\data.txt"));
    demo::InstallLog log;
    log.displayName = "Spaced";
    log.uninstallKey = "Spaced";
    log.files = {"data.txt"};
    ASSERT_TRUE(demo::WriteInstallLog(folder.Path() + "\\install.log", log));
    struct Decoy {
        const char* path = "C:\\Program.exe";
        ~Decoy()
        {
            EndProcessesNamed("Program.exe");
            DeleteFileA(path);
        }
    } decoy;
    ASSERT_TRUE(fixtures::CopyFileTo(DemoUninstaller(), decoy.path));
    const std::string spacedKey = std::string(kUninstall) + "\\Spaced";
    fixtures::SetString(HKEY_LOCAL_MACHINE, spacedKey, "DisplayName", "Spaced");
    fixtures::SetString(HKEY_LOCAL_MACHINE, spacedKey, "UninstallString", uninstaller + " /S");
    const std::string missing = "C:\\Missing Folder\\gone.exe /S";
    fixtures::SetString(HKEY_LOCAL_MACHINE, std::string(kUninstall) + "\\Missing", "DisplayName", "Missing");
    fixtures::SetString(HKEY_LOCAL_MACHINE, std::string(kUninstall) + "\\Missing", "UninstallString", missing);
    page.runCommands = true;
    Click(IDC_REFRESH);
    ASSERT_EQ(5, apptest::ItemCount(list));
    Click(IDC_UNINSTALL);
    EXPECT_TRUE(page.commands.empty());  // nothing selected

    apptest::SelectRow(list, RowNamed("Missing"));
    {
        fixtures::MessageBoxAnswerer answerer(IDOK);
        Click(IDC_UNINSTALL);
        ASSERT_EQ(1u, answerer.Count());
        EXPECT_EQ(FormatString(IDS_UNINSTALL_NOT_STARTED, missing), answerer.Boxes()[0].text);
    }
    EXPECT_NE(-1, RowNamed("Missing"));
    EXPECT_EQ(5, apptest::ItemCount(list));

    apptest::SelectRow(list, RowNamed("Spaced"));
    Click(IDC_UNINSTALL);
    EXPECT_EQ(-1, RowNamed("Spaced"));
    ASSERT_EQ(4, apptest::ItemCount(list));
    for (int row = 0; row < 4; ++row)  // rows and records still go together
        EXPECT_STREQ(apptest::ItemText(list, row, 0).c_str(), page.List().GetAt(row)->displayName);
    // The uninstaller ran, silently as its arguments ask; the decoy never did.
    EXPECT_TRUE(WaitUntilKeyGone(HKEY_LOCAL_MACHINE, spacedKey));
    EXPECT_FALSE(fixtures::FileExists(folder.Path() + "\\data.txt"));
    EXPECT_EQ(0, EndProcessesNamed("Program.exe"));
    EndProcessesNamed("uninst.exe");
}

TEST_F(QuickPageTest, ForcedUninstallAsksDeletesLinksAsLinksAndReportsFailures)
{
    // A registration with a subkey that is a registry link to another program's key.
    fixtures::ScopedKey victim(HKEY_LOCAL_MACHINE, "Software\\" + fixtures::UniqueName("UmVictim"));
    fixtures::SetString(HKEY_LOCAL_MACHINE, victim.Path(), "precious", "1");
    const std::string linked = std::string(kUninstall) + "\\Linked";
    fixtures::SetString(HKEY_LOCAL_MACHINE, linked, "DisplayName", "Linked");
    fixtures::SetString(HKEY_LOCAL_MACHINE, linked, "UninstallString", "C:\\Linked\\u.exe");
    ASSERT_TRUE(fixtures::MakeRegistryLink(HKEY_LOCAL_MACHINE, linked + "\\Shared", victim.Path()));
    Click(IDC_REFRESH);
    apptest::SelectRow(list, RowNamed("Linked"));
    {
        fixtures::MessageBoxAnswerer answerer(IDNO);
        Click(IDC_DELETE_ENTRY);
        ASSERT_EQ(1u, answerer.Count());
        EXPECT_EQ(LoadStringText(IDS_CONFIRM_FORCED), answerer.Boxes()[0].text);
    }
    EXPECT_TRUE(page.commands.empty());
    EXPECT_EQ(4, apptest::ItemCount(list));
    {
        fixtures::MessageBoxAnswerer answerer(IDYES);
        Click(IDC_DELETE_ENTRY);
        EXPECT_EQ(1u, answerer.Count());
    }
    ASSERT_EQ(1u, page.commands.size());
    EXPECT_EQ("C:\\Linked\\u.exe", page.commands[0]);
    EXPECT_FALSE(fixtures::KeyExists(HKEY_LOCAL_MACHINE, linked));
    EXPECT_TRUE(fixtures::ValueExists(HKEY_LOCAL_MACHINE, victim.Path(), "precious"));  // the link is not followed
    EXPECT_EQ(3, apptest::ItemCount(list));
    EXPECT_EQ("", Field(IDC_DISPLAY_NAME));
    EXPECT_FALSE(LinkButtonEnabled());

    // A registration that cannot be deleted is reported, and the list is not rebuilt
    // as if it had gone.
    apptest::SelectRow(list, 0);
    const std::string shown = Field(IDC_DISPLAY_NAME);
    const std::string key = Field(IDC_KEY_PATH);
    page.deletionDenied = ERROR_ACCESS_DENIED;
    {
        fixtures::MessageBoxAnswerer answerer(IDYES);
        Click(IDC_DELETE_ENTRY);
        ASSERT_EQ(2u, answerer.Count());
        EXPECT_EQ(FormatString(IDS_DELETE_ENTRY_FAILED, key), answerer.Boxes()[1].text);
    }
    EXPECT_EQ(3, apptest::ItemCount(list));
    EXPECT_EQ(shown, Field(IDC_DISPLAY_NAME));
}

TEST(UninstallCommand, ProgramIsTheQuotedPathOrTheShortestExistingExePrefix)
{
    fixtures::TempDir base("umcmd");
    const std::string spaced = base.Path() + "\\A B\\uninst.exe";
    const std::string pastFolder = base.Path() + "\\Dir.exe tool\\u.exe";
    ASSERT_TRUE(fixtures::WriteFileText(spaced, "MZ"));
    ASSERT_TRUE(fixtures::WriteFileText(pastFolder, "MZ"));
    ASSERT_TRUE(fixtures::MakeDirs(base.Path() + "\\Dir.exe"));
    const std::string msiexec = fixtures::SystemFolder() + "\\msiexec.exe";
    struct Case {
        std::string command;
        std::string program;  // empty: refused
        std::string arguments;
    };
    const Case cases[] = {
        {"\"" + spaced + "\" /S", spaced, "/S"},
        {"  " + spaced + " /S /D", spaced, "/S /D"},
        {spaced, spaced, ""},
        {base.Path() + "\\A B\\UNINST.EXE\t/x", base.Path() + "\\A B\\UNINST.EXE", "/x"},
        {pastFolder + " /q", pastFolder, "/q"},  // "...\Dir.exe" is a folder
        {"MsiExec.exe /X{1}", msiexec, "/X{1}"},
        {"\"" + base.Path() + "\\missing.exe\" /S", "", ""},
        {base.Path() + "\\missing.exe /S", "", ""},
        {base.Path() + "\\Dir*\\u.exe /q", "", ""},
        {"\"" + spaced + " /S", "", ""},
        {"\"\" /S", "", ""},
        {"   ", "", ""},
    };
    for (const Case& test : cases) {
        std::string program = "unset";
        std::string arguments = "unset";
        bool found = SplitUninstallCommand(test.command.c_str(), &program, &arguments);
        EXPECT_EQ(!test.program.empty(), found) << test.command;
        EXPECT_EQ(fixtures::LowerAscii(test.program), fixtures::LowerAscii(program)) << test.command;
        EXPECT_EQ(test.arguments, arguments) << test.command;
    }
    EXPECT_FALSE(StartUninstallCommand((base.Path() + "\\missing.exe").c_str()));
}

// A refresh picks up new products and empties the details; with no products left
// the buttons do nothing.
TEST_F(QuickPageTest, RefreshPicksUpNewProductsAndEmptiesTheDetails)
{
    apptest::SelectRow(list, 0);
    fixtures::SetString(HKEY_LOCAL_MACHINE, std::string(kUninstall) + "\\Delta", "DisplayName", "Delta");
    fixtures::SetString(HKEY_LOCAL_MACHINE, std::string(kUninstall) + "\\Delta", "UninstallString", "d.exe");
    EXPECT_EQ(3, apptest::ItemCount(list));
    Click(IDC_REFRESH);
    EXPECT_EQ(4, apptest::ItemCount(list));
    EXPECT_EQ("", Field(IDC_DISPLAY_NAME));
    EXPECT_EQ("", Field(IDC_KEY_PATH));
    EXPECT_FALSE(LinkButtonEnabled());

    for (const std::string& key : fixtures::SubkeyNames(HKEY_LOCAL_MACHINE, kUninstall))
        fixtures::DeleteKeyTree(HKEY_LOCAL_MACHINE, std::string(kUninstall) + "\\" + key);
    Click(IDC_REFRESH);
    EXPECT_EQ(0, apptest::ItemCount(list));
    fixtures::MessageBoxAnswerer answerer(IDYES);
    Click(IDC_UNINSTALL);
    Click(IDC_DELETE_ENTRY);
    EXPECT_EQ(0u, answerer.Count());
    EXPECT_TRUE(page.commands.empty());
}

}  // namespace
