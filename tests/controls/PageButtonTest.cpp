#include "controls/PageButton.h"

#include <gtest/gtest.h>

#include "ButtonHost.h"
#include "DibCanvas.h"
#include "resource.h"
#include "support/Fixtures.h"
#include "support/GdiCount.h"

namespace {

const COLORREF BACKGROUND = RGB(1, 2, 3);

class PageButtonTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(nullptr, host.Dialog());
        ASSERT_TRUE(first.SubclassDlgItem(ButtonHost::FIRST, &host.Parent()));
        ASSERT_TRUE(second.SubclassDlgItem(ButtonHost::SECOND, &host.Parent()));
        ASSERT_TRUE(byDefault.SubclassDlgItem(ButtonHost::DEFAULT, &host.Parent()));
        host.Pump();
    }

    static UINT Type(const CWnd& button) { return button.GetStyle() & 0xF; }

    // Puts the cursor on the button and moves the mouse there.
    void MoveOnto(CPageButton& button, WPARAM keys = 0)
    {
        RECT rect;
        button.GetClientRect(&rect);
        POINT centre = {rect.right / 2, rect.bottom / 2};
        POINT screen = centre;
        ClientToScreen(button.m_hWnd, &screen);
        SetCursorPos(screen.x, screen.y);
        button.SendMessage(WM_MOUSEMOVE, keys, MAKELPARAM(centre.x, centre.y));
    }

    // Paints the button through its parent's WM_DRAWITEM into a canvas.
    void Paint(CPageButton& button, DibCanvas& canvas, UINT state)
    {
        DRAWITEMSTRUCT item = {};
        item.CtlType = ODT_BUTTON;
        item.CtlID = static_cast<UINT>(GetDlgCtrlID(button.m_hWnd));
        item.itemAction = ODA_DRAWENTIRE;
        item.itemState = state;
        item.hwndItem = button.m_hWnd;
        item.hDC = canvas.Dc();
        SetRect(&item.rcItem, 0, 0, canvas.Width(), canvas.Height());
        SendMessageA(host.Dialog(), WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
    }

    ButtonHost host;
    CPageButton first, second, byDefault;
};

TEST_F(PageButtonTest, SubclassingMakesOwnerDrawnButtonsAndReadsTheDefault)
{
    EXPECT_EQ(static_cast<UINT>(BS_OWNERDRAW), Type(first));
    EXPECT_EQ(static_cast<UINT>(BS_OWNERDRAW), Type(second));
    EXPECT_EQ(static_cast<UINT>(BS_OWNERDRAW), Type(byDefault));
    EXPECT_FALSE(first.IsDefault());
    EXPECT_TRUE(byDefault.IsDefault());
    EXPECT_TRUE(first.GetStyle() & WS_TABSTOP);
}

TEST_F(PageButtonTest, DefaultFollowsTheFocusAndTheTypeStaysOwnerDrawn)
{
    SendMessageA(host.Dialog(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(first.m_hWnd), TRUE);
    EXPECT_EQ(first.m_hWnd, GetFocus());
    EXPECT_TRUE(first.IsDefault());
    EXPECT_FALSE(byDefault.IsDefault());

    SendMessageA(host.Dialog(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(second.m_hWnd), TRUE);
    EXPECT_FALSE(first.IsDefault());
    EXPECT_TRUE(second.IsDefault());

    // A control that is no button gives the default back to the dialog's default button.
    SendMessageA(host.Dialog(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(host.Item(ButtonHost::EDIT)), TRUE);
    EXPECT_FALSE(second.IsDefault());
    EXPECT_TRUE(byDefault.IsDefault());

    for (CPageButton* button : {&first, &second, &byDefault})
        EXPECT_EQ(static_cast<UINT>(BS_OWNERDRAW), Type(*button));

    // Asked directly, any type keeps the button owner-drawn.
    first.SendMessage(BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    EXPECT_TRUE(first.IsDefault());
    first.SendMessage(BM_SETSTYLE, BS_CHECKBOX, TRUE);
    EXPECT_TRUE(first.IsDefault()) << "only the push-button types change the default";
    first.SendMessage(BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    EXPECT_FALSE(first.IsDefault());
    EXPECT_EQ(static_cast<UINT>(BS_OWNERDRAW), Type(first));
}

TEST_F(PageButtonTest, DialogCodeTellsWhetherTheButtonIsTheDefault)
{
    const LRESULT plain = first.SendMessage(WM_GETDLGCODE);
    EXPECT_TRUE(plain & DLGC_UNDEFPUSHBUTTON);
    EXPECT_FALSE(plain & DLGC_DEFPUSHBUTTON);
    EXPECT_TRUE(plain & DLGC_BUTTON) << "the default code is kept";
    const LRESULT asDefault = byDefault.SendMessage(WM_GETDLGCODE);
    EXPECT_TRUE(asDefault & DLGC_DEFPUSHBUTTON);
    EXPECT_FALSE(asDefault & DLGC_UNDEFPUSHBUTTON);
    EXPECT_FALSE(first.SendMessage(BM_GETCHECK));
    EXPECT_EQ(0, first.SendMessage(BM_SETCHECK, BST_CHECKED));
    EXPECT_FALSE(first.SendMessage(BM_GETCHECK));
}

TEST_F(PageButtonTest, HoverIsSetByMovingOntoTheButtonAndClearedByLeaving)
{
    MoveOnto(first);
    EXPECT_TRUE(first.Hover());
    RECT update;
    EXPECT_TRUE(GetUpdateRect(first.m_hWnd, &update, FALSE)) << "the button is repainted";
    host.Pump();
    EXPECT_TRUE(first.Hover()) << "still over the button";

    first.SendMessage(WM_MOUSELEAVE);
    EXPECT_FALSE(first.Hover());

    // A move that lands elsewhere ends the hover as well.
    MoveOnto(first);
    ASSERT_TRUE(first.Hover());
    first.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(-3, -3));
    EXPECT_FALSE(first.Hover());
}

TEST_F(PageButtonTest, HoverEndsWhenThePointerGoesAway)
{
    MoveOnto(first);
    ASSERT_TRUE(first.Hover());
    SetCursorPos(2000, 2000);
    EXPECT_TRUE(host.PumpUntil([&] { return !first.Hover(); }, 3000));
}

TEST_F(PageButtonTest, HoverIsClearedByFocusLossCancelModeDeactivationAndDisabling)
{
    first.SetFocus();
    MoveOnto(first);
    ASSERT_TRUE(first.Hover());
    second.SetFocus();
    EXPECT_FALSE(first.Hover()) << "focus loss";

    MoveOnto(first);
    ASSERT_TRUE(first.Hover());
    first.SendMessage(WM_CANCELMODE);
    EXPECT_FALSE(first.Hover()) << "cancel mode";

    MoveOnto(first);
    ASSERT_TRUE(first.Hover());
    first.SendMessage(WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 0));
    EXPECT_TRUE(first.Hover());
    first.SendMessage(WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0));
    EXPECT_FALSE(first.Hover()) << "deactivation";

    MoveOnto(first);
    ASSERT_TRUE(first.Hover());
    first.EnableWindow(FALSE);
    EXPECT_FALSE(first.Hover()) << "disabling";
}

TEST_F(PageButtonTest, EnteringWithTheMouseButtonHeldDoesNotLight)
{
    MoveOnto(first, MK_LBUTTON);
    EXPECT_FALSE(first.Hover());
    // Already lit, a held button keeps the hover.
    MoveOnto(first);
    ASSERT_TRUE(first.Hover());
    MoveOnto(first, MK_LBUTTON);
    EXPECT_TRUE(first.Hover());
}

TEST_F(PageButtonTest, DisablingTheFocusedButtonMovesTheFocusOn)
{
    first.SetFocus();
    ASSERT_EQ(first.m_hWnd, GetFocus());
    first.EnableWindow(FALSE);
    EXPECT_EQ(second.m_hWnd, GetFocus());

    // A button without the focus leaves the focus where it is.
    HWND edit = host.Item(ButtonHost::EDIT);
    SetFocus(edit);
    second.EnableWindow(FALSE);
    EXPECT_EQ(edit, GetFocus());

    // The last enabled tab stop wraps around to the next one.
    byDefault.SetFocus();
    byDefault.EnableWindow(FALSE);
    EXPECT_EQ(edit, GetFocus());
}

TEST_F(PageButtonTest, ParentReceivesEveryClickOnceAndTheButtonTakesTheFocus)
{
    SetFocus(host.Item(ButtonHost::EDIT));
    // The notification as the parent gets it: the button takes the focus first.
    SendMessageA(host.Dialog(), WM_COMMAND, MAKEWPARAM(ButtonHost::SECOND, BN_CLICKED),
                 reinterpret_cast<LPARAM>(second.m_hWnd));
    EXPECT_EQ(second.m_hWnd, GetFocus());
    EXPECT_EQ(1, host.Parent().Count(ButtonHost::SECOND, BN_CLICKED));

    host.Parent().Reset();
    first.SendMessage(BM_CLICK);
    host.Pump();
    EXPECT_EQ(1, host.Parent().Count(ButtonHost::FIRST, BN_CLICKED));
    EXPECT_EQ(first.m_hWnd, GetFocus());
}

TEST_F(PageButtonTest, DoubleClickActsAsTwoClicks)
{
    const LPARAM at = MAKELPARAM(5, 5);
    PostMessageA(first.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(first.m_hWnd, WM_LBUTTONUP, 0, at);
    PostMessageA(first.m_hWnd, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostMessageA(first.m_hWnd, WM_LBUTTONUP, 0, at);
    host.Pump();
    EXPECT_EQ(2, host.Parent().Count(ButtonHost::FIRST, BN_CLICKED));
    EXPECT_EQ(0, host.Parent().Count(ButtonHost::FIRST, BN_DOUBLECLICKED));
}

TEST_F(PageButtonTest, FaceFollowsTheItemStateAndTheHover)
{
    struct Case {
        const char* name;
        UINT state;
        bool hover;
        COLORREF ringTop;
    } cases[] = {
        {"normal", 0, false, RGB(255, 255, 255)},
        {"focused", ODS_FOCUS, false, RGB(206, 231, 255)},
        {"hot", 0, true, RGB(255, 240, 207)},
        {"pressed", ODS_SELECTED, true, RGB(209, 204, 193)},
        {"disabled", ODS_DISABLED, false, RGB(245, 244, 234)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.hover)
            MoveOnto(first);
        else
            first.SendMessage(WM_MOUSELEAVE);
        ASSERT_EQ(c.hover, first.Hover() != FALSE);
        DibCanvas canvas(80, 30, BACKGROUND);
        Paint(first, canvas, c.state);
        EXPECT_EQ(c.ringTop, canvas.At(40, 2));
    }
    // The dialog's default button shows the default ring.
    first.SendMessage(WM_MOUSELEAVE);
    DibCanvas canvas(80, 30, BACKGROUND);
    Paint(byDefault, canvas, 0);
    EXPECT_EQ(RGB(206, 231, 255), canvas.At(40, 2));
}

TEST_F(PageButtonTest, CaptionIsPaintedOnlyWhenThereIsText)
{
    const COLORREF ink = GetSysColor(COLOR_BTNTEXT);
    const RECT body = {4, 4, 76, 26};
    DibCanvas withText(80, 30, BACKGROUND);
    Paint(first, withText, 0);
    const int inkPixels = 80 * 30 - withText.CountNot(body, ink) - (80 * 30 - 72 * 22);
    EXPECT_GT(inkPixels, 5);

    DibCanvas empty(80, 30, BACKGROUND);
    Paint(second, empty, 0);
    EXPECT_EQ(72 * 22, empty.CountNot(body, ink));
    EXPECT_EQ(RGB(255, 255, 255), empty.At(40, 2)) << "the face is painted";
}

TEST_F(PageButtonTest, IconIsLoadedReplacedAndCentred)
{
    const DWORD gdi = fixtures::LiveGdiObjectCount();
    EXPECT_EQ(0, second.SetIcons(IDI_HELP_LINK, 0));
    const HICON firstIcon = second.Icon().icon;
    ASSERT_NE(nullptr, firstIcon);
    EXPECT_EQ(16u, second.Icon().width);
    EXPECT_EQ(16u, second.Icon().height);
    const DWORD withIcon = fixtures::LiveGdiObjectCount();
    EXPECT_GT(withIcon, gdi);

    // A second icon replaces the first, which is destroyed.
    EXPECT_EQ(0, second.SetIcons(IDR_MAINFRAME, 0));
    EXPECT_NE(nullptr, second.Icon().icon);
    EXPECT_GT(second.Icon().width, 0u);
    EXPECT_EQ(second.Icon().width, second.Icon().height);
    ICONINFO info;
    EXPECT_FALSE(GetIconInfo(firstIcon, &info)) << "the first icon is still alive";

    // An icon that does not load leaves none, and the earlier one is gone.
    EXPECT_EQ(0, second.SetIcons(4321, 0));
    EXPECT_EQ(nullptr, second.Icon().icon);
    EXPECT_EQ(0u, second.Icon().width);
    EXPECT_EQ(gdi, fixtures::LiveGdiObjectCount());

    ASSERT_EQ(0, second.SetIcons(IDI_HELP_LINK, 0));
    DibCanvas up(40, 30, BACKGROUND), down(40, 30, BACKGROUND);
    Paint(second, up, ODS_DISABLED);
    Paint(second, down, ODS_DISABLED | ODS_SELECTED);
    // The face is flat when disabled; the icon is the only thing inside it.
    const COLORREF flat = RGB(245, 244, 234);
    const RECT where = {12, 7, 28, 23};
    const RECT shifted = {13, 8, 29, 24};
    EXPECT_GT(up.CountNot(where, flat), 10);
    const RECT outside[] = {{4, 4, 11, 26}, {30, 4, 36, 26}};
    for (const RECT& r : outside)
        EXPECT_EQ(0, up.CountNot(r, flat));
    int moved = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            moved += up.At(where.left + x, where.top + y) == down.At(shifted.left + x, shifted.top + y) ? 1 : 0;
    EXPECT_EQ(256, moved) << "pressed, the icon moves by (1, 1)";
}

TEST_F(PageButtonTest, ThousandPaintsLeakNoObjects)
{
    ASSERT_EQ(0, second.SetIcons(IDI_HELP_LINK, 0));
    DibCanvas canvas(60, 24, BACKGROUND);
    Paint(first, canvas, 0);
    Paint(second, canvas, 0);
    host.Pump();
    const DWORD gdi = fixtures::LiveGdiObjectCount();
    const UINT states[] = {0, ODS_FOCUS, ODS_SELECTED, ODS_DISABLED, ODS_SELECTED | ODS_FOCUS};
    for (int i = 0; i < 1000; ++i) {
        Paint(i % 2 ? first : second, canvas, states[i % 5]);
        if (i % 10 == 0) {
            InvalidateRect(first.m_hWnd, nullptr, TRUE);
            UpdateWindow(first.m_hWnd);
        }
    }
    host.Pump();
    EXPECT_EQ(gdi, fixtures::LiveGdiObjectCount());
}

}  // namespace
