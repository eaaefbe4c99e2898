#include "ui/PageBackground.h"

#include "framework/GdiObjects.h"

void PaintPageBackground(HWND window, HDC dc)
{
    RECT client;
    GetClientRect(window, &client);
    OwnedGdi<HBRUSH> brush(CreateSolidBrush(PAGE_BACKGROUND_COLOR));
    OwnedGdi<HPEN> pen(CreatePen(PS_SOLID, 1, PAGE_FRAME_COLOR));
    SelectedObject selectedBrush(dc, brush);
    SelectedObject selectedPen(dc, pen);
    Rectangle(dc, client.left, client.top, client.right, client.bottom);
}
