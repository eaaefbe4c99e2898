// The main window: the banner across the top, the navigation bar down the left and
// one of the two pages beside it.
#pragma once
#include "app/NavigationBar.h"
#include "controls/PictureLink.h"
#include "framework/Dialog.h"
#include "inventory/QuickUninstallPage.h"
#include "smart/SmartUninstallPage.h"

class CMainDialog : public CDialog {
public:
    explicit CMainDialog(CWnd* parent = nullptr);

    CPictureLink bannerLink;
    HICON appIcon;
    CNavigationBar navigationBar;
    CQuickUninstallPage quickPage;
    CSmartUninstallPage smartPage;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnOK() override;
    void CreatePages();
    void OnPaint();
};
