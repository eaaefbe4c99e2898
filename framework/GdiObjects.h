// Owned GDI objects and device contexts, released on every path.
#pragma once
#include <windows.h>

class CBrush {
public:
    CBrush() = default;
    explicit CBrush(COLORREF color) { CreateSolidBrush(color); }
    ~CBrush() { DeleteObject(); }
    CBrush(const CBrush&) = delete;
    CBrush& operator=(const CBrush&) = delete;

    BOOL CreateSolidBrush(COLORREF color)
    {
        DeleteObject();
        brush = ::CreateSolidBrush(color);
        return brush != nullptr;
    }
    void DeleteObject()
    {
        if (brush)
            ::DeleteObject(brush);
        brush = nullptr;
    }
    HBRUSH GetSafeHandle() const { return brush; }
    operator HBRUSH() const { return brush; }

private:
    HBRUSH brush = nullptr;
};

// BeginPaint / EndPaint for one WM_PAINT.
class CPaintDC {
public:
    explicit CPaintDC(HWND hwnd) : window(hwnd) { dc = BeginPaint(hwnd, &paint); }
    ~CPaintDC() { EndPaint(window, &paint); }
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    HDC GetSafeHdc() const { return dc; }
    operator HDC() const { return dc; }

private:
    HWND window;
    PAINTSTRUCT paint = {};
    HDC dc = nullptr;
};

// Selects a GDI object into a device context and restores the previous one.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc(dc), previous(SelectObject(dc, object)) {}
    ~SelectedObject() { SelectObject(dc, previous); }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc;
    HGDIOBJ previous;
};
