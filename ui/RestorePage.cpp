#include "ui/RestorePage.h"

#include "backup/RestoreRun.h"
#include "framework/AnsiText.h"
#include "framework/WinApp.h"
#include "resource.h"

namespace {

UINT StateText(BackupState state)
{
    switch (state) {
    case BACKUP_READY:
        return IDS_STATE_READY;
    case BACKUP_RESTORED:
        return IDS_STATE_RESTORED;
    case BACKUP_DAMAGED:
        return IDS_STATE_DAMAGED;
    case BACKUP_UNSAFE:
        return IDS_STATE_UNSAFE;
    default:
        return IDS_STATE_GONE;
    }
}

}  // namespace

CRestorePage::CRestorePage() : CPage(IDD_RESTORE_PAGE) {}

void CRestorePage::DoDataExchange(CDataExchange* dx)
{
    BindControls(dx, {{IDC_BACKUP_LIST, backupList},
                      {IDC_RESTORE, restoreButton},
                      {IDC_DELETE_BACKUP, deleteButton},
                      {IDC_RESTORE_STATUS, statusEdit}});
}

BOOL CRestorePage::OnInitDialog()
{
    CPage::OnInitDialog();
    AddColumns(backupList, {{IDS_COL_TIME, 130}, {IDS_COL_PROGRAM, 250}, {IDS_COL_ITEMS, 60}, {IDS_COL_STATE, 70}});
    backupList.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    Refresh();
    return TRUE;
}

bool CRestorePage::OnClicked(UINT id)
{
    switch (id) {
    case IDC_RESTORE:
        OnRestore();
        return true;
    case IDC_DELETE_BACKUP:
        OnDeleteBackup();
        return true;
    default:
        return false;
    }
}

void CRestorePage::Refresh()
{
    backups = store.List();
    // A backup a restore refused stays damaged for the session: the list shows only
    // what can be told without reading its files whole.
    for (BackupSummary& backup : backups) {
        bool restorable = backup.state == BACKUP_READY || backup.state == BACKUP_RESTORED;
        if (restorable && refused.count(backup.folder))
            backup.state = BACKUP_DAMAGED;
    }
    FolderCheck check = store.Check();
    if (check != FOLDER_SAFE && check != FOLDER_MISSING)
        statusEdit.SetWindowText(FormatString(IDS_STORE_UNSAFE, store.Root().c_str()).c_str());
    backupList.DeleteAllItems();
    for (size_t i = 0; i < backups.size(); ++i) {
        const BackupSummary& backup = backups[i];
        std::string items = backup.items >= 0 ? std::to_string(backup.items) : std::string("-");
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(i);
        item.pszText = const_cast<char*>(backup.time.c_str());
        int row = backupList.InsertItem(&item);
        backupList.SetItemText(row, 1, backup.program.c_str());
        backupList.SetItemText(row, 2, items.c_str());
        backupList.SetItemText(row, 3, LoadStringText(StateText(backup.state)).c_str());
    }
}

void CRestorePage::EnableActions(bool enable)
{
    restoreButton.EnableWindow(enable);
    deleteButton.EnableWindow(enable);
}

const BackupSummary* CRestorePage::Selected() const
{
    int row = backupList.GetNextItem(-1, LVNI_SELECTED);
    return row >= 0 && static_cast<size_t>(row) < backups.size() ? &backups[row] : nullptr;
}

void CRestorePage::ShowUnsafePlace(const BackupSummary& backup)
{
    const std::string text = FormatString(IDS_BACKUP_UNSAFE_PLACE, backup.folder.c_str());
    statusEdit.SetWindowText(text.c_str());
    ShowMessageText(text, MB_ICONWARNING);
}

const BackupSummary* CRestorePage::ConfirmSelected(UINT questionId)
{
    const BackupSummary* backup = Selected();
    if (backup && backup->state == BACKUP_UNSAFE) {
        ShowUnsafePlace(*backup);
        return nullptr;
    }
    if (!backup || ShowMessage(questionId, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return nullptr;
    return backup;
}

void CRestorePage::OnRestore()
{
    const BackupSummary* backup = ConfirmSelected(IDS_CONFIRM_RESTORE);
    if (!backup)
        return;
    CRestoreRun run(store, backup->name);
    std::string reason;
    if (backup->state == BACKUP_GONE || !run.Load(&reason)) {
        if (backup->state != BACKUP_GONE)
            refused.insert(backup->folder);
        statusEdit.SetWindowText(LoadStringText(IDS_BACKUP_REFUSED).c_str());
        ShowMessage(IDS_BACKUP_REFUSED, MB_ICONERROR);
        Refresh();
        return;
    }
    RestoreTally tally = run.Run();
    char summary[256];
    FormatText(summary, sizeof(summary), LoadStringText(IDS_RESTORE_SUMMARY).c_str(), tally.restored, tally.failed);
    statusEdit.SetWindowText(summary);
    Refresh();
}

void CRestorePage::OnDeleteBackup()
{
    const BackupSummary* backup = ConfirmSelected(IDS_CONFIRM_DELETE_BACKUP);
    if (!backup)
        return;
    bool deleted = store.Delete(backup->name);
    statusEdit.SetWindowText(LoadStringText(deleted ? IDS_BACKUP_DELETED : IDS_BACKUP_NOT_DELETED).c_str());
    Refresh();
}
