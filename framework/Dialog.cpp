#include "framework/Dialog.h"

#include "framework/WinApp.h"

#include <cstring>

void DDX_Control(CDataExchange* dx, int id, CWnd& control)
{
    if (control.m_hWnd)
        return;
    HWND item = ::GetDlgItem(dx->m_pDlgWnd->m_hWnd, id);
    if (item)
        control.SubclassWindow(item);
}

void DDX_Text(CDataExchange* dx, int id, std::string& value)
{
    HWND item = ::GetDlgItem(dx->m_pDlgWnd->m_hWnd, id);
    if (!item)
        return;
    if (!dx->m_bSaveAndValidate) {
        SetWindowTextA(item, value.c_str());
        return;
    }
    int length = GetWindowTextLengthA(item);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    int copied = GetWindowTextA(item, &text[0], length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    value = text;
}

BOOL PreTranslateDialogMessage(MSG* msg)
{
    HWND root = msg->hwnd ? GetAncestor(msg->hwnd, GA_ROOT) : nullptr;
    char className[16] = "";
    if (!root || !GetClassNameA(root, className, sizeof(className)) || strcmp(className, "#32770") != 0)
        return FALSE;
    return CWnd::WalkPreTranslateTree(root, msg) || IsDialogMessageA(root, msg);
}

void DispatchWaitingMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (PreTranslateDialogMessage(&message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

CDialog::CDialog(UINT templateId, CWnd* parent) : templateId(templateId), parentWnd(parent)
{
}

INT_PTR CALLBACK CDialog::StaticDialogProc(HWND hwnd, UINT msg, WPARAM, LPARAM lParam)
{
    if (msg != WM_INITDIALOG)
        return FALSE;
    // Bind the object and route the dialog's messages through its WindowProc; the
    // dialog manager's own procedure stays the default processing.
    CDialog* dialog = reinterpret_cast<CDialog*>(lParam);
    dialog->Attach(hwnd);
    dialog->originalProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::StaticWindowProc)));
    return dialog->OnInitDialog();
}

BOOL CDialog::Create(UINT id, CWnd* parent)
{
    if (m_hWnd)
        return FALSE;
    templateId = id;
    parentWnd = parent;
    modal = false;
    HWND hwnd = CreateDialogParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(id), parent ? parent->m_hWnd : nullptr,
                                   &CDialog::StaticDialogProc, reinterpret_cast<LPARAM>(this));
    return hwnd != nullptr;
}

INT_PTR CDialog::DoModal()
{
    HWND owner = parentWnd ? parentWnd->m_hWnd : nullptr;
    bool ownerDisabled = owner && ::IsWindowEnabled(owner);
    if (ownerDisabled)
        ::EnableWindow(owner, FALSE);
    modal = true;
    endRequested = false;
    modalResult = -1;
    HWND hwnd = CreateDialogParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(templateId), owner,
                                   &CDialog::StaticDialogProc, reinterpret_cast<LPARAM>(this));
    if (hwnd) {
        if (!::IsWindowVisible(hwnd) && !endRequested)
            ::ShowWindow(hwnd, SW_SHOWNORMAL);
        RunModalLoop();
    }
    if (ownerDisabled)
        ::EnableWindow(owner, TRUE);
    if (hwnd && ::IsWindow(hwnd))
        ::DestroyWindow(hwnd);
    modal = false;
    return hwnd ? modalResult : -1;
}

void CDialog::RunModalLoop()
{
    MSG msg;
    while (!endRequested) {
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got == -1)
            break;
        if (CWnd::WalkPreTranslateTree(m_hWnd, &msg))
            continue;
        if (m_hWnd && IsDialogMessageA(m_hWnd, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void CDialog::EndDialog(INT_PTR result)
{
    if (!modal) {
        ::EndDialog(m_hWnd, result);
        return;
    }
    modalResult = result;
    endRequested = true;
    // Wake the loop in case the request came from outside a dispatched message.
    PostMessageA(m_hWnd, WM_NULL, 0, 0);
}

BOOL CDialog::UpdateData(BOOL saveAndValidate)
{
    if (!m_hWnd)
        return FALSE;
    CDataExchange dx = {saveAndValidate, this};
    DoDataExchange(&dx);
    return TRUE;
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM lParam)
{
    // A child page is not a dialog of its own: OK and Cancel belong to its top window.
    if (!modal && (GetStyle() & WS_CHILD))
        return CWnd::OnCommand(wParam, lParam);
    if (CommandCode(wParam) != BN_CLICKED && lParam)
        return CWnd::OnCommand(wParam, lParam);
    switch (CommandId(wParam)) {
    case IDOK:
        OnOK();
        return TRUE;
    case IDCANCEL:
        OnCancel();
        return TRUE;
    default:
        return CWnd::OnCommand(wParam, lParam);
    }
}
