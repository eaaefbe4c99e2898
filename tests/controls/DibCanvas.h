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
    DibCanvas(int width, int height) : width(width), height(height)
    {
        BITMAPINFO info = {{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
        bitmap.Reset(CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0));
        old = SelectObject(dc, bitmap);
        if (bits)
            std::fill(bits, bits + width * height, 0x010203);  // BACKGROUND as a DIB pixel
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
    // How many pixels of area hit(x, y) holds for.
    template <typename Hit>
    int Count(const RECT& area, Hit hit) const
    {
        int count = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                count += hit(x, y) ? 1 : 0;
        return count;
    }
    int CountNot(const RECT& area, COLORREF colour) const
    {
        return Count(area, [&](int x, int y) { return At(x, y) != colour; });
    }
    int Differences(const DibCanvas& other) const
    {
        return Count(Whole(), [&](int x, int y) { return At(x, y) != other.At(x, y); });
    }
    // The bounding box of what was painted over the background (right -1 when nothing).
    RECT Painted() const
    {
        RECT box = {width, height, -1, -1};
        Count(Whole(), [&](int x, int y) {
            if (At(x, y) != BACKGROUND)
                box = {std::min<LONG>(box.left, x), std::min<LONG>(box.top, y), std::max<LONG>(box.right, x + 1),
                       std::max<LONG>(box.bottom, y + 1)};
            return false;
        });
        return box;
    }

private:
    int width, height;
    Owned<HDC, DeleteDcHandle> dc{CreateCompatibleDC(nullptr)};
    OwnedGdi<HBITMAP> bitmap;
    HGDIOBJ old = nullptr;
    DWORD* bits = nullptr;
};

inline bool operator==(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }
