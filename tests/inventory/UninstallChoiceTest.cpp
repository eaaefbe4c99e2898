// Windows Installer products among the entries, their registration, and the command
// chosen for each kind of entry, read back through the one command parser: quiet
// where the kind of uninstaller is certain, the Installer's msiexec.exe from the
// system folder and never one planted beside the program or in the current folder.
#include "EntryFixtures.h"
#include "framework/ParseCommandLine.h"
#include "inventory/UninstallBatch.h"
#include "inventory/UninstallChoice.h"
#include "inventory/WindowsInstallerProduct.h"
#include "machine/InstallerRegistration.h"

#include <algorithm>
#include <tuple>

using namespace inventorytest;

namespace {

const std::string kKnownCode = "{5B0E7D21-6C3A-4E8F-9A1B-2C3D4E5F6A71}";
const std::string kOtherKnownCode = "{5B0E7D21-6C3A-4E8F-9A1B-2C3D4E5F6A72}";
const std::string kUnknownCode = "{5B0E7D21-6C3A-4E8F-9A1B-2C3D4E5F6A73}";
const std::string kUpgradeCode = "{5B0E7D21-6C3A-4E8F-9A1B-2C3D4E5F6A7F}";

std::string Msiexec()
{
    return SystemFolder() + "\\msiexec.exe";
}

// Two products the Installer knows, installed in folders of their own.
class InstallerTest : public testing::Test {
protected:
    void SetUp() override
    {
        for (const machine::InstallerProduct* product : {&known, &other})
            ASSERT_TRUE(machine::RegisterInstallerProduct(*product));
    }
    void TearDown() override
    {
        for (const machine::InstallerProduct* product : {&known, &other})
            machine::UnregisterInstallerProduct(*product);
    }

    ScopedKeyIsolation isolation{HKEY_LOCAL_MACHINE, kUninstallKey};
    TempDir dir{"uminstaller"};
    machine::InstallerProduct known{kKnownCode, kUpgradeCode, "Known", "1.0", "Maker", dir.Path() + "\\Known"};
    machine::InstallerProduct other{kOtherKnownCode, kUpgradeCode, "Other", "2.0", "Maker", dir.Path() + "\\Other"};
};

// An entry is an Installer product by its WindowsInstaller value, or by a key name the
// Installer knows; its code is the key name, else its command's. Its folder is its
// own, else the Installer's.
TEST_F(InstallerTest, EntriesAreProductsByTheirValueOrAKnownKeyName)
{
    const std::string msi = "MsiExec.exe /I";
    const struct {
        std::string subkey, command;
        DWORD windowsInstaller;
        std::string location, code, folder;
    } cases[] = {
        {kKnownCode, msi + kKnownCode, 1, "", kKnownCode, known.location + "\\"},
        {kKnownCode, msi + kKnownCode, 0, "D:\\Own", kKnownCode, "D:\\Own"},
        {"Named", "MsiExec.exe /X" + kOtherKnownCode, 1, "", kOtherKnownCode, other.location + "\\"},
        {"NamedNoCode", "MsiExec.exe /qb", 1, "", "", ""},
        {kUnknownCode, msi + kUnknownCode, 1, "", kUnknownCode, ""},
        {kUnknownCode, msi + kUnknownCode, 0, "", "", ""},
        {"Plain", "C:\\App\\uninst.exe", 0, "", "", ""},
        {"NotOne", msi + kKnownCode, 2, "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.subkey + " " + std::to_string(c.windowsInstaller));
        const std::string path = RegisterEntry(HKEY_LOCAL_MACHINE, c.subkey, {{"UninstallString", c.command}},
                                               {{"WindowsInstaller", c.windowsInstaller}});
        if (!c.location.empty()) {
            ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, path, "InstallLocation", c.location));
        }
        const InstalledSoftwareEntry entry = LoadEntry(HKEY_LOCAL_MACHINE, path);
        EXPECT_EQ(c.code, InstallerProductCode(entry));
        EXPECT_EQ(c.folder, EntryInstallFolder(entry));
        DeleteKeyTree(HKEY_LOCAL_MACHINE, path);
    }
    EXPECT_EQ("\"" + Msiexec() + "\" /x" + kKnownCode, InstallerUninstallCommand(kKnownCode, false));
    EXPECT_EQ("\"" + Msiexec() + "\" /x" + kKnownCode + " /qb REBOOT=ReallySuppress",
              InstallerUninstallCommand(kKnownCode, true));
    EXPECT_EQ("", InstallerUninstallCommand("{bad}", true));
}

// A machine product's registration: its keys under the machine's Installer classes and
// every user's Installer data, and its value under each upgrade code's key, the key
// whole where the value is all it holds. A user's entry reaches only the user's own
// registration, whatever product code its key names. Another product's stays out.
TEST_F(InstallerTest, RegistrationListsThePackedCodesKeysAndUpgradeValues)
{
    const std::string packed = machine::PackedGuid(kKnownCode), upgrade = machine::PackedGuid(kUpgradeCode);
    const std::string data = std::string(machine::kInstallerData), classes = machine::kInstallerClasses;
    const std::string userSid = UserSid(), userData = data + "\\UserData\\" + userSid + "\\Products\\" + packed;
    const std::string aloneUpgrade = classes + "\\UpgradeCodes\\" + machine::PackedGuid(kUnknownCode);
    ScopedKey userInstaller(HKEY_CURRENT_USER, "Software\\Microsoft\\Installer\\Products\\" + packed);
    ScopedKey userUpgrade(HKEY_CURRENT_USER, "Software\\Microsoft\\Installer\\UpgradeCodes\\" + upgrade);
    ScopedKey perUser(HKEY_LOCAL_MACHINE, userData);
    ScopedKey alone(HKEY_LOCAL_MACHINE, aloneUpgrade);
    ASSERT_TRUE(SetString(HKEY_CURRENT_USER, userInstaller.Path(), "ProductName", "Known"));
    ASSERT_TRUE(SetString(HKEY_CURRENT_USER, userUpgrade.Path(), packed, ""));
    ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, perUser.Path() + "\\InstallProperties", "DisplayName", "Known"));
    ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, alone.Path(), packed, ""));

    using Trace = std::tuple<HKEY, std::string, std::string, bool>;
    auto traces = [](const std::string& code, HKEY root) {
        std::vector<Trace> listed;
        for (const RegistryTrace& trace : InstallerRegistration(code, root))
            listed.emplace_back(trace.root, trace.path, trace.valueName, trace.isValue);
        std::sort(listed.begin(), listed.end());
        return listed;
    };
    const HKEY lm = HKEY_LOCAL_MACHINE, cu = HKEY_CURRENT_USER;
    std::vector<Trace> machineTraces = {
        {lm, classes + "\\Products\\" + packed, "", false},
        {lm, classes + "\\Features\\" + packed, "", false},
        {lm, data + "\\UserData\\S-1-5-18\\Products\\" + packed, "", false},
        {lm, userData, "", false},
        // The other product shares the upgrade code: only this product's value goes.
        {lm, classes + "\\UpgradeCodes\\" + upgrade, packed, true},
        {lm, data + "\\UpgradeCodes\\" + upgrade, packed, true},
        {lm, aloneUpgrade, "", false},
    };
    std::sort(machineTraces.begin(), machineTraces.end());
    EXPECT_EQ(machineTraces, traces(kKnownCode, lm));
    std::vector<Trace> userTraces = {
        {cu, userInstaller.Path(), "", false},
        {lm, userData, "", false},
        {cu, userUpgrade.Path(), "", false},
    };
    std::sort(userTraces.begin(), userTraces.end());
    EXPECT_EQ(userTraces, traces(kKnownCode, cu));
    EXPECT_EQ(std::vector<Trace>(), traces(kUnknownCode + "x", lm));
    // Once the other product is gone, the upgrade code's keys hold this one alone.
    machine::UnregisterInstallerProduct(other);
    const std::vector<Trace> remaining = traces(kKnownCode, lm);
    EXPECT_NE(remaining.end(), std::find(remaining.begin(), remaining.end(),
                                         Trace{lm, classes + "\\UpgradeCodes\\" + upgrade, "", false}));
}

// A Nullsoft uninstaller is told by the header its setup finds itself by, at a
// 512-byte boundary in the first megabyte, flagged as an uninstaller's: a real one
// that makensis built, and files made to test the edges.
TEST(NullsoftMarkerTest, AnUninstallersHeaderAtABoundaryTellsIt)
{
    TempDir dir("umnullsoft");
    const std::string setup = dir.Path() + "\\setup.exe", uninstaller = dir.Path() + "\\uninst.exe";
    ASSERT_TRUE(CopyFileTo(JoinPath(ExecutableFolder(), "NullsoftUninstallerSetup.exe"), setup));
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::string commandLine = "\"" + setup + "\" /S";
    ASSERT_TRUE(CreateProcessA(setup.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, dir.Path().c_str(),
                               &startup, &process));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 30000));
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_TRUE(IsNullsoftUninstaller(uninstaller.c_str()));
    EXPECT_FALSE(IsNullsoftUninstaller(setup.c_str())) << "a setup's header: /S would install";

    const std::string signature = std::string("\xEF\xBE\xAD\xDE", 4) + "NullsoftInst";
    auto made = [&](size_t at, const std::string& flags, size_t size = 4096) {
        std::string bytes(std::max(size, at + 20), 'M');
        bytes.replace(at, 4 + signature.size(), flags + signature);
        const std::string path = dir.Path() + "\\made" + std::to_string(at) + ".exe";
        EXPECT_TRUE(WriteFileText(path, bytes));
        return IsNullsoftUninstaller(path.c_str());
    };
    const std::string uninstall("\x01\0\0\0", 4), silentUninstall("\x03\0\0\0", 4), install("\x02\0\0\0", 4);
    EXPECT_TRUE(made(1024, uninstall));
    EXPECT_TRUE(made(1024 * 1024 - 512, silentUninstall));
    EXPECT_FALSE(made(1000, uninstall)) << "not at a boundary";
    EXPECT_FALSE(made(1024 * 1024, uninstall)) << "past the first megabyte";
    EXPECT_FALSE(made(1024, install));
    EXPECT_FALSE(made(1536, std::string("\x11\0\0\0", 4))) << "flags no setup writes";
    EXPECT_FALSE(made(0, uninstall)) << "where the program's own header is";
    EXPECT_FALSE(IsNullsoftUninstaller((dir.Path() + "\\missing.exe").c_str()));
    EXPECT_FALSE(IsNullsoftUninstaller(dir.Path().c_str()));
}

// Every kind of entry, quiet and interactive: the command chosen, read back by the
// one parser, names the program it says and gives it the switches of its kind.
TEST_F(InstallerTest, TheCommandForEachKindOfEntry)
{
    const std::string folder = dir.Path() + "\\Apps";
    const std::string unins = folder + "\\unins000.exe", lone = folder + "\\Lone\\unins000.exe";
    const std::string nullsoft = folder + "\\nsis.exe", plain = folder + "\\uninst.exe";
    ASSERT_TRUE(WriteFileText(unins, "MZ") && WriteFileText(folder + "\\unins000.dat", "log") &&
                WriteFileText(lone, "MZ") && WriteFileText(folder + "\\Lone\\unins001.dat", "log") &&
                WriteFileText(plain, "MZ"));
    std::string marked(2048, 'M');
    marked.replace(1024, 20, std::string("\x01\0\0\0\xEF\xBE\xAD\xDE", 8) + "NullsoftInst");
    ASSERT_TRUE(WriteFileText(nullsoft, marked));
    const std::string quietMsi = "\"" + Msiexec() + "\" /x" + kKnownCode + " /qb REBOOT=ReallySuppress";
    const std::string msi = "\"" + Msiexec() + "\" /x" + kKnownCode;
    const struct {
        std::string subkey;
        std::map<std::string, std::string> texts;
        DWORD windowsInstaller;
        QuietKind kind;
        std::string quiet, interactive;  // the commands chosen
    } cases[] = {
        {"Own", {{"UninstallString", "\"" + plain + "\""}, {"QuietUninstallString", "\"" + plain + "\" /quiet"}}, 0,
         QUIET_ENTRY, "\"" + plain + "\" /quiet", "\"" + plain + "\""},
        {kKnownCode, {{"UninstallString", "MsiExec.exe /I" + kKnownCode}}, 1, QUIET_WINDOWS_INSTALLER, quietMsi, msi},
        {kKnownCode, {{"UninstallString", "MsiExec.exe /I" + kKnownCode}}, 0, QUIET_WINDOWS_INSTALLER, quietMsi, msi},
        {kKnownCode, {{"UninstallString", "MsiExec.exe /I" + kKnownCode}, {"QuietUninstallString", "MsiExec.exe /qn"}},
         1, QUIET_ENTRY, "MsiExec.exe /qn", msi},
        {"Unins", {{"UninstallString", unins + " /LOG"}}, 0, QUIET_UNINS_PAIR,
         "\"" + unins + "\" /VERYSILENT /SUPPRESSMSGBOXES /NORESTART /LOG", unins + " /LOG"},
        {"Lone", {{"UninstallString", "\"" + lone + "\""}}, 0, QUIET_NONE, "\"" + lone + "\"", "\"" + lone + "\""},
        {"Nullsoft", {{"UninstallString", "\"" + nullsoft + "\" _?=" + folder}}, 0, QUIET_NULLSOFT,
         "\"" + nullsoft + "\" /S _?=" + folder, "\"" + nullsoft + "\" _?=" + folder},
        {"Plain", {{"UninstallString", plain}}, 0, QUIET_NONE, plain, plain},
        {"Missing", {{"UninstallString", folder + "\\gone\\unins000.exe"}}, 0, QUIET_NONE,
         folder + "\\gone\\unins000.exe", folder + "\\gone\\unins000.exe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.subkey);
        const std::string path =
            RegisterEntry(HKEY_LOCAL_MACHINE, c.subkey, c.texts, {{"WindowsInstaller", c.windowsInstaller}});
        const InstalledSoftwareEntry entry = LoadEntry(HKEY_LOCAL_MACHINE, path);
        const UninstallChoice quiet = ChooseUninstallCommand(entry, UNINSTALL_QUIET);
        const UninstallChoice interactive = ChooseUninstallCommand(entry, UNINSTALL_INTERACTIVE);
        EXPECT_EQ(c.kind, quiet.kind);
        EXPECT_EQ(c.kind == QUIET_NONE ? UNINSTALL_INTERACTIVE : UNINSTALL_QUIET, quiet.mode);
        EXPECT_EQ(c.quiet, quiet.command);
        EXPECT_EQ(c.interactive, interactive.command);
        EXPECT_EQ(UNINSTALL_INTERACTIVE, interactive.mode);
        EXPECT_EQ(QUIET_NONE, interactive.kind);
        // The parser reads the program the choice names: the system's msiexec.exe for
        // an Installer product, whatever the entry's command spelled.
        std::string program, arguments;
        if (!quiet.productCode.empty()) {
            ASSERT_TRUE(FindStartableProgram(quiet.command.c_str(), &program, &arguments));
            EXPECT_EQ(LowerAscii(Msiexec()), LowerAscii(program));
        }
        DeleteKeyTree(HKEY_LOCAL_MACHINE, path);
    }
}

// A planted msiexec.exe beside the uninstaller and in the current folder never runs:
// an Installer product's quiet and interactive commands, and an entry whose own quiet
// command names MsiExec.exe bare, run the system's, which answers 1605 for a product
// it does not know.
TEST_F(InstallerTest, APlantedMsiexecNeverRuns)
{
    const std::string folder = dir.Path() + "\\Planted";
    const std::string planted = folder + "\\msiexec.exe", plantedInCurrent = dir.Path() + "\\msiexec.exe";
    ASSERT_TRUE(MakeDirs(folder) && CopyFileTo(BuiltChild(), planted) && CopyFileTo(BuiltChild(), plantedInCurrent) &&
                CopyFileTo(BuiltChild(), folder + "\\uninst.exe"));
    char current[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, current);
    ASSERT_TRUE(SetCurrentDirectoryA(dir.Path().c_str()));
    const std::string unknownEntry = RegisterEntry(HKEY_LOCAL_MACHINE, kUnknownCode,
                                                   {{"UninstallString", "MsiExec.exe /I" + kUnknownCode},
                                                    {"InstallLocation", folder}},
                                                   {{"WindowsInstaller", 1}});
    const std::string quietEntry = RegisterEntry(HKEY_LOCAL_MACHINE, "QuietBare",
                                                 {{"UninstallString", "\"" + folder + "\\uninst.exe\""},
                                                  {"QuietUninstallString", "msiexec.exe /x" + kUnknownCode + " /qn"}});
    std::vector<BatchProduct> products;
    for (const auto& [path, mode] : {std::make_pair(unknownEntry, UNINSTALL_QUIET),
                                     std::make_pair(unknownEntry, UNINSTALL_INTERACTIVE),
                                     std::make_pair(quietEntry, UNINSTALL_QUIET)}) {
        const InstalledSoftwareEntry entry = LoadEntry(HKEY_LOCAL_MACHINE, path);
        products.push_back({entry.displayName, HKEY_LOCAL_MACHINE, path, folder, ChooseUninstallCommand(entry, mode)});
    }
    CUninstallBatch batch(products);
    for (DWORD start = GetTickCount(); batch.Poll() && GetTickCount() - start < 60000;)
        Sleep(20);
    SetCurrentDirectoryA(current);
    ASSERT_TRUE(batch.IsOver());
    for (size_t i = 0; i < batch.Count(); ++i) {
        EXPECT_EQ(BATCH_NOT_INSTALLED, batch.Item(i).state) << batch.Item(i).product.choice.command;
        EXPECT_EQ(static_cast<DWORD>(ERROR_UNKNOWN_PRODUCT), batch.Item(i).exitCode) << i;
    }
    EXPECT_EQ("", ChildLog(planted));
    EXPECT_EQ("", ChildLog(plantedInCurrent));
}

}  // namespace
