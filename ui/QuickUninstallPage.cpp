#include "ui/QuickUninstallPage.h"

#include "backup/RemovalBackup.h"
#include "framework/AnsiText.h"
#include "framework/FileDialog.h"
#include "framework/PathExists.h"
#include "framework/SteadyClock.h"
#include "framework/TableExport.h"
#include "framework/WinApp.h"
#include "inventory/ProductColumns.h"
#include "inventory/UninstallCommand.h"
#include "resource.h"
#include "ui/DesktopActions.h"
#include "ui/PrivateMessages.h"
#include "ui/ProductMenu.h"

#include <windowsx.h>

#include <algorithm>

namespace {

// The work between messages goes on at once when nothing waits (a posted message of
// its own), or after input and painting when something does (a timer comes last).
const UINT_PTR WORK_TIMER = 1;
// An uninstaller's end is looked for this often: the window stays free meanwhile.
const UINT_PTR WAIT_TIMER = 2;
const UINT WAIT_TIMER_INTERVAL_MS = 100;
// Folder sizes are measured in steps of a few milliseconds from a timer, so the
// measuring takes about a third of the time while the window is idle.
const UINT_PTR SIZE_TIMER = 3;
const UINT SIZE_TIMER_INTERVAL_MS = 10;
const double SIZE_STEP_S = 0.004;
// Each slice of reading entries or looking up icons takes about this long.
const UINT WORK_TIMER_INTERVAL_MS = 10;
const double WORK_SLICE_S = 0.012;
const double ROWS_SHOWN_INTERVAL_S = 0.05;

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

bool IsFolder(const char* path)
{
    bool isFile = true;
    return *path && PathExists(path, &isFile) && !isFile;
}

// The Windows folder's file of that name; empty when the folder is not known.
std::string InWindowsFolder(const char* name)
{
    char windows[MAX_PATH];
    const UINT length = GetWindowsDirectoryA(windows, MAX_PATH);
    return length && length < MAX_PATH ? std::string(windows) + "\\" + name : std::string();
}

bool SameFolder(const std::string& a, const std::string& b)
{
    return !a.empty() && EqualsNoCaseDbcs(a.c_str(), b.c_str());
}

}  // namespace

CQuickUninstallPage::CQuickUninstallPage()
    : CPage(IDD_QUICK_PAGE), actionsEnabled(true),
      defaultIcon(LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDI_DEFAULT_PRODUCT))), sortColumn(-1),
      sortAscending(true), iconsPending(false), iconSweepRow(0)
{
}

CQuickUninstallPage::~CQuickUninstallPage() = default;

void CQuickUninstallPage::DoDataExchange(CDataExchange* dx)
{
    BindControls(dx, {{IDC_OPEN_LINK, openLinkButton}, {IDC_REFRESH, refreshButton},
                      {IDC_DELETE_ENTRY, deleteEntryButton}, {IDC_UNINSTALL, uninstallButton},
                      {IDC_EXPORT, exportButton}, {IDC_ONLY_BROKEN, onlyBrokenCheck}, {IDC_FILTER, filterEdit},
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
    AddColumns(softwareListView, {{IDS_COL_NAME, 0},
                                  {IDS_COL_COMMAND, 0},
                                  {IDS_COL_PUBLISHER, 0},
                                  {IDS_COL_VERSION, 0},
                                  {IDS_COL_SIZE, 0},
                                  {IDS_COL_INSTALL_DATE, 0},
                                  {IDS_COL_SOURCE, 0}});
    FitColumns();
    softwareListView.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP | LVS_EX_LABELTIP);
    softwareListView.SetFilterField(filterEdit);
    filterEdit.SetListField(softwareListView);
    filterEdit.SendMessage(EM_LIMITTEXT, MAX_PATH - 1);
    ReloadList();
    openLinkButton.SetIcons(IDI_HELP_LINK, 0);
    openLinkButton.EnableWindow(FALSE);
    return TRUE;
}

// Every column in view at first, in shares of the list's width; the tips show what
// does not fit, and the user can widen a column.
void CQuickUninstallPage::FitColumns()
{
    static const int sharesPerMille[PRODUCT_COLUMN_COUNT] = {230, 160, 140, 110, 110, 150, 100};
    RECT client = {};
    softwareListView.GetClientRect(&client);
    const int width = client.right - GetSystemMetrics(SM_CXVSCROLL);
    for (int column = 0; column < PRODUCT_COLUMN_COUNT; ++column)
        softwareListView.SendMessage(LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column),
                                     MAKELPARAM(std::max(40, width * sharesPerMille[column] / 1000), 0));
}

LRESULT CQuickUninstallPage::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_QUICK_PAGE_WORK:
        OnWork();
        return 0;
    case WM_CONTEXTMENU:
        OnContextMenu(reinterpret_cast<HWND>(wParam), lParam);
        return 0;
    case WM_TIMER:
        if (wParam == WORK_TIMER)
            OnWork();
        else if (wParam == WAIT_TIMER)
            OnWaitTimer();
        else if (wParam == SIZE_TIMER)
            OnSizeTimer();
        else
            return CPage::WindowProc(msg, wParam, lParam);
        return 0;
    default:
        return CPage::WindowProc(msg, wParam, lParam);
    }
}

BOOL CQuickUninstallPage::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (CommandId(wParam) == IDC_FILTER && CommandCode(wParam) == EN_CHANGE) {
        OnFilterChanged();
        return TRUE;
    }
    return CPage::OnCommand(wParam, lParam);
}

// Ctrl+F from anywhere on the page goes to the filter.
BOOL CQuickUninstallPage::PreTranslateMessage(MSG* msg)
{
    if (msg->message != WM_KEYDOWN || msg->wParam != 'F' || GetKeyState(VK_CONTROL) >= 0 ||
        !::IsChild(m_hWnd, msg->hwnd))
        return CPage::PreTranslateMessage(msg);
    filterEdit.SetFocus();
    filterEdit.SendMessage(EM_SETSEL, 0, -1);
    return TRUE;
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
    case IDC_EXPORT:
        OnExport();
        return true;
    case IDC_ONLY_BROKEN:
        OnFilterChanged();
        return true;
    default:
        return false;
    }
}

bool CQuickUninstallPage::OnListNotify(NMHDR* header, LRESULT* result)
{
    switch (header->code) {
    case LVN_ITEMCHANGED:
        OnItemChanged(reinterpret_cast<const NMLISTVIEW*>(header));
        return true;
    case LVN_COLUMNCLICK:
        OnColumnClick(reinterpret_cast<const NMLISTVIEW*>(header)->iSubItem);
        return true;
    case NM_CUSTOMDRAW:
        *result = OnCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(header));
        return true;
    case LVN_GETINFOTIPA:
        OnGetInfoTip(reinterpret_cast<NMLVGETINFOTIPA*>(header));
        return true;
    default:
        return false;
    }
}

void CQuickUninstallPage::OnDestroy()
{
    StopWork();
    ::KillTimer(m_hWnd, WORK_TIMER);
    ::KillTimer(m_hWnd, WAIT_TIMER);
    DefWindowProc(WM_DESTROY, 0, 0);
    imageList.DeleteImageList();
    iconImages.clear();
}

// ---- The rows ---------------------------------------------------------------

void CQuickUninstallPage::OnGetRowInfo(LVITEMA* item)
{
    const InstalledSoftwareEntry* entry = rows.At(item->iItem);
    if (!entry)
        return;
    if (item->mask & LVIF_TEXT) {
        std::string& text = rowTexts[nextRowText++ % 3];
        text = ProductColumnText(*entry, item->iSubItem);
        item->pszText = const_cast<char*>(text.c_str());
    }
    if (item->mask & LVIF_IMAGE)
        item->iImage = ImageOf(*entry);
}

// A product whose uninstaller is missing has its name in grey.
LRESULT CQuickUninstallPage::OnCustomDraw(NMLVCUSTOMDRAW* draw)
{
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
        const InstalledSoftwareEntry* entry = rows.At(static_cast<int>(draw->nmcd.dwItemSpec));
        return entry && entry->uninstallerMissing ? CDRF_NOTIFYSUBITEMDRAW : CDRF_DODEFAULT;
    }
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM:
        draw->clrText = draw->iSubItem == COLUMN_NAME ? GetSysColor(COLOR_GRAYTEXT) : GetSysColor(COLOR_WINDOWTEXT);
        return CDRF_NEWFONT;
    default:
        return CDRF_DODEFAULT;
    }
}

// The tip over a row whose uninstaller is missing says so, with the command.
void CQuickUninstallPage::OnGetInfoTip(NMLVGETINFOTIPA* tip)
{
    const InstalledSoftwareEntry* entry = rows.At(tip->iItem);
    if (!entry || !entry->uninstallerMissing || !tip->pszText || tip->cchTextMax <= 0)
        return;
    const std::string text = LoadStringText(IDS_UNINSTALLER_MISSING) + ": " + entry->uninstallString;
    lstrcpynA(tip->pszText, text.c_str(), tip->cchTextMax);
}

void CQuickUninstallPage::ShowRows(const InstalledSoftwareEntry* keep)
{
    softwareListView.SendMessage(LVM_SETITEMCOUNT, rows.Count(), LVSICF_NOSCROLL);
    if (keep) {
        ListView_SetItemState(softwareListView, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
        SelectEntry(keep);
    }
    softwareListView.Invalidate(FALSE);
    ShowRowCount();
}

// A record no longer shown loses the selection and its details.
void CQuickUninstallPage::SelectEntry(const InstalledSoftwareEntry* entry)
{
    const int row = rows.RowOf(entry);
    if (row < 0) {
        ShowDetails(nullptr);
        return;
    }
    ListView_SetItemState(softwareListView, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(softwareListView, row, FALSE);
}

void CQuickUninstallPage::ShowRowCount()
{
    char text[128] = "";
    FormatText(text, sizeof(text), LoadStringText(IDS_PRODUCT_COUNT).c_str(), static_cast<int>(inventory.GetCount()),
               static_cast<int>(rows.Count()));
    SetDlgItemTextA(m_hWnd, IDC_PRODUCT_COUNT, text);
}

void CQuickUninstallPage::OnFilterChanged()
{
    const InstalledSoftwareEntry* keep = SelectedEntry();
    rows.SetFilter(filterEdit.GetWindowText(), IsDlgButtonChecked(m_hWnd, IDC_ONLY_BROKEN) == BST_CHECKED);
    rows.Rebuild(inventory);
    ShowRows(keep);
    // Rows not shown before may wait for their icons.
    if (!IsLoading()) {
        StartIconWork();
        ScheduleWork();
    }
}

// A second click on the same header reverses the order.
void CQuickUninstallPage::OnColumnClick(int column)
{
    sortAscending = column != sortColumn || !sortAscending;
    sortColumn = column;
    const InstalledSoftwareEntry* keep = SelectedEntry();
    rows.SetOrder(sortColumn, sortAscending);
    rows.Resort();
    ShowRows(keep);
    softwareListView.ShowSortArrow(sortColumn, sortAscending);
    iconSweepRow = 0;  // the rows moved: sweep them again (resolved ones cost nothing)
}

int CQuickUninstallPage::SelectedRow() const
{
    return softwareListView.GetNextItem(-1, LVNI_SELECTED);
}

void CQuickUninstallPage::OnItemChanged(const NMLISTVIEW* change)
{
    // The details follow the selected row: a row losing the selection leaves them alone.
    if (change->iItem == -1 || !(change->uChanged & LVIF_STATE) || !(change->uNewState & LVIS_SELECTED) ||
        (change->uOldState & LVIS_SELECTED))
        return;
    InstalledSoftwareEntry* entry = rows.At(change->iItem);
    if (entry)
        ShowDetails(entry);
}

void CQuickUninstallPage::ShowDetails(InstalledSoftwareEntry* entry)
{
    selected = entry;
    // The details need the record's icons now, whether or not the sweep got there.
    if (entry && !entry->iconsResolved) {
        inventory.ResolveIcons(entry);
        const int row = rows.RowOf(entry);
        softwareListView.SendMessage(LVM_REDRAWITEMS, static_cast<WPARAM>(row), row);
    }
    displayNameText = entry ? entry->displayName : "";
    uninstallStringText = entry ? entry->uninstallString : "";
    publisherText = entry ? entry->publisher : "";
    helpLinkText = entry ? entry->helpLink : "";
    // As the registry editor shows it; the machine's entries keep their short form.
    keyPathText = entry ? EntryKeyPathText(*entry) : "";
    UpdateData(FALSE);
    const bool missing = entry && entry->uninstallerMissing;
    SetDlgItemTextA(m_hWnd, IDC_DETAILS_FRAME, missing ? LoadStringText(IDS_UNINSTALLER_MISSING).c_str() : "");
    openLinkButton.EnableWindow(actionsEnabled && !waiting && !helpLinkText.empty());
}

// ---- Reading, icons and sizes between messages ------------------------------

// The rows go before the records they point to, and the work on them stops first.
void CQuickUninstallPage::ReloadList()
{
    StopWork();
    rows.Clear();
    softwareListView.SendMessage(LVM_SETITEMCOUNT, 0, 0);
    ShowDetails(nullptr);
    inventory.BeginLoad();
    oldIconsPending = true;
    imageList.Create(16, 16, ILC_COLOR32 | ILC_MASK, 20, 5);
    iconImages.clear();
    defaultImage = imageList.Add(defaultIcon);
    softwareListView.SetImageList(imageList, LVSIL_SMALL);
    // The first slice now: a machine with few products is listed, its missing
    // uninstallers marked, before the click returns.
    const double deadline = SteadySeconds() + WORK_SLICE_S;
    OnLoadSlice();
    if (!inventory.IsLoading() && SteadySeconds() < deadline)
        OnUninstallerSlice(deadline - SteadySeconds());
    ScheduleWork();
}

// Input waiting goes first (the timer comes after it); otherwise the work goes on at
// once, the list painted first when it waits for that.
void CQuickUninstallPage::ScheduleWork()
{
    if (workScheduled || !(IsLoading() || iconsPending || oldIconsPending))
        return;
    workScheduled = true;
    if (HIWORD(GetQueueStatus(QS_INPUT)))
        ::SetTimer(m_hWnd, WORK_TIMER, WORK_TIMER_INTERVAL_MS, nullptr);
    else
        ::PostMessageA(m_hWnd, WM_QUICK_PAGE_WORK, 0, 0);
}

void CQuickUninstallPage::OnWork()
{
    ::KillTimer(m_hWnd, WORK_TIMER);
    workScheduled = false;
    if (HIWORD(GetQueueStatus(QS_PAINT)))
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    DoWorkSlice();
    ScheduleWork();
}

// The names first, then the icons of the rows in view, whether the uninstallers are
// there, the other rows' icons, and the release of the load before's icons; the
// folder sizes have a timer of their own.
void CQuickUninstallPage::DoWorkSlice()
{
    const double deadline = SteadySeconds() + WORK_SLICE_S;
    if (inventory.IsLoading()) {
        OnLoadSlice();
        return;
    }
    if (iconsPending && !ViewIconsResolved(deadline))
        return;
    if (!inventory.UninstallersChecked()) {
        OnUninstallerSlice(deadline - SteadySeconds());
        return;
    }
    if (iconsPending) {
        OnIconSlice();
        return;
    }
    if (oldIconsPending)
        oldIconsPending = !inventory.ReleaseOldIconsFor(WORK_SLICE_S);
}

// The list learns of new rows about every 50 ms (each time costs a repaint), and at
// once while its view is not full or a row is selected.
void CQuickUninstallPage::OnLoadSlice()
{
    const size_t before = inventory.GetCount();
    const bool done = inventory.LoadFor(WORK_SLICE_S);
    ULONGLONG bytes = 0;
    for (size_t index = before; index < inventory.GetCount(); ++index) {
        InstalledSoftwareEntry* entry = inventory.GetAt(static_cast<int>(index));
        entry->sizeMeasured = folderSizes.Known(SizedFolder(*entry), &bytes);
        entry->measuredBytes = bytes;
    }
    const InstalledSoftwareEntry* keep = SelectedEntry();
    rows.AddFrom(inventory, before);
    const bool due = done || keep || SteadySeconds() - rowsShownAt >= ROWS_SHOWN_INTERVAL_S ||
                     softwareListView.GetItemCount() <= softwareListView.GetCountPerPage();
    if (due) {
        ShowRows(keep);
        rowsShownAt = SteadySeconds();
    }
    if (done)
        StartIconWork();
}

// Rows whose uninstaller is missing turn grey as that is known; the "only broken"
// choice shows its rows once every one is known.
void CQuickUninstallPage::OnUninstallerSlice(double seconds)
{
    if (!inventory.CheckUninstallersFor(seconds)) {
        softwareListView.Invalidate(FALSE);
        return;
    }
    if (IsDlgButtonChecked(m_hWnd, IDC_ONLY_BROKEN) == BST_CHECKED) {
        const InstalledSoftwareEntry* keep = SelectedEntry();
        rows.Rebuild(inventory);
        ShowRows(keep);
    }
    softwareListView.Invalidate(FALSE);
    if (selected)
        ShowDetails(selected);
    sizesPending = true;
    sizeSweep = 0;
    ::SetTimer(m_hWnd, SIZE_TIMER, SIZE_TIMER_INTERVAL_MS, nullptr);
}

void CQuickUninstallPage::StartIconWork()
{
    iconSweepRow = 0;
    iconsPending = rows.Count() > 0;
}

// A slice of work already asked for stays asked for: it finds nothing to do, or the
// next work.
void CQuickUninstallPage::StopWork()
{
    if (m_hWnd)
        ::KillTimer(m_hWnd, SIZE_TIMER);
    iconsPending = false;
    sizesPending = false;
}

// One slice of icon work: the rows in view and the page below them first, so
// scrolling brings the new page's icons next, then every row.
void CQuickUninstallPage::OnIconSlice()
{
    const double deadline = SteadySeconds() + WORK_SLICE_S;
    if (!ViewIconsResolved(deadline))
        return;
    const int count = static_cast<int>(rows.Count());
    while (iconSweepRow < count) {
        if (ResolveRowIcons(iconSweepRow++) && SteadySeconds() >= deadline)
            return;
    }
    iconsPending = false;
}

// The rows in view and the page below them; false when the deadline came first.
bool CQuickUninstallPage::ViewIconsResolved(double deadline)
{
    const int count = static_cast<int>(rows.Count());
    const int top = std::max(0, softwareListView.GetTopIndex());
    const int soonVisible = std::min(count, top + 2 * std::max(1, softwareListView.GetCountPerPage()) + 1);
    for (int row = top; row < soonVisible; ++row) {
        if (ResolveRowIcons(row) && SteadySeconds() >= deadline)
            return false;
    }
    return true;
}

bool CQuickUninstallPage::ResolveRowIcons(int row)
{
    InstalledSoftwareEntry* entry = rows.At(row);
    if (!entry || entry->iconsResolved || entry->smallIconResolved)
        return false;
    inventory.ResolveSmallIcon(entry);
    if (entry->smallIcon)
        softwareListView.SendMessage(LVM_REDRAWITEMS, static_cast<WPARAM>(row), row);
    return true;
}

// The image of a record's icon, added the first time a row shows it; the default
// image while it has none.
int CQuickUninstallPage::ImageOf(const InstalledSoftwareEntry& entry)
{
    if (!(entry.iconsResolved || entry.smallIconResolved) || !entry.smallIcon)
        return defaultImage;
    auto known = iconImages.find(entry.smallIcon);
    if (known != iconImages.end())
        return known->second;
    const int image = imageList.Add(entry.smallIcon);
    iconImages[entry.smallIcon] = image >= 0 ? image : defaultImage;
    return iconImages[entry.smallIcon];
}

std::string CQuickUninstallPage::SizedFolder(const InstalledSoftwareEntry& entry)
{
    return entry.hasEstimatedSize ? std::string() : std::string(entry.installLocation);
}

// Each tick measures for a few milliseconds: small folders several at a time.
void CQuickUninstallPage::OnSizeTimer()
{
    // Icons come first; sizes wait for them.
    if (iconsPending || IsLoading())
        return;
    const double deadline = SteadySeconds() + SIZE_STEP_S;
    for (double left = SIZE_STEP_S; left > 0; left = deadline - SteadySeconds()) {
        if (!MeasureNextFolder(left)) {
            sizesPending = false;
            ::KillTimer(m_hWnd, SIZE_TIMER);
            return;
        }
    }
}

// The rows in view first, then every record from where the sweep stands.
bool CQuickUninstallPage::MeasureNextFolder(double budget)
{
    const int top = std::max(0, softwareListView.GetTopIndex());
    const int inView = std::min(static_cast<int>(rows.Count()), top + softwareListView.GetCountPerPage() + 1);
    for (int row = top; row < inView; ++row) {
        if (MeasureFolderOf(*rows.At(row), budget))
            return true;
    }
    for (; inventory.GetAt(sizeSweep); ++sizeSweep) {
        if (MeasureFolderOf(*inventory.GetAt(sizeSweep), budget))
            return true;
    }
    return false;
}

// False when the record's folder needs no measuring (any more).
bool CQuickUninstallPage::MeasureFolderOf(const InstalledSoftwareEntry& entry, double budget)
{
    const std::string folder = SizedFolder(entry);
    if (entry.sizeMeasured || folder.empty() || !folderSizes.Wanted(folder))
        return false;
    if (folderSizes.Measure(folder, budget))
        ApplyFolderSize(folder);
    return true;
}

// Every record of the folder shows its size; sorted by size, the rows move.
void CQuickUninstallPage::ApplyFolderSize(const std::string& folder)
{
    ULONGLONG bytes = 0;
    if (!folderSizes.Known(folder, &bytes))
        return;
    for (int index = 0; inventory.GetAt(index); ++index) {
        InstalledSoftwareEntry* entry = inventory.GetAt(index);
        if (SameFolder(SizedFolder(*entry), folder)) {
            entry->sizeMeasured = true;
            entry->measuredBytes = bytes;
        }
    }
    if (sortColumn == COLUMN_SIZE) {
        const InstalledSoftwareEntry* keep = SelectedEntry();
        rows.Resort();
        ShowRows(keep);
    }
    softwareListView.Invalidate(FALSE);
}

// ---- Actions ----------------------------------------------------------------

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
    const InstalledSoftwareEntry* entry = SelectedEntry();
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
    clues = CluesOfEntry(entry);
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
    const InstalledSoftwareEntry* entry = SelectedEntry();
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
}

void CQuickUninstallPage::OnOpenHelpLink()
{
    if (OpenLink(helpLinkText.c_str()) == COMMAND_NO_DESKTOP_USER)
        ReportFailure(IDS_LINK_REFUSED, helpLinkText.c_str());
}

// ---- The context menu and what else a row offers -----------------------------

// A right click selects the row under the pointer; the keyboard (Shift+F10, the menu
// key) shows the menu under the selected row.
void CQuickUninstallPage::OnContextMenu(HWND window, LPARAM position)
{
    if (window != softwareListView.m_hWnd || waiting)
        return;
    POINT at = {GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    if (position == -1) {
        RECT bounds = {};
        if (SelectedRow() < 0 || !ListView_GetItemRect(softwareListView, SelectedRow(), &bounds, LVIR_LABEL))
            softwareListView.GetClientRect(&bounds);
        at = {bounds.left, bounds.bottom};
        ::ClientToScreen(softwareListView, &at);
    } else {
        LVHITTESTINFO hit = {};
        hit.pt = at;
        ::ScreenToClient(softwareListView, &hit.pt);
        const int row = ListView_HitTest(softwareListView, &hit);
        if (row >= 0 && row != SelectedRow())
            ListView_SetItemState(softwareListView, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
    const InstalledSoftwareEntry* entry = SelectedEntry();
    ProductMenuState state = {};
    state.product = entry != nullptr;
    state.broken = entry && entry->uninstallerMissing;
    state.idle = actionsEnabled && !waiting;
    state.helpLink = entry && entry->helpLink[0];
    state.folder = entry && IsFolder(entry->installLocation);
    OwnedMenu menu(CreateProductMenu(state));
    if (menu)
        OnMenuCommand(TrackMenu(menu, at));
}

UINT CQuickUninstallPage::TrackMenu(HMENU menu, POINT at)
{
    return static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, m_hWnd, nullptr));
}

void CQuickUninstallPage::OnMenuCommand(UINT id)
{
    switch (id) {
    case IDM_OPEN_FOLDER:
        OnOpenInstallFolder();
        break;
    case IDM_COPY_NAME:
        OnCopyName();
        break;
    case IDM_LOCATE_KEY:
        OnLocateKey();
        break;
    case IDM_SMART_UNINSTALL:
        OnSmartUninstall();
        break;
    default:
        // The page's actions, guarded as their buttons are.
        if (id)
            OnClicked(id);
        break;
    }
}

void CQuickUninstallPage::OnOpenInstallFolder()
{
    const InstalledSoftwareEntry* entry = SelectedEntry();
    if (entry && OpenFolder(entry->installLocation, entry->root) == COMMAND_NO_DESKTOP_USER)
        ReportFailure(IDS_FOLDER_REFUSED, entry->installLocation);
}

CommandStart CQuickUninstallPage::OpenFolder(const char* folder, HKEY root)
{
    return OpenFolderInExplorer(folder, root);
}

void CQuickUninstallPage::OnCopyName()
{
    const InstalledSoftwareEntry* entry = SelectedEntry();
    if (entry)
        CopyTextToClipboard(m_hWnd, entry->displayName);
}

// The registry editor opens at the key it last showed: that becomes the entry's key,
// and the Windows folder's editor starts.
void CQuickUninstallPage::OnLocateKey()
{
    const InstalledSoftwareEntry* entry = SelectedEntry();
    if (!entry || !SetRegistryEditorKey(entry->root, entry->keyPath))
        return;
    const std::string editor = InWindowsFolder("regedit.exe");
    if (!editor.empty())
        StartRegistryEditor(editor);
}

bool CQuickUninstallPage::StartRegistryEditor(const std::string& program)
{
    std::string commandLine = "\"" + program + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

// The parent shows the smart page analysing the product's folder, as it picks it.
void CQuickUninstallPage::OnSmartUninstall()
{
    const InstalledSoftwareEntry* entry = SelectedEntry();
    if (!entry || !actionsEnabled || waiting)
        return;
    analysisClues = CluesOfEntry(*entry);
    ::PostMessageA(::GetParent(m_hWnd), WM_ANALYZE_PRODUCT, 0, reinterpret_cast<LPARAM>(&analysisClues));
}

// ---- Export -----------------------------------------------------------------

// The rows as shown (filtered, in order, every column, sizes as far as known).
void CQuickUninstallPage::OnExport()
{
    std::string path;
    if (!PickExportFile(&path))
        return;
    TextTable table;
    for (UINT id : {IDS_COL_NAME, IDS_COL_COMMAND, IDS_COL_PUBLISHER, IDS_COL_VERSION, IDS_COL_SIZE,
                    IDS_COL_INSTALL_DATE, IDS_COL_SOURCE})
        table.headers.push_back(LoadStringText(id));
    table.rows = rows.Texts();
    if (!ExportTable(path.c_str(), table))
        ReportFailure(IDS_EXPORT_FAILED, path.c_str());
}

// The second choice of the dialog's filter is HTML; a name typed without either
// extension gets the chosen one.
bool CQuickUninstallPage::PickExportFile(std::string* path)
{
    CFileDialog dialog(FALSE, nullptr, LoadStringText(IDS_EXPORT_NAME).c_str(),
                       OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST,
                       LoadStringText(IDS_EXPORT_FILTER).c_str(), this);
    if (dialog.DoModal() != IDOK)
        return false;
    *path = dialog.GetPathName();
    const char* p = path->c_str();
    if (!HasExtension(p, ".csv") && !HasExtension(p, ".html") && !HasExtension(p, ".htm"))
        *path += dialog.m_ofn.nFilterIndex == 2 ? ".html" : ".csv";
    return !path->empty();
}
