#include "ui/ButtonFace.h"

#include "framework/GdiObjects.h"

namespace {

struct FaceColours {
    COLORREF ring1;
    COLORREF ring2;
    COLORREF body1;
    COLORREF body2;
    int bodyInset;
};

// Later conditions override what the earlier ones set.
FaceColours ChooseFaceColours(const ButtonFaceState& state)
{
    FaceColours colours = {RGB(255, 255, 255), RGB(226, 223, 214), RGB(252, 252, 251),
                           RGB(236, 235, 230), 2};
    if (state.focused || state.isDefault) {
        colours.ring1 = RGB(206, 231, 255);
        colours.ring2 = RGB(105, 130, 238);
        colours.bodyInset = 4;
    }
    if (state.hover) {
        colours.ring1 = RGB(255, 240, 207);
        colours.ring2 = RGB(229, 151, 0);
        colours.bodyInset = 4;
    }
    if (state.pressed)
        colours = {RGB(209, 204, 193), RGB(242, 241, 238), RGB(229, 228, 221), RGB(226, 226, 218), 4};
    if (state.disabled) {
        const COLORREF flat = RGB(245, 244, 234);
        colours = {flat, flat, flat, flat, 4};
    }
    return colours;
}

TRIVERTEX Vertex(int x, int y, COLORREF colour)
{
    TRIVERTEX vertex;
    vertex.x = x;
    vertex.y = y;
    vertex.Red = static_cast<COLOR16>(GetRValue(colour) << 8);
    vertex.Green = static_cast<COLOR16>(GetGValue(colour) << 8);
    vertex.Blue = static_cast<COLOR16>(GetBValue(colour) << 8);
    vertex.Alpha = 0;
    return vertex;
}

// Top-to-bottom gradient over left..right x top..bottom.
void VerticalGradient(HDC dc, int left, int top, COLORREF topColour, int right, int bottom,
                      COLORREF bottomColour)
{
    TRIVERTEX vertices[2] = {Vertex(left, top, topColour), Vertex(right, bottom, bottomColour)};
    GRADIENT_RECT mesh = {0, 1};
    GradientFill(dc, vertices, 2, &mesh, 1, GRADIENT_FILL_RECT_V);
}

void Line(HDC dc, int x1, int y1, int x2, int y2, COLORREF colour)
{
    OwnedGdi<HPEN> pen(CreatePen(PS_SOLID, 1, colour));
    SelectedObject selected(dc, pen);
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
}

void Outline(HDC dc, const RECT& rect, int corner, COLORREF colour)
{
    OwnedGdi<HPEN> pen(CreatePen(PS_SOLID, 1, colour));
    SelectedObject selected(dc, pen);
    RoundRect(dc, rect.left, rect.top, rect.right, rect.bottom, corner, corner);
}

// The sunken groove behind the face, drawn only for an enabled button.
void PaintGroove(HDC dc, const RECT& rect)
{
    const int l = rect.left, t = rect.top, r = rect.right, b = rect.bottom;
    Line(dc, l, t + 1, l, b - 1, RGB(226, 222, 203));
    Line(dc, l + 2, b - 1, r - 1, b - 1, RGB(248, 247, 242));
    VerticalGradient(dc, l + 1, t, RGB(220, 214, 194), r, b - 1, RGB(245, 244, 235));
}

}  // namespace

void PaintCustomFace(HDC dc, const RECT& rect, const ButtonFaceState& state)
{
    const int l = rect.left, t = rect.top, r = rect.right, b = rect.bottom;
    const int saved = SaveDC(dc);
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    const COLORREF corner = GetPixel(dc, r - 1, t);

    if (!state.disabled)
        PaintGroove(dc, rect);

    const FaceColours colours = ChooseFaceColours(state);
    VerticalGradient(dc, l + 2, t + 2, colours.ring1, r - 2, b - 2, colours.ring2);
    VerticalGradient(dc, l + colours.bodyInset, t + 4, colours.body1, r - 4, b - 4, colours.body2);

    if (state.focused) {
        RECT focus = rect;
        InflateRect(&focus, -3, -3);
        DrawFocusRect(dc, &focus);
    }

    RECT outline = rect;
    InflateRect(&outline, -1, -1);
    const bool enabled = !state.disabled;
    Outline(dc, outline, 4, enabled ? RGB(122, 149, 168) : RGB(216, 213, 199));
    Outline(dc, outline, 6, enabled ? RGB(0, 60, 116) : RGB(201, 199, 186));

    if (corner != CLR_INVALID)
        SetPixel(dc, r - 1, t, corner);
    RestoreDC(dc, saved);
}

void PaintButtonCaption(HDC dc, const char* text, RECT caption, BOOL pressed, BOOL disabled,
                        COLORREF textColor, POINT pressOffset)
{
    if (pressed)
        OffsetRect(&caption, pressOffset.x, pressOffset.y);

    RECT measured = caption;
    DrawTextA(dc, text, -1, &measured, DT_CALCRECT | DT_WORDBREAK | DT_CENTER);
    OffsetRect(&measured, ((caption.right - caption.left) - (measured.right - measured.left)) / 2,
               ((caption.bottom - caption.top) - (measured.bottom - measured.top)) / 2);
    caption = measured;

    SetBkMode(dc, TRANSPARENT);
    const COLORREF previous = GetTextColor(dc);
    if (disabled) {
        OffsetRect(&caption, 1, 1);
        SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
        DrawTextA(dc, text, -1, &caption, DT_WORDBREAK | DT_CENTER);
        OffsetRect(&caption, -1, -1);
        SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
        DrawTextA(dc, text, -1, &caption, DT_WORDBREAK | DT_CENTER);
    } else {
        SetTextColor(dc, textColor);
        DrawTextA(dc, text, -1, &caption, DT_WORDBREAK | DT_CENTER);
    }
    SetTextColor(dc, previous);
}

void PaintButtonIcon(HDC dc, const ButtonIcon& icon, BOOL hasCaption, const RECT& item,
                     RECT* caption, BOOL pressed, BOOL disabled, POINT pressOffset)
{
    if (!icon.icon)
        return;
    const int width = static_cast<int>(icon.width);
    const int height = static_cast<int>(icon.height);
    RECT image = item;
    image.top += ((item.bottom - item.top) - height) / 2;
    if (hasCaption) {
        // Icon at the left, the caption in the space to its right.
        const int margin = 3;
        image.left += margin;
        if (caption)
            caption->left = image.left + width;
    } else {
        image.left += ((item.right - item.left) - width) / 2;
    }
    if (pressed)
        OffsetRect(&image, pressOffset.x, pressOffset.y);

    const UINT flags = DST_ICON | (disabled ? DSS_DISABLED : 0);
    DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(icon.icon), 0, image.left, image.top,
               image.right - image.left, image.bottom - image.top, flags);
}
