#include "ui/PictureLink.h"

#include <shellapi.h>

#include "framework/GdiObjects.h"

CPictureLink::CPictureLink() : pictureLoaded(0)
{
}

void CPictureLink::ShowPicture(int width, int height, UINT resourceId, const char* resourceType)
{
    RECT rect;
    GetWindowRect(&rect);
    HWND parent = GetParent();
    if (parent)
        MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
    ::MoveWindow(m_hWnd, rect.left, rect.top, width, height, TRUE);
    pictureLoaded = picture.LoadFromResource(resourceId, resourceType);
    Invalidate(TRUE);
}

LRESULT CPictureLink::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_PAINT:
        return OnPaint(wParam, lParam);
    case WM_LBUTTONUP:
        if (!linkAddress.empty())
            ShellExecuteA(nullptr, "open", linkAddress.c_str(), nullptr, nullptr, SW_SHOW);
        return CStatic::WindowProc(msg, wParam, lParam);
    default:
        return CStatic::WindowProc(msg, wParam, lParam);
    }
}

// Like the system's static control, a WM_PAINT whose wParam carries a device
// context paints into that context instead of the window's update region.
LRESULT CPictureLink::OnPaint(WPARAM wParam, LPARAM lParam)
{
    if (!pictureLoaded)
        return CStatic::WindowProc(WM_PAINT, wParam, lParam);
    RECT client;
    GetClientRect(&client);
    HDC given = reinterpret_cast<HDC>(wParam);
    if (given) {
        picture.Draw(given, client);
        return 0;
    }
    CPaintDC dc(m_hWnd);
    picture.Draw(dc, client);
    return 0;
}
