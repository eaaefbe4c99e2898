// Whether an entry's uninstaller is there: the program its command names, read by the
// one command parser; for an MsiExec command the product's registration with Windows
// Installer (msi.dll asked, the Installer's keys where it cannot tell); programs on a
// server are not probed. The load marks each record.
#include "inventory/InstalledSoftwareList.h"
#include "framework/PackProductCode.h"
#include "inventory/UninstallerPresence.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <string>
#include <tuple>

using namespace fixtures;

namespace {

// Product codes registered in each of the places Windows Installer keeps them, and one
// that is not.
const std::string kMachineCode = "{7E1A0C55-3B2D-4F6A-9C81-0D5E6F7A8B91}";
const std::string kUserCode = "{7E1A0C55-3B2D-4F6A-9C81-0D5E6F7A8B92}";
const std::string kManagedCode = "{7E1A0C55-3B2D-4F6A-9C81-0D5E6F7A8B93}";
const std::string kUnknownCode = "{7E1A0C55-3B2D-4F6A-9C81-0D5E6F7A8B94}";

class UninstallerPresenceTest : public testing::Test {
protected:
    static std::string Packed(const std::string& code) { return PackProductCode(code.c_str()); }

    TempDir dir{"umpresence"};
    const std::string uninst = dir.Path() + "\\Sub Folder\\un inst.exe";
    const std::string gone = dir.Path() + "\\gone.exe";
    const std::string folderNamedExe = dir.Path() + "\\folder.exe";
    // The machine's and the user's product keys; a managed (per-user, policy) install,
    // which only msi.dll reads.
    ScopedKey machine{HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\Installer\\Products\\" + Packed(kMachineCode)};
    ScopedKey user{HKEY_CURRENT_USER, "Software\\Microsoft\\Installer\\Products\\" + Packed(kUserCode)};
    ScopedKey managed{HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Managed\\" +
                                              UserSid() + "\\Installer\\Products\\" + Packed(kManagedCode)};

    void SetUp() override
    {
        ASSERT_TRUE(WriteFileText(uninst, "MZ"));
        ASSERT_TRUE(MakeDirs(folderNamedExe));
        for (const ScopedKey* key : {&machine, &user, &managed})
            ASSERT_TRUE(SetString(key == &user ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, key->Path(), "ProductName", "x"));
    }
};

TEST_F(UninstallerPresenceTest, TheCommandsProgramOrTheInstallersRegistrationDecides)
{
    const std::string msi = "MsiExec.exe ";
    const struct {
        std::string command;
        DWORD windowsInstaller;
        std::string keyName;
        bool exists;
    } cases[] = {
        {"\"" + uninst + "\" /S", 0, "App", true},
        {uninst + " /S", 0, "App", true},
        {"\"" + gone + "\" /S", 0, "App", false},
        {gone, 0, "App", false},
        {folderNamedExe, 0, "App", false},
        {"", 0, "App", false},
        // Nothing that is ever started: a relative path, a bare name the system lacks.
        {"Sub Folder\\un inst.exe", 0, "App", false},
        {"UmNoSuchTool.exe /S", 0, "App", false},
        // A server's program is not probed; a drive that is not there holds nothing.
        {"\\\\umserver\\share\\uninst.exe /S", 0, "App", true},
        {"Q:\\App\\uninst.exe", 0, "App", false},
        // MsiExec: the product code after /X, /I, /uninstall or /package, by its registration.
        {msi + "/X" + kMachineCode, 1, kUnknownCode, true},
        {msi + "/I" + kUserCode, 1, "App", true},
        {msi + "/X" + kManagedCode, 0, "App", true},
        {msi + "/X" + kUnknownCode, 1, kMachineCode, false},
        {msi + "/qb /x " + LowerAscii(kMachineCode), 0, "App", true},
        {msi + "/qb -X \"" + kUnknownCode + "\" /norestart", 0, "App", false},
        {msi + "/uninstall " + kUserCode, 0, "App", true},
        {"%SystemRoot%\\System32\\MsiExec.exe /X" + kUnknownCode, 0, "App", false},
        // Without a code in the command, an Installer entry's key name is its code.
        {msi + "/qb", 1, kUnknownCode, false},
        {msi + "/qb", 1, kMachineCode, true},
        // Otherwise MsiExec itself is the program.
        {msi + "/qb", 0, kUnknownCode, true},
        {msi + "/X" + kUnknownCode + "x", 0, "App", true},
        {msi + "/Q" + kUnknownCode, 0, "App", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.exists, UninstallerExists(c.command.c_str(), c.windowsInstaller, c.keyName.c_str()))
            << c.command << " | " << c.windowsInstaller << " | " << c.keyName;

    // The Installer's keys alone, where msi.dll cannot be asked, know all but the
    // managed install.
    for (const auto& [code, registered, keyed] : {std::make_tuple(kMachineCode, true, true),
                                                  std::make_tuple(kUserCode, true, true),
                                                  std::make_tuple(kManagedCode, true, false),
                                                  std::make_tuple(kUnknownCode, false, false),
                                                  std::make_tuple(std::string("{bad}"), false, false)}) {
        EXPECT_EQ(registered, IsInstallerProductRegistered(code.c_str())) << code;
        EXPECT_EQ(keyed, HasInstallerProductKey(code.c_str())) << code;
    }
}

// The load marks each record, with its key name standing for an Installer entry's code.
TEST_F(UninstallerPresenceTest, TheLoadMarksRecordsWhoseUninstallerIsMissing)
{
    ScopedKeyIsolation isolation{HKEY_LOCAL_MACHINE, kUninstallKey};
    const struct {
        std::string subkey, command;
        DWORD windowsInstaller;
        bool missing;
    } entries[] = {
        {"Present", "\"" + uninst + "\" /S", 0, false},
        {"Gone", "\"" + gone + "\"", 0, true},
        {kMachineCode, "MsiExec.exe /I", 1, false},
        {kUnknownCode, "MsiExec.exe /I", 1, true},
    };
    for (const auto& e : entries) {
        const std::string path = std::string(kUninstallKey) + "\\" + e.subkey;
        ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, path, "DisplayName", e.subkey));
        ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, path, "UninstallString", e.command));
        ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, path, "WindowsInstaller", e.windowsInstaller));
    }
    CInstalledSoftwareList list;
    list.Load();
    std::map<std::string, bool> marked;
    for (int i = 0; list.GetAt(i); ++i)
        marked[list.GetAt(i)->displayName] = list.GetAt(i)->uninstallerMissing;
    ASSERT_EQ(std::size(entries), marked.size());
    for (const auto& e : entries)
        EXPECT_EQ(e.missing, marked[e.subkey]) << e.subkey;
}

}  // namespace
