// The quick-uninstall page: every registered product with its icon, name, command,
// publisher, version, size, install date and source; a filter over name, publisher
// and key name; products whose uninstaller is missing marked (and shown alone on
// request); details of the selected row; uninstall, forced uninstall, refresh, the
// help link, an export of the rows shown and a context menu on a row.
// The entries are read in slices between messages, then the rows' icons are looked
// up (visible rows first) and the install folders without a registered size are
// measured, each drawn in place as it arrives: the window answers throughout.
#pragma once
#include "framework/Button.h"
#include "framework/ImageList.h"
#include "inventory/InstalledSoftwareList.h"
#include "inventory/ProductRows.h"
#include "inventory/UninstallWatch.h"
#include "smart/FolderSizes.h"
#include "smart/UninstallClues.h"
#include "ui/FilterEdit.h"
#include "ui/Page.h"
#include "ui/PageButton.h"
#include "ui/ProductListCtrl.h"

#include <map>
#include <string>
#include <vector>

class CQuickUninstallPage : public CPage {
public:
    CQuickUninstallPage();
    ~CQuickUninstallPage() override;

    const CInstalledSoftwareList& Inventory() const { return inventory; }
    // The record shown in a row of the list, or null.
    const InstalledSoftwareEntry* RowEntry(int row) const { return rows.At(row); }
    // Turns the four actions off and on again (while an analysis runs elsewhere).
    void EnableActions(bool enable);
    // True while the entries are still being read (IsReading), or their uninstallers
    // looked for.
    bool IsLoading() const { return inventory.IsLoading() || !inventory.UninstallersChecked(); }
    bool IsReading() const { return inventory.IsLoading(); }
    // True while rows still wait for their icons to be looked up.
    bool IconsPending() const { return iconsPending; }
    // True while install folders still wait to be measured.
    bool SizesPending() const { return sizesPending; }
    // True while the page waits for an uninstaller to end.
    bool IsWaiting() const { return waiting; }

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    bool OnClicked(UINT id) override;
    bool OnListNotify(NMHDR* header, LRESULT* result) override;
    BOOL PreTranslateMessage(MSG* msg) override;

    void OnUninstall();
    void OnDeleteEntry();
    void OnItemChanged(const NMLISTVIEW* change);
    void OnRefresh();
    void OnColumnClick(int column);
    void OnOpenHelpLink();
    void OnDestroy();
    void OnFilterChanged();
    void OnExport();
    void OnContextMenu(HWND window, LPARAM position);
    void OnMenuCommand(UINT id);
    void OnOpenInstallFolder();
    void OnCopyName();
    void OnLocateKey();
    void OnSmartUninstall();
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

    // The work between messages: reading entries, icons, folder sizes.
    void ReloadList();
    void ScheduleWork();
    void OnWork();
    void DoWorkSlice();
    void OnLoadSlice();
    void OnUninstallerSlice(double seconds);
    void OnIconSlice();
    bool ViewIconsResolved(double deadline);
    void OnSizeTimer();
    void StartIconWork();
    void StopWork();
    // Looks up the row's icons if its record has none yet and redraws it; false when
    // there was nothing to look up.
    bool ResolveRowIcons(int row);
    int ImageOf(const InstalledSoftwareEntry& entry);
    // Measures the next install folder waiting for its size, for about budget
    // seconds; false when none is waiting.
    bool MeasureNextFolder(double budget);
    bool MeasureFolderOf(const InstalledSoftwareEntry& entry, double budget);
    // The folder whose size stands for the product's when it registers none.
    static std::string SizedFolder(const InstalledSoftwareEntry& entry);
    void ApplyFolderSize(const std::string& folder);

    void FitColumns();
    // The rows: shown after any change of the records, the filter or the order; the
    // record selected before (keep) stays selected when it is still shown.
    void ShowRows(const InstalledSoftwareEntry* keep);
    void ShowRowCount();
    void SelectEntry(const InstalledSoftwareEntry* entry);
    void ShowDetails(InstalledSoftwareEntry* entry);
    void OnGetRowInfo(LVITEMA* item) override;
    LRESULT OnCustomDraw(NMLVCUSTOMDRAW* draw);
    void OnGetInfoTip(NMLVGETINFOTIPA* tip);

    // Starts the uninstall command of a product registered under root.
    virtual CommandStart RunUninstallCommand(const char* command, HKEY root);
    // Deletes a product's registration (root\keyPath, physical) after saving it in a
    // backup named after the product; the Win32 result, ERROR_INVALID_OWNER when the
    // store of backups is not safe (then nothing is deleted).
    virtual LONG DeleteEntryKey(HKEY root, const char* keyPath, const char* product);
    virtual CommandStart OpenLink(const char* link);
    // Shows the folder in Explorer, as the desktop user for a user's product.
    virtual CommandStart OpenFolder(const char* folder, HKEY root);
    // Starts the registry editor (the program of that name in the Windows folder).
    virtual bool StartRegistryEditor(const std::string& program);
    // The menu shown at a screen point; the chosen command, 0 for none.
    virtual UINT TrackMenu(HMENU menu, POINT at);
    // The file the user names for an export (the save dialog); false when cancelled.
    virtual bool PickExportFile(std::string* path);
    void ReportFailure(UINT formatId, const char* subject);
    // Says why a command that did not start stayed so; nothing for one that started.
    void ReportNotStarted(CommandStart outcome, const char* command);

    CPageButton openLinkButton;
    CPageButton refreshButton;
    CPageButton deleteEntryButton;
    CPageButton uninstallButton;
    CPageButton exportButton;
    CButton onlyBrokenCheck;
    CFilterEdit filterEdit;
    CProductListCtrl softwareListView;
    std::string publisherText;
    std::string displayNameText;
    std::string uninstallStringText;
    std::string helpLinkText;
    std::string keyPathText;
    CInstalledSoftwareList inventory;
    CProductRows rows;
    InstalledSoftwareEntry* selected = nullptr;  // the record whose details are shown
    CImageList imageList;
    int defaultImage = -1;
    std::map<HICON, int> iconImages;  // the images added for looked-up icons
    bool actionsEnabled;
    HICON defaultIcon;
    int sortColumn;  // -1: the registry's order
    bool sortAscending;
    bool iconsPending;
    int iconSweepRow;  // the next row the idle sweep looks at
    bool sizesPending = false;
    int sizeSweep = 0;  // the records before it need no measuring
    CFolderSizes folderSizes;  // for the whole session
    bool workScheduled = false;
    bool oldIconsPending = false;  // the icons of the load before still to be released
    double rowsShownAt = 0;  // when the list last learnt of new rows
    bool waiting = false;
    CUninstallWatch watch;
    UninstallClues clues;
    UninstallClues analysisClues;  // the product the smart page is asked to analyse
    std::string uninstallCaption;
    // Texts handed to the list stay valid for two more requests.
    std::string rowTexts[3];
    size_t nextRowText = 0;

private:
    int SelectedRow() const;
    InstalledSoftwareEntry* SelectedEntry() const { return rows.At(SelectedRow()); }
};
