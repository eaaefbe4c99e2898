#include "ui/DesktopActions.h"

#include "backup/KeyWithoutLinks.h"
#include "framework/Handles.h"

#include <cstring>
#include <string>

namespace {

// Where the registry editor keeps the key it last showed.
const wchar_t REGEDIT_SETTINGS_KEY[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit";

}  // namespace

// The clipboard owns the copy once it took it.
bool CopyTextToClipboard(HWND owner, const char* text)
{
    if (!OpenClipboard(owner))
        return false;
    const size_t size = strlen(text) + 1;
    OwnedGlobal copy(GlobalAlloc(GMEM_MOVEABLE, size));
    void* bytes = copy ? GlobalLock(copy) : nullptr;
    bool taken = false;
    if (bytes) {
        memcpy(bytes, text, size);
        GlobalUnlock(copy);
        taken = EmptyClipboard() && SetClipboardData(CF_TEXT, copy);
        if (taken)
            copy.Release();
    }
    CloseClipboard();
    return taken;
}

bool SetRegistryEditorKey(HKEY root, const char* keyPath)
{
    const std::string key =
        std::string(root == HKEY_CURRENT_USER ? "HKEY_CURRENT_USER\\" : "HKEY_LOCAL_MACHINE\\") + keyPath;
    OwnedKey settings;
    return OpenKeyWithoutLinks(HKEY_CURRENT_USER, REGEDIT_SETTINGS_KEY, KEY_SET_VALUE, &settings) &&
           RegSetValueExA(settings, "LastKey", 0, REG_SZ, reinterpret_cast<const BYTE*>(key.c_str()),
                          static_cast<DWORD>(key.size() + 1)) == ERROR_SUCCESS;
}
