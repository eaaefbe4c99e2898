// Program entry: the command line's /list and /analyze without a window, else the
// one application object and the framework's start-up.
#include "ui/UninstallApp.h"
#include "ui/CommandLineRun.h"

#include <cstdlib>

CUninstallApp theApp;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int exitCode = 0;
    if (RunCommandLine(__argc, __argv, &exitCode))
        return exitCode;
    return AfxWinMain();
}
