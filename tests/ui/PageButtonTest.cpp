// The page button in a real dialog: the default button, hover, focus, clicks, its
// caption and icon, which face it paints for each state, themed where the platform
// allows, and that a thousand paints of every control leave no GDI object behind.
#include "ui/GradientBands.h"
#include "ui/PageButton.h"
#include "ui/PictureLink.h"

#include <gtest/gtest.h>
#include <uxtheme.h>
#include <vsstyle.h>

#include <functional>
#include <map>

#include "framework/PlatformVersion.h"
#include "framework/Wnd.h"
#include "resource.h"
#include "support/DibCanvas.h"
#include "support/GdiCount.h"

namespace {

// Makes the process look like the given Windows version for the theme flags.
struct ScopedVersion {
    ScopedVersion(DWORD major, DWORD minor)
    {
        SetPlatformVersionOverride(VER_PLATFORM_WIN32_NT, major, minor);
        InitVisualStyleFlags();
    }
    ~ScopedVersion() { ClearPlatformVersionOverride(), InitVisualStyleFlags(); }
};

void MoveOnto(CPageButton& button, WPARAM keys = 0)
{
    POINT point = {5, 5};  // inside every button
    ClientToScreen(button, &point);
    SetCursorPos(point.x, point.y);
    button.SendMessage(WM_MOUSEMOVE, keys, MAKELPARAM(5, 5));
}

// The quick-uninstall page's template as a plain dialog in a visible window: real
// push buttons and edit fields under the dialog manager. The fixture is the
// dialog's framework window; it counts the commands it gets.
class PageButtonTest : public testing::Test, public CWnd {
protected:
    // In tab order: the filter field (the first tab stop), the list, FIRST (with
    // caption), NEXT, DEFAULT (the dialog's default button), EDIT, ..., SECOND
    // (without caption, the last tab stop).
    enum { FIRST = IDC_UNINSTALL, NEXT = IDC_DELETE_ENTRY, DEFAULT = IDC_REFRESH, EDIT = IDC_DISPLAY_NAME,
           SECOND = IDC_OPEN_LINK };

    void SetUp() override
    {
        window.CreateEx(0, nullptr, "host", WS_POPUP | WS_VISIBLE, {0, 0, 800, 500}, nullptr, 0);
        SubclassWindow(CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_QUICK_PAGE), window,
                                          &PlainDialogProc, 0));
        ShowWindow(SW_SHOW);
        SendMessage(DM_SETDEFID, DEFAULT);
        SetForegroundWindow(window);
        ASSERT_TRUE(first.SubclassDlgItem(FIRST, this) && second.SubclassDlgItem(SECOND, this) &&
                    byDefault.SubclassDlgItem(DEFAULT, this));
        Pump();
    }
    void TearDown() override
    {
        window.DestroyWindow();
        Pump();
    }
    int Count(int id, UINT code = BN_CLICKED) { return commands[MAKELONG(id, code)]; }
    // Runs the thread's pending messages the way the modal loop does.
    void Pump()
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (IsWindow() && (WalkPreTranslateTree(m_hWnd, &msg) || IsDialogMessageA(m_hWnd, &msg)))
                continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    // Paints button into dc as the dialog's WM_DRAWITEM asks it to.
    void Paint(HWND button, HDC dc, int width, int height, UINT itemState)
    {
        DRAWITEMSTRUCT item = {ODT_BUTTON, static_cast<UINT>(::GetDlgCtrlID(button)), 0, ODA_DRAWENTIRE,
                               itemState, button, dc, {0, 0, width, height}, 0};
        SendMessage(WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
    }
    BOOL OnCommand(WPARAM wParam, LPARAM) override { return ++commands[static_cast<DWORD>(wParam)], TRUE; }

    CPageButton first, second, byDefault;

private:
    static INT_PTR CALLBACK PlainDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

    CWnd window;
    std::map<DWORD, int> commands;
};

TEST_F(PageButtonTest, DefaultFollowsTheFocusAndEveryButtonStaysOwnerDrawnAndUnchecked)
{
    const std::pair<HWND, CPageButton*> moves[] = {
        {nullptr, &byDefault}, {first, &first}, {second, &second}, {GetDlgItem(EDIT), &byDefault}};
    for (const auto& move : moves) {
        if (move.first)
            SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(move.first), TRUE);
        for (CPageButton* button : {&first, &second, &byDefault}) {
            const bool isDefault = button == move.second;
            EXPECT_EQ(isDefault, button->IsDefault() != FALSE);
            EXPECT_EQ(DLGC_BUTTON | (isDefault ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON),
                      button->SendMessage(WM_GETDLGCODE) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON | DLGC_BUTTON));
            EXPECT_EQ(DWORD(BS_OWNERDRAW), button->GetStyle() & BS_TYPEMASK);
        }
    }
    EXPECT_EQ(0, first.SendMessage(BM_SETCHECK, BST_CHECKED) + first.SendMessage(BM_GETCHECK));
}

TEST_F(PageButtonTest, HoverLightsOnEnteringAndEndsEveryWayOfLeaving)
{
    MoveOnto(first);
    EXPECT_TRUE(GetUpdateRect(first, nullptr, FALSE)) << "the button is repainted";
    Pump();
    first.SendMessage(WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 0));
    MoveOnto(first, MK_LBUTTON);
    EXPECT_TRUE(first.Hover()) << "activated and still over the button, lit before the mouse button went down";
    const std::pair<const char*, std::function<void()>> ways[] = {
        {"mouse leave", [&] { first.SendMessage(WM_MOUSELEAVE); }},
        {"move elsewhere", [&] { first.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(-3, -3)); }},
        {"pointer away", [&] {
             SetCursorPos(2000, 2000);
             for (DWORD start = GetTickCount(); first.Hover() && GetTickCount() - start < 3000; Sleep(10))
                 Pump();
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
    EXPECT_EQ(GetDlgItem(NEXT), GetFocus());
    second.SetFocus();
    second.EnableWindow(FALSE);
    EXPECT_EQ(GetDlgItem(IDC_FILTER), GetFocus()) << "from the last tab stop to the first";
    byDefault.EnableWindow(FALSE);
    EXPECT_EQ(GetDlgItem(IDC_FILTER), GetFocus()) << "a button without the focus leaves it alone";

    // A click reaches the parent once, after the button took the focus; a double click is a second click.
    first.EnableWindow(TRUE);
    second.EnableWindow(TRUE);
    SendMessage(WM_COMMAND, MAKEWPARAM(SECOND, BN_CLICKED), reinterpret_cast<LPARAM>(second.m_hWnd));
    EXPECT_EQ(second.m_hWnd, GetFocus());
    EXPECT_EQ(1, Count(SECOND));
    for (UINT msg : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
        PostMessageA(first, msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(5, 5));
    Pump();
    EXPECT_EQ(2, Count(FIRST));
    EXPECT_EQ(0, Count(FIRST, BN_DOUBLECLICKED));
}

// What lies over the bare face is the caption or the icon: centred, one pixel right
// and down while pressed, drawn differently while disabled.
TEST_F(PageButtonTest, CaptionAndIconAreCentredOverTheFaceAndAReplacedIconIsDestroyed)
{
    ScopedVersion unthemed(6, 0);
    ASSERT_EQ(0, second.SetIcons(IDI_HELP_LINK, 0));
    const ButtonIcon help = second.Icon();
    EXPECT_TRUE(help.width == 16 && help.height == 16) << "the resource's only image";
    for (CPageButton* button : {&first, &second}) {
        RECT size, boxes[3];
        button->GetClientRect(&size);
        const int w = size.right, h = size.bottom;
        DibCanvas painted[3] = {{w, h}, {w, h}, {w, h}}, faces[3] = {{w, h}, {w, h}, {w, h}};
        const UINT states[] = {0, ODS_SELECTED, ODS_DISABLED};
        auto content = [&](int i, int x, int y) { return painted[i].At(x, y) != faces[i].At(x, y); };
        for (int i = 0; i < 3; ++i) {
            Paint(*button, painted[i].Dc(), w, h, states[i]);
            PaintCustomFace(faces[i].Dc(), size, {FALSE, i == 1, FALSE, i == 2, FALSE});
            boxes[i] = painted[i].Bounds([&](int x, int y) { return content(i, x, y); });
        }
        ASSERT_LT(boxes[0].left, boxes[0].right) << "nothing over the face";
        EXPECT_LE(std::abs(boxes[0].left - (w - boxes[0].right)), 3);
        EXPECT_LE(std::abs(boxes[0].top - (h - boxes[0].bottom)), 6);
        OffsetRect(&boxes[1], -1, -1);
        EXPECT_EQ(boxes[0], boxes[1]) << "pressed, moved one pixel right and down";
        EXPECT_GT(painted[0].Count(size, [&](int x, int y) { return content(0, x, y) != content(2, x, y); }), 10);
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
    ASSERT_EQ(0, second.SetIcons(IDI_HELP_LINK, 0));
    CPictureLink banner;
    ASSERT_TRUE(banner.CreateEx(0, "STATIC", "", WS_CHILD | WS_VISIBLE, {0, 0, 10, 10}, m_hWnd, 1));
    DibCanvas canvas(300, 70);
    const HDC dc = canvas.Dc();
    const UINT states[] = {0, ODS_FOCUS, ODS_SELECTED, ODS_DISABLED, ODS_SELECTED | ODS_FOCUS};
    auto repaint = [](HWND w) { RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW); };
    const std::pair<const char*, std::function<void(int)>> controls[] = {
        {"buttons with caption or icon", [&](int i) {
             Paint(i % 2 ? first : second, dc, 60, 24, states[i % 5]);
             if (i % 10 == 0)
                 repaint(i % 20 ? first : second);
         }},
        {"gradient bands", [&](int) { FillGradientBands(dc, 0, 0, 300, 4, RGB(255, 0, 0), RGB(0, 0, 255), FALSE); }},
        {"banner loaded and painted", [&](int i) {
             if (i % 20 == 0)
                 banner.ShowPicture(729, 68, IDR_BANNER, "GIF");
             i % 2 ? repaint(banner) : static_cast<void>(banner.SendMessage(WM_PAINT, reinterpret_cast<WPARAM>(dc)));
         }},
    };
    for (const auto& control : controls) {
        control.second(0);  // the first paint may fill caches of the system's own
        Pump();
        const DWORD before = fixtures::LiveGdiObjectCount();
        for (int i = 0; i < 1000; ++i)
            control.second(i);
        Pump();
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

TEST_F(PageButtonTest, ThePlatformVersionDecidesBetweenTheThemedPartAndTheCustomFace)
{
    second.UnsubclassWindow();
    const RECT rect = {0, 0, 80, 26};
    const struct {
        const char* name;
        UINT itemState;
        int themeState;
        ButtonFaceState face;  // hover, pressed, focused, disabled, default
    } looks[] = {
        {"focused", ODS_FOCUS, PBS_NORMAL, {FALSE, FALSE, TRUE, FALSE, FALSE}},
        {"disabled", ODS_DISABLED, PBS_DISABLED, {FALSE, FALSE, FALSE, TRUE, FALSE}},
        {"pressed by keyboard", ODS_SELECTED, PBS_PRESSED, {FALSE, TRUE, FALSE, FALSE, FALSE}},
        {"pressed while hovered", ODS_SELECTED, PBS_HOT, {TRUE, TRUE, FALSE, FALSE, FALSE}},
        {"default and disabled", ODS_DISABLED, PBS_DEFAULTED, {FALSE, FALSE, FALSE, TRUE, TRUE}},
    };
    const struct {
        const char* name;
        DWORD major, minor;
        BOOL capable;
        bool classicLook, windowUnthemed;  // the last case leaves the window unthemed
    } versions[] = {{"4.0", 4, 0, FALSE, false, false}, {"5.0", 5, 0, FALSE, false, false},
                    {"5.1", 5, 1, TRUE, false, false},  {"5.2", 5, 2, TRUE, false, false},
                    {"6.0", 6, 0, FALSE, false, false}, {"10.0", 10, 0, FALSE, false, false},
                    {"5.1, classic look", 5, 1, TRUE, true, false}, {"5.1, window unthemed", 5, 1, TRUE, false, true}};
    for (const auto& v : versions) {
        SCOPED_TRACE(v.name);
        ScopedVersion version(v.major, v.minor);
        EXPECT_EQ(v.capable, g_themeCapableOs);
        EXPECT_EQ(v.capable, g_useVisualStyles);
        EXPECT_EQ(v.capable, SharedVisualStyle() != nullptr);
        g_useVisualStyles = v.classicLook ? FALSE : g_useVisualStyles;
        CPageButton button;  // without a caption: the bare part or face
        ASSERT_TRUE(button.SubclassDlgItem(SECOND, this));
        ASSERT_TRUE(!v.windowUnthemed || SUCCEEDED(SetWindowTheme(button, L" ", L" ")));
        for (const auto& look : looks) {
            SCOPED_TRACE(look.name);
            button.SendMessage(BM_SETSTYLE, look.face.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, FALSE);
            look.face.hover ? MoveOnto(button) : static_cast<void>(button.SendMessage(WM_MOUSELEAVE));
            ASSERT_EQ(look.face.hover, button.Hover());
            DibCanvas painted(80, 26), expected(80, 26);
            Paint(button, painted.Dc(), 80, 26, look.itemState);
            if (!v.capable || v.classicLook || v.windowUnthemed)
                PaintCustomFace(expected.Dc(), rect, look.face);
            else if (!PaintThemed(button, expected.Dc(), rect, look.themeState))
                GTEST_SKIP() << "no visual style is active in this prefix";
            EXPECT_EQ(0, painted.Differences(expected));
        }
        button.UnsubclassWindow();
    }
    // Entries the library lacks fall back.
    ScopedVersion xp(5, 1);
    const FARPROC marker = reinterpret_cast<FARPROC>(reinterpret_cast<void (*)(void)>(&GetTickCount));
    EXPECT_EQ(marker, SharedVisualStyle()->ResolveEntry("NoSuchThemeEntry", marker));
    EXPECT_EQ(GetProcAddress(GetModuleHandleA("uxtheme.dll"), "OpenThemeData"),
              SharedVisualStyle()->ResolveEntry("OpenThemeData", marker));
}

}  // namespace
