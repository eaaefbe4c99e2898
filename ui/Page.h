// What the three pages of the main window do alike: a dialog from a child template
// on the framed light-blue background, its static texts drawn on that background,
// its buttons' clicks handed to one handler, and its message boxes.
#pragma once
#include "framework/Dialog.h"
#include "framework/GdiObjects.h"
#include "framework/ListCtrl.h"

#include <initializer_list>
#include <string>

class CPage : public CDialog {
public:
    explicit CPage(UINT templateId);

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT ctlType) override;

    // A click on button id; false when the page has nothing to do for it.
    virtual bool OnClicked(UINT id) = 0;
    // A row of the page's owner-data list (IDC_LIST) asks for what it shows.
    virtual void OnGetRowInfo(LVITEMA*) {}
    // A notification of the page's list (IDC_LIST), its result preset to 0; false
    // when not handled.
    virtual bool OnListNotify(NMHDR*, LRESULT*) { return false; }
    // Message boxes, overridable so tests can see the question asked.
    virtual int ShowMessage(UINT stringId, UINT type);
    int ShowMessageText(const std::string& text, UINT type);
    // The string formatId with subject in place of its %s ("" when it does not fit).
    static std::string FormatString(UINT formatId, const char* subject);

    // Binds each object to the control of its id (DoDataExchange's controls).
    struct ControlBinding {
        int id;
        CWnd& control;
    };
    static void BindControls(CDataExchange* dx, std::initializer_list<ControlBinding> controls);
    // A report list's columns, left-aligned, headed by strings of the table.
    struct ListColumn {
        UINT headingId;
        int width;  // pixels
    };
    static void AddColumns(CListCtrl& list, std::initializer_list<ListColumn> columns);

private:
    CBrush backgroundBrush;
};
