#include "ui/Page.h"

#include "framework/AnsiText.h"
#include "framework/WinApp.h"
#include "resource.h"
#include "ui/PageBackground.h"

CPage::CPage(UINT templateId) : CDialog(templateId)
{
    backgroundBrush.CreateSolidBrush(PAGE_BACKGROUND_COLOR);
}

LRESULT CPage::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg != WM_ERASEBKGND)
        return CDialog::WindowProc(msg, wParam, lParam);
    PaintPageBackground(m_hWnd, reinterpret_cast<HDC>(wParam));
    return TRUE;
}

BOOL CPage::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (CommandCode(wParam) == BN_CLICKED && OnClicked(CommandId(wParam)))
        return TRUE;
    return CDialog::OnCommand(wParam, lParam);
}

BOOL CPage::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    *result = 0;
    NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
    if (header->idFrom == IDC_LIST && header->code == LVN_GETDISPINFOA) {
        OnGetRowInfo(&reinterpret_cast<NMLVDISPINFOA*>(header)->item);
        return TRUE;
    }
    // Typing never jumps between the rows of an owner-data list (the quick page
    // sends it to its filter).
    if (header->idFrom == IDC_LIST && header->code == LVN_ODFINDITEMA) {
        *result = -1;
        return TRUE;
    }
    if (header->idFrom == IDC_LIST && OnListNotify(header, result))
        return TRUE;
    return CDialog::OnNotify(wParam, lParam, result);
}

// Static texts (and read-only fields) show the page's background around their text.
HBRUSH CPage::OnCtlColor(HDC dc, HWND control, UINT ctlType)
{
    if (ctlType != CTLCOLOR_STATIC)
        return CDialog::OnCtlColor(dc, control, ctlType);
    SetBkMode(dc, TRANSPARENT);
    return backgroundBrush;
}

int CPage::ShowMessage(UINT stringId, UINT type)
{
    return AfxMessageBox(stringId, type);
}

int CPage::ShowMessageText(const std::string& text, UINT type)
{
    return AfxMessageBox(text.c_str(), type);
}

void CPage::BindControls(CDataExchange* dx, std::initializer_list<ControlBinding> controls)
{
    for (const ControlBinding& binding : controls)
        DDX_Control(dx, binding.id, binding.control);
}

void CPage::AddColumns(CListCtrl& list, std::initializer_list<ListColumn> columns)
{
    int index = 0;
    for (const ListColumn& column : columns)
        list.InsertColumn(index++, LoadStringText(column.headingId).c_str(), LVCFMT_LEFT, column.width);
}

std::string CPage::FormatString(UINT formatId, const char* subject)
{
    char text[3 * MAX_PATH];
    FormatText(text, sizeof(text), LoadStringText(formatId).c_str(), subject);
    return text;
}
