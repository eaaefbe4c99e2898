#include "machine/ShellFolders.h"

#include "machine/Text.h"

#include <windows.h>
#include <shlobj.h>

namespace machine {

std::string SpecialFolder(int csidl)
{
    char path[MAX_PATH] = "";
    if (!SHGetSpecialFolderPathA(nullptr, path, csidl, TRUE))
        return std::string();
    return path;
}

std::string ProgramFilesFolder()
{
    return SpecialFolder(CSIDL_PROGRAM_FILES);
}

std::string WindowsFolder()
{
    char path[MAX_PATH] = "";
    GetWindowsDirectoryA(path, MAX_PATH);
    return path;
}

std::string SystemFolder()
{
    char path[MAX_PATH] = "";
    GetSystemDirectoryA(path, MAX_PATH);
    return path;
}

std::string ExecutableFolder()
{
    char path[MAX_PATH] = "";
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::string();
    // Wine names a program started from a Unix path without a drive (drive Z:
    // removed) "unix\...": only the "\\?\unix\..." form of it can be opened.
    std::string module = path;
    if (_strnicmp(path, "unix\\", 5) == 0)
        module = "\\\\?\\" + module;
    return ParentFolder(module);
}

std::string IconExecutable()
{
    return WindowsFolder() + "\\notepad.exe";
}

}  // namespace machine
