// The quick-uninstall page over real uninstall entries.
#include "inventory/QuickUninstallPage.h"
#include "resource.h"
#include "support/Fixtures.h"
#include "support/MessageBoxAnswerer.h"

#include "support/AppTestSupport.h"

#include <gtest/gtest.h>

namespace {

const char kUninstall[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// The page with the uninstall command and the link opening recorded instead of run.
class RecordingQuickPage : public CQuickUninstallPage {
public:
    std::vector<std::string> commands;
    std::vector<std::string> links;
    const CInstalledSoftwareList& List() const { return inventory; }

protected:
    void RunUninstallCommand(const char* command) override { commands.push_back(command); }
    void OpenLink(const char* link) override { links.push_back(link); }
};

struct Product {
    std::string key;
    std::string name;
    std::string command;
    std::string publisher;
    std::string helpLink;
};

class QuickPageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        products = {
            {"Beta", fixtures::Ansi("贝塔软件"), "\"C:\\Beta\\uninst.exe\" /S", "Beta Corp", "http://beta.example/"},
            {"Alpha", "Alpha Tool", "C:\\Alpha\\remove.exe", "", ""},
            {"Gamma", "Gamma", "\"" + fixtures::IconExecutable() + "\"", fixtures::Ansi("伽马"), "http://g/"},
        };
        for (const Product& product : products) {
            std::string path = std::string(kUninstall) + "\\" + product.key;
            fixtures::SetString(HKEY_LOCAL_MACHINE, path, "DisplayName", product.name);
            fixtures::SetString(HKEY_LOCAL_MACHINE, path, "UninstallString", product.command);
            if (!product.publisher.empty())
                fixtures::SetString(HKEY_LOCAL_MACHINE, path, "Publisher", product.publisher);
            if (!product.helpLink.empty())
                fixtures::SetString(HKEY_LOCAL_MACHINE, path, "HelpLink", product.helpLink);
        }
        RECT rect = {0, 0, 700, 500};
        ASSERT_TRUE(host.CreateEx(0, nullptr, "host", WS_OVERLAPPEDWINDOW, rect, nullptr, 0));
        ASSERT_TRUE(page.Create(IDD_QUICK_PAGE, &host));
        list = page.GetDlgItem(IDC_LIST);
        order = fixtures::SubkeyNames(HKEY_LOCAL_MACHINE, kUninstall);
    }

    const Product& ProductAt(int row) const
    {
        for (const Product& product : products) {
            if (product.key == order[row])
                return product;
        }
        return products[0];
    }
    std::string Field(int id) const { return apptest::WindowText(page.GetDlgItem(id)); }
    bool LinkButtonEnabled() const { return IsWindowEnabled(page.GetDlgItem(IDC_OPEN_LINK)) != 0; }
    void Click(int id) { SendMessageA(page.GetDlgItem(id), BM_CLICK, 0, 0); }

    fixtures::ScopedKeyIsolation isolation{HKEY_LOCAL_MACHINE, kUninstall};
    std::vector<Product> products;
    std::vector<std::string> order;
    CWnd host;
    RecordingQuickPage page;
    HWND list = nullptr;
};

TEST_F(QuickPageTest, ListsEveryProductInRegistryOrderWithAnImageEach)
{
    ASSERT_EQ(3, apptest::ItemCount(list));
    ASSERT_EQ(3u, order.size());
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(ProductAt(row).name, apptest::ItemText(list, row, 0));
        EXPECT_EQ(ProductAt(row).command, apptest::ItemText(list, row, 1));
        EXPECT_EQ(ProductAt(row).publisher, apptest::ItemText(list, row, 2));
        EXPECT_EQ(row, apptest::ItemImage(list, row));
    }
    HIMAGELIST images = reinterpret_cast<HIMAGELIST>(SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
    EXPECT_EQ(3, ImageList_GetImageCount(images));
    EXPECT_EQ(static_cast<DWORD>(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP),
              static_cast<DWORD>(SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0)));
    EXPECT_FALSE(LinkButtonEnabled());
    EXPECT_EQ("", Field(IDC_DISPLAY_NAME));
}

TEST_F(QuickPageTest, SelectionShowsTheRecordAndTheHelpLinkButtonFollowsIt)
{
    for (int row = 0; row < 3; ++row) {
        apptest::SelectRow(list, row);
        const Product& product = ProductAt(row);
        EXPECT_EQ(product.name, Field(IDC_DISPLAY_NAME));
        EXPECT_EQ(product.command, Field(IDC_UNINSTALL_STRING));
        EXPECT_EQ(product.publisher, Field(IDC_PUBLISHER));
        EXPECT_EQ(product.helpLink, Field(IDC_HELP_LINK));
        EXPECT_EQ(std::string(kUninstall) + "\\" + product.key, Field(IDC_KEY_PATH));
        EXPECT_EQ(!product.helpLink.empty(), LinkButtonEnabled());
        if (!product.helpLink.empty()) {
            Click(IDC_OPEN_LINK);
            ASSERT_FALSE(page.links.empty());
            EXPECT_EQ(product.helpLink, page.links.back());
        }
    }
}

TEST_F(QuickPageTest, NormalUninstallRemovesRowAndRecordTogether)
{
    Click(IDC_UNINSTALL);
    EXPECT_TRUE(page.commands.empty());  // nothing selected

    apptest::SelectRow(list, 1);
    std::string removedName = ProductAt(1).name;
    Click(IDC_UNINSTALL);
    ASSERT_EQ(1u, page.commands.size());
    EXPECT_EQ(ProductAt(1).command, page.commands[0]);
    ASSERT_EQ(2, apptest::ItemCount(list));
    EXPECT_EQ(ProductAt(2).name, apptest::ItemText(list, 1, 0));
    EXPECT_STREQ(ProductAt(2).name.c_str(), page.List().GetAt(1)->displayName);
    // The details keep the removed product unless the list moved its focus to the
    // row that took its place, which then shows that row's own record.
    std::string shown = Field(IDC_DISPLAY_NAME);
    EXPECT_TRUE(shown == removedName || shown == ProductAt(2).name) << shown;
    EXPECT_TRUE(fixtures::KeyExists(HKEY_LOCAL_MACHINE, std::string(kUninstall) + "\\" + order[1]));
}

TEST_F(QuickPageTest, ForcedUninstallAsksAndOnlyYesDeletesTheKey)
{
    apptest::SelectRow(list, 0);
    std::string key = std::string(kUninstall) + "\\" + order[0];
    {
        fixtures::MessageBoxAnswerer answerer(IDNO);
        Click(IDC_DELETE_ENTRY);
        ASSERT_EQ(1u, answerer.Count());
        EXPECT_EQ(fixtures::Ansi("您是否真的要强制卸载应用软件并强制删除其卸载登记项!"), answerer.Boxes()[0].text);
    }
    EXPECT_TRUE(page.commands.empty());
    EXPECT_TRUE(fixtures::KeyExists(HKEY_LOCAL_MACHINE, key));
    EXPECT_EQ(3, apptest::ItemCount(list));

    {
        fixtures::MessageBoxAnswerer answerer(IDYES);
        Click(IDC_DELETE_ENTRY);
        EXPECT_EQ(1u, answerer.Count());
    }
    ASSERT_EQ(1u, page.commands.size());
    EXPECT_EQ(ProductAt(0).command, page.commands[0]);
    EXPECT_FALSE(fixtures::KeyExists(HKEY_LOCAL_MACHINE, key));
    EXPECT_EQ(2, apptest::ItemCount(list));
    EXPECT_EQ("", Field(IDC_DISPLAY_NAME));
    EXPECT_FALSE(LinkButtonEnabled());
}

TEST_F(QuickPageTest, RefreshPicksUpNewProductsAndEmptiesTheDetails)
{
    apptest::SelectRow(list, 0);
    fixtures::SetString(HKEY_LOCAL_MACHINE, std::string(kUninstall) + "\\Delta", "DisplayName", "Delta");
    fixtures::SetString(HKEY_LOCAL_MACHINE, std::string(kUninstall) + "\\Delta", "UninstallString", "d.exe");
    EXPECT_EQ(3, apptest::ItemCount(list));
    Click(IDC_REFRESH);
    EXPECT_EQ(4, apptest::ItemCount(list));
    EXPECT_EQ("", Field(IDC_DISPLAY_NAME));
    EXPECT_EQ("", Field(IDC_KEY_PATH));
    EXPECT_FALSE(LinkButtonEnabled());
}

TEST(QuickPageEmpty, EmptyInventoryGivesAnEmptyListAndInertButtons)
{
    fixtures::ScopedKeyIsolation isolation(HKEY_LOCAL_MACHINE, kUninstall);
    CWnd host;
    RECT rect = {0, 0, 700, 500};
    ASSERT_TRUE(host.CreateEx(0, nullptr, "host", WS_OVERLAPPEDWINDOW, rect, nullptr, 0));
    RecordingQuickPage page;
    ASSERT_TRUE(page.Create(IDD_QUICK_PAGE, &host));
    EXPECT_EQ(0, apptest::ItemCount(page.GetDlgItem(IDC_LIST)));
    fixtures::MessageBoxAnswerer answerer(IDYES);
    SendMessageA(page.GetDlgItem(IDC_UNINSTALL), BM_CLICK, 0, 0);
    SendMessageA(page.GetDlgItem(IDC_DELETE_ENTRY), BM_CLICK, 0, 0);
    EXPECT_EQ(0u, answerer.Count());
    EXPECT_TRUE(page.commands.empty());
}

}  // namespace
