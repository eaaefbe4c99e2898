#include "ui/NavigationBar.h"

#include "framework/WinApp.h"
#include "resource.h"
#include "ui/GradientBands.h"
#include "ui/PageBackground.h"

#include <commctrl.h>

#include <string>

namespace {

// The toolbar starts below the header band and reaches past the bar's right and
// bottom edges, where the bar clips it.
const int TOOLBAR_LEFT = 18;
const int TOOLBAR_TOP = 37;
const int BUTTON_PADDING_X = 8;
const int BUTTON_PADDING_Y = 18;
const int BUTTON_MARGIN = 4;
const DWORD TOOLBAR_STYLE = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_TABSTOP | TBSTYLE_TOOLTIPS | TBSTYLE_WRAPABLE |
                            TBSTYLE_FLAT | TBSTYLE_TRANSPARENT | CCS_NORESIZE | CCS_NODIVIDER;

}  // namespace

BOOL CNavigationBar::Initialize(int size, UINT caption)
{
    iconSize = size;
    captionId = caption;
    if (!IsWindow())
        return FALSE;
    RECT client;
    GetClientRect(&client);
    buttonImages.Create(iconSize, iconSize, ILC_COLOR32 | ILC_MASK, 4, 1);
    CreateToolbar(m_hWnd, &client);
    return TRUE;
}

BOOL CNavigationBar::CreateToolbar(HWND parent, const RECT* rect)
{
    if (!parent || !::IsWindow(parent) || !rect)
        return FALSE;
    toolbarWindow = CreateWindowExA(WS_EX_APPWINDOW | WS_EX_ACCEPTFILES, TOOLBARCLASSNAMEA, nullptr, TOOLBAR_STYLE,
                                    rect->left + TOOLBAR_LEFT, rect->top + TOOLBAR_TOP, (rect->right - rect->left) - 2,
                                    rect->bottom - rect->top, parent,
                                    reinterpret_cast<HMENU>(static_cast<UINT_PTR>(IDC_NAVIGATION_TOOLBAR)),
                                    AfxGetInstanceHandle(), nullptr);
    if (!toolbarWindow || !::IsWindow(toolbarWindow)) {
        toolbarWindow = nullptr;
        return FALSE;
    }
    ::SendMessageA(toolbarWindow, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(buttonImages.GetSafeHandle()));
    ::SendMessageA(toolbarWindow, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    ::SendMessageA(toolbarWindow, TB_SETPADDING, 0, MAKELPARAM(BUTTON_PADDING_X, BUTTON_PADDING_Y));
    ::SendMessageA(toolbarWindow, TB_SETBITMAPSIZE, 0, MAKELPARAM(iconSize, iconSize));
    ::SendMessageA(toolbarWindow, TB_SETBUTTONSIZE, 0, MAKELPARAM(iconSize + BUTTON_MARGIN, iconSize + BUTTON_MARGIN));
    return TRUE;
}

void CNavigationBar::AddButton(UINT commandId, UINT iconId, UINT caption)
{
    if (!toolbarWindow)
        return;
    int index = static_cast<int>(::SendMessageA(toolbarWindow, TB_BUTTONCOUNT, 0, 0));
    HICON icon = LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(iconId));
    buttonImages.Add(icon);
    std::string text = LoadStringText(caption);
    TBBUTTON button = {};
    button.iBitmap = index;
    button.idCommand = static_cast<int>(commandId);
    button.fsState = TBSTATE_ENABLED | (index == 0 ? TBSTATE_CHECKED : 0);
    button.fsStyle = BTNS_CHECKGROUP | BTNS_SHOWTEXT;
    button.iString = reinterpret_cast<INT_PTR>(text.c_str());
    ::SendMessageA(toolbarWindow, TB_INSERTBUTTONA, index, reinterpret_cast<LPARAM>(&button));
}

LRESULT CNavigationBar::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_ERASEBKGND)
        return OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
    return CWnd::WindowProc(msg, wParam, lParam);
}

BOOL CNavigationBar::OnCommand(WPARAM wParam, LPARAM lParam)
{
    ::SendMessageA(GetParent(), WM_COMMAND, wParam, lParam);
    return CWnd::OnCommand(wParam, lParam);
}

BOOL CNavigationBar::OnEraseBkgnd(HDC dc)
{
    PaintPageBackground(m_hWnd, dc);
    RECT client;
    GetClientRect(&client);
    int width = client.right;
    FillGradientBands(dc, 1, 1, width - 1, 24, RGB(221, 232, 251), RGB(244, 249, 253), FALSE);
    FillGradientBands(dc, 1, 24, width - 1, 25, RGB(57, 154, 213), RGB(207, 232, 245), FALSE);
    std::string caption = LoadStringText(captionId);
    if (!caption.empty()) {
        SetBkMode(dc, TRANSPARENT);
        RECT band = {1, 4, width - 1, 19};
        DrawTextA(dc, caption.c_str(), -1, &band, DT_CENTER);
    }
    return TRUE;
}

void CNavigationBar::CheckButton(UINT commandId)
{
    ::SendMessageA(toolbarWindow, TB_CHECKBUTTON, commandId, MAKELPARAM(TRUE, 0));
}
