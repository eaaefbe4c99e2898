// The quick page's columns of a product: their texts, their order (missing values
// last), and the filter's match on name, publisher and key name.
#include "inventory/ProductColumns.h"
#include "inventory/ProductRows.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using Entry = std::unique_ptr<InstalledSoftwareEntry>;

Entry Product(const char* name, const char* version = "", DWORD installDate = 0)
{
    Entry entry(new InstalledSoftwareEntry());
    strcpy(entry->displayName, name);
    strcpy(entry->version, version);
    strcpy(entry->keyPath, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Key");
    entry->installDate = installDate;
    return entry;
}

// The names of entries in the order a column sorts them, ascending.
std::vector<std::string> Sorted(std::vector<InstalledSoftwareEntry*> entries, int column)
{
    std::stable_sort(entries.begin(), entries.end(), [column](const InstalledSoftwareEntry* a, const InstalledSoftwareEntry* b) {
        return CompareProducts(*a, *b, column) < 0;
    });
    std::vector<std::string> names;
    for (const InstalledSoftwareEntry* entry : entries)
        names.push_back(entry->displayName);
    return names;
}

TEST(ProductColumns, VersionsCompareByTheirNumbersAndMissingOnesComeLast)
{
    const Entry a = Product("a", "1.10.0"), b = Product("b", "1.9"), c = Product("c", ""), d = Product("d", "1.9.0.1"),
                e = Product("e", "01.9 beta"), f = Product("f", "10");
    EXPECT_EQ((std::vector<std::string>{"b", "e", "d", "a", "f", "c"}),
              Sorted({a.get(), b.get(), c.get(), d.get(), e.get(), f.get()}, COLUMN_VERSION));
    EXPECT_EQ(0, CompareProducts(*b, *Product("x", "1.09"), COLUMN_VERSION));
}

TEST(ProductColumns, SizesAndDatesCompareAsNumbersAndShowAsTheyRead)
{
    const Entry small = Product("small", "", 20240105), big = Product("big", "", 20231231), none = Product("none");
    small->hasEstimatedSize = true;
    small->estimatedSizeKb = 900;
    big->sizeMeasured = true;
    big->measuredBytes = 5ull * 1024 * 1024 * 1024 + 1;
    EXPECT_EQ((std::vector<std::string>{"small", "big", "none"}), Sorted({none.get(), big.get(), small.get()}, COLUMN_SIZE));
    EXPECT_EQ((std::vector<std::string>{"big", "small", "none"}),
              Sorted({none.get(), small.get(), big.get()}, COLUMN_INSTALL_DATE));
    EXPECT_EQ("900 KB", ProductColumnText(*small, COLUMN_SIZE));
    EXPECT_EQ("5.00 GB", ProductColumnText(*big, COLUMN_SIZE));
    EXPECT_EQ("", ProductColumnText(*none, COLUMN_SIZE));
    EXPECT_EQ("2024-01-05", ProductColumnText(*small, COLUMN_INSTALL_DATE));
    EXPECT_EQ("", ProductColumnText(*none, COLUMN_INSTALL_DATE));
    // A registered size wins over a measured one.
    small->sizeMeasured = true;
    small->measuredBytes = 1;
    EXPECT_EQ("900 KB", ProductColumnText(*small, COLUMN_SIZE));
    const std::pair<ULONGLONG, const char*> sizes[] = {{0, "0 KB"},         {1, "1 KB"},          {1024, "1 KB"},
                                                       {1025, "2 KB"},      {1048575, "1024 KB"}, {1048576, "1.0 MB"},
                                                       {12897485, "12.3 MB"}, {1073741824, "1.00 GB"}};
    for (const auto& [bytes, text] : sizes)
        EXPECT_EQ(text, SizeText(bytes)) << bytes;
}

TEST(ProductColumns, SourcesOrderAsTheMachinesViewsThenTheUser)
{
    const Entry user = Product("user"), wow = Product("wow"), native = Product("native");
    user->view = VIEW_HKCU;
    wow->view = VIEW_HKLM32;
    native->view = VIEW_HKLM;
    EXPECT_EQ((std::vector<std::string>{"native", "wow", "user"}), Sorted({user.get(), wow.get(), native.get()}, COLUMN_SOURCE));
    EXPECT_EQ("HKLM32", ProductColumnText(*wow, COLUMN_SOURCE));
}

// ASCII letters match in either case; a double-byte character matches only whole,
// never by its trail byte (丄 is 0x81 0x41 in code page 936, its trail byte an "A").
TEST(ProductColumns, TheFilterMatchesNameOrPublisherOrKeyNameByWholeCharacters)
{
    const Entry product = Product(fixtures::Ansi("丄丄 工具").c_str());
    strcpy(product->publisher, "Brick, Co.");
    strcpy(product->keyPath, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{XYZ-Key}");
    for (const std::string& text : {std::string(""), fixtures::Ansi("工具"), fixtures::Ansi("丄"), std::string("BRICK"),
                                    std::string("z-k"), std::string("{xyz")})
        EXPECT_TRUE(ProductMatches(*product, text.c_str())) << text;
    for (const std::string& text : {std::string("a "), std::string("A"), std::string("Uninstall"), fixtures::Ansi("工作")})
        EXPECT_FALSE(ProductMatches(*product, text.c_str())) << text;
}

}  // namespace
