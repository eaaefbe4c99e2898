// A 32-bit top-down DIB section selected into a memory DC, for reading back
// exactly what a paint produced.
#pragma once
#include <windows.h>

#include <algorithm>

#include "framework/Handles.h"

const COLORREF BACKGROUND = RGB(1, 2, 3);

inline void DeleteDcHandle(HDC dc) { DeleteDC(dc); }

class DibCanvas {
public:
    DibCanvas(int width, int height) : width(width), height(height), dc(CreateCompatibleDC(nullptr))
    {
        BITMAPINFO info = {{static_cast<DWORD>(sizeof(BITMAPINFOHEADER)), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
        bitmap.Reset(CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0));
        old = SelectObject(dc, bitmap);
        for (int i = 0; bits && i < width * height; ++i)
            bits[i] = (GetRValue(BACKGROUND) << 16) | (GetGValue(BACKGROUND) << 8) | GetBValue(BACKGROUND);
    }
    ~DibCanvas() { SelectObject(dc, old); }

    HDC Dc() const { return dc; }
    RECT Whole() const { return RECT{0, 0, width, height}; }
    // The colour at (x, y); CLR_INVALID outside the canvas.
    COLORREF At(int x, int y) const
    {
        if (!bits || x < 0 || y < 0 || x >= width || y >= height)
            return CLR_INVALID;
        GdiFlush();
        const DWORD pixel = bits[y * width + x];
        return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
    }
    // The pixels of area for which hit(x, y) holds, and their bounding box (right -1 when none).
    template <typename Hit>
    int Count(const RECT& area, Hit hit) const
    {
        int count = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                count += hit(x, y) ? 1 : 0;
        return count;
    }
    template <typename Hit>
    RECT Bounds(Hit hit) const
    {
        RECT box = {width, height, -1, -1};
        Count(Whole(), [&](int x, int y) {
            if (hit(x, y))
                box = {std::min<LONG>(box.left, x), std::min<LONG>(box.top, y), std::max<LONG>(box.right, x + 1),
                       std::max<LONG>(box.bottom, y + 1)};
            return false;
        });
        return box;
    }
    int CountNot(const RECT& area, COLORREF colour) const
    {
        return Count(area, [&](int x, int y) { return At(x, y) != colour; });
    }
    RECT Painted() const
    {
        return Bounds([&](int x, int y) { return At(x, y) != BACKGROUND; });
    }
    int Differences(const DibCanvas& other) const
    {
        return Count(Whole(), [&](int x, int y) { return At(x, y) != other.At(x, y); });
    }

private:
    int width;
    int height;
    Owned<HDC, DeleteDcHandle> dc;
    OwnedGdi<HBITMAP> bitmap;
    HGDIOBJ old = nullptr;
    DWORD* bits = nullptr;
};

inline bool operator==(const RECT& a, const RECT& b)
{
    return EqualRect(&a, &b) != FALSE;
}

inline RECT Shifted(RECT rect, int dx, int dy)
{
    OffsetRect(&rect, dx, dy);
    return rect;
}
