#include "ui/RestorePage.h"

#include "backup/RestoreRun.h"
#include "framework/AnsiText.h"
#include "framework/WinApp.h"
#include "resource.h"
#include "ui/PageBackground.h"

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

CRestorePage::CRestorePage() : CDialog(IDD_RESTORE_PAGE)
{
    backgroundBrush.CreateSolidBrush(PAGE_BACKGROUND_COLOR);
}

void CRestorePage::DoDataExchange(CDataExchange* dx)
{
    DDX_Control(dx, IDC_BACKUP_LIST, backupList);
    DDX_Control(dx, IDC_RESTORE, restoreButton);
    DDX_Control(dx, IDC_DELETE_BACKUP, deleteButton);
    DDX_Control(dx, IDC_RESTORE_STATUS, statusEdit);
}

BOOL CRestorePage::OnInitDialog()
{
    CDialog::OnInitDialog();
    const UINT headings[] = {IDS_COL_TIME, IDS_COL_PROGRAM, IDS_COL_ITEMS, IDS_COL_STATE};
    const int widths[] = {130, 250, 60, 70};
    for (int column = 0; column < 4; ++column)
        backupList.InsertColumn(column, LoadStringText(headings[column]).c_str(), LVCFMT_LEFT, widths[column]);
    backupList.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    Refresh();
    return TRUE;
}

LRESULT CRestorePage::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_ERASEBKGND) {
        PaintPageBackground(m_hWnd, reinterpret_cast<HDC>(wParam));
        return TRUE;
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}

BOOL CRestorePage::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (CommandCode(wParam) == BN_CLICKED && CommandId(wParam) == IDC_RESTORE) {
        OnRestore();
        return TRUE;
    }
    if (CommandCode(wParam) == BN_CLICKED && CommandId(wParam) == IDC_DELETE_BACKUP) {
        OnDeleteBackup();
        return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}

HBRUSH CRestorePage::OnCtlColor(HDC dc, HWND control, UINT ctlType)
{
    if (ctlType != CTLCOLOR_STATIC)
        return CDialog::OnCtlColor(dc, control, ctlType);
    SetBkMode(dc, TRANSPARENT);
    return backgroundBrush;
}

int CRestorePage::ShowMessage(UINT stringId, UINT type)
{
    return AfxMessageBox(stringId, type);
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
    if (check != FOLDER_SAFE && check != FOLDER_MISSING) {
        char text[2 * MAX_PATH];
        FormatText(text, sizeof(text), LoadStringText(IDS_STORE_UNSAFE).c_str(), store.Root().c_str());
        statusEdit.SetWindowText(text);
    }
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
    char text[3 * MAX_PATH];
    FormatText(text, sizeof(text), LoadStringText(IDS_BACKUP_UNSAFE_PLACE).c_str(), backup.folder.c_str());
    statusEdit.SetWindowText(text);
    AfxMessageBox(text, MB_ICONWARNING);
}

void CRestorePage::OnRestore()
{
    const BackupSummary* backup = Selected();
    if (backup && backup->state == BACKUP_UNSAFE) {
        ShowUnsafePlace(*backup);
        return;
    }
    if (!backup || ShowMessage(IDS_CONFIRM_RESTORE, MB_YESNO | MB_ICONQUESTION) != IDYES)
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
    const BackupSummary* backup = Selected();
    if (backup && backup->state == BACKUP_UNSAFE) {
        ShowUnsafePlace(*backup);
        return;
    }
    if (!backup || ShowMessage(IDS_CONFIRM_DELETE_BACKUP, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    bool deleted = store.Delete(backup->name);
    statusEdit.SetWindowText(LoadStringText(deleted ? IDS_BACKUP_DELETED : IDS_BACKUP_NOT_DELETED).c_str());
    Refresh();
}
