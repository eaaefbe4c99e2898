// Painting of the owner-drawn push button: the rounded custom face, the caption
// and the icon. Free functions on a device context, so the button's look can be
// painted (and checked) anywhere, with or without a button window.
#pragma once
#include <windows.h>

struct ButtonFaceState {
    BOOL hover;
    BOOL pressed;
    BOOL focused;
    BOOL disabled;
    BOOL isDefault;
};

// The button's icon: the handle (owned by the button) and its size in pixels.
struct ButtonIcon {
    HICON icon;
    DWORD width;
    DWORD height;
};

// Rounded face with vertical gradients over the whole item rectangle. The pixel at
// the top-right corner keeps the colour it had before.
void PaintCustomFace(HDC dc, const RECT& rect, const ButtonFaceState& state);

// Caption centred (word-wrapped) in `caption`, shifted by pressOffset while pressed,
// embossed in the system's highlight and shadow colours while disabled.
void PaintButtonCaption(HDC dc, const char* text, RECT caption, BOOL pressed, BOOL disabled,
                        COLORREF textColor, POINT pressOffset);

// Icon centred in `item` (no caption) or at the left of it, vertically centred,
// with `caption` then starting right of the icon. Shifted by pressOffset while
// pressed, drawn with the disabled effect while disabled.
void PaintButtonIcon(HDC dc, const ButtonIcon& icon, BOOL hasCaption, const RECT& item,
                     RECT* caption, BOOL pressed, BOOL disabled, POINT pressOffset);
