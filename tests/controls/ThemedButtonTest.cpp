#include <windows.h>
#include <uxtheme.h>

#include <gtest/gtest.h>

#include "ButtonHost.h"
#include "DibCanvas.h"
#include "controls/PageButton.h"
#include "controls/VisualStyle.h"
#include "framework/PlatformVersion.h"

namespace {

const COLORREF BACKGROUND = RGB(1, 2, 3);

// Makes the process look like the given Windows version for the flags.
class ScopedVersion {
public:
    ScopedVersion(DWORD major, DWORD minor)
    {
        SetPlatformVersionOverride(VER_PLATFORM_WIN32_NT, major, minor);
        InitVisualStyleFlags();
    }
    ~ScopedVersion()
    {
        ClearPlatformVersionOverride();
        InitVisualStyleFlags();
    }
};

// The visual-style library called directly, to paint what a themed button should look like.
class ThemeReference {
public:
    ThemeReference() : library(LoadLibraryA("uxtheme.dll")) {}
    ~ThemeReference()
    {
        if (library)
            FreeLibrary(library);
    }
    bool Paint(HWND window, HDC dc, const RECT& rect, int state) const
    {
        typedef HTHEME(WINAPI * Open)(HWND, LPCWSTR);
        typedef HRESULT(WINAPI * Close)(HTHEME);
        typedef HRESULT(WINAPI * Parent)(HWND, HDC, RECT*);
        typedef HRESULT(WINAPI * Draw)(HTHEME, HDC, int, int, const RECT*, const RECT*);
        Open open = Proc<Open>("OpenThemeData");
        Close close = Proc<Close>("CloseThemeData");
        Parent parent = Proc<Parent>("DrawThemeParentBackground");
        Draw draw = Proc<Draw>("DrawThemeBackground");
        if (!open || !close || !parent || !draw)
            return false;
        HTHEME theme = open(window, L"BUTTON");
        if (!theme)
            return false;
        RECT area = rect;
        parent(window, dc, &area);
        draw(theme, dc, 1, state, &rect, nullptr);
        close(theme);
        return true;
    }

    // Switches theming off for one window.
    bool Unthemed(HWND window) const
    {
        typedef HRESULT(WINAPI * SetTheme)(HWND, LPCWSTR, LPCWSTR);
        SetTheme set = Proc<SetTheme>("SetWindowTheme");
        return set && SUCCEEDED(set(window, L" ", L" "));
    }

private:
    template <typename T>
    T Proc(const char* name) const
    {
        return library ? reinterpret_cast<T>(reinterpret_cast<void (*)(void)>(GetProcAddress(library, name)))
                       : nullptr;
    }
    HMODULE library;
};

void PaintThroughParent(HWND dialog, HWND button, DibCanvas& canvas, UINT state)
{
    DRAWITEMSTRUCT item = {};
    item.CtlType = ODT_BUTTON;
    item.CtlID = static_cast<UINT>(GetDlgCtrlID(button));
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = state;
    item.hwndItem = button;
    item.hDC = canvas.Dc();
    SetRect(&item.rcItem, 0, 0, canvas.Width(), canvas.Height());
    SendMessageA(dialog, WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
}

int Differences(const DibCanvas& a, const DibCanvas& b)
{
    int count = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            count += a.At(x, y) != b.At(x, y) ? 1 : 0;
    return count;
}

TEST(VisualStyle, FlagsFollowThePlatformVersion)
{
    {
        ScopedVersion xp(5, 1);
        EXPECT_TRUE(g_themeCapableOs);
        EXPECT_TRUE(g_useVisualStyles);
        ASSERT_NE(nullptr, SharedVisualStyle());
        EXPECT_NE(nullptr, SharedVisualStyle()->Library());
        EXPECT_EQ(SharedVisualStyle(), SharedVisualStyle());
    }
    {
        ScopedVersion server(5, 2);
        EXPECT_TRUE(g_themeCapableOs);
    }
    for (DWORD major : {4u, 6u, 10u}) {
        ScopedVersion other(major, 0);
        EXPECT_FALSE(g_themeCapableOs) << major;
        EXPECT_FALSE(g_useVisualStyles) << major;
        EXPECT_EQ(nullptr, SharedVisualStyle()) << major;
    }
    ScopedVersion win2000(5, 0);
    EXPECT_FALSE(g_themeCapableOs);
}

TEST(VisualStyle, MissingEntriesFallBackSoftly)
{
    ScopedVersion xp(5, 1);
    CVisualStyle* style = SharedVisualStyle();
    ASSERT_NE(nullptr, style);
    const FARPROC marker = reinterpret_cast<FARPROC>(reinterpret_cast<void (*)(void)>(&GetTickCount));
    EXPECT_EQ(marker, style->ResolveEntry("NoSuchThemeEntry", marker));
    EXPECT_EQ(nullptr, style->ResolveEntry("NoSuchThemeEntry", nullptr));
    const FARPROC open = style->ResolveEntry("OpenThemeData", marker);
    EXPECT_NE(marker, open);
    EXPECT_EQ(reinterpret_cast<FARPROC>(GetProcAddress(style->Library(), "OpenThemeData")), open);
}

class ThemedButtonTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(nullptr, host.Dialog());
        // Captions are left out so the pictures compare with the bare theme part.
        SetWindowTextA(host.Item(ButtonHost::FIRST), "");
        SetWindowTextA(host.Item(ButtonHost::DEFAULT), "");
    }
    void Bind(CPageButton& button, int id)
    {
        ASSERT_TRUE(button.SubclassDlgItem(id, &host.Parent()));
    }
    void MoveOnto(CPageButton& button)
    {
        RECT rect;
        button.GetClientRect(&rect);
        POINT screen = {rect.right / 2, rect.bottom / 2};
        ClientToScreen(button.m_hWnd, &screen);
        SetCursorPos(screen.x, screen.y);
        button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(rect.right / 2, rect.bottom / 2));
    }
    // The button's client-sized picture through the parent's WM_DRAWITEM.
    void PaintButton(CPageButton& button, DibCanvas& canvas, UINT state)
    {
        PaintThroughParent(host.Dialog(), button.m_hWnd, canvas, state);
    }

    ButtonHost host;
    ThemeReference reference;
};

TEST_F(ThemedButtonTest, OnXpWithAThemeTheButtonPaintsTheThemedPart)
{
    ScopedVersion xp(5, 1);
    CPageButton plain, byDefault;
    Bind(plain, ButtonHost::FIRST);
    Bind(byDefault, ButtonHost::DEFAULT);
    {
        DibCanvas probe(80, 26, BACKGROUND);
        const RECT rect = {0, 0, 80, 26};
        if (!reference.Paint(plain.m_hWnd, probe.Dc(), rect, 1))
            GTEST_SKIP() << "no visual style is active in this Wine prefix";
    }
    struct Case {
        const char* name;
        CPageButton* button;
        UINT itemState;
        bool hover;
        int themeState;
    } cases[] = {
        {"normal", &plain, 0, false, 1},
        {"disabled", &plain, ODS_DISABLED, false, 4},
        {"pressed by keyboard", &plain, ODS_SELECTED, false, 3},
        {"pressed while hovered", &plain, ODS_SELECTED, true, 2},
        {"hot", &plain, 0, true, 2},
        {"default", &byDefault, 0, false, 5},
        {"default and disabled", &byDefault, ODS_DISABLED, false, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.hover)
            MoveOnto(*c.button);
        else
            c.button->SendMessage(WM_MOUSELEAVE);
        ASSERT_EQ(c.hover, c.button->Hover() != FALSE);
        DibCanvas painted(80, 26, BACKGROUND), expected(80, 26, BACKGROUND);
        PaintButton(*c.button, painted, c.itemState);
        const RECT rect = {0, 0, 80, 26};
        ASSERT_TRUE(reference.Paint(c.button->m_hWnd, expected.Dc(), rect, c.themeState));
        EXPECT_EQ(0, Differences(painted, expected));
        // Not the custom face: its ring would be white at the top.
        EXPECT_NE(RGB(0, 60, 116), painted.At(40, 1));
    }
    // The states really look different, so the comparisons above tell them apart.
    DibCanvas normal(80, 26, BACKGROUND), hot(80, 26, BACKGROUND);
    const RECT rect = {0, 0, 80, 26};
    reference.Paint(plain.m_hWnd, normal.Dc(), rect, 1);
    reference.Paint(plain.m_hWnd, hot.Dc(), rect, 2);
    EXPECT_GT(Differences(normal, hot), 0);
}

TEST_F(ThemedButtonTest, WithoutAnOpenThemeTheCustomFaceIsPainted)
{
    ScopedVersion xp(5, 1);
    CPageButton button;
    Bind(button, ButtonHost::FIRST);
    ASSERT_TRUE(reference.Unthemed(button.m_hWnd));
    ASSERT_EQ(nullptr, SharedVisualStyle()->Open(button.m_hWnd, L"BUTTON"));
    DibCanvas canvas(80, 26, BACKGROUND);
    PaintButton(button, canvas, 0);
    EXPECT_EQ(RGB(255, 255, 255), canvas.At(40, 2));
    EXPECT_EQ(RGB(0, 60, 116), canvas.At(40, 1));
}

TEST_F(ThemedButtonTest, OtherVersionsAndTheClassicLookPaintTheCustomFace)
{
    for (DWORD major : {4u, 6u, 10u}) {
        ScopedVersion other(major, 0);
        CPageButton button;
        Bind(button, ButtonHost::FIRST);
        DibCanvas canvas(80, 26, BACKGROUND);
        PaintButton(button, canvas, 0);
        EXPECT_EQ(RGB(255, 255, 255), canvas.At(40, 2)) << major;
        EXPECT_EQ(RGB(0, 60, 116), canvas.At(40, 1)) << major;
        button.UnsubclassWindow();
    }
    ScopedVersion xp(5, 1);
    g_useVisualStyles = FALSE;
    CPageButton button;
    Bind(button, ButtonHost::FIRST);
    DibCanvas canvas(80, 26, BACKGROUND);
    PaintButton(button, canvas, 0);
    EXPECT_EQ(RGB(0, 60, 116), canvas.At(40, 1));
}

TEST_F(ThemedButtonTest, ParentBackgroundIsSkippedWithoutAWindow)
{
    ScopedVersion xp(5, 1);
    CVisualStyle* style = SharedVisualStyle();
    ASSERT_NE(nullptr, style);
    HWND button = host.Item(ButtonHost::FIRST);
    HTHEME theme = style->Open(button, L"BUTTON");
    if (!theme)
        GTEST_SKIP() << "no visual style is active in this Wine prefix";
    DibCanvas withParent(80, 26, BACKGROUND), without(80, 26, BACKGROUND);
    const RECT rect = {0, 0, 80, 26};
    // The part is clipped to the left half; the parent's background is not.
    const RECT clip = {0, 0, 40, 26};
    style->DrawBackground(theme, button, withParent.Dc(), 1, 1, &rect, &clip);
    EXPECT_EQ(S_OK, style->DrawBackground(theme, nullptr, without.Dc(), 1, 1, &rect, &clip));
    EXPECT_EQ(S_OK, style->Close(theme));
    const RECT rightHalf = {40, 0, 80, 26};
    EXPECT_EQ(0, without.CountNot(rightHalf, BACKGROUND));
    EXPECT_EQ(40 * 26, withParent.CountNot(rightHalf, BACKGROUND));
    const RECT leftHalf = {0, 0, 40, 26};
    EXPECT_GT(without.CountNot(leftHalf, BACKGROUND), 0);
}

}  // namespace
