// The main window: the banner across the top, the navigation bar down the left and
// one of the three pages beside it.
#pragma once
#include "framework/Dialog.h"
#include "ui/NavigationBar.h"
#include "ui/PictureLink.h"
#include "ui/QuickUninstallPage.h"
#include "ui/RestorePage.h"
#include "ui/SmartUninstallPage.h"

class CMainDialog : public CDialog {
public:
    explicit CMainDialog(CWnd* parent = nullptr);

    CPictureLink bannerLink;
    HICON appIcon;
    CNavigationBar navigationBar;
    CQuickUninstallPage quickPage;
    CSmartUninstallPage smartPage;
    CRestorePage restorePage;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnOK() override;
    void CreatePages();
    // Shows the page of a navigation command and hides the others.
    void ShowPage(UINT commandId);
    void OnUninstallStarting(UninstallClues* clues);
    void OnUninstallEnded(bool lookForLeftovers, const UninstallClues& clues);
    void OnAnalyzeProduct(const UninstallClues& clues);
    void OnPaint();
};
