// A sample program for the demo machine: every product's main executable is a
// copy of it. Started with an option (the auto-start values pass /tray and the
// like) it ends at once, so signing in shows nothing; otherwise it says what it is.
#include <windows.h>

#include <string>

#include "machine/Text.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    if (commandLine && commandLine[0] == '/')
        return 0;
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string text = machine::Ansi("这是演示用的示例程序。") + "\r\n\r\n" + path;
    if (commandLine && commandLine[0])
        text += "\r\n" + machine::Ansi("打开的文件: ") + commandLine;
    MessageBoxA(nullptr, text.c_str(), machine::Ansi("示例程序").c_str(), MB_OK | MB_ICONINFORMATION);
    return 0;
}
