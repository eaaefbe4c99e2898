// The application object and the process-wide services the framework offers.
#pragma once
#include <windows.h>

#include <string>

class CWnd;

class CWinApp {
public:
    // There is one application object; constructing it makes it the current one.
    explicit CWinApp(const char* appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Start-up; the application's windows run inside it (a modal main window).
    virtual BOOL InitInstance() { return FALSE; }

    CWnd* m_pMainWnd = nullptr;
    // The name message boxes carry: given, or the executable's file name without extension.
    const std::string& AppName() const { return appName; }

private:
    std::string appName;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
// The module that holds a resource; ours is the only one.
HINSTANCE AfxFindResourceHandle(const char* name, const char* type);

// A message box captioned with the application's name, owned by the main window.
int AfxMessageBox(const char* text, UINT type = MB_OK);
int AfxMessageBox(UINT stringId, UINT type = MB_OK);

// Starts COM for this thread (shell links, pictures).
BOOL AfxOleInit();

// Loads a string-table entry; empty when absent.
std::string LoadStringText(UINT id);

// Program entry used by WinMain: runs the application object's start-up; the
// program ends when it returns.
int AfxWinMain();
