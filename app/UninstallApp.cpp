#include "app/UninstallApp.h"

#include "app/MainDialog.h"
#include "controls/VisualStyle.h"

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
