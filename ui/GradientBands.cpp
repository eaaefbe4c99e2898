#include "ui/GradientBands.h"

#include <cstdlib>

#include "framework/Handles.h"

namespace {

int LargestOf(int a, int b, int c)
{
    int largest = a > b ? a : b;
    return largest > c ? largest : c;
}

// Solid fill of one band with a brush that lives only for this call.
void FillBand(HDC dc, int left, int top, int right, int bottom, COLORREF colour)
{
    RECT band;
    SetRect(&band, left, top, right, bottom);
    OwnedGdi<HBRUSH> brush(CreateSolidBrush(colour));
    if (brush)
        FillRect(dc, &band, brush);
}

}  // namespace

void FillGradientBands(HDC dc, int left, int top, int right, int bottom,
                       COLORREF from, COLORREF to, BOOL vertical)
{
    const int dr = GetRValue(to) - GetRValue(from);
    const int dg = GetGValue(to) - GetGValue(from);
    const int db = GetBValue(to) - GetBValue(from);

    int bands = LargestOf(std::abs(dr), std::abs(dg), std::abs(db));
    const int length = vertical ? bottom - top : right - left;
    if (bands >= length)
        bands = length;
    if (bands <= 0)
        return;

    const float bandSize = static_cast<float>(length) / bands;
    const float stepR = static_cast<float>(dr) / bands;
    const float stepG = static_cast<float>(dg) / bands;
    const float stepB = static_cast<float>(db) / bands;
    const float startR = GetRValue(from);
    const float startG = GetGValue(from);
    const float startB = GetBValue(from);
    const int start = vertical ? top : left;

    for (int i = 0; i < bands; ++i) {
        const double index = static_cast<float>(i);
        const int bandStart = start + static_cast<int>(index * bandSize);
        const int bandEnd = start + static_cast<int>((index + 1.0) * bandSize);
        const COLORREF colour = RGB(static_cast<int>(startR + index * stepR),
                                    static_cast<int>(startG + index * stepG),
                                    static_cast<int>(startB + index * stepB));
        if (vertical)
            FillBand(dc, left, bandStart, right, bandEnd, colour);
        else
            FillBand(dc, bandStart, top, bandEnd, bottom, colour);
    }
}
