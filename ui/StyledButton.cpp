#include "ui/StyledButton.h"

#include <commctrl.h>
#include <vsstyle.h>
#include <windowsx.h>

#include <string>

#include "framework/GdiObjects.h"
#include "framework/WinApp.h"

CStyledButton::CStyledButton()
    : textColor(GetSysColor(COLOR_BTNTEXT)), visualStyle(g_themeCapableOs ? SharedVisualStyle() : nullptr)
{
}

// ---- Icon ---------------------------------------------------------------------

int CStyledButton::SetIcons(UINT firstId, UINT)
{
    const char* name = MAKEINTRESOURCEA(LOWORD(firstId));
    HINSTANCE module = AfxFindResourceHandle(name, RT_GROUP_ICON);
    icon.Reset(static_cast<HICON>(LoadImageA(module, name, IMAGE_ICON, 0, 0, LR_DEFAULTCOLOR)));
    iconWidth = iconHeight = 0;
    if (m_hWnd)
        Invalidate(TRUE);
    if (!icon)
        return 0;
    ICONINFO info;
    if (!GetIconInfo(icon, &info)) {
        icon.Reset();
        return 1;
    }
    OwnedGdi<HBITMAP> mask(info.hbmMask), colour(info.hbmColor);
    iconWidth = info.xHotspot * 2;
    iconHeight = info.yHotspot * 2;
    return 0;
}

// ---- Painting -----------------------------------------------------------------

void CStyledButton::DrawItem(DRAWITEMSTRUCT* item)
{
    if (!item)
        return;
    HDC dc = item->hDC;
    pressed = (item->itemState & ODS_SELECTED) ? TRUE : FALSE;
    focused = (item->itemState & ODS_FOCUS) ? TRUE : FALSE;
    disabled = (item->itemState & ODS_DISABLED) ? TRUE : FALSE;

    SetBkMode(dc, TRANSPARENT);
    PaintBackground(dc, item->rcItem);

    const std::string text = GetWindowText();
    RECT caption = item->rcItem;
    if (icon)
        PaintButtonIcon(dc, Icon(), !text.empty(), item->rcItem, &caption, pressed, disabled, pressOffset);
    if (!text.empty())
        PaintButtonCaption(dc, text.c_str(), caption, pressed, disabled, textColor, pressOffset);
}

// Later rules win: a hovered button shows hot even while pressed.
int CStyledButton::ThemeState() const
{
    int state = PBS_NORMAL;
    if (disabled)
        state = PBS_DISABLED;
    if (isDefault)
        state = PBS_DEFAULTED;
    if (pressed)
        state = PBS_PRESSED;
    if (hover)
        state = PBS_HOT;
    return state;
}

void CStyledButton::PaintBackground(HDC dc, const RECT& rect)
{
    const bool themed = g_themeCapableOs && g_useVisualStyles && visualStyle && themeClassList;
    HTHEME theme = themed ? visualStyle->Open(m_hWnd, themeClassList) : nullptr;
    if (!theme) {
        PaintCustomFace(dc, rect, ButtonFaceState{hover, pressed, focused, disabled, isDefault});
        return;
    }
    visualStyle->DrawBackground(theme, m_hWnd, dc, BP_PUSHBUTTON, ThemeState(), &rect, nullptr);
    visualStyle->Close(theme);
}

// ---- Behaviour ----------------------------------------------------------------

void CStyledButton::PreSubclassWindow()
{
    if ((GetStyle() & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
        isDefault = TRUE;
    ModifyStyle(BS_TYPEMASK, BS_OWNERDRAW, SWP_FRAMECHANGED);
    CButton::PreSubclassWindow();
}

BOOL CStyledButton::PreTranslateMessage(MSG* msg)
{
    if (msg && msg->hwnd == m_hWnd && msg->message == WM_LBUTTONDBLCLK)
        msg->message = WM_LBUTTONDOWN;
    return CButton::PreTranslateMessage(msg);
}

void CStyledButton::EndHover()
{
    if (!hover)
        return;
    hover = FALSE;
    Invalidate(TRUE);
}

LRESULT CStyledButton::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_KILLFOCUS:
        return OnKillFocus(wParam, lParam);
    case WM_CANCELMODE: {
        const LRESULT result = DefWindowProc(msg, wParam, lParam);
        EndHover();
        return result;
    }
    case WM_MOUSEMOVE:
        return OnMouseMove(wParam, lParam);
    case WM_ACTIVATE: {
        const LRESULT result = DefWindowProc(msg, wParam, lParam);
        if (LOWORD(wParam) == WA_INACTIVE)
            EndHover();
        return result;
    }
    case WM_ENABLE:
        return OnEnable(wParam, lParam);
    case WM_GETDLGCODE:
        return DefWindowProc(msg, wParam, lParam) | (isDefault ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
    case BM_SETSTYLE:
        return OnSetStyle(wParam, lParam);
    case WM_MOUSELEAVE:
        EndHover();
        return 0;
    case BM_SETCHECK:
    case BM_GETCHECK:
        return 0;
    default:
        return CButton::WindowProc(msg, wParam, lParam);
    }
}

BOOL CStyledButton::OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (msg == WM_COMMAND && CommandCode(wParam) == BN_CLICKED) {
        // Take the focus, and let the parent act on the click as well.
        SetFocus();
        return FALSE;
    }
    if (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC) {
        *result = reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
        return TRUE;
    }
    return CButton::OnChildNotify(msg, wParam, lParam, result);
}

LRESULT CStyledButton::OnMouseMove(WPARAM keys, LPARAM point)
{
    const LRESULT result = DefWindowProc(WM_MOUSEMOVE, keys, point);
    POINT screen = {GET_X_LPARAM(point), GET_Y_LPARAM(point)};
    ClientToScreen(m_hWnd, &screen);
    HWND under = WindowFromPoint(screen);

    // A pointer that enters with the button held does not light the button.
    if ((keys & MK_LBUTTON) && !hover)
        return result;
    if (under != m_hWnd) {
        EndHover();
        return result;
    }
    if (hover)
        return result;
    hover = TRUE;
    Invalidate(TRUE);
    TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE, m_hWnd, 0};
    _TrackMouseEvent(&track);
    return result;
}

LRESULT CStyledButton::OnKillFocus(WPARAM newFocus, LPARAM lParam)
{
    const LRESULT result = DefWindowProc(WM_KILLFOCUS, newFocus, lParam);
    // Disabling a focused window drops the focus before WM_ENABLE arrives.
    focusLostToDisabling = !newFocus && !IsWindowEnabled();
    EndHover();
    return result;
}

LRESULT CStyledButton::OnEnable(WPARAM enabling, LPARAM lParam)
{
    const LRESULT result = DefWindowProc(WM_ENABLE, enabling, lParam);
    const BOOL hadFocus = focusLostToDisabling || ::GetFocus() == m_hWnd;
    focusLostToDisabling = FALSE;
    if (enabling)
        return result;
    // Only a button that held the focus passes it on; disabling another
    // button must not pull the focus from where the user is.
    if (hadFocus) {
        HWND parent = GetParent();
        HWND next = parent ? GetNextDlgTabItem(parent, m_hWnd, FALSE) : nullptr;
        if (next && next != m_hWnd)
            ::SetFocus(next);
        else if (parent)
            ::SetFocus(parent);
    }
    EndHover();
    return result;
}

LRESULT CStyledButton::OnSetStyle(WPARAM style, LPARAM redraw)
{
    const UINT type = static_cast<UINT>(style) & BS_TYPEMASK;
    if (type == BS_DEFPUSHBUTTON)
        isDefault = TRUE;
    else if (type == BS_PUSHBUTTON)
        isDefault = FALSE;
    // Whatever type is asked for, the button stays owner-drawn.
    return DefWindowProc(BM_SETSTYLE, (style & ~static_cast<WPARAM>(BS_TYPEMASK)) | BS_OWNERDRAW, redraw);
}
