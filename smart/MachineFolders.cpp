#include "smart/MachineFolders.h"

#include "framework/AnsiText.h"
#include "smart/FolderPaths.h"
#include "smart/ShortcutResolver.h"

#include <shlobj.h>

namespace {

void ReadSpecialFolder(int csidl, char* path)
{
    path[0] = '\0';
    if (!SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE))
        path[0] = '\0';
}

}  // namespace

CMachineFolders::CMachineFolders()
{
    windowsFolder[0] = '\0';
    programsFolder[0] = '\0';
    commonProgramsFolder[0] = '\0';
    desktopFolder[0] = '\0';
    commonDesktopFolder[0] = '\0';
}

void CMachineFolders::Load(const std::function<void()>& keepResponsive)
{
    UINT length = GetWindowsDirectoryA(windowsFolder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        windowsFolder[0] = '\0';
    ReadSpecialFolder(CSIDL_PROGRAMS, programsFolder);
    ReadSpecialFolder(CSIDL_COMMON_PROGRAMS, commonProgramsFolder);
    keepResponsive();
    ReadSpecialFolder(CSIDL_DESKTOPDIRECTORY, desktopFolder);
    keepResponsive();
    ReadSpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY, commonDesktopFolder);
    keepResponsive();
    protectedFolders.Load(keepResponsive);
    keepResponsive();
}

bool CMachineFolders::IsInWindowsFolder(const char* path) const
{
    return windowsFolder[0] && FindTextNoCaseDbcs(path, windowsFolder);
}

bool CMachineFolders::IsSystemFolder(const char* path) const
{
    return IsInWindowsFolder(path) || protectedFolders.IsTooWide(path);
}

bool CMachineFolders::IsCollectable(const char* folder) const
{
    if (IsInWindowsFolder(folder))
        return false;
    if (!HasDriveColon(folder) || protectedFolders.IsShortcutFolder(folder))
        return false;
    return !protectedFolders.IsProgramFiles(folder) && !protectedFolders.IsTooWide(folder);
}

bool CMachineFolders::ReadTargetPath(const char* shortcutPath, char* target) const
{
    char stored[MAX_PATH];
    if (!ResolveShortcut(shortcutPath, stored) || !HasDriveColon(stored))
        return false;
    if (IsInWindowsFolder(stored))
        return false;
    return NormalizeFolderPath(stored, target);
}
