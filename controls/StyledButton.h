// An owner-drawn push button that lights up under the pointer and paints every
// state itself: the system's themed push button where visual styles are in use,
// its own rounded gradient face otherwise. Carries an optional icon.
#pragma once
#include <windows.h>

#include "controls/ButtonFace.h"
#include "controls/VisualStyle.h"
#include "framework/Button.h"

class CStyledButton : public CButton {
public:
    CStyledButton();
    ~CStyledButton() override;

    // Loads icon resource firstId (secondId is not used: 0). 0 on success or when
    // no icon loads, 1 when the icon's size cannot be read.
    int SetIcons(UINT firstId, UINT secondId);
    // Destroys the icon when destroy is TRUE; the record is emptied either way.
    void ReleaseImages(BOOL destroy);

    // A double click on the button acts as a second click.
    BOOL PreTranslateMessage(MSG* msg) override;
    void DrawItem(DRAWITEMSTRUCT* item) override;

    BOOL Hover() const { return hover; }
    BOOL IsDefault() const { return isDefault; }
    const ButtonIcon& Icon() const { return icon; }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void PreSubclassWindow() override;

    // The three painting steps of DrawItem, in this order.
    virtual void PaintBackground(HDC dc, const RECT& rect);
    virtual void PaintIcon(HDC dc, BOOL hasCaption, const RECT& item, RECT* caption, BOOL pressed,
                           BOOL disabled);
    virtual void PaintCaption(HDC dc, const char* text, const RECT& item, RECT* caption, BOOL pressed,
                              BOOL disabled);

    void PaintCustomFace(HDC dc, const RECT& rect);
    void EndHover();

    // Theme class list for themed drawing; null paints the custom face always.
    LPCWSTR themeClassList;

    BOOL hover;
    BOOL pressed;
    BOOL focused;
    BOOL disabled;
    BOOL isDefault;
    POINT pressOffset;
    COLORREF textColor;
    CVisualStyle* visualStyle;
    ButtonIcon icon;

private:
    // The focus left because the button was being disabled.
    BOOL focusLostToDisabling;

    bool ThemedDrawingPossible() const;
    int ThemeState() const;
    LRESULT OnMouseMove(WPARAM keys, LPARAM point);
    LRESULT OnKillFocus(WPARAM newFocus, LPARAM lParam);
    LRESULT OnEnable(WPARAM enabling, LPARAM lParam);
    LRESULT OnSetStyle(WPARAM style, LPARAM redraw);
};
