// A 32-bit DIB section selected into a memory DC and filled with BACKGROUND, for
// reading back exactly what a paint produced.
#pragma once
#include <windows.h>

#include <algorithm>

#include "framework/Handles.h"

const COLORREF BACKGROUND = RGB(1, 2, 3);

class DibCanvas {
public:
    DibCanvas(int width, int height) : width(width), height(height)
    {
        BITMAPINFO info = {{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
        void* bits = nullptr;
        bitmap.Reset(CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        old = SelectObject(dc, bitmap);
        const RECT whole = Whole();
        FillRect(dc, &whole, OwnedGdi<HBRUSH>(CreateSolidBrush(BACKGROUND)));
    }
    ~DibCanvas() { SelectObject(dc, old), DeleteDC(dc); }

    HDC Dc() const { return dc; }
    RECT Whole() const { return RECT{0, 0, width, height}; }
    COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
    // How many pixels of area hit(x, y) holds for, and the bounding box of those on
    // the whole canvas (right -1 when none).
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
    int Differences(const DibCanvas& other) const
    {
        return Count(Whole(), [&](int x, int y) { return At(x, y) != other.At(x, y); });
    }
    RECT Painted() const { return Bounds([&](int x, int y) { return At(x, y) != BACKGROUND; }); }

private:
    int width, height;
    HDC dc = CreateCompatibleDC(nullptr);
    OwnedGdi<HBITMAP> bitmap;
    HGDIOBJ old = nullptr;
};

inline bool operator==(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }
