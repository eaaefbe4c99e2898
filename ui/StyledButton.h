// An owner-drawn push button that lights up under the pointer and paints every
// state itself: the system's themed push button where visual styles are in use,
// its own rounded gradient face otherwise. Carries an optional icon.
#pragma once
#include <windows.h>

#include "framework/Button.h"
#include "framework/Handles.h"
#include "ui/ButtonFace.h"
#include "ui/VisualStyle.h"

class CStyledButton : public CButton {
public:
    CStyledButton();

    // Loads icon resource firstId (secondId is not used: 0), replacing the icon
    // held. 0 on success or when no icon loads, 1 when its size cannot be read.
    int SetIcons(UINT firstId, UINT secondId);

    // A double click on the button acts as a second click.
    BOOL PreTranslateMessage(MSG* msg) override;
    void DrawItem(DRAWITEMSTRUCT* item) override;

    BOOL Hover() const { return hover; }
    BOOL IsDefault() const { return isDefault; }
    ButtonIcon Icon() const { return ButtonIcon{icon, iconWidth, iconHeight}; }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void PreSubclassWindow() override;

    // Theme class list for themed drawing; null paints the custom face always.
    LPCWSTR themeClassList = nullptr;

private:
    void PaintBackground(HDC dc, const RECT& rect);
    int ThemeState() const;
    void EndHover();
    LRESULT OnMouseMove(WPARAM keys, LPARAM point);
    LRESULT OnKillFocus(WPARAM newFocus, LPARAM lParam);
    LRESULT OnEnable(WPARAM enabling, LPARAM lParam);
    LRESULT OnSetStyle(WPARAM style, LPARAM redraw);

    BOOL hover = FALSE;
    BOOL pressed = FALSE;
    BOOL focused = FALSE;
    BOOL disabled = FALSE;
    BOOL isDefault = FALSE;
    POINT pressOffset = {1, 1};
    COLORREF textColor;
    CVisualStyle* visualStyle;
    OwnedIcon icon;
    DWORD iconWidth = 0;
    DWORD iconHeight = 0;
    // The focus left because the button was being disabled.
    BOOL focusLostToDisabling = FALSE;
};
