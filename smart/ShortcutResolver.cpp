#include "smart/ShortcutResolver.h"

#include "framework/AnsiText.h"
#include "framework/Handles.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>

namespace {

// The shell-link object loaded from path; empty when there is none or the file is
// not a shortcut.
OwnedInterface<IShellLinkA> LoadShortcut(const char* path)
{
    OwnedInterface<IShellLinkA> link;
    OwnedInterface<IPersistFile> file;
    wchar_t wide[MAX_PATH];
    if (!path || strlen(path) >= MAX_PATH || MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH) == 0 ||
        FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(link.Out()))) ||
        FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Out()))) ||
        FAILED(file->Load(wide, STGM_READ)))
        link.Reset();
    return link;
}

}  // namespace

bool ResolveShortcut(const char* shortcutPath, char* target)
{
    target[0] = '\0';
    OwnedInterface<IShellLinkA> link = LoadShortcut(shortcutPath);
    if (!link)
        return false;
    // The stored target as it is: no resolving, so a broken shortcut never makes the
    // shell search the disks or track the link to a substitute. Read into a larger
    // buffer so that a target too long for MAX_PATH is seen whole and skipped.
    char stored[4 * MAX_PATH] = "";
    WIN32_FIND_DATAA findData;
    if (FAILED(link->GetPath(stored, sizeof(stored), &findData, 0)))
        return false;
    stored[sizeof(stored) - 1] = '\0';
    // '?' stands for a character the code page cannot spell: no path to go by.
    if (strchr(stored, '?') || !CopyText(target, MAX_PATH, stored))
        return false;
    return target[0] != '\0';
}

std::string ReadShortcutTarget(const char* shortcutPath)
{
    OwnedInterface<IShellLinkA> link = LoadShortcut(shortcutPath);
    if (!link)
        return std::string();
    char target[4 * MAX_PATH] = "";
    WIN32_FIND_DATAA findData;
    link->GetPath(target, sizeof(target), &findData, SLGP_UNCPRIORITY);
    target[sizeof(target) - 1] = '\0';
    // A target too long for a path buffer is no target at all, never a cut one.
    return strlen(target) < MAX_PATH ? target : std::string();
}
