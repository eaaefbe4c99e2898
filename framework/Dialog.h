// CDialog: a dialog from a template, modal (with the framework's own message loop,
// so PreTranslateMessage runs) or modeless (a child page).
#pragma once
#include "framework/Wnd.h"

#include <string>

class CDialog;

// Direction and target of one data exchange.
struct CDataExchange {
    BOOL m_bSaveAndValidate;
    CDialog* m_pDlgWnd;
};

// Binds control id to the object, subclassing the control the first time.
void DDX_Control(CDataExchange* dx, int id, CWnd& control);
// Moves text between the control and value.
void DDX_Text(CDataExchange* dx, int id, std::string& value);

// What a dialog's own message loop does with msg before dispatching it, for loops
// that run while a dialog is up (a long search that keeps messages flowing): the
// windows' PreTranslateMessage up to the top-level window and, when that window is
// a dialog, its keyboard handling (Tab, arrows, mnemonics). True when consumed.
BOOL PreTranslateDialogMessage(MSG* msg);
// Dispatches every message waiting for this thread, through the dialogs' keyboard
// handling above, and returns: for a long task that keeps the window working.
void DispatchWaitingMessages();

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);

    // Modal run; returns the value given to EndDialog, or -1 when creation failed.
    virtual INT_PTR DoModal();
    // Modeless creation as a child (or owned window) of parent.
    BOOL Create(UINT templateId, CWnd* parent = nullptr);
    void EndDialog(INT_PTR result);

    BOOL UpdateData(BOOL saveAndValidate = TRUE);

protected:
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(CDataExchange*) {}
    virtual void OnOK();
    virtual void OnCancel();
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    static INT_PTR CALLBACK StaticDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void RunModalLoop();

    UINT templateId;
    CWnd* parentWnd;
    bool modal = false;
    bool endRequested = false;
    INT_PTR modalResult = -1;
};
