// The demo machine as scripts/run and the end-to-end suite get it: the built
// DemoSetup leaves every trace of every sample product, running it again keeps
// them, "/remove" takes every one away and an unknown option is refused. Its
// products uninstall as their kinds say: quietly, asking for a restart, not at all
// (the uninstaller is gone), through Windows Installer.
#include <gtest/gtest.h>

#include "DemoSeed.h"
#include "inventory/InstalledSoftwareList.h"
#include "inventory/UninstallBatch.h"
#include "inventory/UninstallerPresence.h"
#include "machine/Files.h"
#include "machine/Registry.h"
#include "machine/Text.h"

#include <process.h>

#include <map>

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
    const std::string packed = PackedGuid(product.uninstallKey);
    const bool hasUninstaller = product.uninstallerName && !product.uninstallerMissing;
    const struct {
        const char* name;
        bool exists;
        bool made = true;  // the setup makes it for this product
    } traces[] = {
        {"uninstaller", hasUninstaller && FileExists(ProductFile(product, product.uninstallerName)), hasUninstaller},
        {"uninstaller's data", FileExists(ProductFile(product, "unins000.dat")), product.uninstallerData},
        {"Installer registration",
         KeyExists(HKEY_LOCAL_MACHINE, std::string(kInstallerClasses) + "\\Products\\" + packed) &&
             KeyExists(HKEY_LOCAL_MACHINE, std::string(kInstallerData) + "\\UserData\\S-1-5-18\\Products\\" + packed),
         HasInstallerRegistration(product)},
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
        if (trace.made && trace.exists == present)
            found.push_back(std::string(product.uninstallKey) + ": " + trace.name);
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

// The four kinds a batch meets, one product each, run quietly one after another:
// the unins000.exe honours /VERYSILENT, the one whose entry names its quiet command
// asks for a restart, the missing one cannot start, and the Installer product runs
// the system's msiexec.exe, which Wine's Installer cannot complete without a package
// (1612). The Installer knows that product, by the registration the setup wrote.
TEST(DemoSetupTest, ItsProductsUninstallAsTheirKindsSay)
{
    const struct Clean {
        Clean() { RemoveDemoMachine(); }
        ~Clean() { RemoveDemoMachine(); }
    } clean;
    ASSERT_EQ(0, RunSetup());
    CInstalledSoftwareList list;
    list.Load();
    const std::map<std::string, std::pair<QuietKind, BatchState>> kinds = {
        {"XingheZip", {QUIET_UNINS_PAIR, BATCH_DONE}},
        {"PixelForge", {QUIET_ENTRY, BATCH_RESTART_NEEDED}},
        {"YunFanSync", {QUIET_NONE, BATCH_NOT_STARTED}},
        {"{7A3C9E51-2B6D-4C8F-A1E4-5D0B3F7C2E98}", {QUIET_WINDOWS_INSTALLER, BATCH_FAILED}},
    };
    std::vector<BatchProduct> products;
    for (const DemoProduct& product : DemoProducts()) {
        const auto kind = kinds.find(product.uninstallKey);
        for (int i = 0; kind != kinds.end() && list.GetAt(i); ++i) {
            const InstalledSoftwareEntry& entry = *list.GetAt(i);
            if (UninstallKeyPath(product) != entry.keyPath)
                continue;
            const UninstallChoice choice = ChooseUninstallCommand(entry, UNINSTALL_QUIET);
            EXPECT_EQ(kind->second.first, choice.kind) << product.uninstallKey;
            EXPECT_EQ(product.uninstallerMissing, entry.uninstallerMissing) << product.uninstallKey;
            products.push_back({product.uninstallKey, entry.root, entry.keyPath, ProductFolder(product), choice});
        }
    }
    ASSERT_EQ(kinds.size(), products.size());
    EXPECT_TRUE(IsInstallerProductRegistered("{7A3C9E51-2B6D-4C8F-A1E4-5D0B3F7C2E98}"));
    CUninstallBatch batch(products);
    for (DWORD start = GetTickCount(); batch.Poll() && GetTickCount() - start < 60000;)
        Sleep(50);
    ASSERT_TRUE(batch.IsOver());
    for (size_t i = 0; i < batch.Count(); ++i) {
        const BatchItem& item = batch.Item(i);
        SCOPED_TRACE(item.product.name);
        EXPECT_EQ(kinds.at(item.product.name).second, item.state) << item.exitCode;
        const bool removed = item.state == BATCH_DONE || item.state == BATCH_RESTART_NEEDED;
        EXPECT_EQ(removed, item.outcome == UNINSTALL_REMOVED);
        EXPECT_EQ(!removed, KeyExists(HKEY_LOCAL_MACHINE, item.product.keyPath));
        EXPECT_EQ(item.state == BATCH_NOT_STARTED ? COMMAND_NOT_FOUND : COMMAND_STARTED, item.start);
        EXPECT_TRUE(item.product.choice.kind != QUIET_WINDOWS_INSTALLER || item.exitCode == 1612u) << item.exitCode;
    }
}

}  // namespace
