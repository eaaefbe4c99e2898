// The machine's folders an analysis tests paths against: the Windows folder, the
// desktops and Start menus whose shortcuts it reads, and the protected folders that
// are never a program's. Read once per analysis.
#pragma once
#include <windows.h>

#include <functional>

#include "smart/ProtectedFolders.h"

class CMachineFolders {
public:
    CMachineFolders();

    // Reads them anew; the shell's first calls are slow, so keepResponsive is called
    // between them.
    void Load(const std::function<void()>& keepResponsive);

    const ProtectedFolders& Protected() const { return protectedFolders; }
    const char* ProgramsMenu() const { return programsFolder; }
    const char* CommonProgramsMenu() const { return commonProgramsFolder; }
    const char* Desktop() const { return desktopFolder; }
    const char* CommonDesktop() const { return commonDesktopFolder; }

    // The Windows folder's path appears in path.
    bool IsInWindowsFolder(const char* path) const;
    // In the Windows folder, or too wide to be any program's.
    bool IsSystemFolder(const char* path) const;
    // A folder whose whole contents may be listed: a drive path in no Windows,
    // Program Files, shortcut or too-wide folder.
    bool IsCollectable(const char* folder) const;
    // The full path a shortcut leads to (target: MAX_PATH bytes); false for a
    // shortcut that cannot be read, leads to no drive path or into the Windows folder.
    bool ReadTargetPath(const char* shortcutPath, char* target) const;

private:
    char windowsFolder[MAX_PATH];
    char programsFolder[MAX_PATH];
    char commonProgramsFolder[MAX_PATH];
    char desktopFolder[MAX_PATH];
    char commonDesktopFolder[MAX_PATH];
    ProtectedFolders protectedFolders;
};
