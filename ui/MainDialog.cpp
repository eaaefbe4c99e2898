#include "ui/MainDialog.h"

#include "framework/GdiObjects.h"
#include "framework/WinApp.h"
#include "resource.h"
#include "ui/PageBackground.h"
#include "ui/PrivateMessages.h"

CMainDialog::CMainDialog(CWnd* parent)
    : CDialog(IDD_MAIN_DIALOG, parent),
      appIcon(LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME)))
{
}

void CMainDialog::DoDataExchange(CDataExchange* dx)
{
    DDX_Control(dx, IDC_BANNER, bannerLink);
}

BOOL CMainDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(appIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(appIcon));
    bannerLink.ShowPicture(729, 68, IDR_BANNER, "GIF");
    RECT client;
    GetClientRect(&client);
    RECT barRect = {20, 76, 136, client.bottom - 20};
    navigationBar.Create(nullptr, "", WS_CHILD | WS_VISIBLE, barRect, this, IDC_NAVIGATION_BAR);
    navigationBar.Initialize(48, IDS_NAV_HEADER);
    navigationBar.AddButton(ID_PAGE_QUICK, IDR_MAINFRAME, IDS_NAV_QUICK);
    navigationBar.AddButton(ID_PAGE_SMART, IDI_SMART_UNINSTALL, IDS_NAV_SMART);
    navigationBar.AddButton(ID_PAGE_RESTORE, IDI_RESTORE, IDS_NAV_RESTORE);
    CreatePages();
    return TRUE;
}

void CMainDialog::CreatePages()
{
    RECT client;
    GetClientRect(&client);
    RECT pageRect = {160, 76, client.right - 16, client.bottom - 20};
    quickPage.Create(IDD_QUICK_PAGE, this);
    quickPage.MoveWindow(pageRect, TRUE);
    smartPage.Create(IDD_SMART_PAGE, this);
    smartPage.MoveWindow(pageRect, TRUE);
    restorePage.Create(IDD_RESTORE_PAGE, this);
    restorePage.MoveWindow(pageRect, TRUE);
    quickPage.ShowWindow(SW_SHOW);
}

LRESULT CMainDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<LRESULT>(appIcon);
    case WM_UNINSTALL_STARTING:
        OnUninstallStarting(reinterpret_cast<UninstallClues*>(lParam));
        return 0;
    case WM_UNINSTALL_ENDED:
        OnUninstallEnded(wParam != 0, *reinterpret_cast<const UninstallClues*>(lParam));
        return 0;
    case WM_ANALYZE_PRODUCT:
        OnAnalyzeProduct(*reinterpret_cast<const UninstallClues*>(lParam));
        return 0;
    case WM_ANALYSIS_RUNNING:
        // The quick page's actions and a restore change what the analysis is reading.
        quickPage.EnableActions(wParam == FALSE);
        restorePage.EnableActions(wParam == FALSE);
        return 0;
    case WM_ERASEBKGND: {
        RECT client;
        GetClientRect(&client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, CBrush(PAGE_BACKGROUND_COLOR));
        return TRUE;
    }
    default:
        return CDialog::WindowProc(msg, wParam, lParam);
    }
}

void CMainDialog::OnPaint()
{
    if (!IsIconic(m_hWnd)) {
        DefWindowProc(WM_PAINT, 0, 0);
        return;
    }
    CPaintDC dc(m_hWnd);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    int iconWidth = GetSystemMetrics(SM_CXICON);
    int iconHeight = GetSystemMetrics(SM_CYICON);
    RECT client;
    GetClientRect(&client);
    int x = (client.right - client.left - iconWidth + 1) / 2;
    int y = (client.bottom - client.top - iconHeight + 1) / 2;
    DrawIcon(dc, x, y, appIcon);
}

BOOL CMainDialog::OnCommand(WPARAM wParam, LPARAM lParam)
{
    UINT id = CommandId(wParam);
    if (id == ID_PAGE_QUICK || id == ID_PAGE_SMART || id == ID_PAGE_RESTORE)
        ShowPage(id);
    return CDialog::OnCommand(wParam, lParam);
}

void CMainDialog::ShowPage(UINT commandId)
{
    // The page shown first, so the window never shows none.
    const struct {
        UINT id;
        CDialog* page;
    } pages[] = {{ID_PAGE_QUICK, &quickPage}, {ID_PAGE_SMART, &smartPage}, {ID_PAGE_RESTORE, &restorePage}};
    if (commandId == ID_PAGE_RESTORE)
        restorePage.Refresh();  // removals since it was last shown made backups
    for (const auto& entry : pages) {
        if (entry.id == commandId)
            entry.page->ShowWindow(SW_SHOW);
    }
    for (const auto& entry : pages) {
        if (entry.id != commandId)
            entry.page->ShowWindow(SW_HIDE);
    }
}

// While an uninstaller runs the other pages wait: what they do could race with it.
void CMainDialog::OnUninstallStarting(UninstallClues* clues)
{
    smartPage.NoteUninstallClues(clues);
    navigationBar.EnableWindow(FALSE);
}

// What the uninstaller left is shown on the smart page, ticked, to be removed there.
void CMainDialog::OnUninstallEnded(bool lookForLeftovers, const UninstallClues& clues)
{
    navigationBar.EnableWindow(TRUE);
    if (!lookForLeftovers)
        return;
    navigationBar.CheckButton(ID_PAGE_SMART);
    ShowPage(ID_PAGE_SMART);
    smartPage.AnalyzeLeftovers(clues);
}

// The quick page's "smart uninstall" of a product: the smart page analyses its folder.
void CMainDialog::OnAnalyzeProduct(const UninstallClues& clues)
{
    if (smartPage.IsAnalyzing())
        return;
    navigationBar.CheckButton(ID_PAGE_SMART);
    ShowPage(ID_PAGE_SMART);
    smartPage.AnalyzeProduct(clues);
}

void CMainDialog::OnOK()
{
    // Enter in a field must not close the program; only the close box (Cancel) does.
}
