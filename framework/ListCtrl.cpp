#include "framework/ListCtrl.h"

#include <shlwapi.h>

int CListCtrl::InsertColumn(int column, const char* heading, int format, int width)
{
    LVCOLUMNA col = {};
    col.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH | LVCF_SUBITEM;
    col.fmt = format;
    col.cx = width;
    col.pszText = const_cast<char*>(heading);
    col.iSubItem = column;
    return static_cast<int>(SendMessage(LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(&col)));
}

int CListCtrl::InsertItem(const LVITEMA* item)
{
    return static_cast<int>(SendMessage(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(item)));
}

BOOL CListCtrl::SetItemText(int index, int subItem, const char* text)
{
    LVITEMA item = {};
    item.iSubItem = subItem;
    item.pszText = const_cast<char*>(text);
    return static_cast<BOOL>(SendMessage(LVM_SETITEMTEXTA, index, reinterpret_cast<LPARAM>(&item)));
}

BOOL CListCtrl::DeleteItem(int index)
{
    return static_cast<BOOL>(SendMessage(LVM_DELETEITEM, index));
}

BOOL CListCtrl::DeleteAllItems()
{
    return static_cast<BOOL>(SendMessage(LVM_DELETEALLITEMS));
}

int CListCtrl::GetItemCount() const
{
    return static_cast<int>(SendMessage(LVM_GETITEMCOUNT));
}

int CListCtrl::GetNextItem(int start, UINT flags) const
{
    return static_cast<int>(SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(start), MAKELPARAM(flags, 0)));
}

LPARAM CListCtrl::GetItemData(int index) const
{
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    if (!SendMessage(LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)))
        return 0;
    return item.lParam;
}

BOOL CListCtrl::SortItems(PFNLVCOMPARE compare, LPARAM data)
{
    return static_cast<BOOL>(SendMessage(LVM_SORTITEMS, static_cast<WPARAM>(data), reinterpret_cast<LPARAM>(compare)));
}

int CListCtrl::GetTopIndex() const
{
    return static_cast<int>(SendMessage(LVM_GETTOPINDEX));
}

int CListCtrl::GetCountPerPage() const
{
    return static_cast<int>(SendMessage(LVM_GETCOUNTPERPAGE));
}

namespace {

// Whether the header is common controls 6's, which draws sort arrows: the library
// whose class it is (a program may have both loaded) reports version 6, or registers
// the SysLink class, which only version 6 has (Wine's version 6 reports 5).
bool DrawsSortArrows(HWND header)
{
    HMODULE library = header ? reinterpret_cast<HMODULE>(GetClassLongPtrA(header, GCLP_HMODULE)) : nullptr;
    if (!library)
        return false;
    WNDCLASSA linkClass = {};
    if (GetClassInfoA(library, "SysLink", &linkClass))
        return true;
    FARPROC proc = GetProcAddress(library, "DllGetVersion");
    DLLVERSIONINFO version = {};
    version.cbSize = sizeof(version);
    auto getVersion = reinterpret_cast<HRESULT(CALLBACK*)(DLLVERSIONINFO*)>(reinterpret_cast<void (*)()>(proc));
    return proc && SUCCEEDED(getVersion(&version)) && version.dwMajorVersion >= 6;
}

}  // namespace

void CListCtrl::ShowSortArrow(int column, bool ascending)
{
    ShowSortArrow(column, ascending, DrawsSortArrows(reinterpret_cast<HWND>(SendMessage(LVM_GETHEADER, 0, 0))));
}

void CListCtrl::ShowSortArrow(int column, bool ascending, bool headerDrawsArrows)
{
    HWND header = reinterpret_cast<HWND>(SendMessage(LVM_GETHEADER, 0, 0));
    int count = header ? static_cast<int>(::SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
    for (int i = 0; i < count; ++i) {
        HDITEMA item = {};
        item.mask = HDI_FORMAT;
        ::SendMessageA(header, HDM_GETITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        item.mask = HDI_FORMAT | HDI_BITMAP;
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN | HDF_BITMAP | HDF_BITMAP_ON_RIGHT);
        item.hbm = nullptr;
        if (i == column && headerDrawsArrows)
            item.fmt |= ascending ? HDF_SORTUP : HDF_SORTDOWN;
        else if (i == column && (item.hbm = SortArrow(ascending)) != nullptr)
            item.fmt |= HDF_BITMAP | HDF_BITMAP_ON_RIGHT;
        ::SendMessageA(header, HDM_SETITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    }
}

// A small triangle in the shadow colour on the header's face, pointing up for
// ascending, as the system's own arrow.
HBITMAP CListCtrl::SortArrow(bool ascending)
{
    OwnedGdi<HBITMAP>& arrow = sortArrows[ascending ? 1 : 0];
    if (arrow)
        return arrow;
    const int width = 9, height = 5;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    arrow.Reset(CreateCompatibleBitmap(screen, width, height));
    ReleaseDC(nullptr, screen);
    if (dc && arrow) {
        HGDIOBJ before = SelectObject(dc, arrow);
        RECT whole = {0, 0, width, height};
        FillRect(dc, &whole, GetSysColorBrush(COLOR_BTNFACE));
        for (int row = 0; row < height; ++row) {
            // Ascending: one pixel at the top, the full width at the bottom.
            const int half = ascending ? row : height - 1 - row;
            RECT line = {width / 2 - half, row, width / 2 + half + 1, row + 1};
            FillRect(dc, &line, GetSysColorBrush(COLOR_BTNSHADOW));
        }
        SelectObject(dc, before);
    }
    if (dc)
        DeleteDC(dc);
    return arrow;
}

BOOL CListCtrl::SetItemImage(int index, int image)
{
    LVITEMA item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = index;
    item.iImage = image;
    return static_cast<BOOL>(SendMessage(LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

DWORD CListCtrl::SetExtendedStyle(DWORD styles)
{
    return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, styles));
}

HIMAGELIST CListCtrl::SetImageList(HIMAGELIST list, int kind)
{
    return reinterpret_cast<HIMAGELIST>(SendMessage(LVM_SETIMAGELIST, kind, reinterpret_cast<LPARAM>(list)));
}

LRESULT CCheckListCtrl::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == LVM_SETITEMSTATE && checks && lParam)
        return OnSetItemState(wParam, reinterpret_cast<const LVITEMA*>(lParam));
    return CListCtrl::WindowProc(msg, wParam, lParam);
}

// Only the two check images tick and untick; any other image (none) is refused and
// the owner's checks stay. Only state and stateMask are read: they sit alike in the
// A and W forms and in the older, shorter structure callers may pass.
LRESULT CCheckListCtrl::OnSetItemState(WPARAM row, const LVITEMA* item)
{
    if (!(item->stateMask & LVIS_STATEIMAGEMASK))
        return DefWindowProc(LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(item));
    const UINT image = (item->state & LVIS_STATEIMAGEMASK) >> 12;
    const bool checkSet = (image == 1 || image == 2) && checks->SetRowCheck(static_cast<int>(row), image == 2);
    LVITEMA others = {};
    others.state = item->state;
    others.stateMask = item->stateMask & ~LVIS_STATEIMAGEMASK;
    if (!others.stateMask)
        return checkSet;
    const LRESULT othersSet = DefWindowProc(LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&others));
    return checkSet && othersSet;
}
