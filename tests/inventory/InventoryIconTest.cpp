// Icons of the records: which path they come from, who owns them, and that a
// large inventory loaded and cleared leaves no objects behind.
#include "InventoryTestSupport.h"
#include "support/GdiCount.h"

#include <cstdio>
#include <iterator>
#include <vector>

using namespace inventory_test;

namespace {

struct IconCase {
    const char* subkey;
    const char* displayIcon;  // null: no such value
    std::string command;
    DWORD windowsInstaller;
    bool expectIcons;
};

}  // namespace

TEST_F(InventoryTest, IconsFollowDisplayIconOrTheUninstallCommand)
{
    fixtures::TempDir dir("uminvicon");
    const std::string exe = dir.Path() + "\\app.exe";
    const std::string dotted = dir.Path() + "\\my.folder\\app.exe";
    ASSERT_TRUE(fixtures::CopyFileTo(fixtures::IconExecutable(), exe));
    ASSERT_TRUE(fixtures::CopyFileTo(fixtures::IconExecutable(), dotted));
    const std::string quoted = "\"" + exe + "\"";
    const std::string missing = dir.Path() + "\\missing.exe";
    const std::string withIndex = exe + ",3";
    const std::string quotedWithIndex = quoted + ",0";
    const std::string tooLong = dir.Path() + "\\" + std::string(260, 'i') + ".exe";

    const IconCase cases[] = {
        // "DisplayIcon" decides whenever it holds a path; the command is not consulted.
        {"iconIndex", withIndex.c_str(), "C:\\nothing.exe", 0, true},
        {"iconQuoted", quotedWithIndex.c_str(), "C:\\nothing.exe", 0, true},
        {"iconMissing", missing.c_str(), quoted, 0, false},
        {"iconWithInstaller", exe.c_str(), "MsiExec.exe /X{0}", 1, true},
        // An unusable "DisplayIcon" sends the lookup to the command.
        {"iconTooLong", tooLong.c_str(), quoted, 0, true},
        {"iconEmpty", "", quoted, 0, true},
        // Windows Installer products without a "DisplayIcon" get no icon at all.
        {"installerEmptyIcon", "", quoted, 1, false},
        {"installerNoIcon", nullptr, quoted, 1, false},
        {"quotedCommand", nullptr, quoted, 0, true},
        {"quotedWithArguments", nullptr, quoted + " /uninstall \"C:\\x y\"", 0, true},
        {"quoteNotClosed", nullptr, "\"" + exe, 0, true},
        {"unquotedCommand", nullptr, exe, 0, true},
        {"unquotedWithArguments", nullptr, exe + " /S", 0, true},
        // The first dot lies in a folder name: the cut falls inside that name.
        {"dotInFolder", nullptr, dotted + " /S", 0, false},
        {"dotInFolderQuoted", nullptr, "\"" + dotted + "\" /S", 0, true},
        {"commandNoFile", nullptr, "\"" + missing + "\" /S", 0, false},
    };
    for (const IconCase& c : cases) {
        AddProduct(c.subkey, c.subkey, c.command);
        if (c.displayIcon)
            SetText(c.subkey, "DisplayIcon", c.displayIcon);
        if (c.windowsInstaller) {
            ASSERT_TRUE(fixtures::SetDword(HKEY_LOCAL_MACHINE, ProductPath(c.subkey), "WindowsInstaller",
                                           c.windowsInstaller));
        }
    }
    // A "DisplayIcon" that is not text counts as absent.
    AddProduct("iconDword", "iconDword", quoted);
    ASSERT_TRUE(fixtures::SetDword(HKEY_LOCAL_MACHINE, ProductPath("iconDword"), "DisplayIcon", 0x31));

    list.Load();
    ASSERT_EQ(list.GetCount(), std::size(cases) + 1);
    const int smallSize = GetSystemMetrics(SM_CXSMICON);
    const int largeSize = GetSystemMetrics(SM_CXICON);
    for (const IconCase& c : cases) {
        SCOPED_TRACE(c.subkey);
        const InstalledSoftwareEntry* entry = Find(c.subkey);
        ASSERT_NE(entry, nullptr);
        if (c.expectIcons) {
            EXPECT_EQ(IconWidth(entry->smallIcon), smallSize);
            EXPECT_EQ(IconWidth(entry->largeIcon), largeSize);
        } else {
            EXPECT_EQ(entry->smallIcon, nullptr);
            EXPECT_EQ(entry->largeIcon, nullptr);
        }
    }
    ASSERT_NE(Find("iconDword"), nullptr);
    EXPECT_NE(Find("iconDword")->smallIcon, nullptr);
    EXPECT_NE(Find("iconDword")->largeIcon, nullptr);
    EXPECT_EQ(Find("quotedWithArguments")->uninstallString, cases[9].command);  // the command itself is kept
}

TEST_F(InventoryTest, ThousandProductsReloadedRemovedAndClearedLeaveNothingBehind)
{
    const int count = 1000;
    fixtures::TempDir dir("uminvleak");
    const std::string exe = dir.Path() + "\\app.exe";
    ASSERT_TRUE(fixtures::CopyFileTo(fixtures::IconExecutable(), exe));
    for (int i = 0; i < count; ++i) {
        char subkey[32];
        snprintf(subkey, sizeof(subkey), "product%04d", i);
        AddProduct(subkey, subkey, i % 2 ? "\"" + exe + "\" /remove" : exe);
    }
    auto icons = [&] {
        std::vector<HICON> all;
        for (int i = 0; list.GetAt(i); ++i) {
            all.push_back(list.GetAt(i)->smallIcon);
            all.push_back(list.GetAt(i)->largeIcon);
        }
        return all;
    };
    auto alive = [](const std::vector<HICON>& all) {
        int live = 0;
        for (HICON icon : all)
            live += IconWidth(icon) != 0;
        return live;
    };
    // The first load warms the shell's caches (its system image list).
    list.Load();
    list.Clear();
    const DWORD gdiBefore = fixtures::LiveGdiObjectCount();
    const DWORD handlesBefore = fixtures::KernelHandleCount();
    ASSERT_NE(handlesBefore, 0u);
    list.Load();
    const std::vector<HICON> first = icons();
    ASSERT_EQ(alive(first), 2 * count);
    EXPECT_GE(fixtures::LiveGdiObjectCount(), gdiBefore + 2 * count);  // the count sees icons
    list.Reload();
    const std::vector<HICON> second = icons();
    EXPECT_EQ(alive(first), 0) << "icons of the first load are still alive";
    EXPECT_EQ(alive(second), 2 * count);
    list.RemoveAt(0);
    EXPECT_EQ(alive(second), 2 * count - 2);
    EXPECT_EQ(IconWidth(second[0]) + IconWidth(second[1]), 0);
    list.Clear();
    EXPECT_EQ(alive(second), 0);
    // A few objects of one-time caches may remain; a leak per product would not fit.
    // (Icons are USER objects; the handles checked above stand for them, as Wine
    // counts no USER objects. Their bitmaps show in the GDI count.)
    EXPECT_LE(fixtures::LiveGdiObjectCount(), gdiBefore + 10);
    EXPECT_LE(fixtures::KernelHandleCount(), handlesBefore + 10);
}
