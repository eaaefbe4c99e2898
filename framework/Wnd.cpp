#include "framework/Wnd.h"

#include "framework/WinApp.h"

#include <unordered_map>

namespace {

const char kGenericClass[] = "UmWnd";

bool RegisterGenericClass()
{
    HINSTANCE instance = AfxGetInstanceHandle();
    WNDCLASSA existing;
    if (GetClassInfoA(instance, kGenericClass, &existing))
        return true;
    WNDCLASSA wc = {};
    wc.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kGenericClass;
    return RegisterClassA(&wc) != 0;
}

// Creation hook: binds the object before the window's first message. Windows are
// created on the one user-interface thread only, so a plain variable serves.
CWnd* g_windowBeingCreated = nullptr;

// The object of each bound window. Every message of a bound window looks it up, so
// it is kept here rather than in a window property, whose read is a trip to the
// window server under Wine.
std::unordered_map<HWND, CWnd*>& BoundWindows()
{
    static std::unordered_map<HWND, CWnd*> bound;
    return bound;
}

}  // namespace

CWnd::~CWnd()
{
    if (m_hWnd && ::IsWindow(m_hWnd)) {
        HWND hwnd = m_hWnd;
        Detach();
        ::DestroyWindow(hwnd);
    }
}

CWnd* CWnd::FromHandle(HWND hwnd)
{
    auto bound = BoundWindows().find(hwnd);
    return bound != BoundWindows().end() ? bound->second : nullptr;
}

void CWnd::Attach(HWND hwnd)
{
    m_hWnd = hwnd;
    BoundWindows()[hwnd] = this;
}

void CWnd::Detach()
{
    if (!m_hWnd)
        return;
    if (originalProc && ::IsWindow(m_hWnd))
        SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(originalProc));
    auto bound = BoundWindows().find(m_hWnd);
    if (bound != BoundWindows().end() && bound->second == this)
        BoundWindows().erase(bound);
    originalProc = nullptr;
    m_hWnd = nullptr;
}

BOOL CWnd::SubclassWindow(HWND hwnd)
{
    if (!hwnd || m_hWnd || FromHandle(hwnd))
        return FALSE;
    Attach(hwnd);
    PreSubclassWindow();
    originalProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::StaticWindowProc)));
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent)
{
    return parent ? SubclassWindow(::GetDlgItem(parent->m_hWnd, id)) : FALSE;
}

HWND CWnd::UnsubclassWindow()
{
    HWND hwnd = m_hWnd;
    Detach();
    return hwnd;
}

BOOL CWnd::Create(const char* className, const char* windowName, DWORD style, const RECT& rect,
                  CWnd* parent, UINT id)
{
    return CreateEx(0, className, windowName, style, rect, parent ? parent->m_hWnd : nullptr, id);
}

BOOL CWnd::CreateEx(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                    const RECT& rect, HWND parent, UINT id)
{
    if (m_hWnd)
        return FALSE;
    if (!className) {
        if (!RegisterGenericClass())
            return FALSE;
        className = kGenericClass;
    }
    g_windowBeingCreated = this;
    HWND hwnd = CreateWindowExA(exStyle, className, windowName ? windowName : "", style, rect.left, rect.top,
                                rect.right - rect.left, rect.bottom - rect.top, parent,
                                reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), AfxGetInstanceHandle(),
                                nullptr);
    g_windowBeingCreated = nullptr;
    if (!hwnd)
        return FALSE;
    if (!m_hWnd)
        SubclassWindow(hwnd);
    return TRUE;
}

BOOL CWnd::DestroyWindow()
{
    if (!m_hWnd)
        return FALSE;
    return ::DestroyWindow(m_hWnd);
}

void CWnd::MoveWindow(const RECT& rect, BOOL repaint)
{
    ::MoveWindow(m_hWnd, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, repaint);
}

std::string CWnd::GetWindowText() const
{
    int length = ::GetWindowTextLengthA(m_hWnd);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    int copied = ::GetWindowTextA(m_hWnd, &text[0], length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT swpFlags)
{
    DWORD style = GetStyle();
    DWORD newStyle = (style & ~remove) | add;
    if (style == newStyle)
        return FALSE;
    SetWindowLongPtrA(m_hWnd, GWL_STYLE, static_cast<LONG_PTR>(newStyle));
    if (swpFlags)
        SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | swpFlags);
    return TRUE;
}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

BOOL CWnd::WalkPreTranslateTree(HWND top, MSG* msg)
{
    for (HWND hwnd = msg->hwnd; hwnd; hwnd = ::GetParent(hwnd)) {
        CWnd* wnd = FromHandle(hwnd);
        if (wnd && wnd->PreTranslateMessage(msg))
            return TRUE;
        if (hwnd == top)
            break;
    }
    return FALSE;
}

LRESULT CALLBACK CWnd::StaticWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    CWnd* wnd = FromHandle(hwnd);
    if (!wnd && g_windowBeingCreated) {
        wnd = g_windowBeingCreated;
        g_windowBeingCreated = nullptr;
        wnd->Attach(hwnd);
        wnd->originalProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::StaticWindowProc));
    }
    if (!wnd)
        return ::DefWindowProcA(hwnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        WNDPROC proc = wnd->originalProc;
        wnd->Detach();
        return proc ? CallWindowProcA(proc, hwnd, msg, wParam, lParam) : ::DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    return wnd->WindowProc(msg, wParam, lParam);
}

LRESULT CWnd::DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (originalProc)
        return CallWindowProcA(originalProc, m_hWnd, msg, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, msg, wParam, lParam);
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    return Dispatch(msg, wParam, lParam);
}

BOOL CWnd::ReflectToChild(HWND child, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    CWnd* control = FromHandle(child);
    return control && control != this && control->OnChildNotify(msg, wParam, lParam, result);
}

LRESULT CWnd::Dispatch(UINT msg, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    switch (msg) {
    case WM_COMMAND:
        if (lParam && ReflectToChild(reinterpret_cast<HWND>(lParam), msg, wParam, lParam, &result))
            return result;
        if (OnCommand(wParam, lParam))
            return 0;
        break;
    case WM_NOTIFY: {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header && ReflectToChild(header->hwndFrom, msg, wParam, lParam, &result))
            return result;
        if (OnNotify(wParam, lParam, &result))
            return result;
        break;
    }
    case WM_DRAWITEM: {
        const DRAWITEMSTRUCT* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item && item->CtlType != ODT_MENU && ReflectToChild(item->hwndItem, msg, wParam, lParam, &result))
            return result;
        break;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORMSGBOX:
        return reinterpret_cast<LRESULT>(OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam),
                                                    msg - WM_CTLCOLORMSGBOX));
    default:
        break;
    }
    return DefWindowProc(msg, wParam, lParam);
}

BOOL CWnd::OnCommand(WPARAM, LPARAM)
{
    return FALSE;
}

BOOL CWnd::OnNotify(WPARAM, LPARAM, LRESULT*)
{
    return FALSE;
}

HBRUSH CWnd::OnCtlColor(HDC dc, HWND control, UINT ctlType)
{
    LRESULT result = 0;
    UINT msg = WM_CTLCOLORMSGBOX + ctlType;
    WPARAM wParam = reinterpret_cast<WPARAM>(dc);
    LPARAM lParam = reinterpret_cast<LPARAM>(control);
    if (control != m_hWnd && ReflectToChild(control, msg, wParam, lParam, &result))
        return reinterpret_cast<HBRUSH>(result);
    return reinterpret_cast<HBRUSH>(DefWindowProc(msg, wParam, lParam));
}

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*)
{
    return FALSE;
}
