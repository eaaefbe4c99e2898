#include "ui/ProductMenu.h"

#include "framework/WinApp.h"
#include "resource.h"

namespace {

void AddItem(HMENU menu, UINT id, UINT textId, bool enabled)
{
    AppendMenuA(menu, MF_STRING | (enabled ? MF_ENABLED : MF_GRAYED), id, LoadStringText(textId).c_str());
}

}  // namespace

HMENU CreateProductMenu(const ProductMenuState& state)
{
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return nullptr;
    const bool act = state.product && state.idle;
    const UINT offered = state.broken ? IDC_DELETE_ENTRY : IDC_UNINSTALL;
    if (state.broken)
        AddItem(menu, IDC_DELETE_ENTRY, IDS_MENU_DELETE_ENTRY, act);
    AddItem(menu, IDC_UNINSTALL, IDS_MENU_UNINSTALL, act);
    if (!state.broken)
        AddItem(menu, IDC_DELETE_ENTRY, IDS_MENU_DELETE_ENTRY, act);
    AddItem(menu, IDC_REFRESH, IDS_MENU_REFRESH, state.idle);
    AddItem(menu, IDC_OPEN_LINK, IDS_MENU_HELP_LINK, act && state.helpLink);
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AddItem(menu, IDM_OPEN_FOLDER, IDS_MENU_OPEN_FOLDER, state.product && state.folder);
    AddItem(menu, IDM_COPY_NAME, IDS_MENU_COPY_NAME, state.product);
    AddItem(menu, IDM_LOCATE_KEY, IDS_MENU_LOCATE_KEY, state.product);
    AddItem(menu, IDM_SMART_UNINSTALL, IDS_MENU_SMART_UNINSTALL, act);
    if (act)
        SetMenuDefaultItem(menu, offered, FALSE);
    return menu;
}
