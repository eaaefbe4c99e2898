#include "framework/WinApp.h"

#include "framework/AnsiText.h"
#include "framework/Wnd.h"

#include <ole2.h>

namespace {

CWinApp* g_app = nullptr;

std::string ExecutableBaseName()
{
    char path[MAX_PATH] = "";
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return "Application";
    const char* name = path;
    for (const char* p = path; *p; p = NextCharDbcs(p)) {
        if (*p == '\\' || *p == '/')
            name = p + 1;
    }
    std::string base = name;
    size_t dot = base.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        base.resize(dot);
    return base;
}

}  // namespace

CWinApp::CWinApp(const char* name) : appName(name ? name : ExecutableBaseName())
{
    g_app = this;
}

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

CWinApp* AfxGetApp()
{
    return g_app;
}

CWnd* AfxGetMainWnd()
{
    return g_app ? g_app->m_pMainWnd : nullptr;
}

HINSTANCE AfxGetInstanceHandle()
{
    return GetModuleHandleA(nullptr);
}

HINSTANCE AfxGetResourceHandle()
{
    return GetModuleHandleA(nullptr);
}

HINSTANCE AfxFindResourceHandle(const char*, const char*)
{
    return AfxGetResourceHandle();
}

int AfxMessageBox(const char* text, UINT type)
{
    CWnd* main = AfxGetMainWnd();
    HWND owner = main && main->IsWindow() ? main->m_hWnd : GetActiveWindow();
    std::string caption = g_app ? g_app->AppName() : ExecutableBaseName();
    return MessageBoxA(owner, text, caption.c_str(), type);
}

int AfxMessageBox(UINT stringId, UINT type)
{
    return AfxMessageBox(LoadStringText(stringId).c_str(), type);
}

BOOL AfxOleInit()
{
    return SUCCEEDED(OleInitialize(nullptr));
}

std::string LoadStringText(UINT id)
{
    char buffer[1024];
    int length = LoadStringA(AfxGetResourceHandle(), id, buffer, sizeof(buffer));
    return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
}

int AfxWinMain()
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return 1;
    app->InitInstance();
    return 0;
}
