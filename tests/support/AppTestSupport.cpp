#include "support/AppTestSupport.h"

#include <shlobj.h>

#include <cstring>

namespace apptest {

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

std::string ItemText(HWND list, int row, int column)
{
    char buffer[1024] = "";
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = sizeof(buffer);
    SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return buffer;
}

int ItemImage(HWND list, int row)
{
    LVITEMA item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    return item.iImage;
}

bool ItemChecked(HWND list, int row)
{
    UINT state = static_cast<UINT>(SendMessageA(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK));
    return (state >> 12) == 2;
}

int ItemCount(HWND list)
{
    return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

void SelectRow(HWND list, int row)
{
    LVITEMA item = {};
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

void SetChecked(HWND list, int row, bool checked)
{
    LVITEMA item = {};
    item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    item.stateMask = LVIS_STATEIMAGEMASK;
    SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

void DropFiles(HWND target, const std::vector<std::string>& paths)
{
    size_t textSize = 1;
    for (const std::string& path : paths)
        textSize += path.size() + 1;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + textSize);
    char* block = static_cast<char*>(GlobalLock(memory));
    DROPFILES* header = reinterpret_cast<DROPFILES*>(block);
    header->pFiles = sizeof(DROPFILES);
    header->fWide = FALSE;
    char* text = block + sizeof(DROPFILES);
    for (const std::string& path : paths) {
        memcpy(text, path.c_str(), path.size() + 1);
        text += path.size() + 1;
    }
    GlobalUnlock(memory);
    SendMessageA(target, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

void ClickAt(HWND window, int x, int y)
{
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    Pump();
}

RECT RectIn(HWND window, HWND ancestor)
{
    RECT rect;
    GetWindowRect(window, &rect);
    MapWindowPoints(nullptr, ancestor, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::string WindowText(HWND window)
{
    char buffer[1024] = "";
    GetWindowTextA(window, buffer, sizeof(buffer));
    return buffer;
}

}  // namespace apptest
