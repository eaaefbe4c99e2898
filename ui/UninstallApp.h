// The application object: prepares COM and the theme flags, then runs the main window.
#pragma once
#include "framework/WinApp.h"

class CUninstallApp : public CWinApp {
public:
    CUninstallApp();
    BOOL InitInstance() override;
};
