// The quick-uninstall page over real uninstall entries, and the uninstall commands
// it starts.
#include "backup/BackupStore.h"
#include "backup/RestoreRun.h"
#include "framework/ParseCommandLine.h"
#include "framework/RegistryTree.h"
#include "inventory/DesktopUser.h"
#include "inventory/UninstallCommand.h"
#include "resource.h"
#include "smart/TraceAnalyzer.h"
#include "support/AppTestSupport.h"
#include "support/Fixtures.h"
#include "support/MessageBoxAnswerer.h"
#include "ui/PrivateMessages.h"
#include "ui/QuickUninstallPage.h"

#include "DemoSeed.h"
#include "InstallLog.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <tuple>

#include <gtest/gtest.h>

namespace {

using apptest::FormatString;
using apptest::ItemCount;
using Texts = std::vector<std::string>;

// The page with the link opening recorded, and the uninstall command recorded too
// unless the test lets it run.
class RecordingQuickPage : public CQuickUninstallPage {
public:
    std::vector<std::string> commands, links;
    std::vector<std::vector<std::string>> notedFolders;  // the product's folders at each watched start
    bool runCommands = false;
    bool openLinks = false;
    LONG deletionDenied = ERROR_SUCCESS;  // what deleting a registration answers instead

    void ShortenBreakawayGrace(DWORD ms) { watch.SetBreakawayGrace(ms); }

protected:
    CommandStart RunUninstallCommand(const char* command, HKEY root) override
    {
        commands.push_back(command);
        return runCommands ? CQuickUninstallPage::RunUninstallCommand(command, root) : COMMAND_STARTED;
    }
    CommandStart StartWatchedUninstall(const char* command) override
    {
        commands.push_back(command);
        notedFolders.push_back(clues.folders);
        return runCommands ? CQuickUninstallPage::StartWatchedUninstall(command) : COMMAND_STARTED;
    }
    LONG DeleteEntryKey(HKEY root, const char* keyPath, const char* product) override
    {
        return deletionDenied ? deletionDenied : CQuickUninstallPage::DeleteEntryKey(root, keyPath, product);
    }
    CommandStart OpenLink(const char* link) override
    {
        links.push_back(link);
        return openLinks ? CQuickUninstallPage::OpenLink(link) : COMMAND_STARTED;
    }
};

// The page's parent: it picks the product's folders as the main window does, and
// keeps what it is told at the end of each uninstall: whether leftovers are to be
// looked for.
class EndRecordingHost : public CWnd {
public:
    std::vector<WPARAM> ended;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_UNINSTALL_STARTING)
            analyzer.NoteUninstallClues(reinterpret_cast<UninstallClues*>(lParam));
        if (msg == WM_UNINSTALL_ENDED)
            ended.push_back(wParam);
        return CWnd::WindowProc(msg, wParam, lParam);
    }

private:
    CTraceAnalyzer analyzer;
};

std::string Entry(const std::string& key)
{
    return std::string(fixtures::kUninstallKey) + "\\" + key;
}

void Register(const std::string& key, const std::string& name, const std::string& command)
{
    fixtures::SetString(HKEY_LOCAL_MACHINE, Entry(key), "DisplayName", name);
    fixtures::SetString(HKEY_LOCAL_MACHINE, Entry(key), "UninstallString", command);
}

// A text value as the registry holds it; empty when there is none.
std::string RegistryText(HKEY root, const std::string& path, const char* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::string();
    char text[1024] = "";
    DWORD size = sizeof(text) - 1, type = 0;
    const LONG read = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    return read == ERROR_SUCCESS && type == REG_SZ ? text : std::string();
}

// The folder a test makes current, and PATH as a test sets it, while they live.
class ScopedCurrentFolder {
public:
    explicit ScopedCurrentFolder(const std::string& folder, const std::string& path)
    {
        GetCurrentDirectoryA(MAX_PATH, folderBefore);
        GetEnvironmentVariableA("PATH", pathBefore, sizeof(pathBefore));
        made = SetCurrentDirectoryA(folder.c_str()) && SetEnvironmentVariableA("PATH", path.c_str());
    }
    ~ScopedCurrentFolder()
    {
        SetCurrentDirectoryA(folderBefore);
        SetEnvironmentVariableA("PATH", pathBefore);
    }
    bool made = false;

private:
    char folderBefore[MAX_PATH] = "";
    char pathBefore[32767] = "";
};

// A file a test plants, deleted when it ends.
struct PlantedFile {
    std::string path;
    ~PlantedFile() { DeleteFileA(path.c_str()); }
};

// Vista's; the headers declare it only for builds that require Vista.
extern "C" WINBASEAPI BOOL WINAPI QueryFullProcessImageNameA(HANDLE process, DWORD flags, LPSTR name, PDWORD size);

std::string ProcessImage(HANDLE process)
{
    char path[MAX_PATH] = "";
    DWORD size = MAX_PATH;
    return QueryFullProcessImageNameA(process, 0, path, &size) ? path : "";
}

// The desktop user as Wine cannot give one: the program elevated, and this process's
// own token standing in for the shell's. Counts the tokens it gives; in place while
// it lives.
class StandInDesktopUser : public CDesktopUser {
public:
    StandInDesktopUser() { Replace(this); }
    ~StandInDesktopUser() override { Replace(nullptr); }
    bool ProgramIsElevated() const override { return true; }
    HANDLE OpenToken() const override
    {
        ++tokensGiven;
        OwnedKernel own;
        HANDLE primary = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, own.Out()) ||
            !DuplicateTokenEx(own, TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenPrimary, &primary))
            return nullptr;
        return primary;
    }
    mutable int tokensGiven = 0;
};

struct Product {
    std::string key, name, command, publisher, helpLink;
};

class QuickPageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const Product& product : products) {
            Register(product.key, product.name, product.command);
            if (!product.publisher.empty())
                fixtures::SetString(HKEY_LOCAL_MACHINE, Entry(product.key), "Publisher", product.publisher);
            if (!product.helpLink.empty())
                fixtures::SetString(HKEY_LOCAL_MACHINE, Entry(product.key), "HelpLink", product.helpLink);
        }
        RECT rect = {0, 0, 700, 500};
        ASSERT_TRUE(host.CreateEx(0, nullptr, "host", WS_OVERLAPPEDWINDOW, rect, nullptr, 0));
        ASSERT_TRUE(page.Create(IDD_QUICK_PAGE, &host));
        list = page.GetDlgItem(IDC_LIST);
        WaitForTheList();
    }

    // The entries are read between messages: until they all are, messages flow.
    void WaitForTheList() { ASSERT_TRUE(apptest::PumpUntil([&] { return !page.IsLoading(); }, 30000)); }
    void Refresh()
    {
        Click(IDC_REFRESH);
        WaitForTheList();
    }

    int RowNamed(const std::string& name) const { return apptest::FindRow(list, name); }
    std::string Field(int id) const { return apptest::WindowText(page.GetDlgItem(id)); }
    bool LinkButtonEnabled() const { return IsWindowEnabled(page.GetDlgItem(IDC_OPEN_LINK)) != 0; }
    void Click(int id) { SendMessageA(page.GetDlgItem(id), BM_CLICK, 0, 0); }
    // Clicks the button with every message box answered so; the texts they showed. The
    // list it may have refreshed is read whole before this returns.
    Texts ClickAnswering(int id, int answer)
    {
        const Texts shown = fixtures::MessageBoxAnswerer::TextsDuring(answer, [&]() { Click(id); });
        WaitForTheList();
        return shown;
    }

    fixtures::ScopedKeyIsolation isolation{HKEY_LOCAL_MACHINE, fixtures::kUninstallKey};
    const std::vector<Product> products = {
        {"Beta", fixtures::Ansi("贝塔软件"), "\"C:\\Beta\\uninst.exe\" /S", "Beta Corp", "http://beta.example/"},
        {"Alpha", "Alpha Tool", "C:\\Alpha\\remove.exe", "", ""},
        {"Gamma", "Gamma", "\"" + fixtures::IconExecutable() + "\"", fixtures::Ansi("伽马"), "http://g/"},
    };
    EndRecordingHost host;
    RecordingQuickPage page;
    HWND list = nullptr;
};

// Every product in registry order, each showing the default image; selecting a row
// shows its record (its icons looked up then, if still pending, and its own image
// shown), and the help-link button follows it.
TEST_F(QuickPageTest, ListsEveryProductAndSelectionShowsItsRecord)
{
    const std::vector<std::string> order = fixtures::SubkeyNames(HKEY_LOCAL_MACHINE, fixtures::kUninstallKey);
    ASSERT_EQ(3, ItemCount(list));
    ASSERT_EQ(3u, order.size());
    HIMAGELIST images = reinterpret_cast<HIMAGELIST>(SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
    EXPECT_EQ(1, ImageList_GetImageCount(images));
    EXPECT_FALSE(LinkButtonEnabled());
    EXPECT_EQ("", Field(IDC_DISPLAY_NAME));
    for (int row = 0; row < 3; ++row) {
        const Product& product =
            *std::find_if(products.begin(), products.end(), [&](const Product& p) { return p.key == order[row]; });
        SCOPED_TRACE(product.key);
        EXPECT_EQ(product.name, apptest::ItemText(list, row, 0));
        EXPECT_EQ(product.command, apptest::ItemText(list, row, 1));
        EXPECT_EQ(product.publisher, apptest::ItemText(list, row, 2));
        EXPECT_EQ(0, apptest::ItemImage(list, row));
        const InstalledSoftwareEntry* entry = page.Inventory().GetAt(row);
        EXPECT_FALSE(entry->iconsResolved);  // nothing dispatched yet: no icon work done
        apptest::SelectRow(list, row);
        EXPECT_EQ(product.key == "Gamma", entry->largeIcon != nullptr);  // the details need it now
        EXPECT_EQ(product.key == "Gamma", apptest::ItemImage(list, row) != 0);
        EXPECT_EQ(product.name, Field(IDC_DISPLAY_NAME));
        EXPECT_EQ(product.command, Field(IDC_UNINSTALL_STRING));
        EXPECT_EQ(product.publisher, Field(IDC_PUBLISHER));
        EXPECT_EQ(product.helpLink, Field(IDC_HELP_LINK));
        EXPECT_EQ(Entry(product.key), Field(IDC_KEY_PATH));
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
    fixtures::ScopedDir folder(fixtures::ProgramFilesFolder() + "\\" + fixtures::UniqueName("Um A") + " B");
    const std::string uninstaller = folder.Path() + "\\uninst.exe";
    const std::string demoUninstaller = demo::BuiltPayloadFolder() + "\\DemoUninstall.exe";
    ASSERT_TRUE(fixtures::CopyFileTo(demoUninstaller, uninstaller)) << demoUninstaller;
    ASSERT_TRUE(fixtures::WriteFileText(folder.Path() + "\\data.txt"));
    demo::InstallLog log;
    log.displayName = log.uninstallKey = "Spaced";
    log.files = {"data.txt"};
    ASSERT_TRUE(demo::WriteInstallLog(folder.Path() + "\\install.log", log));
    fixtures::ScopedDir decoy("C:\\Program.exe");  // would complain in a box, as it finds no install log
    ASSERT_TRUE(fixtures::CopyFileTo(demoUninstaller, decoy.Path()));
    Register("Spaced", "Spaced", uninstaller + " /S");
    const std::string missing = "C:\\Missing Folder\\gone.exe /S";
    Register("Missing", "Missing", missing);
    // An uninstaller by a bare name that only the current folder (a download's) holds.
    fixtures::TempDir downloads("umdownloads");
    ASSERT_TRUE(fixtures::CopyFileTo(demoUninstaller, downloads.Path() + "\\UmDownloaded.exe"));
    ASSERT_TRUE(fixtures::WriteFileText(downloads.Path() + "\\canary.txt"));
    log.displayName = log.uninstallKey = "Downloaded";
    log.files = {"canary.txt"};
    ASSERT_TRUE(demo::WriteInstallLog(downloads.Path() + "\\install.log", log));
    const std::string downloaded = "UmDownloaded.exe /S";
    Register("Downloaded", "Downloaded", downloaded);
    ScopedCurrentFolder inDownloads(downloads.Path(), fixtures::SystemFolder());
    ASSERT_TRUE(inDownloads.made);
    page.runCommands = true;
    Refresh();
    ASSERT_EQ(6, ItemCount(list));
    Click(IDC_UNINSTALL);
    EXPECT_TRUE(page.commands.empty());  // nothing selected

    for (const std::string& refused : {missing, downloaded}) {
        const std::string name = refused == missing ? "Missing" : "Downloaded";
        apptest::SelectRow(list, RowNamed(name));
        EXPECT_EQ(Texts{FormatString(IDS_UNINSTALL_NOT_STARTED, refused.c_str())}, ClickAnswering(IDC_UNINSTALL, IDOK));
        EXPECT_NE(-1, RowNamed(name));
        EXPECT_EQ(6, ItemCount(list));
        apptest::Pump();
        EXPECT_EQ(std::vector<WPARAM>{FALSE}, host.ended);  // the parent's wait ends too, with nothing to look for
        host.ended.clear();
    }
    EXPECT_TRUE(fixtures::FileExists(downloads.Path() + "\\canary.txt"));

    // The page waits for the uninstaller, the other actions off, then lists what is
    // registered now.
    apptest::SelectRow(list, RowNamed("Spaced"));
    Click(IDC_UNINSTALL);
    EXPECT_TRUE(page.IsWaiting());
    EXPECT_FALSE(IsWindowEnabled(page.GetDlgItem(IDC_REFRESH)));
    EXPECT_EQ(LoadStringText(IDS_STOP_WAITING), apptest::WindowText(page.GetDlgItem(IDC_UNINSTALL)));
    for (int i = 0; i < 300 && page.IsWaiting(); ++i) {
        Sleep(50);
        apptest::Pump();
    }
    EXPECT_FALSE(page.IsWaiting());
    apptest::Pump();
    EXPECT_EQ(std::vector<WPARAM>{TRUE}, host.ended);
    EXPECT_TRUE(IsWindowEnabled(page.GetDlgItem(IDC_REFRESH)));
    EXPECT_EQ(-1, RowNamed("Spaced"));
    ASSERT_EQ(5, ItemCount(list));
    for (int row = 0; row < 5; ++row)  // rows and records still go together
        EXPECT_STREQ(apptest::ItemText(list, row, 0).c_str(), page.Inventory().GetAt(row)->displayName);
    // The uninstaller ran, silently as its arguments ask; the decoy never did.
    EXPECT_FALSE(fixtures::KeyExists(HKEY_LOCAL_MACHINE, Entry("Spaced")));
    EXPECT_FALSE(fixtures::FileExists(folder.Path() + "\\data.txt"));
    EXPECT_EQ(nullptr, FindWindowA("#32770", fixtures::Ansi("卸载程序").c_str()));
}

// A per-user (HKCU) product's uninstall command is the user's own data: while the
// program runs elevated it starts with the desktop user's token, never the program's;
// with no desktop shell to take that from (Wine has none) it is refused and the page
// says why, for the forced removal too, which still deletes the registration. A
// machine (HKLM) product's command starts with the program's own token.
TEST_F(QuickPageTest, UserProductsUninstallWithTheDesktopUsersTokenOrNotAtAll)
{
    const char* const userUninstallKey = fixtures::kUserUninstallKey;
    fixtures::ScopedKeyIsolation userEntries(HKEY_CURRENT_USER, userUninstallKey);
    const std::string demoUninstaller = demo::BuiltPayloadFolder() + "\\DemoUninstall.exe";
    // Each uninstaller takes its data.txt, and the machine's entry of its name.
    std::vector<std::unique_ptr<fixtures::ScopedDir>> folders;
    auto install = [&](HKEY root, const std::string& name) {
        folders.push_back(std::make_unique<fixtures::ScopedDir>(fixtures::ProgramFilesFolder() + "\\" +
                                                                fixtures::UniqueName(name)));
        const std::string folder = folders.back()->Path(), key = std::string(userUninstallKey) + "\\" + name;
        EXPECT_TRUE(fixtures::CopyFileTo(demoUninstaller, folder + "\\uninst.exe"));
        EXPECT_TRUE(fixtures::WriteFileText(folder + "\\data.txt"));
        demo::InstallLog log;
        log.displayName = log.uninstallKey = name;
        log.files = {"data.txt"};
        EXPECT_TRUE(demo::WriteInstallLog(folder + "\\install.log", log));
        fixtures::SetString(root, key, "DisplayName", name);
        fixtures::SetString(root, key, "UninstallString", "\"" + folder + "\\uninst.exe\" /S");
        fixtures::SetString(root, key, "InstallLocation", folder);
        return folder;
    };
    const std::string user = install(HKEY_CURRENT_USER, "UserProduct");
    const std::string machine = install(HKEY_LOCAL_MACHINE, "MachineProduct");
    const std::string userCommand = "\"" + user + "\\uninst.exe\" /S";
    page.runCommands = true;
    page.ShortenBreakawayGrace(300);
    Refresh();
    auto uninstall = [&](const char* name) {
        host.ended.clear();
        apptest::SelectRow(list, RowNamed(name));
        const Texts shown = ClickAnswering(IDC_UNINSTALL, IDOK);
        EXPECT_TRUE(apptest::PumpUntil([&] { return !host.ended.empty(); }, 20000)) << name;
        return shown;
    };

    // The system's desktop user: the program is elevated (Wine's token says so) and
    // there is no shell window.
    EXPECT_EQ(Texts{FormatString(IDS_USER_COMMAND_REFUSED, userCommand.c_str())}, uninstall("UserProduct"));
    EXPECT_TRUE(fixtures::FileExists(user + "\\data.txt"));
    {
        StandInDesktopUser desktopUser;
        EXPECT_EQ(Texts{}, uninstall("UserProduct"));
        EXPECT_EQ(1, desktopUser.tokensGiven);
        EXPECT_FALSE(fixtures::FileExists(user + "\\data.txt"));
        EXPECT_EQ(Texts{}, uninstall("MachineProduct"));
        EXPECT_EQ(1, desktopUser.tokensGiven);
        EXPECT_FALSE(fixtures::FileExists(machine + "\\data.txt"));
    }

    // Its help link, which names a program here, is not opened as administrator either.
    const std::string link = user + "\\uninst.exe";
    fixtures::SetString(HKEY_CURRENT_USER, std::string(userUninstallKey) + "\\UserProduct", "HelpLink", link);
    Refresh();
    page.openLinks = true;
    apptest::SelectRow(list, RowNamed("UserProduct"));
    EXPECT_EQ(Texts{FormatString(IDS_LINK_REFUSED, link.c_str())}, ClickAnswering(IDC_OPEN_LINK, IDOK));

    ASSERT_TRUE(fixtures::WriteFileText(user + "\\data.txt"));
    apptest::SelectRow(list, RowNamed("UserProduct"));
    EXPECT_EQ((Texts{LoadStringText(IDS_CONFIRM_FORCED), FormatString(IDS_USER_COMMAND_REFUSED, userCommand.c_str())}),
              ClickAnswering(IDC_DELETE_ENTRY, IDYES));
    EXPECT_EQ(-1, RowNamed("UserProduct"));
    EXPECT_FALSE(fixtures::KeyExists(HKEY_CURRENT_USER, std::string(userUninstallKey) + "\\UserProduct"));
    EXPECT_TRUE(fixtures::FileExists(user + "\\data.txt"));
}

// An uninstaller that ends with the product still registered leaves it installed,
// whether the folder stayed as it was (refused) or changed (a log written, a repair):
// the row stays, the status line says which, and no leftovers are looked for.
TEST_F(QuickPageTest, UninstallEndingWithTheEntryStillThereLeavesTheProductInstalled)
{
    // Without its install log the demo uninstaller gives up and changes nothing; with
    // a log naming another entry it takes the files and the log, but not this entry.
    const std::string demoUninstaller = demo::BuiltPayloadFolder() + "\\DemoUninstall.exe";
    fixtures::ScopedDir refused(fixtures::ProgramFilesFolder() + "\\" + fixtures::UniqueName("UmRefused"));
    fixtures::ScopedDir repaired(fixtures::ProgramFilesFolder() + "\\" + fixtures::UniqueName("UmRepaired"));
    for (const auto& [name, folder] : {std::make_pair("Refused", &refused), std::make_pair("Repaired", &repaired)}) {
        ASSERT_TRUE(fixtures::CopyFileTo(demoUninstaller, folder->Path() + "\\uninst.exe")) << demoUninstaller;
        ASSERT_TRUE(fixtures::WriteFileText(folder->Path() + "\\data.txt"));
        Register(name, name, "\"" + folder->Path() + "\\uninst.exe\" /S");
        fixtures::SetString(HKEY_LOCAL_MACHINE, Entry(name), "InstallLocation", folder->Path());
    }
    demo::InstallLog log;
    log.displayName = "Repaired";
    log.uninstallKey = fixtures::UniqueName("NotThisEntry");
    log.files = {"data.txt"};
    ASSERT_TRUE(demo::WriteInstallLog(repaired.Path() + "\\install.log", log));
    page.runCommands = true;
    page.ShortenBreakawayGrace(300);
    Refresh();

    const std::pair<const char*, UINT> cases[] = {{"Refused", IDS_UNINSTALL_CANCELLED},
                                                  {"Repaired", IDS_STILL_INSTALLED}};
    for (const auto& [name, status] : cases) {
        SCOPED_TRACE(name);
        host.ended.clear();
        apptest::SelectRow(list, RowNamed(name));
        Click(IDC_UNINSTALL);
        ASSERT_TRUE(page.IsWaiting());
        EXPECT_TRUE(apptest::PumpUntil([&] { return !host.ended.empty(); }, 20000));
        EXPECT_EQ(std::vector<WPARAM>{FALSE}, host.ended);
        EXPECT_EQ(LoadStringText(status), Field(IDC_QUICK_STATUS));
        EXPECT_NE(-1, RowNamed(name));
        EXPECT_TRUE(IsWindowEnabled(page.GetDlgItem(IDC_REFRESH)));
    }
    EXPECT_TRUE(fixtures::FileExists(refused.Path() + "\\data.txt"));
    EXPECT_FALSE(fixtures::FileExists(repaired.Path() + "\\data.txt"));  // that uninstaller did its part
}

TEST_F(QuickPageTest, ForcedUninstallAsksDeletesLinksAsLinksAndReportsFailures)
{
    // A registration with a subkey that is a registry link to another program's key.
    fixtures::ScopedKey victim(HKEY_LOCAL_MACHINE, "Software\\" + fixtures::UniqueName("UmVictim"));
    fixtures::SetString(HKEY_LOCAL_MACHINE, victim.Path(), "precious", "1");
    Register("Linked", "Linked", "C:\\Linked\\u.exe");
    ASSERT_TRUE(fixtures::MakeRegistryLink(HKEY_LOCAL_MACHINE, Entry("Linked\\Shared"), victim.Path()));
    Refresh();
    apptest::SelectRow(list, RowNamed("Linked"));
    const Texts confirm = {LoadStringText(IDS_CONFIRM_FORCED)};
    EXPECT_EQ(confirm, ClickAnswering(IDC_DELETE_ENTRY, IDNO));
    EXPECT_TRUE(page.commands.empty());
    EXPECT_EQ(4, ItemCount(list));
    EXPECT_EQ(confirm, ClickAnswering(IDC_DELETE_ENTRY, IDYES));
    EXPECT_EQ(std::vector<std::string>{"C:\\Linked\\u.exe"}, page.commands);
    EXPECT_FALSE(fixtures::KeyExists(HKEY_LOCAL_MACHINE, Entry("Linked")));
    EXPECT_TRUE(fixtures::ValueExists(HKEY_LOCAL_MACHINE, victim.Path(), "precious"));  // the link is not followed
    EXPECT_EQ(3, ItemCount(list));
    EXPECT_EQ("", Field(IDC_DISPLAY_NAME));
    EXPECT_FALSE(LinkButtonEnabled());

    // A registration that cannot be deleted is reported, and the list is not rebuilt
    // as if it had gone.
    apptest::SelectRow(list, 0);
    const std::string shown = Field(IDC_DISPLAY_NAME), key = Field(IDC_KEY_PATH);
    page.deletionDenied = ERROR_ACCESS_DENIED;
    EXPECT_EQ((Texts{confirm[0], FormatString(IDS_DELETE_ENTRY_FAILED, key.c_str())}),
              ClickAnswering(IDC_DELETE_ENTRY, IDYES));
    EXPECT_EQ(3, ItemCount(list));
    EXPECT_EQ(shown, Field(IDC_DISPLAY_NAME));
}

// Products in every place Windows records them (the machine's two registry views,
// the user's key) among a system component and updates that Windows' list hides.
class QuickPageViewsTest : public ::testing::Test {
protected:
    struct Place {
        HKEY root;
        std::string path;
    };
    const Place native{HKEY_LOCAL_MACHINE, fixtures::kUninstallKey}, wow{HKEY_LOCAL_MACHINE, fixtures::kWowUninstallKey},
        user{HKEY_CURRENT_USER, fixtures::kUserUninstallKey};

    void SetUp() override
    {
        // Each column orders the four listed products differently; "birch" sorts as
        // the locale orders texts, not by character code.
        Add(native, "A1", "Cedar Editor", "C:\\Zeta\\u.exe", "Bravo");
        Add(native, "A2", "Dogwood", "C:\\Kappa\\u.exe", "Delta");
        fixtures::SetDword(native.root, native.path + "\\A2", "SystemComponent", 0);
        Add(native, "A3", "Component", "C:\\H\\u.exe", "");
        fixtures::SetDword(native.root, native.path + "\\A3", "SystemComponent", 1);
        Add(wow, "B1", "Alder Viewer", "C:\\Mu\\u.exe", "Charlie");
        Add(wow, "B2", "Alder Viewer Fix", "C:\\Mu\\f.exe", "Charlie");
        fixtures::SetString(wow.root, wow.path + "\\B2", "ParentKeyName", "B1");
        Add(user, "C1", "birch Notes", "C:\\Eta\\u.exe", "Alpha");
        Add(user, "C2", "Birch Fix", "C:\\Eta\\s.exe", "Alpha");
        fixtures::SetString(user.root, user.path + "\\C2", "ReleaseType", "Security Update");
        Add(user, "C3", "Birch Hotfix", "C:\\Eta\\h.exe", "Alpha");
        fixtures::SetString(user.root, user.path + "\\C3", "ReleaseType", "Hotfix");
        RECT rect = {0, 0, 700, 500};
        ASSERT_TRUE(host.CreateEx(0, nullptr, "host", WS_OVERLAPPEDWINDOW, rect, nullptr, 0));
        ASSERT_TRUE(page.Create(IDD_QUICK_PAGE, &host));
        list = page.GetDlgItem(IDC_LIST);
        for (int column = 0; column < 3; ++column)  // every header in view, to be clicked
            ListView_SetColumnWidth(list, column, 120);
    }
    void Add(const Place& place, const std::string& key, const std::string& name, const std::string& command,
             const std::string& publisher)
    {
        const std::string path = place.path + "\\" + key;
        fixtures::SetString(place.root, path, "DisplayName", name);
        fixtures::SetString(place.root, path, "UninstallString", command);
        fixtures::SetString(place.root, path, "Publisher", publisher);
    }
    Texts Names() const { return apptest::ColumnTexts(list); }
    void ClickHeader(int column) { ASSERT_TRUE(apptest::ClickHeader(list, column)); }
    // Every key and value of the three places, marked with the place's root.
    std::set<std::string> Registry() const
    {
        std::set<std::string> all;
        for (const Place& place : {native, wow, user}) {
            for (const std::string& line : fixtures::RegistrySnapshot(place.root, place.path))
                all.insert((place.root == HKEY_CURRENT_USER ? "U|" : "M|") + line);
        }
        return all;
    }

    fixtures::ScopedKeyIsolation isolations[3] = {{native.root, native.path}, {wow.root, wow.path},
                                                  {user.root, user.path}};
    CWnd host;
    RecordingQuickPage page;
    HWND list = nullptr;
};

TEST_F(QuickPageViewsTest, ListsEveryPlaceInOrderShowsPhysicalPathsAndSortsByEachColumn)
{
    EXPECT_EQ((Texts{"Cedar Editor", "Dogwood", "Alder Viewer", "birch Notes"}), Names());
    const std::pair<const char*, std::string> keyPaths[] = {
        {"Cedar Editor", native.path + "\\A1"},
        {"Alder Viewer", wow.path + "\\B1"},
        {"birch Notes", "HKEY_CURRENT_USER\\" + user.path + "\\C1"},
    };
    for (const auto& [name, keyPath] : keyPaths) {
        apptest::SelectRow(list, apptest::FindRow(list, name));
        EXPECT_EQ(keyPath, apptest::WindowText(page.GetDlgItem(IDC_KEY_PATH)));
    }
    const Texts ascending[] = {
        {"Alder Viewer", "birch Notes", "Cedar Editor", "Dogwood"},  // by name
        {"birch Notes", "Dogwood", "Alder Viewer", "Cedar Editor"},  // by command
        {"birch Notes", "Cedar Editor", "Alder Viewer", "Dogwood"},  // by publisher
    };
    for (int column = 0; column < 3; ++column) {
        SCOPED_TRACE(column);
        ClickHeader(column);
        EXPECT_EQ(ascending[column], Names());
        ClickHeader(column);
        EXPECT_EQ(Texts(ascending[column].rbegin(), ascending[column].rend()), Names());
    }
}

// Sorted by publisher, descending: each forced removal deletes exactly the selected
// product's key in its own place, and the refreshed list keeps the order.
TEST_F(QuickPageViewsTest, ForcedRemovalDeletesTheSelectedProductsOwnKeyInAnyOrder)
{
    ClickHeader(2);
    ClickHeader(2);
    const std::tuple<const char*, const char*, std::string, Texts> removals[] = {
        {"Alder Viewer", "M|", wow.path + "\\B1", {"Dogwood", "Cedar Editor", "birch Notes"}},
        {"birch Notes", "U|", user.path + "\\C1", {"Dogwood", "Cedar Editor"}},
        {"Cedar Editor", "M|", native.path + "\\A1", {"Dogwood"}},
    };
    for (const auto& [name, scope, key, left] : removals) {
        SCOPED_TRACE(name);
        const std::set<std::string> before = Registry();
        apptest::SelectRow(list, apptest::FindRow(list, name));
        fixtures::MessageBoxAnswerer answerer(IDYES);
        SendMessageA(page.GetDlgItem(IDC_DELETE_ENTRY), BM_CLICK, 0, 0);
        ASSERT_TRUE(apptest::PumpUntil([&] { return !page.IsLoading(); }, 30000));
        const std::set<std::string> after = Registry();
        const std::vector<std::string> gone = fixtures::Missing(before, after);
        EXPECT_FALSE(gone.empty());
        for (const std::string& line : gone)  // "M|K|key..." or "M|V|key|..."
            EXPECT_TRUE(line.compare(0, 2, scope) == 0 && line.compare(4, key.size(), key) == 0) << line;
        EXPECT_TRUE(fixtures::Missing(after, before).empty());
        EXPECT_EQ(left, Names());
        // The entry was saved first, and its backup puts it back as it was.
        CRestoreRun restore(CBackupStore(), CBackupStore().List().at(0).name);
        std::string reason;
        ASSERT_TRUE(restore.Load(&reason)) << reason;
        EXPECT_EQ(0, restore.Run().failed);
        EXPECT_EQ(before, Registry());
        fixtures::DeleteKeyTree(scope[0] == 'U' ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, key);  // as removed
    }
}

// The user owns HKCU: between the listing and a forced removal the user's Uninstall
// key may become a link to a machine key holding a key of the entry's name. The
// removal goes nowhere through it and says the registration could not be deleted.
TEST_F(QuickPageViewsTest, ForcedRemovalNeverGoesThroughALinkOnTheWay)
{
    fixtures::ScopedKey victim(HKEY_LOCAL_MACHINE, "SOFTWARE\\" + fixtures::UniqueName("UmVictim"));
    ASSERT_TRUE(fixtures::SetString(HKEY_LOCAL_MACHINE, victim.Path() + "\\C1", "precious", "1"));
    const std::set<std::string> victimBefore = fixtures::RegistrySnapshot(HKEY_LOCAL_MACHINE, victim.Path());
    apptest::SelectRow(list, apptest::FindRow(list, "birch Notes"));
    fixtures::DeleteKeyTree(user.root, user.path);
    ASSERT_TRUE(fixtures::MakeRegistryLink(user.root, user.path, victim.Path()));
    const Texts shown = fixtures::MessageBoxAnswerer::TextsDuring(
        IDYES, [&] { SendMessageA(page.GetDlgItem(IDC_DELETE_ENTRY), BM_CLICK, 0, 0); });
    const std::string entryKey = user.path + "\\C1";
    EXPECT_EQ((Texts{LoadStringText(IDS_CONFIRM_FORCED), FormatString(IDS_DELETE_ENTRY_FAILED, entryKey.c_str())}),
              shown);
    EXPECT_EQ(victimBefore, fixtures::RegistrySnapshot(HKEY_LOCAL_MACHINE, victim.Path()));
    EXPECT_EQ(ERROR_SUCCESS, ::DeleteKeyTree(user.root, user.path.c_str()));  // the link alone, as a link
    EXPECT_EQ(victimBefore, fixtures::RegistrySnapshot(HKEY_LOCAL_MACHINE, victim.Path()));
}

// One entry, one answer for its folders: what the page hands its leftovers step (the
// folders its parent notes from the page's record), what the leftovers step notes from
// the entry's texts as the registry holds them, and the folders the analysis reads
// from the entry. For a comma in a folder's name (an unquoted icon path with its
// index) and for each demo product.
TEST_F(QuickPageTest, EntryFoldersAgreeForThePageTheLeftoversStepAndTheAnalysis)
{
    const struct DemoMachine {
        DemoMachine() { demo::RemoveDemoMachine(); }
        ~DemoMachine() { demo::RemoveDemoMachine(); }
    } demoMachine;
    std::string failedStep;
    ASSERT_TRUE(demo::SeedDemoMachine(demo::BuiltPayloadFolder(), &failedStep)) << failedStep;
    fixtures::ScopedDir vendor(fixtures::ProgramFilesFolder() + "\\" + fixtures::UniqueName("Um Acme, Inc"));
    const std::string commaFolder = vendor.Path() + "\\App";
    ASSERT_TRUE(fixtures::WriteFileText(commaFolder + "\\app.exe", "MZ"));
    Register("Comma", "Comma App", "MsiExec.exe /X{5F2C1D7E-0A3B-4C8D-9E6F-1B2A3C4D5E6F}");  // the icon names the folder
    fixtures::SetString(HKEY_LOCAL_MACHINE, Entry("Comma"), "DisplayIcon", commaFolder + "\\app.exe,0");
    std::vector<std::tuple<std::string, std::string, std::string>> entries = {{"Comma", "Comma App", commaFolder}};
    for (const demo::DemoProduct& product : demo::DemoProducts())
        entries.emplace_back(product.uninstallKey, fixtures::Ansi(product.displayName), demo::ProductFolder(product));
    Refresh();
    CTraceAnalyzer analyzer;
    for (const auto& [key, name, folder] : entries) {
        SCOPED_TRACE(key);
        const std::string keyPath = Entry(key);
        apptest::SelectRow(list, RowNamed(name));
        Click(IDC_UNINSTALL);  // recorded, not run
        ASSERT_TRUE(page.IsWaiting());
        Click(IDC_UNINSTALL);  // no longer waited for
        UninstallClues clues;
        clues.root = HKEY_LOCAL_MACHINE;
        clues.keyPath = keyPath;
        clues.displayName = name;
        clues.installLocation = RegistryText(HKEY_LOCAL_MACHINE, keyPath, "InstallLocation");
        clues.uninstallCommand = RegistryText(HKEY_LOCAL_MACHINE, keyPath, "UninstallString");
        clues.displayIcon = RegistryText(HKEY_LOCAL_MACHINE, keyPath, "DisplayIcon");
        analyzer.NoteUninstallClues(&clues);
        const std::vector<std::string> expected = {folder};
        ASSERT_FALSE(page.notedFolders.empty());
        EXPECT_EQ(expected, page.notedFolders.back());
        EXPECT_EQ(expected, clues.folders);
        EXPECT_EQ(expected, analyzer.RegisteredFolders(HKEY_LOCAL_MACHINE, keyPath.c_str()));
    }
}

TEST(UninstallCommand, ProgramIsTheQuotedPathOrTheShortestExistingExePrefix)
{
    fixtures::TempDir base("umcmd");
    const std::string spaced = base.Path() + "\\A B\\uninst.exe";
    const std::string pastFolder = base.Path() + "\\Dir.exe tool\\u.exe";
    ASSERT_TRUE(fixtures::WriteFileText(spaced, "MZ"));
    ASSERT_TRUE(fixtures::WriteFileText(pastFolder, "MZ"));
    ASSERT_TRUE(fixtures::MakeDirs(base.Path() + "\\Dir.exe"));
    // The command, the program found in it (none: refused) and its arguments.
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"\"" + spaced + "\" /S", spaced, "/S"},
        {"  " + spaced + " /S /D", spaced, "/S /D"},
        {spaced, spaced, ""},
        {base.Path() + "\\A B\\UNINST.EXE\t/x", base.Path() + "\\A B\\UNINST.EXE", "/x"},
        {pastFolder + " /q", pastFolder, "/q"},  // "...\Dir.exe" is a folder
        {"MsiExec.exe /X{1}", fixtures::SystemFolder() + "\\msiexec.exe", "/X{1}"},
        {"\"" + base.Path() + "\\missing.exe\" /S", "", ""},
        {base.Path() + "\\missing.exe /S", "", ""},
        {base.Path() + "\\Dir*\\u.exe /q", "", ""},
        {"\"" + spaced + " /S", "", ""},
        {"\"\" /S", "", ""},
        {"   ", "", ""},
    };
    for (const auto& [command, expectedProgram, expectedArguments] : cases) {
        SCOPED_TRACE(command);
        std::string program = "unset", arguments = "unset";
        EXPECT_EQ(!expectedProgram.empty(), FindStartableProgram(command.c_str(), &program, &arguments));
        EXPECT_EQ(fixtures::LowerAscii(expectedProgram), fixtures::LowerAscii(program));
        EXPECT_EQ(expectedArguments, arguments);
    }
    EXPECT_EQ(COMMAND_NOT_FOUND, StartUninstallCommand((base.Path() + "\\missing.exe").c_str(), HKEY_LOCAL_MACHINE));
}

// A bare program name is the system's: looked for in the system folder, then the
// Windows folder; never in the current folder, beside this program or along PATH,
// where a download may have put one of that name. Nor does a path that is not full
// lead into the current folder.
TEST(UninstallCommand, BareNamesAreLookedForInTheSystemFoldersOnly)
{
    fixtures::TempDir current("umplanted");
    const std::string payload = demo::BuiltPayloadFolder() + "\\DemoUninstall.exe";
    const std::string windowsOnly = fixtures::UniqueName("UmWindowsOnly") + ".exe";
    const std::string msiExec = fixtures::SystemFolder() + "\\msiexec.exe";
    const PlantedFile planted[] = {
        {current.Path() + "\\MsiExec.exe"}, {current.Path() + "\\UmOnlyHere.exe"},
        {current.Path() + "\\sub\\UmOnlyHere.exe"}, {current.Path() + "\\path\\UmOnPath.exe"},
        {current.Path() + "\\path\\MsiExec.exe"}, {fixtures::ExecutableFolder() + "\\MsiExec.exe"},
        {fixtures::WindowsFolder() + "\\" + windowsOnly}};
    for (const PlantedFile& file : planted)
        ASSERT_TRUE(fixtures::CopyFileTo(payload, file.path)) << file.path;
    ScopedCurrentFolder inDownloads(current.Path(), current.Path() + "\\path");
    ASSERT_TRUE(inDownloads.made);
    const std::string onThisDrive = current.Path().substr(2);  // "\..."
    const std::pair<std::string, std::string> cases[] = {
        {"MsiExec.exe /X{1}", msiExec},
        {"\"MSIEXEC.EXE\" /X{1}", msiExec},
        {windowsOnly + " /S", fixtures::WindowsFolder() + "\\" + windowsOnly},
        {current.Path() + "\\UmOnlyHere.exe /S", current.Path() + "\\UmOnlyHere.exe"},  // named in full
        {"UmOnlyHere.exe /S", ""},
        {"\"UmOnlyHere.exe\" /S", ""},
        {"UmOnPath.exe /S", ""},
        {"sub\\UmOnlyHere.exe /S", ""},
        {".\\UmOnlyHere.exe /S", ""},
        {"C:UmOnlyHere.exe /S", ""},
        {onThisDrive + "\\UmOnlyHere.exe /S", ""},
    };
    for (const auto& [command, expected] : cases) {
        SCOPED_TRACE(command);
        std::string program, arguments;
        EXPECT_EQ(!expected.empty(), FindStartableProgram(command.c_str(), &program, &arguments));
        EXPECT_EQ(fixtures::LowerAscii(expected), fixtures::LowerAscii(program));
    }
    // What starts is the system's own program; a planted one never does.
    OwnedKernel job(CreateJobObjectA(nullptr, nullptr));
    HANDLE started = nullptr;
    ASSERT_EQ(COMMAND_STARTED, StartUninstallCommand("MsiExec.exe /X{00000000-0000-0000-0000-000000000000} /qn",
                                                     HKEY_LOCAL_MACHINE, job, &started));
    OwnedKernel process(started);
    const std::string image = ProcessImage(process);
    EXPECT_EQ(fixtures::LowerAscii(msiExec), fixtures::LowerAscii(image));
    const bool systems = fixtures::LowerAscii(image) == fixtures::LowerAscii(msiExec);
    if (!systems || WaitForSingleObject(process, 30000) != WAIT_OBJECT_0)
        TerminateJobObject(job, 1);
    EXPECT_EQ(COMMAND_NOT_FOUND, StartUninstallCommand("UmOnlyHere.exe /S", HKEY_LOCAL_MACHINE));
}

// The rows show their texts at once with the default icon; their own icons come while
// messages are dispatched, the rows in view first, and stay with their records
// through a sort, a refresh and a forced removal made while icons are pending.
TEST_F(QuickPageTest, IconsFollowTheTextsRowsInViewFirstAndStayWithTheirRecords)
{
    // Each product's own file (links to one program with the program's icons, in id
    // order 128, 132, 133, 138, 139, ...), each giving one of five icons.
    fixtures::TempDir dir("umquickicons");
    const std::string program = dir.Path() + "\\icons.exe";
    ASSERT_TRUE(fixtures::CopyFileTo(apptest::ThisProgram(), program));
    const int ids[] = {IDI_HELP_LINK, IDI_SMART_UNINSTALL, IDI_TRACE_REGVALUE, IDI_TRACE_FILE, IDI_TRACE_FOLDER};
    const int count = 150;
    // Each row's icon resource; 0: the product's own program, notepad.
    std::map<std::string, int> iconOf = {
        {products[0].name, IDI_DEFAULT_PRODUCT}, {products[1].name, IDI_DEFAULT_PRODUCT}, {products[2].name, 0}};
    for (int i = 0; i < count; ++i) {
        const std::string name = "Icons" + std::to_string(1000 + i), file = dir.Path() + "\\" + name + ".exe";
        ASSERT_TRUE(CreateHardLinkA(file.c_str(), program.c_str(), nullptr));
        Register(name, name, "C:\\none.exe");
        fixtures::SetString(HKEY_LOCAL_MACHINE, Entry(name), "DisplayIcon", file + "," + std::to_string(2 + i % 5));
        iconOf[name] = ids[i % 5];
    }
    const HMODULE module = GetModuleHandleA(nullptr);
    const std::vector<COLORREF> fallback = apptest::IconPixels(LoadIconA(module, MAKEINTRESOURCEA(IDI_DEFAULT_PRODUCT)), 16);
    auto pixelsOf = [&](int id) {
        OwnedIcon icon(static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, 0)));
        return apptest::IconPixels(icon, 16);
    };
    for (int id : ids)
        ASSERT_TRUE(pixelsOf(id) != fallback);
    auto rowPixels = [&](int row) {
        return apptest::ImagePixels(ListView_GetImageList(list, LVSIL_SMALL), apptest::ItemImage(list, row));
    };
    auto drawn = [&](int row) { return rowPixels(row) != fallback; };
    // One message at a time, until done() or ten seconds have passed.
    auto pumpUntil = [&](auto done) {
        MSG msg;
        for (DWORD start = GetTickCount(); !done() && GetTickCount() - start < 10000;) {
            if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&msg);
            else
                MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
        return done();
    };

    // Read in slices; the icons wait until every entry is read.
    Click(IDC_REFRESH);
    ASSERT_TRUE(pumpUntil([&] { return !page.IsReading(); }));
    ASSERT_EQ(count + 3, ItemCount(list));
    for (int row = 0; row < count + 3; ++row) {
        EXPECT_EQ(1u, iconOf.count(apptest::ItemText(list, row, 0)));
        EXPECT_FALSE(drawn(row)) << row;
    }
    ASSERT_TRUE(ListView_EnsureVisible(list, count + 2, FALSE));
    const int top = ListView_GetTopIndex(list), inView = ListView_GetCountPerPage(list);
    ASSERT_GT(top, count / 2);
    ASSERT_TRUE(pumpUntil([&] {
        for (int row = top; row < std::min(top + inView, count + 3); ++row)
            if (!drawn(row) && iconOf[apptest::ItemText(list, row, 0)] != IDI_DEFAULT_PRODUCT)
                return false;
        return true;
    }));
    int drawnAbove = 0;
    for (int row = 0; row < top; ++row)
        drawnAbove += drawn(row);
    EXPECT_LT(drawnAbove, top / 2);
    EXPECT_TRUE(page.IconsPending());

    // Sorted by name while pending (the name order is not the registry's), refreshed,
    // and one product force-removed, all before the icons are done.
    NMLISTVIEW click = {};
    click.hdr = {list, IDC_LIST, LVN_COLUMNCLICK};
    click.iItem = -1;
    SendMessageA(page, WM_NOTIFY, IDC_LIST, reinterpret_cast<LPARAM>(&click));
    SendMessageA(page, WM_NOTIFY, IDC_LIST, reinterpret_cast<LPARAM>(&click));  // descending
    Click(IDC_REFRESH);
    ASSERT_TRUE(pumpUntil([&] { return !page.IsLoading(); }));
    apptest::SelectRow(list, RowNamed("Icons1001"));
    fixtures::MessageBoxAnswerer::TextsDuring(IDYES, [&] { Click(IDC_DELETE_ENTRY); });
    ASSERT_TRUE(pumpUntil([&] { return !page.IsLoading(); }));
    iconOf.erase("Icons1001");
    ASSERT_EQ(count + 2, ItemCount(list));
    EXPECT_TRUE(page.IconsPending());
    ASSERT_TRUE(pumpUntil([&] { return !page.IconsPending(); }));
    int moved = 0;  // rows whose record is not the one at their index
    for (int row = 0; row < count + 2; ++row) {
        const std::string name = apptest::ItemText(list, row, 0);
        SCOPED_TRACE(name);
        moved += name != page.Inventory().GetAt(row)->displayName;
        ASSERT_EQ(1u, iconOf.count(name));
        if (iconOf[name] == IDI_DEFAULT_PRODUCT)
            EXPECT_FALSE(drawn(row));
        else if (iconOf[name])
            EXPECT_EQ(pixelsOf(iconOf[name]), rowPixels(row));
        else
            EXPECT_TRUE(drawn(row));
    }
    EXPECT_GT(moved, count / 2);
}

// A refresh picks up new products and empties the details; with no products left
// the buttons do nothing.
TEST_F(QuickPageTest, RefreshPicksUpNewProductsAndEmptiesTheDetails)
{
    apptest::SelectRow(list, 0);
    Register("Delta", "Delta", "d.exe");
    EXPECT_EQ(3, ItemCount(list));
    Refresh();
    EXPECT_EQ(4, ItemCount(list));
    EXPECT_EQ("", Field(IDC_DISPLAY_NAME));
    EXPECT_EQ("", Field(IDC_KEY_PATH));
    EXPECT_FALSE(LinkButtonEnabled());

    for (const std::string& key : fixtures::SubkeyNames(HKEY_LOCAL_MACHINE, fixtures::kUninstallKey))
        fixtures::DeleteKeyTree(HKEY_LOCAL_MACHINE, Entry(key));
    Refresh();
    EXPECT_EQ(0, ItemCount(list));
    EXPECT_EQ(Texts{}, ClickAnswering(IDC_UNINSTALL, IDYES));
    EXPECT_EQ(Texts{}, ClickAnswering(IDC_DELETE_ENTRY, IDYES));
    EXPECT_TRUE(page.commands.empty());
}

}  // namespace
