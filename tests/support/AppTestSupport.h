// Helpers for the window tests: pumping, list-view reads and writes, string
// resources, shell drops.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "framework/AnsiText.h"
#include "framework/Handles.h"
#include "framework/WinApp.h"
#include "machine/ShellFolders.h"
#include "support/DibCanvas.h"

namespace apptest {

// Dispatches every pending message of this thread.
inline void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Dispatches this thread's messages, waiting for more, until done() holds or
// timeoutMs have passed; whether done() came.
template <typename Done>
bool PumpUntil(Done done, DWORD timeoutMs)
{
    for (const DWORD start = GetTickCount(); !done(); MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT)) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Pump();
    }
    return true;
}

inline std::string WindowText(HWND window)
{
    char buffer[2048] = "";
    GetWindowTextA(window, buffer, sizeof(buffer));
    return buffer;
}

inline std::string ItemText(HWND list, int row, int column)
{
    char buffer[1024] = "";
    ListView_GetItemText(list, row, column, buffer, sizeof(buffer));
    return buffer;
}

inline int ItemImage(HWND list, int row)
{
    LVITEMA item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    ListView_GetItem(list, &item);
    return item.iImage;
}

inline int ItemCount(HWND list) { return ListView_GetItemCount(list); }
// The first column's text of every row, top to bottom.
inline std::vector<std::string> ColumnTexts(HWND list)
{
    std::vector<std::string> texts;
    for (int row = 0; row < ItemCount(list); ++row)
        texts.push_back(ItemText(list, row, 0));
    return texts;
}
// The first row whose first column reads text, or -1.
inline int FindRow(HWND list, const std::string& text)
{
    const std::vector<std::string> texts = ColumnTexts(list);
    const auto found = std::find(texts.begin(), texts.end(), text);
    return found == texts.end() ? -1 : static_cast<int>(found - texts.begin());
}
inline bool ItemChecked(HWND list, int row) { return ListView_GetCheckState(list, row) == 1; }
inline void SelectRow(HWND list, int row)
{
    ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}
// Selects exactly these rows, the first one focused, as a user's ctrl-clicks leave them.
inline void SelectOnly(HWND list, std::initializer_list<int> rows)
{
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (int row : rows)
        ListView_SetItemState(list, row, LVIS_SELECTED, LVIS_SELECTED);
    ListView_SetItemState(list, *rows.begin(), LVIS_FOCUSED, LVIS_FOCUSED);
}
inline void PressSpace(HWND list)
{
    SendMessageA(list, WM_KEYDOWN, VK_SPACE, 0x00390001);
    SendMessageA(list, WM_CHAR, ' ', 0x00390001);
    SendMessageA(list, WM_KEYUP, VK_SPACE, 0xC0390001);
}
// A click on a column's header, as the mouse gives it.
inline bool ClickHeader(HWND list, int column)
{
    HWND header = ListView_GetHeader(list);
    RECT rect = {};
    if (!Header_GetItemRect(header, column, &rect))
        return false;
    LPARAM point = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    SendMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, point);
    SendMessageA(header, WM_LBUTTONUP, 0, point);
    return true;
}
// A left click on the row's check box, found by hit testing along the row.
inline bool ClickCheckBox(HWND list, int row)
{
    ListView_EnsureVisible(list, row, FALSE);
    RECT bounds = {};
    ListView_GetItemRect(list, row, &bounds, LVIR_BOUNDS);
    for (LONG x = bounds.left; x < bounds.left + 40; ++x) {
        LVHITTESTINFO hit = {};
        hit.pt = {x, (bounds.top + bounds.bottom) / 2};
        if (ListView_HitTest(list, &hit) != row || !(hit.flags & LVHT_ONITEMSTATEICON))
            continue;
        const LPARAM point = MAKELPARAM(hit.pt.x, hit.pt.y);
        SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, point);
        SendMessageA(list, WM_LBUTTONUP, 0, point);
        return true;
    }
    return false;
}

// A string resource filled in like printf.
template <typename... Args>
std::string FormatString(UINT id, Args... args)
{
    char text[1024] = "";
    FormatText(text, sizeof(text), LoadStringText(id).c_str(), args...);
    return text;
}

// Sends WM_DROPFILES with the given paths, as the shell does.
inline void DropFiles(HWND target, const std::vector<std::string>& paths)
{
    std::string names;
    for (const std::string& path : paths)
        names += path + '\0';
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + names.size() + 1);
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    memcpy(header + 1, names.data(), names.size());
    GlobalUnlock(memory);
    SendMessageA(target, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

// The pixels an image list draws for one of its images: what a row shows.
inline std::vector<COLORREF> ImagePixels(HIMAGELIST images, int index)
{
    int width = 0, height = 0;
    ImageList_GetIconSize(images, &width, &height);
    DibCanvas canvas(width, height);
    ImageList_Draw(images, index, canvas.Dc(), 0, 0, ILD_NORMAL);
    std::vector<COLORREF> pixels;
    canvas.Count(canvas.Whole(), [&](int x, int y) { return pixels.push_back(canvas.At(x, y)), false; });
    return pixels;
}

// An icon's pixels as an image list of size x size draws it; none for no icon.
inline std::vector<COLORREF> IconPixels(HICON icon, int size)
{
    OwnedImageList images(ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 1, 1));
    if (!icon || ImageList_ReplaceIcon(images, -1, icon) != 0)
        return {};
    return ImagePixels(images, 0);
}

// The running test program, a file with the icons of the resource script it links.
inline std::string ThisProgram()
{
    char module[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    const char* slash = FindLastCharDbcs(module, '\\');
    return machine::ExecutableFolder() + "\\" + (slash ? slash + 1 : module);
}

}  // namespace apptest
