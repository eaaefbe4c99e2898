// Owned GDI objects and device contexts, released on every path.
#pragma once
#include "framework/Handles.h"

class CBrush : public OwnedGdi<HBRUSH> {
public:
    CBrush() = default;
    explicit CBrush(COLORREF color) { CreateSolidBrush(color); }

    BOOL CreateSolidBrush(COLORREF color)
    {
        Reset(::CreateSolidBrush(color));
        return Get() != nullptr;
    }
    void DeleteObject() { Reset(); }
    HBRUSH GetSafeHandle() const { return Get(); }
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
