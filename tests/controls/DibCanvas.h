// A 32-bit top-down DIB section selected into a memory DC, for reading back
// exactly what a paint produced.
#pragma once
#include <windows.h>

class DibCanvas {
public:
    DibCanvas(int width, int height, COLORREF background = RGB(1, 2, 3))
        : width(width), height(height), dc(CreateCompatibleDC(nullptr)), bitmap(nullptr), old(nullptr),
          bits(nullptr)
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* data = nullptr;
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &data, nullptr, 0);
        bits = static_cast<DWORD*>(data);
        if (bitmap)
            old = SelectObject(dc, bitmap);
        Fill(background);
    }
    ~DibCanvas()
    {
        if (old)
            SelectObject(dc, old);
        if (bitmap)
            DeleteObject(bitmap);
        if (dc)
            DeleteDC(dc);
    }
    DibCanvas(const DibCanvas&) = delete;
    DibCanvas& operator=(const DibCanvas&) = delete;

    bool Valid() const { return dc && bits; }
    HDC Dc() const { return dc; }
    int Width() const { return width; }
    int Height() const { return height; }

    void Fill(COLORREF colour)
    {
        if (!bits)
            return;
        for (int i = 0; i < width * height; ++i)
            bits[i] = ToPixel(colour);
    }
    // The colour at (x, y) as a COLORREF; CLR_INVALID outside the canvas.
    COLORREF At(int x, int y) const
    {
        if (!bits || x < 0 || y < 0 || x >= width || y >= height)
            return CLR_INVALID;
        GdiFlush();
        const DWORD pixel = bits[y * width + x];
        return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
    }
    void Set(int x, int y, COLORREF colour)
    {
        if (bits && x >= 0 && y >= 0 && x < width && y < height)
            bits[y * width + x] = ToPixel(colour);
    }
    // Number of pixels in the rectangle whose colour differs from `colour`.
    int CountNot(const RECT& area, COLORREF colour) const
    {
        int count = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                count += At(x, y) != colour ? 1 : 0;
        return count;
    }

private:
    static DWORD ToPixel(COLORREF colour)
    {
        return (static_cast<DWORD>(GetRValue(colour)) << 16) | (static_cast<DWORD>(GetGValue(colour)) << 8) |
               GetBValue(colour);
    }

    int width;
    int height;
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
    DWORD* bits;
};
