// The quick page with what leaves the program recorded instead (the context menu's
// choice, the folder opened, the registry editor started, the export's file name),
// in a host that keeps what the page posts to it.
#pragma once
#include "support/AppTestSupport.h"
#include "ui/PrivateMessages.h"
#include "ui/QuickUninstallPage.h"

#include <string>
#include <vector>

namespace quicktest {

// One item of a menu as shown.
struct MenuItem {
    UINT id;
    std::string text;
    bool enabled;
    bool byDefault;
};

class ProbedQuickPage : public CQuickUninstallPage {
public:
    // The menu the last TrackMenu showed, and where.
    std::vector<MenuItem> menu;
    POINT menuAt = {};
    UINT menuChoice = 0;  // what the user picks from the next menu
    // Folders opened, with the root of their product; registry editors started.
    std::vector<std::pair<std::string, HKEY>> folders;
    bool openFolders = false;  // let OpenFolder run for real
    std::vector<std::string> editors;
    std::string exportPath;  // the export's file; empty: the user cancels
    std::vector<std::string> commands;  // uninstall commands started


protected:
    UINT TrackMenu(HMENU shown, POINT at) override
    {
        menu.clear();
        menuAt = at;
        const UINT byDefault = GetMenuDefaultItem(shown, FALSE, 0);
        for (int i = 0; i < GetMenuItemCount(shown); ++i) {
            char text[128] = "";
            GetMenuStringA(shown, i, text, sizeof(text), MF_BYPOSITION);
            const UINT id = GetMenuItemID(shown, i);
            const bool enabled = !(GetMenuState(shown, i, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED));
            menu.push_back(MenuItem{id, text, enabled, id == byDefault});
        }
        return menuChoice;
    }
    CommandStart OpenFolder(const char* folder, HKEY root) override
    {
        folders.emplace_back(folder, root);
        return openFolders ? CQuickUninstallPage::OpenFolder(folder, root) : COMMAND_STARTED;
    }
    bool StartRegistryEditor(const std::string& program) override
    {
        editors.push_back(program);
        return true;
    }
    bool PickExportFile(std::string* path) override
    {
        *path = exportPath;
        return !exportPath.empty();
    }
    CommandStart RunUninstallCommand(const char* command, HKEY) override
    {
        commands.push_back(command);
        return COMMAND_STARTED;
    }
    CommandStart StartWatchedUninstall(const char* command) override
    {
        commands.push_back(command);
        return COMMAND_STARTED;
    }
};

// Keeps the products the page asks to have analysed, and answers the uninstall
// messages as the main window does (without screening).
class ProbeHost : public CWnd {
public:
    std::vector<UninstallClues> analysed;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_ANALYZE_PRODUCT)
            analysed.push_back(*reinterpret_cast<const UninstallClues*>(lParam));
        return CWnd::WindowProc(msg, wParam, lParam);
    }
};

// A key pressed with Ctrl held (or not) as the system delivers it to the window with
// the focus: first to the framework windows' PreTranslateMessage, then dispatched.
inline void PressKey(HWND window, UINT key, bool control)
{
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = control ? 0x80 : 0;
    SetKeyboardState(keys);
    MSG msg = {window, WM_KEYDOWN, key, 1, 0, {0, 0}};
    if (!CWnd::WalkPreTranslateTree(GetAncestor(window, GA_ROOT), &msg)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    apptest::Pump();
}

}  // namespace quicktest
