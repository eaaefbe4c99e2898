// The restore page: the backups newest first with their state; restoring and
// deleting the selected one after asking; damaged and vanished backups.
#include "app/MainDialog.h"
#include "backup/RemovalBackup.h"
#include "resource.h"
#include "support/AppTestSupport.h"
#include "support/Fixtures.h"
#include "support/MessageBoxAnswerer.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using apptest::ItemText;

// Removes one file with a backup named after program.
std::string RemoveWithBackup(const std::string& file, const std::string& program)
{
    TraceItem item = {TRACE_FILE, "", "", nullptr, 0};
    CopyText(item.path, MAX_PATH, file.c_str());
    CRemovalBackup backup(CBackupStore(), program);
    EXPECT_EQ(1, RemoveTraces({&item}, {true}, &backup).Count(REMOVAL_DONE));
    return backup.Folder();
}

TEST(RestorePageTest, ListsNewestFirstRestoresAndDeletesAfterAskingAndRefusesDamage)
{
    for (const BackupSummary& earlier : CBackupStore().List())  // made by other tests
        CBackupStore().Delete(earlier.name);
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

}  // namespace
