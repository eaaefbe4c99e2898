// Two-colour gradient painted as solid bands, one band per colour step.
#pragma once
#include <windows.h>

// Paints left..right x top..bottom from colour `from` towards colour `to`.
// vertical FALSE: vertical stripes running left to right; TRUE: horizontal
// stripes running top to bottom. The end colour itself is never reached.
void FillGradientBands(HDC dc, int left, int top, int right, int bottom,
                       COLORREF from, COLORREF to, BOOL vertical);
