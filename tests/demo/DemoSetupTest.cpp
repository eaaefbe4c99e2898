// The demo machine as scripts/run and the end-to-end suite get it: the built
// DemoSetup leaves every trace of every sample product, running it again keeps
// them, "/remove" takes every one away and an unknown option is refused.
#include <gtest/gtest.h>

#include "DemoSeed.h"
#include "machine/Files.h"
#include "machine/Registry.h"
#include "machine/Text.h"

#include <process.h>

namespace {

using namespace demo;
using namespace machine;

// Runs the built setup with an option and waits; its exit code, or -1 when it could not run.
int RunSetup(const char* option = nullptr)
{
    const std::string setup = JoinPath(BuiltPayloadFolder(), "DemoSetup.exe");
    return static_cast<int>(_spawnl(_P_WAIT, setup.c_str(), ("\"" + setup + "\"").c_str(), option, nullptr));
}

// The traces a product's setup leaves that are (present) or are not there.
std::vector<std::string> Traces(const DemoProduct& product, bool present)
{
    const std::pair<const char*, bool> traces[] = {
        {"folder", DirExists(ProductFolder(product))},
        {"uninstall entry", KeyExists(HKEY_LOCAL_MACHINE, UninstallKeyPath(product))},
        {"desktop shortcut", FileExists(DesktopShortcutPath(product))},
        {"Start-menu group", DirExists(GroupFolder(product))},
        {"Run value", ValueExists(product.runRoot, RunKeyPath(), product.runValue)},
        {"COM class", KeyExists(HKEY_CLASSES_ROOT, std::string("CLSID\\") + product.clsid)},
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

TEST(DemoSetupTest, SeedsEveryProductTwiceThenRemovesEverything)
{
    // The machine is taken away before and after, whatever the outcome.
    const struct Clean {
        Clean() { RemoveDemoMachine(); }
        ~Clean() { RemoveDemoMachine(); }
    } clean;
    const std::vector<std::string> none;
    for (int run = 1; run <= 2; ++run) {
        ASSERT_EQ(0, RunSetup());
        for (const DemoProduct& product : DemoProducts())
            EXPECT_EQ(none, Traces(product, false)) << "missing after run " << run;
    }
    EXPECT_EQ(0, RunSetup("/remove"));
    for (const DemoProduct& product : DemoProducts())
        EXPECT_EQ(none, Traces(product, true)) << "left after /remove";
    EXPECT_EQ(2, RunSetup("/unknown"));
}

}  // namespace
