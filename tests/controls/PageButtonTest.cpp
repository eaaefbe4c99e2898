// The page button in a real dialog: the default button, hover, focus, clicks, its
// icon, and which face it paints for each state, themed where the platform allows.
#include "controls/PageButton.h"

#include <gtest/gtest.h>
#include <uxtheme.h>
#include <vsstyle.h>

#include <functional>

#include "ButtonHost.h"
#include "DibCanvas.h"
#include "framework/PlatformVersion.h"

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
    RECT rect;
    button.GetClientRect(&rect);
    POINT screen = {rect.right / 2, rect.bottom / 2};
    ClientToScreen(button, &screen);
    SetCursorPos(screen.x, screen.y);
    button.SendMessage(WM_MOUSEMOVE, keys, MAKELPARAM(rect.right / 2, rect.bottom / 2));
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
    EXPECT_FALSE(first.IsDefault());
    EXPECT_TRUE(byDefault.IsDefault());
    const std::pair<HWND, CPageButton*> moves[] = {
        {first, &first}, {second, &second}, {host.Item(ButtonHost::EDIT), &byDefault}};
    for (const auto& move : moves) {
        host.SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(move.first), TRUE);
        for (CPageButton* button : {&first, &second, &byDefault}) {
            const bool isDefault = button == move.second;
            const LRESULT code = button->SendMessage(WM_GETDLGCODE);
            EXPECT_EQ(isDefault, button->IsDefault() != FALSE);
            EXPECT_EQ(isDefault ? DLGC_DEFPUSHBUTTON | DLGC_BUTTON : DLGC_UNDEFPUSHBUTTON | DLGC_BUTTON,
                      code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON | DLGC_BUTTON));
            EXPECT_EQ(DWORD(BS_OWNERDRAW), button->GetStyle() & BS_TYPEMASK);
        }
    }
    // Asked directly, only the push-button types change the default.
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
    RECT update;
    EXPECT_TRUE(GetUpdateRect(first, &update, FALSE)) << "the button is repainted";
    host.Pump();
    first.SendMessage(WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 0));
    MoveOnto(first, MK_LBUTTON);
    EXPECT_TRUE(first.Hover()) << "still over the button, lit before the mouse button went down";
    const std::pair<const char*, std::function<void()>> ways[] = {
        {"mouse leave", [&] { first.SendMessage(WM_MOUSELEAVE); }},
        {"move elsewhere", [&] { first.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(-3, -3)); }},
        {"pointer away",
         [&] {
             SetCursorPos(2000, 2000);
             for (DWORD start = GetTickCount(); first.Hover() && GetTickCount() - start < 3000; Sleep(10))
                 host.Pump();
         }},
        {"focus loss", [&] { first.SetFocus(); second.SetFocus(); }},
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
    EXPECT_EQ(host.Item(ButtonHost::NEXT), GetFocus());
    second.SetFocus();
    second.EnableWindow(FALSE);
    EXPECT_EQ(host.Item(IDC_LIST), GetFocus()) << "from the last tab stop to the first";
    byDefault.EnableWindow(FALSE);
    EXPECT_EQ(host.Item(IDC_LIST), GetFocus()) << "a button without the focus leaves it alone";

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
    EXPECT_EQ(16u, help.width);  // the resource's only image
    EXPECT_EQ(16u, help.height);
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

TEST(VisualStyle, FlagsFollowThePlatformVersionAndMissingEntriesFallBack)
{
    const struct {
        DWORD major, minor;
        BOOL capable;
    } versions[] = {{4, 0, FALSE}, {5, 0, FALSE}, {5, 1, TRUE}, {5, 2, TRUE}, {6, 0, FALSE}, {10, 0, FALSE}};
    for (const auto& v : versions) {
        ScopedVersion scoped(v.major, v.minor);
        EXPECT_EQ(v.capable, g_themeCapableOs) << v.major << "." << v.minor;
        EXPECT_EQ(v.capable, g_useVisualStyles) << v.major << "." << v.minor;
        EXPECT_EQ(v.capable, SharedVisualStyle() != nullptr) << v.major << "." << v.minor;
    }
    ScopedVersion xp(5, 1);
    CVisualStyle* style = SharedVisualStyle();
    ASSERT_EQ(style, SharedVisualStyle());
    const FARPROC marker = reinterpret_cast<FARPROC>(reinterpret_cast<void (*)(void)>(&GetTickCount));
    EXPECT_EQ(marker, style->ResolveEntry("NoSuchThemeEntry", marker));
    EXPECT_EQ(reinterpret_cast<FARPROC>(GetProcAddress(style->Library(), "OpenThemeData")),
              style->ResolveEntry("OpenThemeData", marker));
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

TEST(ThemedButton, EachStatePaintsTheThemedPartOrTheCustomFace)
{
    ButtonHost host;
    SetWindowTextA(host.Item(ButtonHost::DEFAULT), "");  // the bare part, without a caption
    const RECT rect = {0, 0, 80, 26};
    const struct {
        const char* name;
        UINT itemState;
        bool hover, isDefault;
        int themeState;
        ButtonFaceState face;
    } looks[] = {
        {"normal", 0, false, false, PBS_NORMAL, {FALSE, FALSE, FALSE, FALSE, FALSE}},
        {"disabled", ODS_DISABLED, false, false, PBS_DISABLED, {FALSE, FALSE, FALSE, TRUE, FALSE}},
        {"pressed by keyboard", ODS_SELECTED, false, false, PBS_PRESSED, {FALSE, TRUE, FALSE, FALSE, FALSE}},
        {"pressed while hovered", ODS_SELECTED, true, false, PBS_HOT, {TRUE, TRUE, FALSE, FALSE, FALSE}},
        {"hot", 0, true, false, PBS_HOT, {TRUE, FALSE, FALSE, FALSE, FALSE}},
        {"focused", ODS_FOCUS, false, false, PBS_NORMAL, {FALSE, FALSE, TRUE, FALSE, FALSE}},
        {"default", 0, false, true, PBS_DEFAULTED, {FALSE, FALSE, FALSE, FALSE, TRUE}},
        {"default and disabled", ODS_DISABLED, false, true, PBS_DEFAULTED, {FALSE, FALSE, FALSE, TRUE, TRUE}},
    };
    const struct {
        const char* name;
        DWORD major, minor;
        bool visualStyles, windowThemed, themed;
    } paths[] = {
        {"4.0", 4, 0, true, true, false},        {"6.0", 6, 0, true, true, false},
        {"10.0", 10, 0, true, true, false},      {"5.1, classic look", 5, 1, false, true, false},
        {"5.1", 5, 1, true, true, true},         {"5.2", 5, 2, true, true, true},
        {"5.1, windows not themed", 5, 1, true, false, false},
    };
    for (const auto& path : paths) {
        SCOPED_TRACE(path.name);
        ScopedVersion version(path.major, path.minor);
        g_useVisualStyles = path.visualStyles ? g_useVisualStyles : FALSE;
        CPageButton plain, byDefault;
        ASSERT_TRUE(plain.SubclassDlgItem(ButtonHost::SECOND, &host));
        ASSERT_TRUE(byDefault.SubclassDlgItem(ButtonHost::DEFAULT, &host));
        byDefault.SendMessage(BM_SETSTYLE, BS_DEFPUSHBUTTON, FALSE);
        if (!path.windowThemed) {
            ASSERT_TRUE(SUCCEEDED(SetWindowTheme(plain, L" ", L" ")) && SUCCEEDED(SetWindowTheme(byDefault, L" ", L" ")));
        }
        for (const auto& look : looks) {
            SCOPED_TRACE(look.name);
            CPageButton& button = look.isDefault ? byDefault : plain;
            look.hover ? MoveOnto(button) : static_cast<void>(button.SendMessage(WM_MOUSELEAVE));
            ASSERT_EQ(look.hover, button.Hover() != FALSE);
            DibCanvas painted(80, 26), expected(80, 26);
            host.Paint(button, painted.Dc(), 80, 26, look.itemState);
            if (!path.themed) {
                PaintCustomFace(expected.Dc(), rect, look.face);
            } else if (!PaintThemed(button, expected.Dc(), rect, look.themeState)) {
                GTEST_SKIP() << "no visual style is active in this prefix";
            }
            EXPECT_EQ(0, painted.Differences(expected));
        }
        plain.UnsubclassWindow();
        byDefault.UnsubclassWindow();
    }
    // The themed states look different, so the comparisons above tell them apart;
    // the parent's background is drawn only when a window is given.
    ScopedVersion xp(5, 1);
    HWND button = host.Item(ButtonHost::FIRST);
    DibCanvas normal(80, 26), hot(80, 26), withParent(80, 26), without(80, 26);
    ASSERT_TRUE(PaintThemed(button, normal.Dc(), rect, PBS_NORMAL));
    PaintThemed(button, hot.Dc(), rect, PBS_HOT);
    EXPECT_GT(normal.Differences(hot), 0);
    HTHEME theme = SharedVisualStyle()->Open(button, L"BUTTON");
    const RECT leftHalf = {0, 0, 40, 26}, rightHalf = {40, 0, 80, 26};
    SharedVisualStyle()->DrawBackground(theme, button, withParent.Dc(), BP_PUSHBUTTON, PBS_NORMAL, &rect, &leftHalf);
    SharedVisualStyle()->DrawBackground(theme, nullptr, without.Dc(), BP_PUSHBUTTON, PBS_NORMAL, &rect, &leftHalf);
    EXPECT_EQ(S_OK, SharedVisualStyle()->Close(theme));
    EXPECT_EQ(40 * 26, withParent.CountNot(rightHalf, BACKGROUND));
    EXPECT_EQ(0, without.CountNot(rightHalf, BACKGROUND));
    EXPECT_GT(without.CountNot(leftHalf, BACKGROUND), 0);
}

}  // namespace
