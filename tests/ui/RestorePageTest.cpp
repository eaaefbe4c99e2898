// The restore page: the backups newest first with their state; restoring and
// deleting the selected one after asking; damaged and vanished backups.
#include "backup/RemovalBackup.h"
#include "resource.h"
#include "support/AppTestSupport.h"
#include "support/BackupStoreSupport.h"
#include "support/Fixtures.h"
#include "support/MessageBoxAnswerer.h"
#include "support/TraceCoverage.h"
#include "ui/MainDialog.h"

#include <psapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace {

using apptest::ItemText;

// Removes one file with a backup named after program; true when it went.
bool RemoveFile(const std::string& file, const std::string& program, std::string* folder = nullptr)
{
    TraceItem item = {TRACE_FILE, "", "", nullptr, WEAK_NONE};
    CopyText(item.path, MAX_PATH, file.c_str());
    CRemovalBackup backup(CBackupStore(), program);
    bool removed = RemoveTraces({&item}, {true}, &backup).Count(REMOVAL_DONE) == 1;
    if (folder)
        *folder = backup.Folder();
    return removed;
}

std::string RemoveWithBackup(const std::string& file, const std::string& program)
{
    std::string folder;
    EXPECT_TRUE(RemoveFile(file, program, &folder));
    return folder;
}

void DeleteEveryBackup()
{
    for (const BackupSummary& earlier : CBackupStore().List())  // made by other tests
        CBackupStore().Delete(earlier.name);
}

// The restore page of a main window, and a click on one of its buttons for a row,
// answered with answer: the texts of the message boxes shown meanwhile.
class RestorePageWindow {
public:
    RestorePageWindow()
    {
        EXPECT_TRUE(dialog.Create(IDD_MAIN_DIALOG));
        Show();
        page = dialog.restorePage.m_hWnd;
        list = GetDlgItem(page, IDC_BACKUP_LIST);
    }
    ~RestorePageWindow() { dialog.DestroyWindow(); }
    void Show() { dialog.SendMessage(WM_COMMAND, MAKEWPARAM(ID_PAGE_RESTORE, BN_CLICKED), 0); }
    std::vector<std::string> Click(int row, int button, int answer)
    {
        apptest::SelectOnly(list, {row});
        return fixtures::MessageBoxAnswerer::TextsDuring(answer, [&] {
            SendMessageA(GetDlgItem(page, button), BM_CLICK, 0, 0);
            apptest::Pump();
        });
    }
    std::string Status() const { return apptest::WindowText(GetDlgItem(page, IDC_RESTORE_STATUS)); }

    CMainDialog dialog;
    HWND page = nullptr;
    HWND list = nullptr;
};

// The number of path names below the drive root: "C:\a\b" has two.
int Depth(const std::string& path)
{
    return static_cast<int>(std::count(path.begin() + 3, path.end(), '\\')) + 1;
}

// The checksum of the earlier version's lists and .reg files (FNV-1a), which anyone
// can compute: a backup forged with it passed for whole.
std::string FormerChecksum(const std::string& bytes)
{
    unsigned long long sum = 14695981039346656037ull;
    for (unsigned char byte : bytes)
        sum = (sum ^ byte) * 1099511628211ull;
    char text[20];
    snprintf(text, sizeof(text), "%llX", sum);
    return text;
}

TEST(RestorePageTest, ListsNewestFirstRestoresAndDeletesAfterAskingAndRefusesDamage)
{
    DeleteEveryBackup();
    fixtures::TempDir base("umrestorepage");
    const std::string older = base.Path() + "\\older.txt", newer = base.Path() + "\\newer.txt";
    const std::string strangeName = fixtures::Ansi("乗俓:/程序") + std::string(80, 'n');
    fixtures::WriteFileText(older, "older");
    fixtures::WriteFileText(newer, "newer");
    const std::string olderFolder = RemoveWithBackup(older, "Older");
    Sleep(1100);  // the folders are named to the second
    const std::string newerFolder = RemoveWithBackup(newer, strangeName);
    ASSERT_FALSE(fixtures::FileExists(newer));

    CMainDialog dialog;
    ASSERT_TRUE(dialog.Create(IDD_MAIN_DIALOG));
    dialog.SendMessage(WM_COMMAND, MAKEWPARAM(ID_PAGE_RESTORE, BN_CLICKED), 0);
    HWND page = dialog.restorePage.m_hWnd, list = GetDlgItem(page, IDC_BACKUP_LIST);
    ASSERT_EQ(2, apptest::ItemCount(list));
    EXPECT_EQ(strangeName, ItemText(list, 0, 1));  // the name in full, though the folder's is cut
    EXPECT_EQ("Older", ItemText(list, 1, 1));
    EXPECT_EQ("1", ItemText(list, 0, 2));
    EXPECT_EQ(LoadStringText(IDS_STATE_READY), ItemText(list, 0, 3));
    // The message boxes, the question first (the hook also sees the main window come back).
    auto click = [&](int row, int button, int answer) {
        apptest::SelectOnly(list, {row});
        std::vector<std::string> texts = fixtures::MessageBoxAnswerer::TextsDuring(answer, [&] {
            SendMessageA(GetDlgItem(page, button), BM_CLICK, 0, 0);
            apptest::Pump();
        });
        texts.resize(std::max<size_t>(texts.size(), 1));
        return texts;
    };

    // No: nothing happens. Yes: the file is back and the backup says so.
    EXPECT_EQ(LoadStringText(IDS_CONFIRM_RESTORE), click(0, IDC_RESTORE, IDNO)[0]);
    EXPECT_FALSE(fixtures::FileExists(newer));
    click(0, IDC_RESTORE, IDYES);
    EXPECT_TRUE(fixtures::FileExists(newer));
    EXPECT_EQ(apptest::FormatString(IDS_RESTORE_SUMMARY, 1, 0), apptest::WindowText(GetDlgItem(page, IDC_RESTORE_STATUS)));
    EXPECT_EQ(LoadStringText(IDS_STATE_RESTORED), ItemText(list, 0, 3));
    // A saved file exchanged afterwards: the restore refuses the backup, which shows as damaged.
    ASSERT_TRUE(fixtures::WriteFileText(newerFolder + "\\" + kBackupFilesName + "\\0", "exchanged"));
    DeleteFileA(newer.c_str());
    std::vector<std::string> exchanged = click(0, IDC_RESTORE, IDYES);
    EXPECT_EQ(1, std::count(exchanged.begin(), exchanged.end(), LoadStringText(IDS_BACKUP_REFUSED)));
    EXPECT_FALSE(fixtures::FileExists(newer));
    EXPECT_EQ(LoadStringText(IDS_STATE_DAMAGED), ItemText(list, 0, 3));

    // An edited list is refused whole; a folder removed by hand shows as gone.
    fixtures::WriteFileText(olderFolder + "\\" + kBackupListName, "UninstallManager backup 1\r\n");
    dialog.SendMessage(WM_COMMAND, MAKEWPARAM(ID_PAGE_RESTORE, BN_CLICKED), 0);
    EXPECT_EQ(LoadStringText(IDS_STATE_DAMAGED), ItemText(list, 1, 3));
    std::vector<std::string> refusal = click(1, IDC_RESTORE, IDYES);
    EXPECT_EQ(1, std::count(refusal.begin(), refusal.end(), LoadStringText(IDS_BACKUP_REFUSED)));
    EXPECT_FALSE(fixtures::FileExists(older));
    fixtures::RemoveTree(olderFolder);
    dialog.SendMessage(WM_COMMAND, MAKEWPARAM(ID_PAGE_RESTORE, BN_CLICKED), 0);
    EXPECT_EQ(LoadStringText(IDS_STATE_GONE), ItemText(list, 1, 3));
    EXPECT_EQ("-", ItemText(list, 1, 2));

    // Deleting asks, then takes the backup for good; a gone one leaves the list.
    EXPECT_EQ(LoadStringText(IDS_CONFIRM_DELETE_BACKUP), click(0, IDC_DELETE_BACKUP, IDYES)[0]);
    EXPECT_FALSE(fixtures::DirExists(newerFolder));
    click(0, IDC_DELETE_BACKUP, IDYES);
    EXPECT_EQ(0, apptest::ItemCount(list));
    EXPECT_EQ(LoadStringText(IDS_BACKUP_DELETED), apptest::WindowText(GetDlgItem(page, IDC_RESTORE_STATUS)));
    dialog.DestroyWindow();
}

// A backup in the place and the format of the earlier version, forged to do harm:
// a Run value, an image debugger and a service in its .reg file, a "key" entry that
// moves a file of its choice to a place of its choice, and a "scheduled" file whose
// pending deletion a restore would take back. It is shown where it is, never used.
TEST(RestorePageTest, ForgedBackupsInTheFormerPlaceAreShownWhereTheyAreAndNeverUsed)
{
    machine::ScopedPendingRenames pendingRenames;
    fixtures::TempDir base("umforged");
    const std::string id = fixtures::UniqueName("umforged");
    const std::string run = fixtures::SpecialFolder(CSIDL_APPDATA) + "\\UninstallManager\\Backups\\20200101-000000 F";
    const std::string payload = base.Path() + "\\payload.dll", planted = base.Path() + "\\planted.dll";
    const std::string scheduled = base.Path() + "\\scheduled.tmp";
    fixtures::WriteFileText(payload, "MZ payload");
    fixtures::WriteFileText(scheduled, "goes at the restart");
    ASSERT_TRUE(MoveFileExA(scheduled.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    const std::string evil = "\"C:\\\\evil.exe\"\r\n\r\n";
    const std::string registry =
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\" + std::string(fixtures::kRunKey) + "]\r\n\"" + id + "\"=" + evil +
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\" + id +
        ".exe]\r\n\"Debugger\"=" + evil + "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\" + id +
        "]\r\n\"ImagePath\"=" + evil;
    std::string climb;
    for (int i = 0; i < Depth(run); ++i)
        climb += "..\\";
    char size[16];
    snprintf(size, sizeof(size), "%zX", registry.size());
    std::string list = "UninstallManager backup 1\r\nprogram\tForged\r\ntime\t2020-01-01 00:00:00\r\n";
    list += "reg\t" + std::string(size) + "\t" + FormerChecksum(registry) + "\r\n";
    list += "item\t3\t1\t1\t20\t0\t0\t0\tHKEY_LOCAL_MACHINE\t" + planted + "\t\t" + climb + payload.substr(3) + "\r\n";
    list += "item\t1\t2\t2\t20\t0\t0\t0\t\t" + scheduled + "\t\tfiles\\1\r\n";
    list += "end\t2\t" + FormerChecksum(list) + "\r\n";
    ASSERT_TRUE(fixtures::WriteFileText(run + "\\" + kBackupListName, list));
    ASSERT_TRUE(fixtures::WriteFileText(run + "\\" + kBackupRegistryName, registry));
    ASSERT_TRUE(fixtures::WriteFileText(run + "\\files\\1", "goes at the restart"));
    const fixtures::MachineState before({base.Path()});
    {
        RestorePageWindow window;
        const int row = apptest::FindRow(window.list, "2020-01-01 00:00:00");
        ASSERT_GE(row, 0);
        EXPECT_EQ(LoadStringText(IDS_STATE_UNSAFE), ItemText(window.list, row, 3));
        EXPECT_EQ("-", ItemText(window.list, row, 2));
        const std::string where = apptest::FormatString(IDS_BACKUP_UNSAFE_PLACE, run.c_str());
        for (int button : {IDC_RESTORE, IDC_DELETE_BACKUP}) {
            std::vector<std::string> texts = window.Click(row, button, IDYES);
            EXPECT_EQ(1, std::count(texts.begin(), texts.end(), where)) << button;
            EXPECT_EQ(0, std::count(texts.begin(), texts.end(), LoadStringText(IDS_CONFIRM_RESTORE)));
            EXPECT_EQ(where, window.Status());
        }
    }
    std::vector<std::string> changed = fixtures::MachineDifferences(before, fixtures::MachineState({base.Path()}));
    EXPECT_TRUE(changed.empty()) << fixtures::JoinLines(changed);
    EXPECT_FALSE(fixtures::KeyExists(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\" + id));
    EXPECT_TRUE(fixtures::PendingDeletions().count(fixtures::LowerAscii(scheduled)));
    EXPECT_TRUE(fixtures::FileExists(run + "\\" + kBackupListName));
    fixtures::RemoveTree(run);
}

// C:\ProgramData\UninstallManager made first by a standard user, as a link to a folder
// of theirs: the page names the store as unsafe, its backup is shown where it is and
// never used, and no removal happens.
TEST(RestorePageTest, AStoreReachedThroughALinkIsNamedAndNothingInItIsUsed)
{
    DeleteEveryBackup();
    fixtures::TempDir base("umlinkedstore");
    const std::string saved = base.Path() + "\\saved.txt", kept = base.Path() + "\\kept.txt";
    fixtures::WriteFileText(saved, "saved");
    fixtures::WriteFileText(kept, "kept");
    const std::string run = RemoveWithBackup(saved, "Linked");
    const CBackupStore store;
    const std::string app = store.Root().substr(0, store.Root().rfind('\\'));
    const std::string theirs = base.Path() + "\\theirs";
    ASSERT_TRUE(MoveFileExA(app.c_str(), theirs.c_str(), 0));
    ASSERT_TRUE(fixtures::MakeFolderLink(app, theirs));
    const fixtures::MachineState before({base.Path()});
    const std::set<std::string> theirFiles = fixtures::FileSnapshot(theirs);
    {
        RestorePageWindow window;
        EXPECT_EQ(apptest::FormatString(IDS_STORE_UNSAFE, store.Root().c_str()), window.Status());
        ASSERT_EQ(1, apptest::ItemCount(window.list));
        EXPECT_EQ(LoadStringText(IDS_STATE_UNSAFE), ItemText(window.list, 0, 3));
        const std::string where = apptest::FormatString(IDS_BACKUP_UNSAFE_PLACE, run.c_str());
        for (int button : {IDC_RESTORE, IDC_DELETE_BACKUP}) {
            std::vector<std::string> texts = window.Click(0, button, IDYES);
            EXPECT_EQ(1, std::count(texts.begin(), texts.end(), where)) << button;
        }
        EXPECT_FALSE(RemoveFile(kept, "Kept"));
    }
    std::vector<std::string> changed = fixtures::MachineDifferences(before, fixtures::MachineState({base.Path()}));
    EXPECT_TRUE(changed.empty()) << fixtures::JoinLines(changed);
    EXPECT_EQ(theirFiles, fixtures::FileSnapshot(theirs));
    ASSERT_TRUE(fixtures::RemoveFolderLink(app));
    ASSERT_TRUE(MoveFileExA(theirs.c_str(), app.c_str(), 0));
    DeleteEveryBackup();
}

// "删除备份" takes what lies in the run's folder and nothing else: not a folder an index
// line climbs to with "/..", not what a files folder that is a link leads to.
TEST(RestorePageTest, DeletingABackupNeverReachesOutsideItsFolder)
{
    DeleteEveryBackup();
    fixtures::TempDir base("umdeleting");
    const std::string victim = base.Path() + "\\victim", linked = base.Path() + "\\linked";
    for (const char* name : {"\\files\\precious.txt", "\\backup.txt", "\\registry.reg", "\\restored.txt"})
        fixtures::WriteFileText(victim + name, "precious");
    fixtures::WriteFileText(linked + "\\precious.txt", "precious");
    fixtures::WriteFileText(base.Path() + "\\genuine.txt", "genuine");
    fixtures::WriteFileText(base.Path() + "\\linking.txt", "linking");
    const std::string genuine = RemoveWithBackup(base.Path() + "\\genuine.txt", "Genuine");
    const std::string linking = RemoveWithBackup(base.Path() + "\\linking.txt", "Linking");
    fixtures::RemoveTree(linking + "\\" + kBackupFilesName);
    ASSERT_TRUE(fixtures::MakeFolderLink(linking + "\\" + kBackupFilesName, linked));
    const std::string root = CBackupStore().Root();
    std::string climb = "20200101-000000 x";
    for (int i = 0; i <= Depth(root); ++i)
        climb += "/..";
    climb += "/" + victim.substr(3);
    std::replace(climb.begin(), climb.end(), '\\', '/');
    std::string index;
    ASSERT_TRUE(fixtures::ReadFileText(root + "\\index.txt", &index));
    ASSERT_TRUE(fixtures::WriteFileText(root + "\\index.txt", index + climb + "\r\n"));
    const std::set<std::string> victims = fixtures::FileSnapshot(victim), links = fixtures::FileSnapshot(linked);
    {
        RestorePageWindow window;
        for (int row = apptest::ItemCount(window.list) - 1; row >= 0; --row)
            window.Click(row, IDC_DELETE_BACKUP, IDYES);
    }
    EXPECT_EQ(victims, fixtures::FileSnapshot(victim));
    EXPECT_EQ(links, fixtures::FileSnapshot(linked));
    EXPECT_FALSE(fixtures::DirExists(genuine));
    fixtures::RemoveFolderLink(linking + "\\" + kBackupFilesName);
    DeleteEveryBackup();
}

// A list of 1 GB, a .reg file of 1 GB and an index of 1 GB (sparse: they take no
// room) are not read: the window opens as fast as without them, its memory does not
// grow by them, and both backups show as damaged.
TEST(RestorePageTest, HugeFilesInTheStoreNeitherHoldTheWindowUpNorPassForBackups)
{
    DeleteEveryBackup();
    fixtures::TempDir base("umhuge");
    fixtures::WriteFileText(base.Path() + "\\list.txt", "list");
    fixtures::WriteFileText(base.Path() + "\\registry.txt", "registry");
    const std::string hugeList = RemoveWithBackup(base.Path() + "\\list.txt", "HugeList");
    const std::string hugeRegistry = RemoveWithBackup(base.Path() + "\\registry.txt", "HugeRegistry");
    auto openWindow = [] {
        DWORD best = MAXDWORD;
        for (int round = 0; round < 3; ++round) {
            DWORD start = GetTickCount();
            RestorePageWindow window;
            best = std::min(best, GetTickCount() - start);
        }
        return best;
    };
    auto peakMemory = [] {
        PROCESS_MEMORY_COUNTERS counters = {};
        counters.cb = sizeof(counters);
        GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
        return counters.PeakWorkingSetSize;
    };
    const DWORD plain = openWindow();
    const LONGLONG gigabyte = 1LL << 30;
    ASSERT_TRUE(fixtures::MakeSparseFile(hugeList + "\\" + kBackupListName, gigabyte));
    ASSERT_TRUE(fixtures::MakeSparseFile(hugeRegistry + "\\" + kBackupRegistryName, gigabyte));
    ASSERT_TRUE(fixtures::MakeSparseFile(CBackupStore().Root() + "\\index.txt", gigabyte));
    const SIZE_T peak = peakMemory();
    const DWORD huge = openWindow();
    EXPECT_LT(huge, 2 * plain + 100) << plain;
    EXPECT_LT(peakMemory() - peak, static_cast<SIZE_T>(64 * 1024 * 1024));

    RestorePageWindow window;
    ASSERT_EQ(2, apptest::ItemCount(window.list));
    for (int row = 0; row < 2; ++row)
        EXPECT_EQ(LoadStringText(IDS_STATE_DAMAGED), ItemText(window.list, row, 3)) << row;
    std::vector<std::string> texts = window.Click(0, IDC_RESTORE, IDYES);
    EXPECT_EQ(1, std::count(texts.begin(), texts.end(), LoadStringText(IDS_BACKUP_REFUSED)));
    EXPECT_FALSE(fixtures::FileExists(base.Path() + "\\registry.txt"));
    window.Click(0, IDC_DELETE_BACKUP, IDYES);
    window.Click(0, IDC_DELETE_BACKUP, IDYES);
    EXPECT_EQ(0, apptest::ItemCount(window.list));
}

}  // namespace
