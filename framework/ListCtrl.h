// CListCtrl: a report-view list control.
#pragma once
#include "framework/Handles.h"
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
    // Shows the sort arrow on one column's header (ascending or not), none on the
    // others: the header's own where it draws one (common controls 6), else a bitmap
    // of the list's on the header item's right.
    void ShowSortArrow(int column, bool ascending);
    void ShowSortArrow(int column, bool ascending, bool headerDrawsArrows);
    DWORD SetExtendedStyle(DWORD styles);
    HIMAGELIST SetImageList(HIMAGELIST list, int kind);

private:
    HBITMAP SortArrow(bool ascending);

    OwnedGdi<HBITMAP> sortArrows[2];  // drawn on first use: descending, ascending
};

// Keeps the checks of a CCheckListCtrl's rows.
class CRowChecks {
public:
    virtual ~CRowChecks() = default;
    // Ticks or unticks row, or every row for -1, as a click does; false when there is
    // no such row.
    virtual bool SetRowCheck(int row, bool checked) = 0;
};

// A list whose check boxes are its owner's (an owner-data list that asks for them
// with LVM_SETCALLBACKMASK and LVIS_STATEIMAGEMASK): the standard state message that
// ticks rows (ListView_SetCheckState, ListView_SetItemState; accessibility and
// automation tools send it) goes to the owner, every other state bit to the list.
// The list reads the checks back from the owner as it draws them.
class CCheckListCtrl : public CListCtrl {
public:
    void SetRowChecks(CRowChecks* owner) { checks = owner; }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    LRESULT OnSetItemState(WPARAM row, const LVITEMA* item);

    CRowChecks* checks = nullptr;
};
