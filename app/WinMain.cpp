// Program entry: the one application object and the framework's start-up.
#include "ui/UninstallApp.h"

CUninstallApp theApp;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return AfxWinMain();
}
