// The quick-uninstall page's template as a plain dialog in a visible window: real
// push buttons and edit fields under the dialog manager, in a framework window
// that counts the commands it gets.
#pragma once
#include <windows.h>

#include <map>

#include "framework/Wnd.h"
#include "resource.h"

class ButtonHost : public CWnd {
public:
    // In tab order: the list, FIRST (with caption), NEXT, DEFAULT (the dialog's
    // default button), EDIT, ..., SECOND (without caption, the last tab stop).
    enum { FIRST = IDC_UNINSTALL, NEXT = IDC_DELETE_ENTRY, DEFAULT = IDC_REFRESH, EDIT = IDC_DISPLAY_NAME,
           SECOND = IDC_OPEN_LINK };

    ButtonHost()
    {
        window.CreateEx(0, nullptr, "host", WS_POPUP | WS_VISIBLE, {0, 0, 800, 500}, nullptr, 0);
        SubclassWindow(CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_QUICK_PAGE), window,
                                          &PlainDialogProc, 0));
        ShowWindow(SW_SHOW);
        SendMessage(DM_SETDEFID, DEFAULT);
        SetForegroundWindow(window);
    }
    ~ButtonHost() override
    {
        window.DestroyWindow();
        Pump();
    }

    int Count(int id, UINT code = BN_CLICKED) { return commands[MAKELONG(id, code)]; }
    // Runs the thread's pending messages the way the modal loop does.
    void Pump()
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (IsWindow() && (WalkPreTranslateTree(m_hWnd, &msg) || IsDialogMessageA(m_hWnd, &msg)))
                continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    // Paints button into dc as the dialog's WM_DRAWITEM asks it to.
    void Paint(HWND button, HDC dc, int width, int height, UINT itemState)
    {
        DRAWITEMSTRUCT item = {ODT_BUTTON, static_cast<UINT>(::GetDlgCtrlID(button)), 0, ODA_DRAWENTIRE,
                               itemState, button, dc, {0, 0, width, height}, 0};
        SendMessage(WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
    }

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM) override { return ++commands[static_cast<DWORD>(wParam)], TRUE; }

private:
    static INT_PTR CALLBACK PlainDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

    CWnd window;
    std::map<DWORD, int> commands;
};
