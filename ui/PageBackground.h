// The light-blue, framed background of both pages and the navigation bar.
#pragma once
#include <windows.h>

const COLORREF PAGE_BACKGROUND_COLOR = RGB(236, 247, 255);
const COLORREF PAGE_FRAME_COLOR = RGB(141, 174, 235);

// Fills the client rectangle with the background colour and frames it with a
// 1-pixel line, using temporary GDI objects.
void PaintPageBackground(HWND window, HDC dc);
