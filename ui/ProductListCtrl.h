// The quick page's list of products: an owner-data list whose rows the page keeps.
// Typing a character in it starts a search in the filter field, and Ctrl+F goes
// there too, instead of the list's own jump to a row by its first letters.
#pragma once
#include "framework/ListCtrl.h"

class CProductListCtrl : public CListCtrl {
public:
    void SetFilterField(HWND field) { filterField = field; }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    HWND filterField = nullptr;
};
