// Live GDI objects of this process, counted in a way that also works under Wine,
// where GetGuiResources is a stub that always answers 0.
#pragma once
#include <windows.h>

namespace fixtures {

// GetGuiResources(GR_GDIOBJECTS) where it works, else the number of used entries
// of the process's shared GDI handle table. Icons count through their bitmaps.
DWORD LiveGdiObjectCount();

}  // namespace fixtures
