// The built demo programs: DemoSetup seeds and removes the machine, the
// product's uninstaller removes its main files and its entry but leaves
// traces behind for the smart uninstall.
#include <gtest/gtest.h>

#include "DemoSeed.h"
#include "DemoShell.h"
#include "DemoTestSupport.h"
#include "DemoText.h"
#include "InstallLog.h"
#include "support/Fixtures.h"

using namespace demo;
using namespace demotest;
using fixtures::DirExists;
using fixtures::FileExists;

namespace {

std::string SetupCommand(const std::string& arguments = "")
{
    std::string line = "\"" + JoinPath(PayloadFolder(), "DemoSetup.exe") + "\"";
    return arguments.empty() ? line : line + " " + arguments;
}

class DemoProgramsTest : public testing::Test {
protected:
    void SetUp() override { RemoveDemoMachine(); }
    void TearDown() override { RemoveDemoMachine(); }
};

TEST_F(DemoProgramsTest, SetupRunsTwiceThenRemovesEverything)
{
    ASSERT_EQ(0, RunAndWait(SetupCommand()));
    for (const DemoProduct& product : DemoProducts())
        EXPECT_TRUE(MissingTraces(product).empty()) << MissingTraces(product).front();
    EXPECT_EQ(0, RunAndWait(SetupCommand()));
    for (const DemoProduct& product : DemoProducts())
        EXPECT_TRUE(MissingTraces(product).empty()) << MissingTraces(product).front();

    EXPECT_EQ(0, RunAndWait(SetupCommand("/remove")));
    for (const DemoProduct& product : DemoProducts())
        EXPECT_TRUE(RemainingTraces(product).empty()) << RemainingTraces(product).front();
    EXPECT_EQ(2, RunAndWait(SetupCommand("/unknown")));
}

TEST_F(DemoProgramsTest, UninstallerRemovesMainFilesAndEntryAndLeavesTraces)
{
    ScopedPendingRenames restoreRenames;
    std::string failedStep;
    ASSERT_TRUE(SeedDemoMachine(PayloadFolder(), &failedStep)) << failedStep;
    int uninstalled = 0;
    for (const DemoProduct& product : DemoProducts()) {
        if (!product.uninstallerName)
            continue;
        SCOPED_TRACE(product.uninstallKey);
        std::string folder = ProductFolder(product);
        std::wstring pendingBefore = PendingRenames();
        ASSERT_EQ(0, RunAndWait(UninstallCommand(product) + " /S"));
        ++uninstalled;

        // The running uninstaller cannot delete itself: it goes at the next restart.
        std::wstring pending = PendingRenames();
        ASSERT_GT(pending.size(), pendingBefore.size());
        EXPECT_NE(std::wstring::npos, pending.find(L"uninst.exe", pendingBefore.size()));

        EXPECT_FALSE(FileExists(ProductFile(product, product.exeName)));
        EXPECT_FALSE(FileExists(ProductFile(product, product.dllName)));
        EXPECT_FALSE(FileExists(JoinPath(folder, "readme.txt")));
        EXPECT_FALSE(DirExists(JoinPath(folder, "Plugins")));
        EXPECT_FALSE(FileExists(ProductFile(product, DEMO_INSTALL_LOG)));
        EXPECT_FALSE(fixtures::KeyExists(HKEY_LOCAL_MACHINE, UninstallKeyPath(product)));

        // What a careless uninstaller leaves: everything else.
        EXPECT_TRUE(FileExists(JoinPath(folder, "Data\\settings.ini")));
        EXPECT_TRUE(FileExists(JoinPath(folder, "Data\\history.dat")));
        std::vector<std::string> remaining = RemainingTraces(product);
        EXPECT_EQ(9u, remaining.size());
        EXPECT_EQ(ProductFolder(product), ReadString(HKEY_LOCAL_MACHINE, SoftwareKeyPath(product), "InstallDir"));
    }
    EXPECT_GE(uninstalled, 1);
    // Products without an uninstaller of their own are untouched.
    for (const DemoProduct& product : DemoProducts()) {
        if (!product.uninstallerName) {
            EXPECT_TRUE(MissingTraces(product).empty()) << MissingTraces(product).front();
        }
    }
}

TEST_F(DemoProgramsTest, UninstallerWithoutInstallLogRefusesAndDeletesNothing)
{
    fixtures::TempDir folder("demo_uninst");
    std::string uninstaller = JoinPath(folder.Path(), "uninst.exe");
    ASSERT_TRUE(fixtures::CopyFileTo(JoinPath(PayloadFolder(), "DemoUninstall.exe"), uninstaller));
    ASSERT_TRUE(fixtures::WriteFileText(JoinPath(folder.Path(), "keep.txt")));

    EXPECT_EQ(2, RunAndWait("\"" + uninstaller + "\" /S"));
    EXPECT_TRUE(FileExists(JoinPath(folder.Path(), "keep.txt")));
    EXPECT_TRUE(FileExists(uninstaller));
}

TEST(InstallLogTest, WritesAndReadsBackEveryEntry)
{
    fixtures::TempDir folder("demo_log");
    InstallLog written;
    written.displayName = Ansi("墨笔记事本");
    written.uninstallKey = "MoBiNotes";
    written.files = {"a.exe", "Plugins\\b.plg"};
    written.folders = {"Plugins"};
    std::string path = JoinPath(folder.Path(), "install.log");
    ASSERT_TRUE(WriteInstallLog(path, written));

    InstallLog read;
    ASSERT_TRUE(ReadInstallLog(path, &read));
    EXPECT_EQ(written.displayName, read.displayName);
    EXPECT_EQ(written.uninstallKey, read.uninstallKey);
    EXPECT_EQ(written.files, read.files);
    EXPECT_EQ(written.folders, read.folders);

    EXPECT_FALSE(ReadInstallLog(JoinPath(folder.Path(), "missing.log"), &read));
    ASSERT_TRUE(fixtures::WriteFileText(path, "file=a.exe\r\n"));
    EXPECT_FALSE(ReadInstallLog(path, &read)) << "a log without its uninstall key is no log";
}

TEST(DemoTextTest, FindsTheLastRealBackslash)
{
    EXPECT_EQ(std::string("C:\\a"), ParentFolder("C:\\a\\b.exe"));
    EXPECT_EQ(std::string("name"), ParentFolder("name"));
    EXPECT_EQ(std::string("C:\\a\\b"), JoinPath("C:\\a\\", "b"));
    EXPECT_EQ(std::string("C:\\a\\b"), JoinPath("C:\\a", "b"));
    // In code page 936 "\x81\x5C" is one character whose second byte looks like a backslash.
    std::string dbcs = "C:\\x\x81\x5Cy";
    EXPECT_EQ(std::string("C:"), ParentFolder(dbcs));
    EXPECT_EQ(dbcs + "\\z", JoinPath(dbcs, "z"));
}

}  // namespace
