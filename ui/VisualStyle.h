// Run-time access to the visual-style library. The library is not linked: it is
// loaded by name and its entries are looked up per call, with fall-backs that
// make themed drawing fail softly where the library or an entry is missing.
#pragma once
#include <windows.h>
#include <uxtheme.h>

#include "framework/Handles.h"

// Themed drawing is tried only when both are set. Set once at start-up.
extern BOOL g_themeCapableOs;
extern BOOL g_useVisualStyles;

// Sets both flags from the platform version (themed drawing on 5.1 and 5.2 only).
void InitVisualStyleFlags();

class CVisualStyle {
public:
    CVisualStyle();

    // The library's entry `name`, or `fallback` when the library or the entry is missing.
    FARPROC ResolveEntry(const char* name, FARPROC fallback) const;

    HTHEME Open(HWND window, LPCWSTR classList) const;
    HRESULT Close(HTHEME theme) const;
    // Paints the parent's background under rect (when window is set), then the part.
    HRESULT DrawBackground(HTHEME theme, HWND window, HDC dc, int part, int state,
                           const RECT* rect, const RECT* clip) const;

    HMODULE Library() const { return library; }

private:
    OwnedModule library;
};

// The process-wide instance, created on first use when the platform can draw
// themes; null otherwise (the library is then never loaded).
CVisualStyle* SharedVisualStyle();
