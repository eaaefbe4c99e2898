// The demo machine as scripts/run and the end-to-end suite get it: the built
// DemoSetup leaves every trace of every sample product, running it again keeps
// them, "/remove" takes every one away and an unknown option is refused.
#include <gtest/gtest.h>

#include "DemoSeed.h"
#include "machine/Files.h"
#include "machine/Handle.h"
#include "machine/Registry.h"
#include "machine/Text.h"

namespace {

using namespace demo;

// Runs a command line and waits; the exit code, or -1 when it could not run.
int RunAndWait(std::string commandLine)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    OwnedKernel thread(process.hThread);
    OwnedKernel running(process.hProcess);
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(running.Get(), 60000) == WAIT_OBJECT_0)
        GetExitCodeProcess(running.Get(), &code);
    else
        TerminateProcess(running.Get(), 1);
    return static_cast<int>(code);
}

// The traces a product's setup leaves that are (present) or are not there.
std::vector<std::string> Traces(const DemoProduct& product, bool present)
{
    using machine::DirExists;
    using machine::KeyExists;
    std::string clsid = std::string("CLSID\\") + product.clsid;
    const std::pair<const char*, bool> traces[] = {
        {"folder", DirExists(ProductFolder(product))},
        {"uninstall entry", KeyExists(HKEY_LOCAL_MACHINE, UninstallKeyPath(product))},
        {"desktop shortcut", machine::FileExists(DesktopShortcutPath(product))},
        {"Start-menu group", DirExists(GroupFolder(product))},
        {"Run value", machine::ValueExists(product.runRoot, RunKeyPath(), product.runValue)},
        {"COM class", KeyExists(HKEY_CLASSES_ROOT, clsid)},
        {"extension", KeyExists(HKEY_CLASSES_ROOT, product.extension)},
        {"ProgID", KeyExists(HKEY_CLASSES_ROOT, product.progId)},
        {"HKLM Software key", KeyExists(HKEY_LOCAL_MACHINE, SoftwareKeyPath(product))},
        {"HKCU Software key", KeyExists(HKEY_CURRENT_USER, SoftwareKeyPath(product))},
    };
    std::vector<std::string> found;
    for (const auto& trace : traces) {
        if (trace.second == present)
            found.push_back(std::string(product.uninstallKey) + ": " + trace.first);
    }
    return found;
}

class DemoSetupTest : public testing::Test {
protected:
    void SetUp() override { RemoveDemoMachine(); }
    void TearDown() override { RemoveDemoMachine(); }
};

TEST_F(DemoSetupTest, SeedsEveryProductTwiceThenRemovesEverything)
{
    const std::vector<std::string> none;
    std::string setup = "\"" + machine::JoinPath(BuiltPayloadFolder(), "DemoSetup.exe") + "\"";
    for (int run = 1; run <= 2; ++run) {
        ASSERT_EQ(0, RunAndWait(setup)) << setup;
        for (const DemoProduct& product : DemoProducts())
            EXPECT_EQ(none, Traces(product, false)) << "missing after run " << run;
    }
    EXPECT_EQ(0, RunAndWait(setup + " /remove"));
    for (const DemoProduct& product : DemoProducts())
        EXPECT_EQ(none, Traces(product, true)) << "left after /remove";
    EXPECT_EQ(2, RunAndWait(setup + " /unknown"));
}

}  // namespace
