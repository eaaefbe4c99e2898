// Forced removal of a registration: the uninstall entry and, for a Windows Installer
// product, the Installer's own registration of it, saved in one backup and deleted
// together; the restore brings every key and value back as it was. Another product
// that shares the upgrade code keeps all of its own.
#include "backup/ForcedRemoval.h"
#include "backup/RestoreRun.h"
#include "inventory/InstalledSoftwareList.h"
#include "machine/InstallerRegistration.h"
#include "support/BackupStoreSupport.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <set>

using namespace fixtures;

namespace {

const std::string kCode = "{8C2F1A3B-7D4E-4A5B-9C6D-0E1F2A3B4C51}";
const std::string kOtherCode = "{8C2F1A3B-7D4E-4A5B-9C6D-0E1F2A3B4C52}";
const std::string kUpgradeCode = "{8C2F1A3B-7D4E-4A5B-9C6D-0E1F2A3B4C5F}";

// Everything of the machine a forced removal may touch.
std::set<std::string> InstallerState()
{
    std::set<std::string> state;
    for (const char* path : {kUninstallKey, machine::kInstallerClasses, machine::kInstallerData}) {
        const std::set<std::string> lines = RegistrySnapshot(HKEY_LOCAL_MACHINE, path);
        state.insert(lines.begin(), lines.end());
    }
    return state;
}

InstalledSoftwareEntry Loaded(const std::string& subkey)
{
    CInstalledSoftwareList list;
    list.Load();
    for (int i = 0; list.GetAt(i); ++i) {
        if (std::string(kUninstallKey) + "\\" + subkey == list.GetAt(i)->keyPath)
            return *list.GetAt(i);
    }
    ADD_FAILURE() << "no record of " << subkey;
    return InstalledSoftwareEntry();
}

class ForcedRemovalTest : public testing::Test {
protected:
    void SetUp() override
    {
        for (const machine::InstallerProduct* product : {&product, &other}) {
            ASSERT_TRUE(machine::RegisterInstallerProduct(*product));
            const std::string key = std::string(kUninstallKey) + "\\" + product->code;
            ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, key, "DisplayName", product->name));
            ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, key, "UninstallString", "MsiExec.exe /I" + product->code));
            ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, key, "WindowsInstaller", 1));
        }
    }
    void TearDown() override
    {
        for (const machine::InstallerProduct* product : {&product, &other}) {
            machine::UnregisterInstallerProduct(*product);
            DeleteKeyTree(HKEY_LOCAL_MACHINE, std::string(kUninstallKey) + "\\" + product->code);
        }
    }

    ScopedKeyIsolation isolation{HKEY_LOCAL_MACHINE, kUninstallKey};
    TempDir data{"umforced"};
    machine::InstallerProduct product{kCode, kUpgradeCode, "Forced", "1.0", "Maker", "C:\\Forced"};
    machine::InstallerProduct other{kOtherCode, kUpgradeCode, "Kept", "1.0", "Maker", "C:\\Kept"};
};

TEST_F(ForcedRemovalTest, TheEntryAndTheInstallersRegistrationGoInOneBackupAndComeBackWhole)
{
    const InstalledSoftwareEntry entry = Loaded(kCode);
    const std::string packed = machine::PackedGuid(kCode);
    const std::set<std::string> before = InstallerState();
    const size_t traces = ForcedRemovalTraces(entry).size();
    const CBackupStore store(data.Path());
    ASSERT_EQ(ERROR_SUCCESS, ForceRemoveRegistration(store, entry));

    const std::set<std::string> after = InstallerState();
    // Every line that went is of the product: its entry, or named by its packed code.
    const std::vector<std::string> gone = Missing(before, after);
    EXPECT_TRUE(Missing(after, before).empty());
    for (const std::string& line : gone)
        EXPECT_TRUE(line.find(packed) != std::string::npos || line.find(kCode) != std::string::npos) << line;
    for (const std::string& key : {std::string(machine::kInstallerClasses) + "\\Products\\" + packed,
                                   std::string(machine::kInstallerClasses) + "\\Features\\" + packed,
                                   std::string(machine::kInstallerData) + "\\UserData\\S-1-5-18\\Products\\" + packed,
                                   std::string(kUninstallKey) + "\\" + kCode})
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key)) << key;
    for (const char* place : {machine::kInstallerClasses, machine::kInstallerData}) {
        const std::string upgrade = std::string(place) + "\\UpgradeCodes\\" + machine::PackedGuid(kUpgradeCode);
        EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, upgrade, packed)) << upgrade;
        EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, upgrade, machine::PackedGuid(kOtherCode))) << upgrade;
    }
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, std::string(kUninstallKey) + "\\" + kOtherCode));

    // One backup holds it all.
    const std::vector<BackupSummary> backups = store.List();
    ASSERT_EQ(1u, backups.size());
    EXPECT_EQ("Forced", backups[0].program);
    EXPECT_EQ(static_cast<int>(traces), backups[0].items);
    CRestoreRun restore(store, backups[0].name);
    std::string reason;
    ASSERT_TRUE(restore.Load(&reason)) << reason;
    EXPECT_EQ(0, restore.Run().failed);
    EXPECT_EQ(before, InstallerState());
}

// A product the Installer never registered loses its entry alone; a store that is
// not safe removes nothing.
TEST_F(ForcedRemovalTest, APlainEntryGoesAloneAndAnUnsafeStoreRemovesNothing)
{
    const std::string plainKey = std::string(kUninstallKey) + "\\UmPlain";
    ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, plainKey, "DisplayName", "Plain"));
    ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, plainKey, "UninstallString", "C:\\Plain\\uninst.exe"));
    const InstalledSoftwareEntry plain = Loaded("UmPlain");
    ASSERT_EQ(1u, ForcedRemovalTraces(plain).size());
    // The entry, Products, Features, the system user's data, two upgrade values.
    EXPECT_EQ(6u, ForcedRemovalTraces(Loaded(kCode)).size());

    const std::set<std::string> before = InstallerState();
    const MadeByStandardUser standardUser;
    EXPECT_EQ(ERROR_INVALID_OWNER, ForceRemoveRegistration(CBackupStore(data.Path(), standardUser), Loaded(kCode)));
    EXPECT_EQ(before, InstallerState());
    EXPECT_EQ(ERROR_SUCCESS, ForceRemoveRegistration(CBackupStore(data.Path()), plain));
    const std::vector<std::string> gone = Missing(before, InstallerState());
    ASSERT_FALSE(gone.empty());
    for (const std::string& line : gone)
        EXPECT_NE(std::string::npos, line.find("UmPlain")) << line;
}

}  // namespace
