// CWnd: a window object bound to a window handle. Messages reach the object's
// virtual WindowProc; the parent reflects control notifications to the child's
// OnChildNotify before handling them itself.
#pragma once
#include <windows.h>

#include <string>

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;

    operator HWND() const { return m_hWnd; }

    // The object bound to a handle, or null.
    static CWnd* FromHandle(HWND hwnd);

    // Creates a child or top-level window. A null class name uses the framework's
    // generic window class.
    BOOL Create(const char* className, const char* windowName, DWORD style, const RECT& rect,
                CWnd* parent, UINT id);
    BOOL CreateEx(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                  const RECT& rect, HWND parent, UINT id);

    // Binds the object to an existing window and routes its messages here.
    BOOL SubclassWindow(HWND hwnd);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    HWND UnsubclassWindow();
    BOOL DestroyWindow();

    // Runs before a message is dispatched by the framework's modal loop; TRUE eats it.
    virtual BOOL PreTranslateMessage(MSG* msg);
    // Offers msg to every framework window from its target up to the top.
    static BOOL WalkPreTranslateTree(HWND top, MSG* msg);

    // Convenience wrappers.
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    HWND GetParent() const { return ::GetParent(m_hWnd); }
    BOOL IsWindow() const { return m_hWnd && ::IsWindow(m_hWnd); }
    BOOL ShowWindow(int cmd) { return ::ShowWindow(m_hWnd, cmd); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    void MoveWindow(const RECT& rect, BOOL repaint = TRUE);
    void GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
    void GetWindowRect(RECT* rect) const { ::GetWindowRect(m_hWnd, rect); }
    void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
    void SetWindowText(const char* text) { ::SetWindowTextA(m_hWnd, text); }
    std::string GetWindowText() const;
    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageA(m_hWnd, msg, wParam, lParam);
    }
    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongPtrA(m_hWnd, GWL_STYLE)); }
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT swpFlags = 0);
    HWND SetFocus() { return ::SetFocus(m_hWnd); }

protected:
    // The object's message handler; the base handles reflection and commands and
    // passes everything else to Default processing.
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // Passes a message to the window's original procedure.
    LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam);

    // WM_COMMAND after reflection: TRUE when handled.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    // WM_NOTIFY after reflection: TRUE when handled, with *result the answer.
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);
    // WM_CTLCOLOR*: the default reflects the request to the control, then the default.
    virtual HBRUSH OnCtlColor(HDC dc, HWND control, UINT ctlType);
    // A notification reflected from the parent: TRUE when consumed, with *result.
    virtual BOOL OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);
    virtual void PreSubclassWindow() {}

    static LRESULT CALLBACK StaticWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void Attach(HWND hwnd);
    void Detach();

    WNDPROC originalProc = nullptr;

private:
    LRESULT Dispatch(UINT msg, WPARAM wParam, LPARAM lParam);
    BOOL ReflectToChild(HWND child, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);
};

// Control ids as carried by WM_COMMAND.
inline UINT CommandId(WPARAM wParam) { return LOWORD(wParam); }
inline UINT CommandCode(WPARAM wParam) { return HIWORD(wParam); }
