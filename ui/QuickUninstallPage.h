// The quick-uninstall page: every registered product with its icon, name, command
// and publisher; details of the last changed row; uninstall, forced uninstall,
// refresh and the help link. The rows appear at once with the default icon; their
// own icons are looked up in idle time, visible rows first, and drawn in place.
#pragma once
#include "framework/ImageList.h"
#include "framework/ListCtrl.h"
#include "inventory/InstalledSoftwareList.h"
#include "inventory/UninstallWatch.h"
#include "smart/UninstallClues.h"
#include "ui/Page.h"
#include "ui/PageButton.h"

#include <map>
#include <string>

class CQuickUninstallPage : public CPage {
public:
    CQuickUninstallPage();
    ~CQuickUninstallPage() override;

    const CInstalledSoftwareList& Inventory() const { return inventory; }
    // Turns the four actions off and on again (while an analysis runs elsewhere).
    void EnableActions(bool enable);
    // True while rows still wait for their icons to be looked up.
    bool IconsPending() const { return iconsPending; }
    // True while the page waits for an uninstaller to end.
    bool IsWaiting() const { return waiting; }

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnClicked(UINT id) override;
    bool OnControlNotify(NMHDR* header, LRESULT* result) override;

    void OnUninstall();
    void OnDeleteEntry();
    void OnItemChanged(const NMLISTVIEW* change);
    void OnRefresh();
    void OnColumnClick(int column);
    void OnOpenHelpLink();
    void OnDestroy();
    void OnIconTimer();
    // Waiting for an uninstaller: the other actions are off, the uninstall button
    // stops the wait, a timer looks whether it has ended.
    void NoteClues(const InstalledSoftwareEntry& entry);
    void SetWaiting(bool on);
    void OnWaitTimer();
    void EndWaiting(UINT statusId);
    // Tells the parent, which was told that an uninstall starts, that it is over.
    void NotifyUninstallEnded(bool lookForLeftovers);
    void UpdateActionButtons();
    // Starts the uninstaller of the product the clues name under watch.
    virtual CommandStart StartWatchedUninstall(const char* command);

    void ReloadList();
    void FillList();
    void ResetImageList();
    void StartIconWork();
    void StopIconWork();
    // Looks up the row's icons if its record has none yet and draws them; false when
    // there was nothing to look up.
    bool ResolveRowIcons(int row);
    int ImageOf(HICON icon);
    // Starts the uninstall command of a product registered under root.
    virtual CommandStart RunUninstallCommand(const char* command, HKEY root);
    // Deletes a product's registration (root\keyPath, physical) after saving it in a
    // backup named after the product; the Win32 result, ERROR_INVALID_OWNER when the
    // store of backups is not safe (then nothing is deleted).
    virtual LONG DeleteEntryKey(HKEY root, const char* keyPath, const char* product);
    virtual CommandStart OpenLink(const char* link);
    void ReportFailure(UINT formatId, const char* subject);
    // Says why a command that did not start stayed so; nothing for one that started.
    void ReportNotStarted(CommandStart outcome, const char* command);

    CPageButton openLinkButton;
    CPageButton refreshButton;
    CPageButton deleteEntryButton;
    CPageButton uninstallButton;
    CListCtrl softwareListView;
    std::string publisherText;
    std::string displayNameText;
    std::string uninstallStringText;
    std::string helpLinkText;
    std::string keyPathText;
    CInstalledSoftwareList inventory;
    CImageList imageList;
    std::map<HICON, int> iconImages;  // the images added for looked-up icons
    int listReady;
    bool actionsEnabled;
    HICON defaultIcon;
    int sortColumn;  // -1: the registry's order
    bool sortAscending;
    bool iconsPending;
    int iconSweepRow;  // the next row the idle sweep looks at
    bool waiting = false;
    CUninstallWatch watch;
    UninstallClues clues;
    std::string uninstallCaption;

private:
    static int CALLBACK CompareRows(LPARAM first, LPARAM second, LPARAM pageParam);
    // A row's record (rows follow the sort, records the registry's order).
    InstalledSoftwareEntry* EntryAtRow(int row) const;
    int SelectedRow() const;
};
