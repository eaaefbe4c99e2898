// The restore page: the backups of earlier removals, newest first; the selected
// one can be put back or deleted for good.
#pragma once
#include "backup/BackupStore.h"
#include "controls/PageButton.h"
#include "framework/Dialog.h"
#include "framework/GdiObjects.h"
#include "framework/ListCtrl.h"
#include "framework/Static.h"

#include <vector>

class CRestorePage : public CDialog {
public:
    CRestorePage();

    // Lists the backups again (each time the page is chosen).
    void Refresh();
    // Disables restoring and deleting while something else changes the machine.
    void EnableActions(bool enable);

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT ctlType) override;
    // Message boxes, overridable so tests can see the question asked.
    virtual int ShowMessage(UINT stringId, UINT type);

    void OnRestore();
    void OnDeleteBackup();
    // The selected backup, or null.
    const BackupSummary* Selected() const;

    CListCtrl backupList;
    CPageButton restoreButton;
    CPageButton deleteButton;
    CEdit statusEdit;
    CBrush backgroundBrush;
    CBackupStore store;
    std::vector<BackupSummary> backups;
};
