// CListCtrl: a report-view list control.
#pragma once
#include "framework/Wnd.h"

#include <commctrl.h>

class CListCtrl : public CWnd {
public:
    int InsertColumn(int column, const char* heading, int format, int width);
    int InsertItem(const LVITEMA* item);
    BOOL SetItemText(int index, int subItem, const char* text);
    BOOL DeleteItem(int index);
    BOOL DeleteAllItems();
    int GetItemCount() const;
    int GetNextItem(int start, UINT flags) const;
    BOOL SetItemImage(int index, int image);
    LPARAM GetItemData(int index) const;
    BOOL SortItems(PFNLVCOMPARE compare, LPARAM data);
    // The first visible row and how many rows fit in view.
    int GetTopIndex() const;
    int GetCountPerPage() const;
    // Shows the sort arrow on one column's header (ascending or not), none on the others.
    void ShowSortArrow(int column, bool ascending);
    DWORD SetExtendedStyle(DWORD styles);
    HIMAGELIST SetImageList(HIMAGELIST list, int kind);
};
