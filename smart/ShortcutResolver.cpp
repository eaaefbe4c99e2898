#include "smart/ShortcutResolver.h"

#include "framework/AnsiText.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>

namespace {

// Owns the shell-link object and its IPersistFile interface; releases both.
class ShortcutFile {
public:
    ShortcutFile()
    {
        if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                    reinterpret_cast<void**>(&link)))) {
            link = nullptr;
            return;
        }
        if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))))
            file = nullptr;
    }
    ~ShortcutFile()
    {
        if (file)
            file->Release();
        if (link)
            link->Release();
    }
    ShortcutFile(const ShortcutFile&) = delete;
    ShortcutFile& operator=(const ShortcutFile&) = delete;

    bool IsReady() const { return link && file; }

    bool Load(const char* path)
    {
        if (!path || strlen(path) >= MAX_PATH)
            return false;
        wchar_t wide[MAX_PATH];
        if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH) == 0)
            return false;
        return SUCCEEDED(file->Load(wide, STGM_READ));
    }

    IShellLinkA* Link() const { return link; }

private:
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
};

}  // namespace

bool ResolveShortcut(const char* shortcutPath, char* target)
{
    target[0] = '\0';
    ShortcutFile shortcut;
    if (!shortcut.IsReady() || !shortcut.Load(shortcutPath))
        return false;
    // The stored target as it is: no resolving, so a broken shortcut never makes the
    // shell search the disks or track the link to a substitute. Read into a larger
    // buffer so that a target too long for MAX_PATH is seen whole and skipped.
    char stored[4 * MAX_PATH] = "";
    WIN32_FIND_DATAA findData;
    if (FAILED(shortcut.Link()->GetPath(stored, sizeof(stored), &findData, 0)))
        return false;
    stored[sizeof(stored) - 1] = '\0';
    // '?' stands for a character the code page cannot spell: no path to go by.
    if (strchr(stored, '?') || !CopyText(target, MAX_PATH, stored))
        return false;
    return target[0] != '\0';
}

std::string ReadShortcutTarget(const char* shortcutPath)
{
    ShortcutFile shortcut;
    if (!shortcut.IsReady() || !shortcut.Load(shortcutPath))
        return std::string();
    char target[4 * MAX_PATH] = "";
    WIN32_FIND_DATAA findData;
    shortcut.Link()->GetPath(target, sizeof(target), &findData, SLGP_UNCPRIORITY);
    target[sizeof(target) - 1] = '\0';
    // A target too long for a path buffer is no target at all, never a cut one.
    return strlen(target) < MAX_PATH ? target : std::string();
}
