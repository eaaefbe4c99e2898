#include "ui/SmartUninstallPage.h"

#include "backup/RemovalBackup.h"
#include "framework/AnsiText.h"
#include "framework/FileDialog.h"
#include "framework/PathExists.h"
#include "framework/ProgramFilesFolder.h"
#include "framework/WinApp.h"
#include "resource.h"
#include "smart/TraceRemoval.h"
#include "ui/PrivateMessages.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <iterator>

namespace {

// The list's images in the order they are loaded, each the icon of a kind of trace.
const struct {
    int kind;
    UINT icon;
} kTraceImages[] = {{TRACE_FILE, IDI_TRACE_FILE},
                    {TRACE_FOLDER, IDI_TRACE_FOLDER},
                    {TRACE_REGVALUE, IDI_TRACE_REGVALUE},
                    {TRACE_REGKEY, IDI_TRACE_REGKEY}};
// The check box images of a row's state.
const int UNCHECKED_IMAGE = 1;
const int CHECKED_IMAGE = 2;

// The image of a kind of trace; a file's for any other value.
int TraceImage(int kind)
{
    for (int image = 0; image < static_cast<int>(std::size(kTraceImages)); ++image) {
        if (kTraceImages[image].kind == kind)
            return image;
    }
    return 0;
}

const DWORD kListUpdateIntervalMs = 50;
// Once the visible rows are filled only the scroll bar grows, and telling the list
// its length costs 6-25 ms under Wine (its scroll bar is redone): then it learns it
// once a second.
const DWORD kListGrowIntervalMs = 1000;
const int kProgramFilesFolder = -1;

// The browse buttons: the folder each opens the file dialog in, and what it lists.
struct BrowseButton {
    UINT id;
    int folder;  // a CSIDL, or kProgramFilesFolder
    const char* filter;
};
const BrowseButton kBrowseButtons[] = {
    {IDC_PICK_DESKTOP, CSIDL_DESKTOPDIRECTORY, "Shortcut File(*.lnk)|*.lnk||"},
    {IDC_PICK_STARTMENU, CSIDL_PROGRAMS, nullptr},
    {IDC_PICK_PROGRAM, kProgramFilesFolder, nullptr},
};

}  // namespace

CSmartUninstallPage::CSmartUninstallPage() : CPage(IDD_SMART_PAGE) {}

CSmartUninstallPage::~CSmartUninstallPage() = default;

void CSmartUninstallPage::DoDataExchange(CDataExchange* dx)
{
    BindControls(dx, {{IDC_STATUS, statusEdit}, {IDC_TARGET, targetEdit}, {IDC_LIST, resultList},
                      {IDC_ANALYZE, analyzeButton}, {IDC_UNINSTALL, uninstallButton},
                      {IDC_PICK_DESKTOP, desktopShortcutButton}, {IDC_PICK_STARTMENU, startMenuButton},
                      {IDC_PICK_PROGRAM, programButton}});
}

BOOL CSmartUninstallPage::OnInitDialog()
{
    CPage::OnInitDialog();
    // The page owns its image list; the list view must not destroy it too.
    resultList.ModifyStyle(0, LVS_SHAREIMAGELISTS);
    AddColumns(resultList, {{IDS_COL_ITEM, 440}, {IDS_COL_DESCRIPTION, 150}});
    resultList.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
    // The rows' checks are the page's: the list asks for them with the texts, and
    // hands the page what sets them.
    resultList.SendMessage(LVM_SETCALLBACKMASK, LVIS_STATEIMAGEMASK);
    resultList.SetRowChecks(this);
    traceImages.Create(16, 16, ILC_COLOR32 | ILC_MASK, 20, 5);
    resultList.SetImageList(traceImages, LVSIL_SMALL);
    for (const auto& image : kTraceImages) {
        HICON icon = LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(image.icon));
        if (icon)
            traceImages.Add(icon);
    }
    return TRUE;
}

bool CSmartUninstallPage::OnClicked(UINT id)
{
    if (OnBrowse(id))
        return true;
    switch (id) {
    case IDC_ANALYZE:
        OnStartAnalysis();
        return true;
    case IDC_UNINSTALL:
        OnUninstall();
        return true;
    default:
        return false;
    }
}

bool CSmartUninstallPage::OnListNotify(NMHDR* header, LRESULT*)
{
    switch (header->code) {
    case NM_CLICK:
        OnRowClick(reinterpret_cast<const NMITEMACTIVATE*>(header));
        return true;
    case LVN_KEYDOWN:
        if (reinterpret_cast<const NMLVKEYDOWN*>(header)->wVKey == VK_SPACE)
            OnSpaceBar();
        return true;
    default:
        return false;
    }
}

void CSmartUninstallPage::PickTarget(const char* startFolder, const char* filter)
{
    // One file, the shortcut itself; the process's current folder stays as it was.
    CFileDialog dialog(TRUE, nullptr, nullptr, OFN_NODEREFERENCELINKS | OFN_NOCHANGEDIR, filter, nullptr);
    dialog.m_ofn.lpstrInitialDir = startFolder[0] ? startFolder : nullptr;
    if (dialog.DoModal() != IDOK)
        return;
    // One file is a target; anything else the dialog may hand back (the folder of a
    // selection of several) is not.
    std::string picked = dialog.GetPathName();
    bool isFile = false;
    if (PathExists(picked.c_str(), &isFile) && isFile)
        targetEdit.SetWindowText(picked.c_str());
}

bool CSmartUninstallPage::OnBrowse(UINT id)
{
    for (const BrowseButton& button : kBrowseButtons) {
        if (button.id != id)
            continue;
        char folder[MAX_PATH] = "";
        bool found = button.folder == kProgramFilesFolder
                         ? GetProgramFilesFolderWithSeparator(folder, MAX_PATH) != 0
                         : SHGetSpecialFolderPathA(m_hWnd, folder, button.folder, FALSE) != FALSE;
        if (!found)
            folder[0] = '\0';
        PickTarget(folder, button.filter);
        return true;
    }
    return false;
}

CWnd* CSmartUninstallPage::GuardedControl(int index)
{
    CWnd* guarded[kGuardedCount] = {&analyzeButton, &uninstallButton, &desktopShortcutButton, &startMenuButton,
                                    &programButton};
    return guarded[index];
}

void CSmartUninstallPage::BeginAnalysis()
{
    analyzing = true;
    NotifyParentOfAnalysis(TRUE);
    for (int i = 0; i < kGuardedCount; ++i) {
        savedEnabled[i] = GuardedControl(i)->IsWindowEnabled();
        GuardedControl(i)->EnableWindow(FALSE);
    }
    targetEdit.IgnoreDrops(true);
    lastRowCountTick = GetTickCount();
    lastFillCheckTick = lastRowCountTick;
    lastStatusTick = 0;
    statusPending = false;
}

void CSmartUninstallPage::EndAnalysis()
{
    for (int i = 0; i < kGuardedCount; ++i)
        GuardedControl(i)->EnableWindow(savedEnabled[i]);
    targetEdit.IgnoreDrops(false);
    ShowRowCount();
    FlushStatus();
    analyzing = false;
    NotifyParentOfAnalysis(FALSE);
}

void CSmartUninstallPage::NotifyParentOfAnalysis(BOOL running)
{
    HWND parent = ::GetParent(m_hWnd);
    if (parent)
        ::SendMessageA(parent, WM_ANALYSIS_RUNNING, running, 0);
}

void CSmartUninstallPage::OnStartAnalysis()
{
    if (analyzing)
        return;
    // The target is judged in its full form, as the file system sees it. Screening
    // already dispatches messages (the shell's first calls are slow), so the page is
    // guarded from here on.
    BeginAnalysis();
    char target[MAX_PATH];
    TargetVerdict verdict = analyzer.ScreenTarget(targetEdit.GetWindowText().c_str(), target, this);
    int accepted = 0;
    if (verdict == TARGET_ACCEPTED) {
        ClearRows();
        accepted = analyzer.Analyze(*this, target);
        analyzedProgram = ProgramName(target);
    }
    EndAnalysis();
    if (verdict == TARGET_IGNORED)
        return;
    if (!accepted) {
        ShowMessage(IDS_REFUSED, MB_ICONERROR);
        return;
    }
    statusEdit.SetWindowText(LoadStringText(IDS_ANALYSIS_DONE).c_str());
    uninstallButton.EnableWindow(TRUE);
}

void CSmartUninstallPage::NoteUninstallClues(UninstallClues* clues)
{
    analyzer.NoteUninstallClues(clues);
}

void CSmartUninstallPage::AnalyzeProduct(UninstallClues clues)
{
    if (analyzing)
        return;
    analyzer.NoteUninstallClues(&clues);
    targetEdit.SetWindowText(clues.folders.empty() ? clues.installLocation.c_str() : clues.folders[0].c_str());
    OnStartAnalysis();
}

void CSmartUninstallPage::AnalyzeLeftovers(const UninstallClues& clues)
{
    if (analyzing)
        return;
    targetEdit.SetWindowText(clues.folders.empty() ? "" : clues.folders[0].c_str());
    BeginAnalysis();
    ClearRows();
    analyzer.AnalyzeLeftovers(*this, clues);
    EndAnalysis();
    analyzedProgram = clues.displayName;
    statusEdit.SetWindowText(LoadStringText(rows.empty() ? IDS_NOTHING_LEFT : IDS_ANALYSIS_DONE).c_str());
    uninstallButton.EnableWindow(!rows.empty());
}

void CSmartUninstallPage::OnTrace(const TraceItem& item)
{
    // Row n is trace n: only the analyzer's next trace becomes a row.
    if (&item != analyzer.GetItem(rows.size()))
        return;
    if (item.kind == TRACE_FILE || item.kind == TRACE_FOLDER || item.kind == TRACE_REGKEY)
        ShowStatus(item.path);
    else if (item.kind == TRACE_REGVALUE)
        ShowStatus(std::string(item.path) + "\\" + item.valueName);
    // Weak evidence starts unticked.
    rows.push_back(TraceRow{item.weakReason == WEAK_NONE, false, std::string()});
    if (!analyzing || RowCountDue())
        ShowRowCount();
}

void CSmartUninstallPage::KeepResponsive()
{
    DispatchWaitingMessages();
}

void CSmartUninstallPage::ShowStatus(const std::string& text)
{
    // Repainting the status line for every trace costs more than finding it.
    if (analyzing && GetTickCount() - lastStatusTick < kListUpdateIntervalMs) {
        pendingStatus = text;
        statusPending = true;
        return;
    }
    statusEdit.SetWindowText(text.c_str());
    lastStatusTick = GetTickCount();
    statusPending = false;
}

void CSmartUninstallPage::FlushStatus()
{
    if (!statusPending)
        return;
    statusPending = false;
    statusEdit.SetWindowText(pendingStatus.c_str());
    pendingStatus.clear();
}

void CSmartUninstallPage::ShowRowCount()
{
    // Rows below the visible ones cost nothing until they are scrolled to.
    resultList.SendMessage(LVM_SETITEMCOUNT, rows.size(), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    lastRowCountTick = GetTickCount();
    lastFillCheckTick = lastRowCountTick;
}

// Asking the list whether its view is full costs two messages: it is asked at most
// every 50 ms, not for every trace.
bool CSmartUninstallPage::RowCountDue()
{
    const DWORD now = GetTickCount();
    if (now - lastRowCountTick >= kListGrowIntervalMs)
        return true;
    if (now - lastFillCheckTick < kListUpdateIntervalMs)
        return false;
    lastFillCheckTick = now;
    return resultList.GetItemCount() <= resultList.SendMessage(LVM_GETCOUNTPERPAGE);
}

void CSmartUninstallPage::ClearRows()
{
    // The list forgets the rows before the analyzer frees their traces.
    rows.clear();
    descriptions.Clear();
    resultList.SendMessage(LVM_SETITEMCOUNT, 0, 0);
}

void CSmartUninstallPage::OnGetRowInfo(LVITEMA* item)
{
    const TraceItem* trace = item->iItem >= 0 && static_cast<size_t>(item->iItem) < rows.size()
                                 ? analyzer.GetItem(static_cast<size_t>(item->iItem))
                                 : nullptr;
    if (!trace)
        return;
    const size_t row = static_cast<size_t>(item->iItem);
    if ((item->mask & LVIF_TEXT) && item->iSubItem <= 1) {
        std::string& text = rowTexts[nextRowText++ % 3];
        text = item->iSubItem == 0 ? TraceDisplayName(*trace) : RowDescription(row);
        item->pszText = const_cast<char*>(text.c_str());
    }
    if (item->mask & LVIF_IMAGE)
        item->iImage = TraceImage(trace->kind);
    if (item->mask & LVIF_STATE) {
        item->state = INDEXTOSTATEIMAGEMASK(rows[row].checked ? CHECKED_IMAGE : UNCHECKED_IMAGE);
        item->stateMask = LVIS_STATEIMAGEMASK;
    }
}

// A row's type, and for weak evidence why it is only that.
const std::string& CSmartUninstallPage::RowDescription(size_t row)
{
    TraceRow& traceRow = rows[row];
    if (traceRow.described)
        return traceRow.description;
    traceRow.description = descriptions.Describe(*analyzer.GetItem(row));
    traceRow.described = true;
    return traceRow.description;
}

void CSmartUninstallPage::SetRowChecked(int row, bool checked)
{
    if (row < 0 || static_cast<size_t>(row) >= rows.size())
        return;
    rows[static_cast<size_t>(row)].checked = checked;
    resultList.SendMessage(LVM_REDRAWITEMS, static_cast<WPARAM>(row), row);
}

bool CSmartUninstallPage::SetRowCheck(int row, bool checked)
{
    if (row == -1) {
        for (TraceRow& each : rows)
            each.checked = checked;
        resultList.Invalidate(FALSE);
        return true;
    }
    if (row < 0 || static_cast<size_t>(row) >= rows.size())
        return false;
    SetRowChecked(row, checked);
    return true;
}

void CSmartUninstallPage::OnRowClick(const NMITEMACTIVATE* click)
{
    LVHITTESTINFO hit = {};
    hit.pt = click->ptAction;
    const int row = static_cast<int>(resultList.SendMessage(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (row >= 0 && static_cast<size_t>(row) < rows.size() && (hit.flags & LVHT_ONITEMSTATEICON))
        SetRowChecked(row, !rows[static_cast<size_t>(row)].checked);
}

// The focused row flips; when it is selected, every selected row follows it.
void CSmartUninstallPage::OnSpaceBar()
{
    const int focused = resultList.GetNextItem(-1, LVNI_FOCUSED);
    if (focused < 0 || static_cast<size_t>(focused) >= rows.size())
        return;
    const bool checked = !rows[static_cast<size_t>(focused)].checked;
    SetRowChecked(focused, checked);
    if (!(resultList.SendMessage(LVM_GETITEMSTATE, static_cast<WPARAM>(focused), LVIS_SELECTED) & LVIS_SELECTED))
        return;
    for (int row = resultList.GetNextItem(-1, LVNI_SELECTED); row >= 0; row = resultList.GetNextItem(row, LVNI_SELECTED))
        SetRowChecked(row, checked);
}

// What the backup of a removal is named by: the target's name without its extension.
std::string CSmartUninstallPage::ProgramName(const char* target)
{
    const char* separator = FindLastCharDbcs(target, '\\');
    std::string name = separator ? separator + 1 : target;
    const char* dot = FindLastCharDbcs(name.c_str(), '.');
    if (dot && dot != name.c_str() && IsExistingFile(target))
        name.resize(static_cast<size_t>(dot - name.c_str()));
    return name;
}

// Says what happened, so that a trace that could not go is not passed over.
std::string CSmartUninstallPage::RemovalSummary(const RemovalTally& tally)
{
    char summary[256] = "";
    FormatText(summary, sizeof(summary), LoadStringText(IDS_REMOVAL_SUMMARY).c_str(), tally.Count(REMOVAL_DONE),
               tally.Count(REMOVAL_SCHEDULED), tally.Count(REMOVAL_FAILED));
    int kept = tally.Count(REMOVAL_KEPT);
    char keptText[128] = "";
    if (kept > 0)
        FormatText(keptText, sizeof(keptText), LoadStringText(IDS_REMOVAL_KEPT).c_str(), kept);
    return std::string(summary) + keptText + LoadStringText(IDS_REMOVAL_UNDOABLE);
}

void CSmartUninstallPage::OnUninstall()
{
    if (analyzing)
        return;
    if (rows.empty())
        return;
    if (ShowMessage(IDS_CONFIRM_REMOVE, MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
        return;
    std::vector<bool> checked(rows.size());
    for (size_t row = 0; row < rows.size(); ++row)
        checked[row] = rows[row].checked;
    CRemovalBackup backup(CBackupStore(), analyzedProgram);
    RemovalTally tally = analyzer.RemoveChecked(checked, &backup);
    if (tally.notSaved) {
        // Nothing was removed: the list stays for another try.
        FolderCheck storeCheck = backup.StoreCheck();
        bool unsafe = storeCheck != FOLDER_SAFE && storeCheck != FOLDER_MISSING;
        UINT why = unsafe ? IDS_STORE_UNSAFE_REMOVAL : IDS_BACKUP_FAILED;
        statusEdit.SetWindowText(LoadStringText(why).c_str());
        ShowMessage(why, MB_ICONERROR);
        return;
    }
    ClearRows();
    analyzer.Clear();
    targetEdit.SetWindowText("");
    statusEdit.SetWindowText(RemovalSummary(tally).c_str());
    uninstallButton.EnableWindow(FALSE);
}
