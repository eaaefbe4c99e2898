#include "smart/ShortcutResolver.h"

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
    if (FAILED(shortcut.Link()->Resolve(nullptr, SLR_NO_UI | SLR_ANY_MATCH)))
        return false;
    WIN32_FIND_DATAA findData;
    if (FAILED(shortcut.Link()->GetPath(target, MAX_PATH, &findData, 0))) {
        target[0] = '\0';
        return false;
    }
    target[MAX_PATH - 1] = '\0';
    return target[0] != '\0';
}

std::string ReadShortcutTarget(const char* shortcutPath)
{
    ShortcutFile shortcut;
    if (!shortcut.IsReady() || !shortcut.Load(shortcutPath))
        return std::string();
    char target[MAX_PATH] = "";
    WIN32_FIND_DATAA findData;
    shortcut.Link()->GetPath(target, MAX_PATH, &findData, SLGP_UNCPRIORITY);
    target[MAX_PATH - 1] = '\0';
    return target;
}
