#include "controls/StyledButton.h"

#include <commctrl.h>
#include <windowsx.h>

#include <string>

#include "framework/WinApp.h"

namespace {

const int PART_PUSHBUTTON = 1;  // BP_PUSHBUTTON
const int STATE_NORMAL = 1;     // PBS_NORMAL
const int STATE_HOT = 2;        // PBS_HOT
const int STATE_PRESSED = 3;    // PBS_PRESSED
const int STATE_DISABLED = 4;   // PBS_DISABLED
const int STATE_DEFAULTED = 5;  // PBS_DEFAULTED

const UINT BUTTON_TYPE_MASK = 0xF;

}  // namespace

CStyledButton::CStyledButton()
    : themeClassList(nullptr),
      hover(FALSE),
      pressed(FALSE),
      focused(FALSE),
      disabled(FALSE),
      isDefault(FALSE),
      pressOffset{1, 1},
      textColor(GetSysColor(COLOR_BTNTEXT)),
      visualStyle(g_themeCapableOs ? SharedVisualStyle() : nullptr),
      icon{nullptr, 0, 0},
      focusLostToDisabling(FALSE)
{
    ReleaseImages(FALSE);
}

CStyledButton::~CStyledButton()
{
    ReleaseImages(TRUE);
}

// ---- Icon ---------------------------------------------------------------------

void CStyledButton::ReleaseImages(BOOL destroy)
{
    if (destroy && icon.icon)
        DestroyIcon(icon.icon);
    icon = ButtonIcon{nullptr, 0, 0};
}

int CStyledButton::SetIcons(UINT firstId, UINT)
{
    const char* name = MAKEINTRESOURCEA(LOWORD(firstId));
    HINSTANCE module = AfxFindResourceHandle(name, RT_GROUP_ICON);
    HICON loaded = static_cast<HICON>(LoadImageA(module, name, IMAGE_ICON, 0, 0, LR_DEFAULTCOLOR));
    ReleaseImages(TRUE);
    if (m_hWnd)
        Invalidate(TRUE);
    if (!loaded)
        return 0;

    icon.icon = loaded;
    ICONINFO info;
    if (!GetIconInfo(loaded, &info)) {
        ReleaseImages(TRUE);
        return 1;
    }
    if (info.hbmMask)
        DeleteObject(info.hbmMask);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    icon.width = info.xHotspot * 2;
    icon.height = info.yHotspot * 2;
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

    const RECT whole = item->rcItem;
    SetBkMode(dc, TRANSPARENT);
    PaintBackground(dc, whole);

    const std::string text = GetWindowText();
    RECT caption = item->rcItem;
    if (icon.icon)
        PaintIcon(dc, !text.empty(), item->rcItem, &caption, pressed, disabled);
    if (!text.empty())
        PaintCaption(dc, text.c_str(), item->rcItem, &caption, pressed, disabled);
}

bool CStyledButton::ThemedDrawingPossible() const
{
    return g_themeCapableOs && g_useVisualStyles && visualStyle && themeClassList;
}

// Later rules win: a hovered button shows hot even while pressed.
int CStyledButton::ThemeState() const
{
    int state = STATE_NORMAL;
    if (disabled)
        state = STATE_DISABLED;
    if (isDefault)
        state = STATE_DEFAULTED;
    if (pressed)
        state = STATE_PRESSED;
    if (hover)
        state = STATE_HOT;
    return state;
}

void CStyledButton::PaintBackground(HDC dc, const RECT& rect)
{
    if (!ThemedDrawingPossible()) {
        PaintCustomFace(dc, rect);
        return;
    }
    HTHEME theme = visualStyle->Open(m_hWnd, themeClassList);
    if (!theme) {
        PaintCustomFace(dc, rect);
        return;
    }
    visualStyle->DrawBackground(theme, m_hWnd, dc, PART_PUSHBUTTON, ThemeState(), &rect, nullptr);
    visualStyle->Close(theme);
}

void CStyledButton::PaintCustomFace(HDC dc, const RECT& rect)
{
    ::PaintCustomFace(dc, rect, ButtonFaceState{hover, pressed, focused, disabled, isDefault});
}

void CStyledButton::PaintIcon(HDC dc, BOOL hasCaption, const RECT& item, RECT* caption, BOOL isPressed,
                              BOOL isDisabled)
{
    PaintButtonIcon(dc, icon, hasCaption, item, caption, isPressed, isDisabled, pressOffset);
}

void CStyledButton::PaintCaption(HDC dc, const char* text, const RECT&, RECT* caption, BOOL isPressed,
                                 BOOL isDisabled)
{
    PaintButtonCaption(dc, text, *caption, isPressed, isDisabled, textColor, pressOffset);
}

// ---- Behaviour ----------------------------------------------------------------

void CStyledButton::PreSubclassWindow()
{
    if ((GetStyle() & BUTTON_TYPE_MASK) == BS_DEFPUSHBUTTON)
        isDefault = TRUE;
    ModifyStyle(BUTTON_TYPE_MASK, BS_OWNERDRAW, SWP_FRAMECHANGED);
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
    const UINT type = static_cast<UINT>(style) & BUTTON_TYPE_MASK;
    if (type == BS_DEFPUSHBUTTON)
        isDefault = TRUE;
    else if (type == BS_PUSHBUTTON)
        isDefault = FALSE;
    // Whatever type is asked for, the button stays owner-drawn.
    return DefWindowProc(BM_SETSTYLE, (style & ~static_cast<WPARAM>(4)) | 0xB, redraw);
}
