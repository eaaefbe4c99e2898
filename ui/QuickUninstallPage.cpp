#include "ui/QuickUninstallPage.h"

#include "backup/RemovalBackup.h"
#include "framework/AnsiText.h"
#include "framework/RegistryTree.h"
#include "framework/RegKey.h"
#include "framework/SteadyClock.h"
#include "framework/WinApp.h"
#include "inventory/UninstallCommand.h"
#include "resource.h"
#include "ui/PrivateMessages.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <algorithm>

namespace {

const UINT_PTR ICON_TIMER = 1;
// An uninstaller's end is looked for this often: the window stays free meanwhile.
const UINT_PTR WAIT_TIMER = 2;
const UINT WAIT_TIMER_INTERVAL_MS = 100;
// Timers come after input and painting, so the icon work never holds either up; each
// tick looks up icons for about this long and then lets the queue run.
const UINT ICON_TIMER_INTERVAL_MS = 10;
const double ICON_TICK_BUDGET_S = 0.015;

// The status line after an uninstaller ended; 0 when what it left is looked for.
UINT OutcomeStatus(UninstallOutcome outcome)
{
    switch (outcome) {
    case UNINSTALL_CANCELLED:
        return IDS_UNINSTALL_CANCELLED;
    case UNINSTALL_STILL_INSTALLED:
        return IDS_STILL_INSTALLED;
    default:
        return 0;
    }
}

}  // namespace

CQuickUninstallPage::CQuickUninstallPage()
    : CPage(IDD_QUICK_PAGE), listReady(0), actionsEnabled(true),
      defaultIcon(LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDI_DEFAULT_PRODUCT))), sortColumn(-1),
      sortAscending(true), iconsPending(false), iconSweepRow(0)
{
}

CQuickUninstallPage::~CQuickUninstallPage() = default;

void CQuickUninstallPage::DoDataExchange(CDataExchange* dx)
{
    BindControls(dx, {{IDC_OPEN_LINK, openLinkButton}, {IDC_REFRESH, refreshButton},
                      {IDC_DELETE_ENTRY, deleteEntryButton}, {IDC_UNINSTALL, uninstallButton},
                      {IDC_LIST, softwareListView}});
    DDX_Text(dx, IDC_PUBLISHER, publisherText);
    DDX_Text(dx, IDC_DISPLAY_NAME, displayNameText);
    DDX_Text(dx, IDC_UNINSTALL_STRING, uninstallStringText);
    DDX_Text(dx, IDC_HELP_LINK, helpLinkText);
    DDX_Text(dx, IDC_KEY_PATH, keyPathText);
}

BOOL CQuickUninstallPage::OnInitDialog()
{
    CPage::OnInitDialog();
    // The page owns its image lists; the list view must not destroy them too.
    softwareListView.ModifyStyle(0, LVS_SHAREIMAGELISTS);
    AddColumns(softwareListView, {{IDS_COL_NAME, 220}, {IDS_COL_COMMAND, 400}, {IDS_COL_PUBLISHER, 200}});
    softwareListView.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
    ResetImageList();
    ReloadList();
    openLinkButton.SetIcons(IDI_HELP_LINK, 0);
    openLinkButton.EnableWindow(FALSE);
    return TRUE;
}

LRESULT CQuickUninstallPage::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_TIMER:
        if (wParam == ICON_TIMER)
            OnIconTimer();
        else if (wParam == WAIT_TIMER)
            OnWaitTimer();
        else
            return CPage::WindowProc(msg, wParam, lParam);
        return 0;
    default:
        return CPage::WindowProc(msg, wParam, lParam);
    }
}

bool CQuickUninstallPage::OnClicked(UINT id)
{
    bool isAction = id == IDC_UNINSTALL || id == IDC_DELETE_ENTRY || id == IDC_REFRESH || id == IDC_OPEN_LINK;
    if (isAction && (!actionsEnabled || (waiting && id != IDC_UNINSTALL)))
        return true;
    switch (id) {
    case IDC_UNINSTALL:
        OnUninstall();
        return true;
    case IDC_DELETE_ENTRY:
        OnDeleteEntry();
        return true;
    case IDC_REFRESH:
        OnRefresh();
        return true;
    case IDC_OPEN_LINK:
        OnOpenHelpLink();
        return true;
    default:
        return false;
    }
}

bool CQuickUninstallPage::OnControlNotify(NMHDR* header, LRESULT*)
{
    const NMLISTVIEW* change = reinterpret_cast<const NMLISTVIEW*>(header);
    if (header->idFrom == IDC_LIST && header->code == LVN_ITEMCHANGED)
        OnItemChanged(change);
    else if (header->idFrom == IDC_LIST && header->code == LVN_COLUMNCLICK)
        OnColumnClick(change->iSubItem);
    else
        return false;
    return true;
}

void CQuickUninstallPage::OnDestroy()
{
    StopIconWork();
    DefWindowProc(WM_DESTROY, 0, 0);
    ResetImageList();
}

void CQuickUninstallPage::ResetImageList()
{
    imageList.DeleteImageList();
    iconImages.clear();
    imageList.Create(16, 16, ILC_COLOR32 | ILC_MASK, 20, 5);
    if (softwareListView.IsWindow())
        softwareListView.SetImageList(imageList, LVSIL_SMALL);
}

// The rows go before the records they point to, and the icon work stops first.
void CQuickUninstallPage::ReloadList()
{
    StopIconWork();
    listReady = 0;
    softwareListView.DeleteAllItems();
    inventory.Reload();
    FillList();
}

// Each row gets its own image slot, showing the default icon until its own is known.
void CQuickUninstallPage::FillList()
{
    listReady = 0;
    softwareListView.SendMessage(WM_SETREDRAW, FALSE);
    softwareListView.DeleteAllItems();
    ResetImageList();
    // Every row shows the default until its own icon is known.
    const int defaultImage = imageList.Add(defaultIcon);
    int position = -1;
    InstalledSoftwareEntry* entry = nullptr;
    for (bool more = inventory.GetFirst(position, entry); more; more = inventory.GetNext(position, entry)) {
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
        item.iItem = position;
        item.pszText = entry->displayName;
        item.iImage = defaultImage;
        item.lParam = reinterpret_cast<LPARAM>(entry);
        softwareListView.InsertItem(&item);
        softwareListView.SetItemText(position, 1, entry->uninstallString);
        softwareListView.SetItemText(position, 2, entry->publisher);
    }
    if (sortColumn >= 0)
        softwareListView.SortItems(CompareRows, reinterpret_cast<LPARAM>(this));
    softwareListView.SendMessage(WM_SETREDRAW, TRUE);
    softwareListView.Invalidate();
    listReady = 1;
    StartIconWork();
}

void CQuickUninstallPage::StartIconWork()
{
    iconSweepRow = 0;
    iconsPending = softwareListView.GetItemCount() > 0;
    if (iconsPending)
        ::SetTimer(m_hWnd, ICON_TIMER, ICON_TIMER_INTERVAL_MS, nullptr);
}

void CQuickUninstallPage::StopIconWork()
{
    if (m_hWnd)
        ::KillTimer(m_hWnd, ICON_TIMER);
    iconsPending = false;
}

// One slice of icon work: the rows in view and the page below them first, so
// scrolling brings the new page's icons next, then the sweep over every row.
void CQuickUninstallPage::OnIconTimer()
{
    if (!iconsPending) {
        StopIconWork();
        return;
    }
    const double deadline = SteadySeconds() + ICON_TICK_BUDGET_S;
    const int count = softwareListView.GetItemCount();
    const int top = std::max(0, softwareListView.GetTopIndex());
    const int soonVisible = std::min(count, top + 2 * std::max(1, softwareListView.GetCountPerPage()) + 1);
    for (int row = top; row < soonVisible; ++row) {
        if (ResolveRowIcons(row) && SteadySeconds() >= deadline)
            return;
    }
    while (iconSweepRow < count) {
        if (ResolveRowIcons(iconSweepRow++) && SteadySeconds() >= deadline)
            return;
    }
    StopIconWork();
}

bool CQuickUninstallPage::ResolveRowIcons(int row)
{
    InstalledSoftwareEntry* entry = EntryAtRow(row);
    if (!entry || entry->iconsResolved)
        return false;
    inventory.ResolveIcons(entry);
    const int image = ImageOf(entry->smallIcon);
    if (image >= 0)
        softwareListView.SetItemImage(row, image);
    return true;
}

// The image of a looked-up icon, added the first time a row shows it; -1 for none
// (the row keeps the default).
int CQuickUninstallPage::ImageOf(HICON icon)
{
    if (!icon)
        return -1;
    auto known = iconImages.find(icon);
    if (known != iconImages.end())
        return known->second;
    const int image = imageList.Add(icon);
    if (image >= 0)
        iconImages[icon] = image;
    return image;
}

// A second click on the same header reverses the order.
void CQuickUninstallPage::OnColumnClick(int column)
{
    sortAscending = column != sortColumn || !sortAscending;
    sortColumn = column;
    softwareListView.SortItems(CompareRows, reinterpret_cast<LPARAM>(this));
    softwareListView.ShowSortArrow(sortColumn, sortAscending);
    iconSweepRow = 0;  // the rows moved: sweep them again (resolved ones cost nothing)
}

// Rows compare by the sorted column's text as the user's locale orders it; equal
// texts keep the registry's order.
int CALLBACK CQuickUninstallPage::CompareRows(LPARAM first, LPARAM second, LPARAM pageParam)
{
    const CQuickUninstallPage* page = reinterpret_cast<const CQuickUninstallPage*>(pageParam);
    const InstalledSoftwareEntry* a = reinterpret_cast<const InstalledSoftwareEntry*>(first);
    const InstalledSoftwareEntry* b = reinterpret_cast<const InstalledSoftwareEntry*>(second);
    const char* textA = page->sortColumn == 1 ? a->uninstallString : page->sortColumn == 2 ? a->publisher : a->displayName;
    const char* textB = page->sortColumn == 1 ? b->uninstallString : page->sortColumn == 2 ? b->publisher : b->displayName;
    int order = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, textA, -1, textB, -1) - CSTR_EQUAL;
    if (order == 0)
        return a->loadIndex < b->loadIndex ? -1 : a->loadIndex > b->loadIndex ? 1 : 0;
    return page->sortAscending ? order : -order;
}

InstalledSoftwareEntry* CQuickUninstallPage::EntryAtRow(int row) const
{
    return row < 0 ? nullptr : reinterpret_cast<InstalledSoftwareEntry*>(softwareListView.GetItemData(row));
}

void CQuickUninstallPage::OnItemChanged(const NMLISTVIEW* change)
{
    // The details follow the selected row: a row's icon arriving (the list reports
    // that as a change too) or a row losing the selection leaves them alone.
    if (!listReady || change->iItem == -1 || !(change->uChanged & LVIF_STATE) ||
        !(change->uNewState & LVIS_SELECTED))
        return;
    const InstalledSoftwareEntry* entry = EntryAtRow(change->iItem);
    if (!entry)
        return;
    // The details need the record's icons now, whether or not the sweep got there.
    ResolveRowIcons(change->iItem);
    displayNameText = entry->displayName;
    uninstallStringText = entry->uninstallString;
    publisherText = entry->publisher;
    helpLinkText = entry->helpLink;
    // As the registry editor shows it; the machine's entries keep their short form.
    keyPathText = EntryKeyPathText(*entry);
    UpdateData(FALSE);
    openLinkButton.EnableWindow(actionsEnabled && !helpLinkText.empty());
}

void CQuickUninstallPage::EnableActions(bool enable)
{
    actionsEnabled = enable;
    UpdateActionButtons();
}

void CQuickUninstallPage::UpdateActionButtons()
{
    bool idle = actionsEnabled && !waiting;
    uninstallButton.EnableWindow(actionsEnabled);
    deleteEntryButton.EnableWindow(idle);
    refreshButton.EnableWindow(idle);
    softwareListView.EnableWindow(!waiting);
    openLinkButton.EnableWindow(idle && !helpLinkText.empty());
}

int CQuickUninstallPage::SelectedRow() const
{
    return softwareListView.GetNextItem(-1, LVNI_SELECTED);
}

CommandStart CQuickUninstallPage::RunUninstallCommand(const char* command, HKEY root)
{
    return StartUninstallCommand(command, root);
}

LONG CQuickUninstallPage::DeleteEntryKey(HKEY root, const char* keyPath, const char* product)
{
    TraceItem key = {TRACE_REGKEY, "", "", root, WEAK_NONE};
    if (!CopyText(key.path, MAX_PATH, keyPath))
        return ERROR_INVALID_NAME;
    CRemovalBackup backup(CBackupStore(), product);
    RemovalTally tally = RemoveTraces({&key}, {true}, &backup);
    if (tally.notSaved) {
        FolderCheck storeCheck = backup.StoreCheck();
        return storeCheck == FOLDER_SAFE || storeCheck == FOLDER_MISSING ? ERROR_CANNOT_MAKE : ERROR_INVALID_OWNER;
    }
    return tally.Count(REMOVAL_DONE) == 1 ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

CommandStart CQuickUninstallPage::OpenLink(const char* link)
{
    return OpenLinkAsDesktopUser(link);
}

void CQuickUninstallPage::ReportFailure(UINT formatId, const char* subject)
{
    ShowMessageText(FormatString(formatId, subject), MB_OK | MB_ICONERROR);
}

void CQuickUninstallPage::ReportNotStarted(CommandStart outcome, const char* command)
{
    if (outcome == COMMAND_NO_DESKTOP_USER)
        ReportFailure(IDS_USER_COMMAND_REFUSED, command);
    else if (outcome != COMMAND_STARTED)
        ReportFailure(IDS_UNINSTALL_NOT_STARTED, command);
}

void CQuickUninstallPage::OnUninstall()
{
    if (waiting) {
        EndWaiting(IDS_STOPPED_WAITING);
        return;
    }
    const InstalledSoftwareEntry* entry = EntryAtRow(SelectedRow());
    if (!entry)
        return;
    NoteClues(*entry);
    const CommandStart outcome = StartWatchedUninstall(entry->uninstallString);
    if (outcome != COMMAND_STARTED) {
        // The parent was told a wait begins: it ends here, with nothing to look for.
        NotifyUninstallEnded(false);
        ReportNotStarted(outcome, entry->uninstallString);
        return;
    }
    SetWaiting(true);
}

CommandStart CQuickUninstallPage::StartWatchedUninstall(const char* command)
{
    return watch.Start(command, clues.root, clues.keyPath, clues.folders.empty() ? std::string() : clues.folders[0]);
}

// The parent, which knows what a program's folder is, picks the folders from the
// entry's texts before the uninstaller can change them.
void CQuickUninstallPage::NoteClues(const InstalledSoftwareEntry& entry)
{
    clues = UninstallClues();
    clues.root = entry.root;
    clues.keyPath = entry.keyPath;
    clues.displayName = entry.displayName;
    clues.publisher = entry.publisher;
    clues.uninstallCommand = entry.uninstallString;
    clues.displayIcon = entry.displayIcon;
    clues.installLocation = entry.installLocation;
    ::SendMessageA(::GetParent(m_hWnd), WM_UNINSTALL_STARTING, 0, reinterpret_cast<LPARAM>(&clues));
}

void CQuickUninstallPage::SetWaiting(bool on)
{
    waiting = on;
    if (uninstallCaption.empty())
        uninstallCaption = uninstallButton.GetWindowText();
    uninstallButton.SetWindowText(on ? LoadStringText(IDS_STOP_WAITING).c_str() : uninstallCaption.c_str());
    SetDlgItemTextA(m_hWnd, IDC_QUICK_STATUS, on ? LoadStringText(IDS_WAITING_UNINSTALL).c_str() : "");
    UpdateActionButtons();
    if (on)
        ::SetTimer(m_hWnd, WAIT_TIMER, WAIT_TIMER_INTERVAL_MS, nullptr);
    else
        ::KillTimer(m_hWnd, WAIT_TIMER);
}

void CQuickUninstallPage::OnWaitTimer()
{
    if (!watch.IsRunning())
        EndWaiting(OutcomeStatus(watch.Outcome()));
}

// The list shows what is registered now; only when the product's entry went does the
// parent look for what the uninstaller left.
void CQuickUninstallPage::EndWaiting(UINT statusId)
{
    watch.Stop();
    SetWaiting(false);
    OnRefresh();
    if (statusId)
        SetDlgItemTextA(m_hWnd, IDC_QUICK_STATUS, LoadStringText(statusId).c_str());
    NotifyUninstallEnded(statusId == 0);
}

// Posted: the refresh ends this message, the search for leftovers starts in the next.
void CQuickUninstallPage::NotifyUninstallEnded(bool lookForLeftovers)
{
    ::PostMessageA(::GetParent(m_hWnd), WM_UNINSTALL_ENDED, lookForLeftovers, reinterpret_cast<LPARAM>(&clues));
}

void CQuickUninstallPage::OnDeleteEntry()
{
    const InstalledSoftwareEntry* entry = EntryAtRow(SelectedRow());
    if (!entry)
        return;
    if (ShowMessage(IDS_CONFIRM_FORCED, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    // The registration goes even when its uninstaller cannot start: that is what forcing
    // is for. Only one refused for want of a desktop user is worth saying.
    if (RunUninstallCommand(entry->uninstallString, entry->root) == COMMAND_NO_DESKTOP_USER)
        ReportNotStarted(COMMAND_NO_DESKTOP_USER, entry->uninstallString);
    LONG deleted = DeleteEntryKey(entry->root, entry->keyPath, entry->displayName);
    if (deleted == ERROR_INVALID_OWNER) {
        // The store of backups is not safe: nothing was removed, and that is why.
        ShowMessage(IDS_STORE_UNSAFE_REMOVAL, MB_OK | MB_ICONERROR);
        return;
    }
    if (deleted != ERROR_SUCCESS) {
        ReportFailure(IDS_DELETE_ENTRY_FAILED, entry->keyPath);
        return;
    }
    OnRefresh();
}

void CQuickUninstallPage::OnRefresh()
{
    ReloadList();
    publisherText.clear();
    displayNameText.clear();
    uninstallStringText.clear();
    helpLinkText.clear();
    keyPathText.clear();
    UpdateData(FALSE);
    openLinkButton.EnableWindow(FALSE);
}

void CQuickUninstallPage::OnOpenHelpLink()
{
    if (OpenLink(helpLinkText.c_str()) == COMMAND_NO_DESKTOP_USER)
        ReportFailure(IDS_LINK_REFUSED, helpLinkText.c_str());
}
