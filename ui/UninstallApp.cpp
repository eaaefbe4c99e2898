#include "ui/UninstallApp.h"

#include "ui/MainDialog.h"
#include "ui/VisualStyle.h"

#include <commctrl.h>

CUninstallApp::CUninstallApp()
{
    InitVisualStyleFlags();
}

BOOL CUninstallApp::InitInstance()
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    AfxOleInit();
    CMainDialog dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}
