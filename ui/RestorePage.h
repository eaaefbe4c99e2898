// The restore page: the backups of earlier removals, newest first; the selected
// one can be put back or deleted for good. A backup in a place others can change is
// shown with where it is, never restored or deleted; a store that fails its check
// is named in the status line.
#pragma once
#include "backup/BackupStore.h"
#include "framework/ListCtrl.h"
#include "framework/Static.h"
#include "ui/Page.h"
#include "ui/PageButton.h"

#include <set>
#include <string>
#include <vector>

class CRestorePage : public CPage {
public:
    CRestorePage();

    // Lists the backups again (each time the page is chosen).
    void Refresh();
    // Disables restoring and deleting while something else changes the machine.
    void EnableActions(bool enable);

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    bool OnClicked(UINT id) override;

    void OnRestore();
    void OnDeleteBackup();
    // Says where an unsafe backup is, for the user to copy back by hand.
    void ShowUnsafePlace(const BackupSummary& backup);
    // The selected backup, or null.
    const BackupSummary* Selected() const;
    // The selected backup once the user said yes to questionId about it; null when
    // none is selected, the user said no, or it lies in an unsafe place (then the
    // page says where).
    const BackupSummary* ConfirmSelected(UINT questionId);

    CListCtrl backupList;
    CPageButton restoreButton;
    CPageButton deleteButton;
    CEdit statusEdit;
    CBackupStore store;
    std::vector<BackupSummary> backups;
    std::set<std::string> refused;  // runs a restore refused: shown as damaged
};
