// The demo machine's setup: every sample product leaves the traces a real
// installer leaves, in the system's code page, and seeding twice changes nothing.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "DemoSeed.h"
#include "DemoShell.h"
#include "DemoTestSupport.h"
#include "DemoText.h"
#include "support/Fixtures.h"

using namespace demo;
using namespace demotest;
using fixtures::DirExists;
using fixtures::FileExists;

namespace {

class DemoSeedTest : public testing::Test {
protected:
    void SetUp() override
    {
        RemoveDemoMachine();
        std::string failedStep;
        ASSERT_TRUE(SeedDemoMachine(PayloadFolder(), &failedStep)) << failedStep << " from " << PayloadFolder();
    }
    void TearDown() override { RemoveDemoMachine(); }
};

const DemoProduct& ProductWithUninstaller()
{
    for (const DemoProduct& product : DemoProducts()) {
        if (product.uninstallerName)
            return product;
    }
    return DemoProducts().front();
}

TEST(DemoCatalogTest, OffersChineseAndEnglishProductsOneOfThemWithAnUninstaller)
{
    int chinese = 0, english = 0, withUninstaller = 0;
    for (const DemoProduct& product : DemoProducts()) {
        std::string name = Ansi(product.displayName);
        ASSERT_FALSE(name.empty()) << product.uninstallKey;
        bool wide = false;
        for (unsigned char ch : name)
            wide = wide || ch >= 0x80;
        (wide ? chinese : english) += 1;
        withUninstaller += product.uninstallerName ? 1 : 0;
    }
    EXPECT_GE(DemoProducts().size(), 3u);
    EXPECT_GE(chinese, 1);
    EXPECT_GE(english, 1);
    EXPECT_GE(withUninstaller, 1);
}

TEST_F(DemoSeedTest, EveryProductHasItsFolderFilesAndSubfolders)
{
    for (const DemoProduct& product : DemoProducts()) {
        SCOPED_TRACE(product.uninstallKey);
        std::string folder = ProductFolder(product);
        EXPECT_EQ(0, _strnicmp(folder.c_str(), ProgramFilesFolder().c_str(), ProgramFilesFolder().size()));
        EXPECT_TRUE(FileExists(ProductFile(product, product.exeName)));
        EXPECT_TRUE(FileExists(ProductFile(product, product.dllName)));
        EXPECT_TRUE(FileExists(JoinPath(folder, "readme.txt")));
        EXPECT_TRUE(FileExists(JoinPath(folder, "Plugins\\filters.plg")));
        EXPECT_TRUE(FileExists(JoinPath(folder, "Data\\settings.ini")));
        if (product.uninstallerName) {
            EXPECT_TRUE(FileExists(ProductFile(product, product.uninstallerName)));
            EXPECT_TRUE(FileExists(ProductFile(product, DEMO_INSTALL_LOG)));
        }
        EXPECT_TRUE(MissingTraces(product).empty()) << MissingTraces(product).front();
    }
}

// Pixels of a file's first small icon that are clearly green (the sample
// program's tile), drawn on white; -1 when the file has no icon.
int GreenPixelsOfIcon(const std::string& path)
{
    HICON icon = nullptr;
    if (ExtractIconExA(path.c_str(), 0, nullptr, &icon, 1) != 1 || !icon)
        return -1;
    BITMAPINFO format = {};
    format.bmiHeader.biSize = sizeof(format.bmiHeader);
    format.bmiHeader.biWidth = 16;
    format.bmiHeader.biHeight = -16;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    memset(bits, 0xFF, 16 * 16 * 4);
    DrawIconEx(dc, 0, 0, icon, 16, 16, 0, nullptr, DI_NORMAL);
    GdiFlush();
    int green = 0;
    const BYTE* pixel = static_cast<const BYTE*>(bits);
    for (int i = 0; i < 16 * 16; ++i, pixel += 4) {
        if (pixel[1] > pixel[0] + 40 && pixel[1] > pixel[2] + 40)
            ++green;
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    DestroyIcon(icon);
    return green;
}

TEST_F(DemoSeedTest, ProgramsAreRealExecutablesWithAnIcon)
{
    for (const DemoProduct& product : DemoProducts()) {
        std::string exe = ProductFile(product, product.exeName);
        EXPECT_GE(ExtractIconExA(exe.c_str(), -1, nullptr, nullptr, 0), 1u) << exe;
        SHFILEINFOA info = {};
        ASSERT_NE(0u, SHGetFileInfoA(exe.c_str(), 0, &info, sizeof(info), SHGFI_EXETYPE)) << exe;
        EXPECT_GT(GreenPixelsOfIcon(exe), 40) << exe;
    }
    EXPECT_EQ(-1, GreenPixelsOfIcon(ProductFile(DemoProducts().front(), "readme.txt")));
}

TEST_F(DemoSeedTest, UninstallEntriesCarryEveryValue)
{
    for (const DemoProduct& product : DemoProducts()) {
        SCOPED_TRACE(product.uninstallKey);
        std::string key = UninstallKeyPath(product);
        EXPECT_EQ(Ansi(product.displayName), ReadString(HKEY_LOCAL_MACHINE, key, "DisplayName"));
        EXPECT_EQ(UninstallCommand(product), ReadString(HKEY_LOCAL_MACHINE, key, "UninstallString"));
        EXPECT_EQ(Ansi(product.publisher), ReadString(HKEY_LOCAL_MACHINE, key, "Publisher"));
        EXPECT_EQ(product.helpLink, ReadString(HKEY_LOCAL_MACHINE, key, "HelpLink"));
        EXPECT_EQ(ProductFolder(product), ReadString(HKEY_LOCAL_MACHINE, key, "InstallLocation"));

        std::string icon = ReadString(HKEY_LOCAL_MACHINE, key, "DisplayIcon");
        EXPECT_EQ(product.iconIndex, icon.find(",0") != std::string::npos) << icon;
        EXPECT_TRUE(FileExists(icon.substr(0, icon.find(',')))) << icon;

        DWORD installer = 0;
        EXPECT_EQ(product.windowsInstaller, ReadDword(HKEY_LOCAL_MACHINE, key, "WindowsInstaller", &installer));
        if (product.windowsInstaller) {
            EXPECT_EQ(1u, installer);
        }
    }
}

TEST_F(DemoSeedTest, ChineseNamesAreStoredInTheSystemCodePage)
{
    const DemoProduct& product = DemoProducts().front();
    EXPECT_EQ(std::wstring(L"晴空图片查看器 3.2"), ReadWideString(HKEY_LOCAL_MACHINE, UninstallKeyPath(product), "DisplayName"));
    EXPECT_EQ(std::wstring(L"晴空软件工作室"), ReadWideString(HKEY_LOCAL_MACHINE, UninstallKeyPath(product), "Publisher"));
    EXPECT_TRUE(DirExists(ProgramFilesFolder() + "\\" + Ansi("晴空软件")));
}

TEST_F(DemoSeedTest, ShortcutsOnTheDesktopAndInTheStartMenuPointAtTheProgram)
{
    for (const DemoProduct& product : DemoProducts()) {
        SCOPED_TRACE(product.uninstallKey);
        std::string exe = ProductFile(product, product.exeName);
        std::string desktop = DesktopShortcutPath(product);
        EXPECT_EQ(0, _strnicmp(desktop.c_str(), fixtures::SpecialFolder(product.desktopFolder).c_str(),
                               fixtures::SpecialFolder(product.desktopFolder).size()));
        EXPECT_EQ(0, _stricmp(exe.c_str(), ShortcutTarget(desktop).c_str())) << ShortcutTarget(desktop);
        EXPECT_EQ(0, _stricmp(exe.c_str(), ShortcutTarget(GroupShortcutPath(product, product.shortcutName)).c_str()));

        std::vector<std::string> group = ListTree(GroupFolder(product));
        EXPECT_EQ(product.uninstallerName ? 3u : 2u, group.size());
        if (product.uninstallerName) {
            std::string link = GroupShortcutPath(product, (std::string("卸载 ") + product.shortcutName).c_str());
            EXPECT_EQ(0, _stricmp(ProductFile(product, product.uninstallerName).c_str(), ShortcutTarget(link).c_str()));
        }
    }
    EXPECT_FALSE(DirExists(JoinPath(fixtures::SpecialFolder(CSIDL_COMMON_PROGRAMS), Ansi("墨笔记事本"))));
}

TEST_F(DemoSeedTest, RunValueComClassAndFileTypeNameTheProductFolder)
{
    for (const DemoProduct& product : DemoProducts()) {
        SCOPED_TRACE(product.uninstallKey);
        std::string exe = ProductFile(product, product.exeName);
        DWORD type = 0;
        std::string run = ReadString(product.runRoot, RunKeyPath(), product.runValue, &type);
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
        EXPECT_EQ("\"" + exe + "\" " + product.runArguments, run);

        std::string server = ReadString(HKEY_CLASSES_ROOT, std::string("CLSID\\") + product.clsid + "\\InprocServer32", "");
        EXPECT_EQ(ProductFile(product, product.dllName), server);
        EXPECT_TRUE(FileExists(server));

        EXPECT_EQ(product.progId, ReadString(HKEY_CLASSES_ROOT, product.extension, ""));
        std::string command = ReadString(HKEY_CLASSES_ROOT, std::string(product.progId) + "\\shell\\open\\command", "");
        EXPECT_EQ("\"" + exe + "\" \"%1\"", command);
    }
}

TEST_F(DemoSeedTest, SoftwareKeysNameTheProductFolder)
{
    for (const DemoProduct& product : DemoProducts()) {
        SCOPED_TRACE(product.uninstallKey);
        std::string folder = ProductFolder(product);
        EXPECT_EQ(folder, ReadString(HKEY_LOCAL_MACHINE, SoftwareKeyPath(product), "InstallDir"));
        EXPECT_EQ(JoinPath(folder, "Data"), ReadString(HKEY_CURRENT_USER, SoftwareKeyPath(product), "DataFolder"));
    }
}

TEST_F(DemoSeedTest, SeedingAgainLeavesTheSameMachine)
{
    std::vector<std::vector<std::string>> before;
    for (const DemoProduct& product : DemoProducts()) {
        before.push_back(ListTree(ProductFolder(product)));
        before.push_back(ListTree(GroupFolder(product)));
    }
    std::vector<std::string> uninstallKeys =
        fixtures::SubkeyNames(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall");

    std::string failedStep;
    ASSERT_TRUE(SeedDemoMachine(PayloadFolder(), &failedStep)) << failedStep;

    std::vector<std::vector<std::string>> after;
    for (const DemoProduct& product : DemoProducts()) {
        after.push_back(ListTree(ProductFolder(product)));
        after.push_back(ListTree(GroupFolder(product)));
    }
    EXPECT_EQ(before, after);
    EXPECT_EQ(uninstallKeys,
              fixtures::SubkeyNames(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"));
}

TEST_F(DemoSeedTest, RemovingTakesAwayEveryTraceAndTheVendorFolder)
{
    RemoveDemoMachine();
    for (const DemoProduct& product : DemoProducts()) {
        std::vector<std::string> remaining = RemainingTraces(product);
        EXPECT_TRUE(remaining.empty()) << remaining.front();
        EXPECT_FALSE(FileExists(DesktopShortcutPath(product)));
    }
    EXPECT_FALSE(DirExists(ProgramFilesFolder() + "\\" + Ansi("晴空软件")));
    EXPECT_TRUE(DirExists(ProgramFilesFolder()));
}

TEST_F(DemoSeedTest, SetupFailsCleanlyWithoutItsPayload)
{
    fixtures::TempDir empty("demo_payload");
    RemoveProduct(ProductWithUninstaller());
    std::string failedStep;
    EXPECT_FALSE(InstallProduct(ProductWithUninstaller(), empty.Path(), &failedStep));
    EXPECT_EQ("files", failedStep);
    EXPECT_FALSE(fixtures::KeyExists(HKEY_LOCAL_MACHINE, UninstallKeyPath(ProductWithUninstaller())));
}

}  // namespace
