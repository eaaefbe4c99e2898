// The machine's well-known folders that can never be a program folder: adopting one
// would make every file in it (or every registry text naming it) a trace.
#pragma once
#include <functional>
#include <string>
#include <vector>

class ProtectedFolders {
public:
    // Reads the shell folders, the Program Files and Common Files folders in every
    // variant, the Windows and system folders, every profile with its shell folders,
    // and the temp folder.
    // The shell's answers take tens of milliseconds in all: keepResponsive is called
    // between them, so the caller's window can go on dispatching messages.
    void Load(const std::function<void()>& keepResponsive);

    // True for a drive root, a path that is not a drive-letter path, a protected
    // folder itself and any folder that contains one.
    bool IsTooWide(const char* folder) const;

    // True when folder is one of the Program Files folders (x86 and 64-bit alike).
    bool IsProgramFiles(const char* folder) const;

    // True for a folder of shortcuts: the Start menus and everything below them (the
    // Programs folders and their groups), the Quick Launch and pinned folders, and
    // the desktops themselves. Such a folder is never a program's folder.
    bool IsShortcutFolder(const char* folder) const;

    const std::vector<std::string>& Folders() const { return folders; }

private:
    void Add(const char* path, bool programFiles = false);
    void AddKnownFolders();
    void AddShortcutFolders();
    void AddProfiles();
    void AddProfile(const std::string& profile);

    std::function<void()> between;
    std::vector<std::string> folders;
    std::vector<std::string> programFilesFolders;
    std::vector<std::string> shortcutTrees;    // with everything below them
    std::vector<std::string> shortcutFolders;  // themselves only (the desktops)
};
