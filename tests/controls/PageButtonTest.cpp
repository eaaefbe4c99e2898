// The page button in a real dialog: the default button, hover, focus, clicks, its
// icon, which face it paints for each state, themed where the platform allows, and
// that a thousand paints of it and of the other controls leave no GDI object behind.
#include "controls/GradientBands.h"
#include "controls/PageButton.h"
#include "controls/PictureLink.h"

#include <gtest/gtest.h>
#include <uxtheme.h>
#include <vsstyle.h>

#include <functional>

#include "ButtonHost.h"
#include "DibCanvas.h"
#include "framework/PlatformVersion.h"
#include "support/GdiCount.h"

namespace {

// Makes the process look like the given Windows version for the theme flags.
struct ScopedVersion {
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

void MoveOnto(CPageButton& button, WPARAM keys = 0)
{
    POINT point = {5, 5};  // inside every button
    ClientToScreen(button, &point);
    SetCursorPos(point.x, point.y);
    button.SendMessage(WM_MOUSEMOVE, keys, MAKELPARAM(5, 5));
}

class PageButtonTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(first.SubclassDlgItem(ButtonHost::FIRST, &host));
        ASSERT_TRUE(second.SubclassDlgItem(ButtonHost::SECOND, &host));
        ASSERT_TRUE(byDefault.SubclassDlgItem(ButtonHost::DEFAULT, &host));
        host.Pump();
    }

    ButtonHost host;
    CPageButton first, second, byDefault;
};

TEST_F(PageButtonTest, DefaultFollowsTheFocusAndEveryButtonStaysOwnerDrawn)
{
    const std::pair<HWND, CPageButton*> moves[] = {
        {nullptr, &byDefault}, {first, &first}, {second, &second}, {host.GetDlgItem(ButtonHost::EDIT), &byDefault}};
    for (const auto& move : moves) {
        if (move.first)
            host.SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(move.first), TRUE);
        for (CPageButton* button : {&first, &second, &byDefault}) {
            const bool isDefault = button == move.second;
            EXPECT_EQ(isDefault, button->IsDefault() != FALSE);
            EXPECT_EQ(DLGC_BUTTON | (isDefault ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON),
                      button->SendMessage(WM_GETDLGCODE) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON | DLGC_BUTTON));
            EXPECT_EQ(DWORD(BS_OWNERDRAW), button->GetStyle() & BS_TYPEMASK);
        }
    }
    // Asked directly, only the push-button types change the default; a check is never kept.
    const std::pair<UINT, BOOL> styles[] = {{BS_DEFPUSHBUTTON, TRUE}, {BS_CHECKBOX, TRUE}, {BS_PUSHBUTTON, FALSE}};
    for (const auto& style : styles) {
        first.SendMessage(BM_SETSTYLE, style.first, TRUE);
        EXPECT_EQ(style.second, first.IsDefault());
        EXPECT_EQ(DWORD(BS_OWNERDRAW), first.GetStyle() & BS_TYPEMASK);
    }
    EXPECT_EQ(0, first.SendMessage(BM_SETCHECK, BST_CHECKED) + first.SendMessage(BM_GETCHECK));
}

TEST_F(PageButtonTest, HoverLightsOnEnteringAndEndsEveryWayOfLeaving)
{
    MoveOnto(first);
    EXPECT_TRUE(GetUpdateRect(first, nullptr, FALSE)) << "the button is repainted";
    host.Pump();
    first.SendMessage(WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 0));
    MoveOnto(first, MK_LBUTTON);
    EXPECT_TRUE(first.Hover()) << "activated and still over the button, lit before the mouse button went down";
    const std::pair<const char*, std::function<void()>> ways[] = {
        {"mouse leave", [&] { first.SendMessage(WM_MOUSELEAVE); }},
        {"move elsewhere", [&] { first.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(-3, -3)); }},
        {"pointer away", [&] {
             SetCursorPos(2000, 2000);
             for (DWORD start = GetTickCount(); first.Hover() && GetTickCount() - start < 3000; Sleep(10))
                 host.Pump();
         }},
        {"focus loss", [&] { first.SetFocus(), second.SetFocus(); }},
        {"cancel mode", [&] { first.SendMessage(WM_CANCELMODE); }},
        {"deactivation", [&] { first.SendMessage(WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0)); }},
        {"disabling", [&] { first.EnableWindow(FALSE); }},
    };
    for (const auto& way : ways) {
        MoveOnto(first);
        ASSERT_TRUE(first.Hover()) << way.first;
        way.second();
        EXPECT_FALSE(first.Hover()) << way.first;
    }
    first.EnableWindow(TRUE);
    MoveOnto(first, MK_LBUTTON);
    EXPECT_FALSE(first.Hover()) << "entering with the mouse button held";
}

TEST_F(PageButtonTest, DisablingTheFocusedButtonPassesTheFocusOnAndClicksReachTheParent)
{
    first.SetFocus();
    first.EnableWindow(FALSE);
    EXPECT_EQ(host.GetDlgItem(ButtonHost::NEXT), GetFocus());
    second.SetFocus();
    second.EnableWindow(FALSE);
    EXPECT_EQ(host.GetDlgItem(IDC_LIST), GetFocus()) << "from the last tab stop to the first";
    byDefault.EnableWindow(FALSE);
    EXPECT_EQ(host.GetDlgItem(IDC_LIST), GetFocus()) << "a button without the focus leaves it alone";

    // A click reaches the parent once, after the button took the focus; a double click is a second click.
    first.EnableWindow(TRUE);
    second.EnableWindow(TRUE);
    host.SendMessage(WM_COMMAND, MAKEWPARAM(ButtonHost::SECOND, BN_CLICKED), reinterpret_cast<LPARAM>(second.m_hWnd));
    EXPECT_EQ(second.m_hWnd, GetFocus());
    EXPECT_EQ(1, host.Count(ButtonHost::SECOND));
    for (UINT msg : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
        PostMessageA(first, msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(5, 5));
    host.Pump();
    EXPECT_EQ(2, host.Count(ButtonHost::FIRST));
    EXPECT_EQ(0, host.Count(ButtonHost::FIRST, BN_DOUBLECLICKED));
}

TEST_F(PageButtonTest, CaptionAndIconAreDrawnOverTheFaceAndAReplacedIconIsDestroyed)
{
    ASSERT_EQ(0, second.SetIcons(IDI_HELP_LINK, 0));
    const ButtonIcon help = second.Icon();
    EXPECT_TRUE(help.width == 16 && help.height == 16) << "the resource's only image";
    for (CPageButton* button : {&first, &second}) {
        DibCanvas painted(60, 30), face(60, 30);
        host.Paint(*button, painted.Dc(), 60, 30, 0);
        PaintCustomFace(face.Dc(), face.Whole(), ButtonFaceState{});
        EXPECT_GT(painted.Differences(face), 10);
    }
    ICONINFO info;
    EXPECT_EQ(0, second.SetIcons(IDR_MAINFRAME, 0));
    const HICON replacement = second.Icon().icon;
    EXPECT_TRUE(replacement && !GetIconInfo(help.icon, &info)) << "the first icon is still alive";
    EXPECT_EQ(0, second.SetIcons(4321, 0));
    EXPECT_TRUE(!second.Icon().icon && !second.Icon().width && !GetIconInfo(replacement, &info));
}

TEST_F(PageButtonTest, ThousandPaintsOfEveryControlLeaveNoGdiObjects)
{
    const DWORD start = fixtures::LiveGdiObjectCount();
    OwnedGdi<HBRUSH> probe(CreateSolidBrush(RGB(1, 1, 1)));
    ASSERT_EQ(start + 1, fixtures::LiveGdiObjectCount()) << "the count sees a single brush";
    probe.Reset();
    ASSERT_EQ(0, second.SetIcons(IDI_HELP_LINK, 0));
    CPictureLink banner;
    ASSERT_TRUE(banner.CreateEx(0, "STATIC", "", WS_CHILD | WS_VISIBLE, {0, 0, 10, 10}, host, 1));
    banner.ShowPicture(729, 68, IDR_BANNER, "GIF");
    CPicture picture;
    DibCanvas canvas(300, 70);
    const UINT states[] = {0, ODS_FOCUS, ODS_SELECTED, ODS_DISABLED, ODS_SELECTED | ODS_FOCUS};
    auto repaint = [](HWND window) { RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW); };
    const std::pair<const char*, std::function<void(int)>> controls[] = {
        {"buttons with caption or icon", [&](int i) {
             host.Paint(i % 2 ? first : second, canvas.Dc(), 60, 24, states[i % 5]);
             if (i % 10 == 0)
                 repaint(i % 20 ? first : second);
         }},
        {"gradient bands", [&](int) { FillGradientBands(canvas.Dc(), 0, 0, 300, 4, RGB(255, 0, 0), RGB(0, 0, 255), FALSE); }},
        {"banner", [&](int i) {
             i % 2 ? static_cast<void>(banner.SendMessage(WM_PAINT, reinterpret_cast<WPARAM>(canvas.Dc()))) : repaint(banner);
         }},
        {"pictures loaded and drawn", [&](int i) {
             if (i % 20 == 0)
                 picture.LoadFromResource(IDR_BANNER, "GIF");
             EXPECT_TRUE(picture.Draw(canvas.Dc(), {0, 0, 100, 20}));
         }},
    };
    for (const auto& control : controls) {
        control.second(0);  // the first paint may fill caches of the system's own
        host.Pump();
        const DWORD before = fixtures::LiveGdiObjectCount();
        for (int i = 0; i < 1000; ++i)
            control.second(i);
        host.Pump();
        EXPECT_EQ(before, fixtures::LiveGdiObjectCount()) << control.first;
    }
}

// What the visual-style library itself paints for a push button in state.
bool PaintThemed(HWND window, HDC dc, const RECT& rect, int state)
{
    HTHEME theme = OpenThemeData(window, L"BUTTON");
    if (!theme)
        return false;
    RECT area = rect;
    DrawThemeParentBackground(window, dc, &area);
    DrawThemeBackground(theme, dc, BP_PUSHBUTTON, state, &rect, nullptr);
    CloseThemeData(theme);
    return true;
}

TEST(VisualStyle, ThePlatformVersionDecidesBetweenTheThemedPartAndTheCustomFace)
{
    ButtonHost host;
    SetWindowTextA(host.GetDlgItem(ButtonHost::DEFAULT), "");  // the bare part, without a caption
    const RECT rect = {0, 0, 80, 26};
    const struct {
        const char* name;
        UINT itemState;
        bool hover, isDefault;
        int themeState;
    } looks[] = {
        {"normal", 0, false, false, PBS_NORMAL},
        {"disabled", ODS_DISABLED, false, false, PBS_DISABLED},
        {"pressed by keyboard", ODS_SELECTED, false, false, PBS_PRESSED},
        {"pressed while hovered", ODS_SELECTED, true, false, PBS_HOT},
        {"focused", ODS_FOCUS, false, false, PBS_NORMAL},
        {"default", 0, false, true, PBS_DEFAULTED},
        {"default and disabled", ODS_DISABLED, false, true, PBS_DEFAULTED},
    };
    const struct {
        DWORD major, minor;
        BOOL capable;
        bool classicLook, windowsUnthemed;  // the last case leaves its windows unthemed
    } versions[] = {{4, 0, FALSE, false, false},  {5, 0, FALSE, false, false}, {5, 1, TRUE, false, false},
                    {5, 2, TRUE, false, false},   {6, 0, FALSE, false, false}, {10, 0, FALSE, false, false},
                    {5, 1, TRUE, true, false}, {5, 1, TRUE, false, true}};
    for (const auto& v : versions) {
        SCOPED_TRACE(testing::Message() << v.major << "." << v.minor << (v.classicLook ? " classic look" : "")
                                        << (v.windowsUnthemed ? " windows unthemed" : ""));
        ScopedVersion version(v.major, v.minor);
        EXPECT_EQ(v.capable, g_themeCapableOs);
        EXPECT_EQ(v.capable, g_useVisualStyles);
        EXPECT_EQ(v.capable, SharedVisualStyle() != nullptr);
        g_useVisualStyles = v.classicLook ? FALSE : g_useVisualStyles;
        CPageButton plain, byDefault;
        ASSERT_TRUE(plain.SubclassDlgItem(ButtonHost::SECOND, &host));
        ASSERT_TRUE(byDefault.SubclassDlgItem(ButtonHost::DEFAULT, &host));
        byDefault.SendMessage(BM_SETSTYLE, BS_DEFPUSHBUTTON, FALSE);
        if (v.windowsUnthemed) {
            ASSERT_TRUE(SUCCEEDED(SetWindowTheme(plain, L" ", L" ")) && SUCCEEDED(SetWindowTheme(byDefault, L" ", L" ")));
        }
        for (const auto& look : looks) {
            SCOPED_TRACE(look.name);
            CPageButton& button = look.isDefault ? byDefault : plain;
            look.hover ? MoveOnto(button) : static_cast<void>(button.SendMessage(WM_MOUSELEAVE));
            ASSERT_EQ(look.hover, button.Hover() != FALSE);
            DibCanvas painted(80, 26), expected(80, 26);
            host.Paint(button, painted.Dc(), 80, 26, look.itemState);
            const UINT state = look.itemState;
            if (!v.capable || v.classicLook || v.windowsUnthemed)
                PaintCustomFace(expected.Dc(), rect, {look.hover, (state & ODS_SELECTED) != 0, (state & ODS_FOCUS) != 0,
                                                      (state & ODS_DISABLED) != 0, look.isDefault});
            else if (!PaintThemed(button, expected.Dc(), rect, look.themeState))
                GTEST_SKIP() << "no visual style is active in this prefix";
            EXPECT_EQ(0, painted.Differences(expected));
        }
        plain.UnsubclassWindow();
        byDefault.UnsubclassWindow();
    }
    // The themed states look different, so the comparisons above tell them apart.
    ScopedVersion xp(5, 1);
    HWND button = host.GetDlgItem(ButtonHost::FIRST);
    DibCanvas normal(80, 26), hot(80, 26);
    ASSERT_TRUE(PaintThemed(button, normal.Dc(), rect, PBS_NORMAL) && PaintThemed(button, hot.Dc(), rect, PBS_HOT));
    EXPECT_GT(normal.Differences(hot), 0);
    // Missing entries fall back.
    CVisualStyle* style = SharedVisualStyle();
    const FARPROC marker = reinterpret_cast<FARPROC>(reinterpret_cast<void (*)(void)>(&GetTickCount));
    EXPECT_EQ(marker, style->ResolveEntry("NoSuchThemeEntry", marker));
    EXPECT_EQ(GetProcAddress(GetModuleHandleA("uxtheme.dll"), "OpenThemeData"), style->ResolveEntry("OpenThemeData", marker));
}

}  // namespace
