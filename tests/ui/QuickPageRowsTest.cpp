// The quick page's rows on a machine whose products differ in every column: the new
// columns and their order both ways (missing values last, then first), the filter as
// the user types, the "only broken" choice, the marking of a missing uninstaller, the
// keyboard's ways to the filter and back, and the selection through all of it.
#include "QuickPageProbe.h"
#include "resource.h"
#include "support/AppTestSupport.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

namespace {

using Texts = std::vector<std::string>;
using quicktest::PressKey;

struct Place {
    HKEY root;
    std::string path;
};

class QuickPageRowsTest : public ::testing::Test {
protected:
    const Place native{HKEY_LOCAL_MACHINE, fixtures::kUninstallKey}, wow{HKEY_LOCAL_MACHINE, fixtures::kWowUninstallKey},
        user{HKEY_CURRENT_USER, fixtures::kUserUninstallKey};
    fixtures::ScopedKeyIsolation isolations[3] = {{native.root, native.path}, {wow.root, wow.path},
                                                  {user.root, user.path}};
    const std::string present = "\"" + fixtures::IconExecutable() + "\" /S", missing = "C:\\Missing\\gone.exe /S";
    const std::string alpha = fixtures::Ansi("Alpha 工具"), beta = fixtures::Ansi("贝塔软件"), gamma = "gamma",
                      delta = "Delta", foxtrot = fixtures::Ansi("F 产品"), hotel = fixtures::Ansi("丄丄");

    void SetUp() override
    {
        // In the registry's order. 丄 is 0x81 0x41 in code page 936: its trail byte is an "A".
        Add(native, "Alpha", alpha, present, "Acme, Inc.", "1.10.0", 2048, "20240105");
        Add(native, "Beta", beta, missing, "Beta \"Quoted\" Corp", "1.9", 512, "20231231");
        Add(native, "Gamma", gamma, present, "", "", 0, "");
        Add(wow, "Delta", delta, missing, "delta soft", "2.0 beta", 0, "2022-03-04");
        fixtures::SetString(wow.root, wow.path + "\\Delta", "EstimatedSize", "100");  // a text is no size
        Add(user, "FoxtrotKey", foxtrot, present, "Fox", "1.9.5", 4096, "20240105");
        Add(user, "Hotel", hotel, present, "", "", 0, "");
        ASSERT_TRUE(host.CreateEx(0, nullptr, "host", WS_OVERLAPPEDWINDOW, RECT{0, 0, 800, 500}, nullptr, 0));
        ASSERT_TRUE(page.Create(IDD_QUICK_PAGE, &host));
        list = page.GetDlgItem(IDC_LIST);
        filter = page.GetDlgItem(IDC_FILTER);
        ASSERT_TRUE(apptest::PumpUntil([&] { return !page.IsLoading(); }, 30000));
        for (int column = 0; column < 7; ++column)  // every header in view, to be clicked
            ListView_SetColumnWidth(list, column, 60);
    }
    void Add(const Place& place, const std::string& key, const std::string& name, const std::string& command,
             const std::string& publisher, const std::string& version, DWORD sizeKb, const std::string& date)
    {
        const std::string path = place.path + "\\" + key;
        fixtures::SetString(place.root, path, "DisplayName", name);
        fixtures::SetString(place.root, path, "UninstallString", command);
        if (!publisher.empty())
            fixtures::SetString(place.root, path, "Publisher", publisher);
        if (!version.empty())
            fixtures::SetString(place.root, path, "DisplayVersion", version);
        if (sizeKb)
            fixtures::SetDword(place.root, path, "EstimatedSize", sizeKb);
        if (!date.empty())
            fixtures::SetString(place.root, path, "InstallDate", date);
    }
    Texts Names() const { return apptest::ColumnTexts(list); }
    Texts Column(int column) const
    {
        Texts texts;
        for (int row = 0; row < apptest::ItemCount(list); ++row)
            texts.push_back(apptest::ItemText(list, row, column));
        return texts;
    }
    int Row(const std::string& name) const { return apptest::FindRow(list, name); }
    std::string Text(int id) const { return apptest::WindowText(page.GetDlgItem(id)); }
    void ClickHeader(int column) { ASSERT_TRUE(apptest::ClickHeader(list, column)); }
    int HeaderFormat(int column) const
    {
        HDITEMA item = {};
        item.mask = HDI_FORMAT;
        Header_GetItem(ListView_GetHeader(list), column, &item);
        return item.fmt;
    }
    void SetFilter(const std::string& text) { SetWindowTextA(filter, text.c_str()); }
    std::string Count(int total, int shown) const { return apptest::FormatString(IDS_PRODUCT_COUNT, total, shown); }
    // The page's answer to one stage of the list's custom drawing of a row.
    LRESULT CustomDraw(int row, DWORD stage, int column, COLORREF* text = nullptr)
    {
        NMLVCUSTOMDRAW draw = {};
        draw.nmcd.hdr = {list, IDC_LIST, static_cast<UINT>(NM_CUSTOMDRAW)};
        draw.nmcd.dwDrawStage = stage;
        draw.nmcd.dwItemSpec = static_cast<DWORD_PTR>(row);
        draw.iSubItem = column;
        draw.clrText = CLR_DEFAULT;
        const LRESULT answer = SendMessageA(page, WM_NOTIFY, IDC_LIST, reinterpret_cast<LPARAM>(&draw));
        if (text)
            *text = draw.clrText;
        return answer;
    }
    std::string InfoTip(int row)
    {
        char text[512] = "";
        NMLVGETINFOTIPA tip = {};
        tip.hdr = {list, IDC_LIST, static_cast<UINT>(LVN_GETINFOTIPA)};
        tip.pszText = text;
        tip.cchTextMax = sizeof(text);
        tip.iItem = row;
        SendMessageA(page, WM_NOTIFY, IDC_LIST, reinterpret_cast<LPARAM>(&tip));
        return text;
    }

    quicktest::ProbeHost host;
    quicktest::ProbedQuickPage page;
    HWND list = nullptr, filter = nullptr;
};

std::string Today()
{
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    char text[16];
    snprintf(text, sizeof(text), "%04u-%02u-%02u", now.wYear, now.wMonth, now.wDay);
    return text;
}

TEST_F(QuickPageRowsTest, NewColumnsShowVersionSizeDateAndSourceAndSortByValueBothWays)
{
    ASSERT_EQ((Texts{alpha, beta, gamma, delta, foxtrot, hotel}), Names());
    EXPECT_EQ((Texts{"1.10.0", "1.9", "", "2.0 beta", "1.9.5", ""}), Column(3));
    EXPECT_EQ((Texts{"2.0 MB", "512 KB", "", "", "4.0 MB", ""}), Column(4));
    EXPECT_EQ((Texts{"2024-01-05", "2023-12-31", Today(), "2022-03-04", "2024-01-05", Today()}), Column(5));
    EXPECT_EQ((Texts{"HKLM", "HKLM", "HKLM", "HKLM32", "HKCU", "HKCU"}), Column(6));
    EXPECT_EQ(Count(6, 6), Text(IDC_PRODUCT_COUNT));

    // Ascending with missing values last; descending is its reverse, but equal values
    // keep the registry's order either way.
    const struct {
        int column;
        Texts ascending, descending;
    } orders[] = {
        {3, {beta, foxtrot, alpha, delta, gamma, hotel}, {gamma, hotel, delta, alpha, foxtrot, beta}},
        {4, {beta, alpha, foxtrot, gamma, delta, hotel}, {gamma, delta, hotel, foxtrot, alpha, beta}},
        {5, {delta, beta, alpha, foxtrot, gamma, hotel}, {gamma, hotel, alpha, foxtrot, beta, delta}},
        {6, {alpha, beta, gamma, delta, foxtrot, hotel}, {foxtrot, hotel, delta, alpha, beta, gamma}},
    };
    for (const auto& order : orders) {
        SCOPED_TRACE(order.column);
        ClickHeader(order.column);
        EXPECT_EQ(order.ascending, Names());
        EXPECT_EQ(HDF_SORTUP, HeaderFormat(order.column) & (HDF_SORTUP | HDF_SORTDOWN));
        ClickHeader(order.column);
        EXPECT_EQ(order.descending, Names());
        EXPECT_EQ(HDF_SORTDOWN, HeaderFormat(order.column) & (HDF_SORTUP | HDF_SORTDOWN));
        EXPECT_EQ(0, HeaderFormat(order.column == 3 ? 4 : 3) & (HDF_SORTUP | HDF_SORTDOWN));
    }
    // The rows' records follow the rows.
    for (int row = 0; row < 6; ++row)
        EXPECT_STREQ(apptest::ItemText(list, row, 0).c_str(), page.RowEntry(row)->displayName);
}

// A product without a registered size shows its install folder's size once measured
// (between messages, links not entered), for the whole session: a refresh shows the
// size known, not a new measurement. A folder the screening refuses (the Windows
// folder) is not measured.
TEST_F(QuickPageRowsTest, FolderSizesArriveBetweenMessagesAndAreKeptForTheSession)
{
    fixtures::ScopedDir folder(fixtures::ProgramFilesFolder() + "\\" + fixtures::UniqueName("UmSized"));
    for (const char* name : {"\\app.exe", "\\data1.bin", "\\data2.bin", "\\sub\\more.bin"})
        ASSERT_TRUE(fixtures::WriteFileText(folder.Path() + name, std::string(name[1] == 's' ? 50000 : 100000, 'x')));
    ASSERT_TRUE(fixtures::MakeFolderLink(folder.Path() + "\\loop", folder.Path()));
    ASSERT_TRUE(fixtures::MakeFolderLink(folder.Path() + "\\windows", fixtures::WindowsFolder()));
    fixtures::SetString(native.root, native.path + "\\Gamma", "InstallLocation", folder.Path() + "\\");
    fixtures::SetString(user.root, user.path + "\\Hotel", "InstallLocation", fixtures::WindowsFolder());
    SendMessageA(page.GetDlgItem(IDC_REFRESH), BM_CLICK, 0, 0);
    ASSERT_TRUE(apptest::PumpUntil([&] { return !page.IsLoading() && !page.SizesPending(); }, 30000));
    EXPECT_EQ("342 KB", apptest::ItemText(list, Row(gamma), 4));
    EXPECT_EQ("", apptest::ItemText(list, Row(hotel), 4));
    ClickHeader(4);
    EXPECT_EQ((Texts{gamma, beta, alpha, foxtrot, delta, hotel}), Names());

    ASSERT_TRUE(fixtures::WriteFileText(folder.Path() + "\\grown.bin", std::string(500000, 'x')));
    SendMessageA(page.GetDlgItem(IDC_REFRESH), BM_CLICK, 0, 0);
    ASSERT_TRUE(apptest::PumpUntil([&] { return !page.IsLoading() && !page.SizesPending(); }, 30000));
    EXPECT_EQ("342 KB", apptest::ItemText(list, Row(gamma), 4));
    EXPECT_EQ((Texts{gamma, beta, alpha, foxtrot, delta, hotel}), Names());
    fixtures::RemoveFolderLink(folder.Path() + "\\loop");
    fixtures::RemoveFolderLink(folder.Path() + "\\windows");
}

// The list shows, as each character arrives, the products whose name, publisher or
// key name holds the text; the count says how many of all; clearing it brings back
// the whole list in its order, and the selected product stays selected throughout
// while it is shown.
TEST_F(QuickPageRowsTest, TypingFiltersByNamePublisherOrKeyNameAndTheSelectionFollows)
{
    ClickHeader(0);
    const Texts byName = Names();
    // Typed into the field: each keystroke is one message, and the rows follow it.
    const std::string typed = fixtures::Ansi("贝塔");
    SetFocus(filter);
    for (char ch : typed)
        SendMessageA(filter, WM_CHAR, static_cast<unsigned char>(ch), 1);
    EXPECT_EQ(typed, Text(IDC_FILTER));
    EXPECT_EQ((Texts{beta}), Names());
    EXPECT_EQ(Count(6, 1), Text(IDC_PRODUCT_COUNT));
    const std::pair<std::string, Texts> filters[] = {
        {"ACME", {alpha}},                     // a publisher, in another case
        {"trotk", {foxtrot}},                  // a key name only
        {"a", {alpha, beta, gamma, delta}},    // never 丄's trail byte
        {fixtures::Ansi("丄"), {hotel}},
        {"quoted\" c", {beta}},
        {"nothing like it", {}},
    };
    for (const auto& [text, shown] : filters) {
        SetFilter(text);
        Texts expected = shown;
        std::sort(expected.begin(), expected.end(), [&](const std::string& a, const std::string& b) {
            return std::find(byName.begin(), byName.end(), a) < std::find(byName.begin(), byName.end(), b);
        });
        EXPECT_EQ(expected, Names()) << text;
        EXPECT_EQ(Count(6, static_cast<int>(shown.size())), Text(IDC_PRODUCT_COUNT));
    }

    SetFilter("");
    EXPECT_EQ(byName, Names());
    apptest::SelectRow(list, Row(beta));
    EXPECT_EQ(beta, Text(IDC_DISPLAY_NAME));
    SetFilter("e");  // Beta's publisher, and others
    ASSERT_NE(-1, Row(beta));
    EXPECT_EQ(Row(beta), ListView_GetNextItem(list, -1, LVNI_SELECTED));
    EXPECT_EQ(beta, Text(IDC_DISPLAY_NAME));
    SetFilter(gamma);  // Beta is not shown: nothing is selected, no details
    EXPECT_EQ(-1, ListView_GetNextItem(list, -1, LVNI_SELECTED));
    EXPECT_EQ("", Text(IDC_DISPLAY_NAME));
    SendMessageA(filter, WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_EQ("", Text(IDC_FILTER));
    EXPECT_EQ(byName, Names());
    EXPECT_EQ(Count(6, 6), Text(IDC_PRODUCT_COUNT));
}

// A product whose uninstaller is missing has a grey name, says so in the tip over its
// row and in its details, offers forced removal first, and the "only broken" choice
// shows exactly those products, with the filter too.
TEST_F(QuickPageRowsTest, MissingUninstallersAreMarkedAndCanBeShownAlone)
{
    for (const std::string& name : {alpha, beta, gamma, delta, foxtrot, hotel}) {
        SCOPED_TRACE(name);
        const bool broken = name == beta || name == delta;
        const int row = Row(name);
        EXPECT_EQ(broken, page.RowEntry(row)->uninstallerMissing);
        EXPECT_EQ(CDRF_NOTIFYITEMDRAW, CustomDraw(row, CDDS_PREPAINT, 0));
        EXPECT_EQ(broken ? CDRF_NOTIFYSUBITEMDRAW : CDRF_DODEFAULT, CustomDraw(row, CDDS_ITEMPREPAINT, 0));
        COLORREF nameColor = 0, commandColor = 0;
        if (broken) {
            CustomDraw(row, CDDS_ITEMPREPAINT | CDDS_SUBITEM, 0, &nameColor);
            CustomDraw(row, CDDS_ITEMPREPAINT | CDDS_SUBITEM, 1, &commandColor);
            EXPECT_EQ(GetSysColor(COLOR_GRAYTEXT), nameColor);
            EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), commandColor);
        }
        EXPECT_EQ(broken ? LoadStringText(IDS_UNINSTALLER_MISSING) + ": " + missing : "", InfoTip(row));
        apptest::SelectRow(list, row);
        EXPECT_EQ(broken ? LoadStringText(IDS_UNINSTALLER_MISSING) : "", Text(IDC_DETAILS_FRAME));
        SendMessageA(list, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), -1);
        ASSERT_FALSE(page.menu.empty());
        EXPECT_EQ(broken ? IDC_DELETE_ENTRY : IDC_UNINSTALL, static_cast<int>(page.menu[0].id));
        EXPECT_TRUE(page.menu[0].byDefault);
    }

    SendMessageA(page.GetDlgItem(IDC_ONLY_BROKEN), BM_CLICK, 0, 0);
    EXPECT_EQ((Texts{beta, delta}), Names());
    EXPECT_EQ(Count(6, 2), Text(IDC_PRODUCT_COUNT));
    SetFilter("delta");
    EXPECT_EQ((Texts{delta}), Names());
    SetFilter("");
    SendMessageA(page.GetDlgItem(IDC_ONLY_BROKEN), BM_CLICK, 0, 0);
    EXPECT_EQ(6, apptest::ItemCount(list));
}

// Ctrl+F anywhere on the page and a character typed in the list lead to the filter
// (the character typed there); Esc there empties it, and only when there is something
// to empty does the field keep Esc from the dialog; the down arrow goes back to the list.
TEST_F(QuickPageRowsTest, TheKeyboardGoesToTheFilterAndBack)
{
    SetFocus(list);
    PressKey(list, 'F', true);
    EXPECT_EQ(filter, GetFocus());
    SetFocus(page.GetDlgItem(IDC_REFRESH));
    PressKey(page.GetDlgItem(IDC_REFRESH), 'F', true);
    EXPECT_EQ(filter, GetFocus());

    SetFocus(list);
    SendMessageA(list, WM_CHAR, 'g', 1);
    EXPECT_EQ(filter, GetFocus());
    EXPECT_EQ("g", Text(IDC_FILTER));
    EXPECT_EQ((Texts{gamma}), Names());
    MSG escape = {filter, WM_KEYDOWN, VK_ESCAPE, 1, 0, {0, 0}};
    EXPECT_TRUE(SendMessageA(filter, WM_GETDLGCODE, VK_ESCAPE, reinterpret_cast<LPARAM>(&escape)) & DLGC_WANTMESSAGE);
    SendMessageA(filter, WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_EQ("", Text(IDC_FILTER));
    EXPECT_EQ(6, apptest::ItemCount(list));
    EXPECT_FALSE(SendMessageA(filter, WM_GETDLGCODE, VK_ESCAPE, reinterpret_cast<LPARAM>(&escape)) & DLGC_WANTMESSAGE);
    PressKey(filter, VK_DOWN, false);
    EXPECT_EQ(list, GetFocus());
    // Tab order: the filter, the choice, the list, then the buttons.
    EXPECT_EQ(page.GetDlgItem(IDC_ONLY_BROKEN), GetNextDlgTabItem(page, filter, FALSE));
    EXPECT_EQ(list, GetNextDlgTabItem(page, page.GetDlgItem(IDC_ONLY_BROKEN), FALSE));
    EXPECT_EQ(page.GetDlgItem(IDC_UNINSTALL), GetNextDlgTabItem(page, list, FALSE));
}

}  // namespace
