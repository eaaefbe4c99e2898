#include "ui/VisualStyle.h"

#include "framework/PlatformVersion.h"

BOOL g_themeCapableOs = FALSE;
BOOL g_useVisualStyles = FALSE;

void InitVisualStyleFlags()
{
    g_themeCapableOs = IsWindowsXPFamily() ? TRUE : FALSE;
    g_useVisualStyles = g_themeCapableOs;
}

namespace {

typedef HTHEME(WINAPI* OpenThemeDataProc)(HWND, LPCWSTR);
typedef HRESULT(WINAPI* CloseThemeDataProc)(HTHEME);
typedef HRESULT(WINAPI* DrawThemeParentBackgroundProc)(HWND, HDC, RECT*);
typedef HRESULT(WINAPI* DrawThemeBackgroundProc)(HTHEME, HDC, int, int, const RECT*, const RECT*);

// Stand-ins used where the library or an entry is missing.
HTHEME WINAPI NoOpenThemeData(HWND, LPCWSTR)
{
    return nullptr;
}

HRESULT WINAPI NoCloseThemeData(HTHEME)
{
    return E_FAIL;
}

HRESULT WINAPI NoDrawThemeBackground(HTHEME, HDC, int, int, const RECT*, const RECT*)
{
    return E_FAIL;
}

// Entry points are passed around as FARPROC; void (*)(void) converts between
// function pointer types without a cast-function-type warning.
template <typename Proc>
Proc AsProc(FARPROC entry)
{
    return reinterpret_cast<Proc>(reinterpret_cast<void (*)(void)>(entry));
}

template <typename Proc>
FARPROC AsFarProc(Proc entry)
{
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)(void)>(entry));
}

}  // namespace

CVisualStyle::CVisualStyle() : library(LoadLibraryA("UxTheme.dll"))
{
}

FARPROC CVisualStyle::ResolveEntry(const char* name, FARPROC fallback) const
{
    if (!library)
        return fallback;
    FARPROC entry = GetProcAddress(library, name);
    return entry ? entry : fallback;
}

HTHEME CVisualStyle::Open(HWND window, LPCWSTR classList) const
{
    OpenThemeDataProc open =
        AsProc<OpenThemeDataProc>(ResolveEntry("OpenThemeData", AsFarProc(&NoOpenThemeData)));
    return open(window, classList);
}

HRESULT CVisualStyle::Close(HTHEME theme) const
{
    CloseThemeDataProc close =
        AsProc<CloseThemeDataProc>(ResolveEntry("CloseThemeData", AsFarProc(&NoCloseThemeData)));
    return close(theme);
}

HRESULT CVisualStyle::DrawBackground(HTHEME theme, HWND window, HDC dc, int part, int state,
                                     const RECT* rect, const RECT* clip) const
{
    DrawThemeParentBackgroundProc parent =
        AsProc<DrawThemeParentBackgroundProc>(ResolveEntry("DrawThemeParentBackground", nullptr));
    if (parent && window && rect) {
        RECT area = *rect;
        parent(window, dc, &area);
    }
    DrawThemeBackgroundProc draw = AsProc<DrawThemeBackgroundProc>(
        ResolveEntry("DrawThemeBackground", AsFarProc(&NoDrawThemeBackground)));
    return draw(theme, dc, part, state, rect, clip);
}

CVisualStyle* SharedVisualStyle()
{
    if (!g_themeCapableOs)
        return nullptr;
    // Constructed on first use, destroyed (library freed) at process exit.
    static CVisualStyle shared;
    return &shared;
}
