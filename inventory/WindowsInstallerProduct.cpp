#include "inventory/WindowsInstallerProduct.h"

#include "framework/AnsiText.h"
#include "framework/PackProductCode.h"
#include "framework/RegKey.h"
#include "framework/RegistryTree.h"
#include "inventory/UninstallEntries.h"
#include "inventory/UninstallerPresence.h"

namespace {

// Where the Installer registers products: the machine's, the user's own, and the
// per-user data it keeps below the machine's key.
const char kMachineInstaller[] = "SOFTWARE\\Classes\\Installer";
const char kUserInstaller[] = "Software\\Microsoft\\Installer";
const char kInstallerData[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer";

void AddKeyIfPresent(HKEY root, const std::string& path, std::vector<RegistryTrace>* traces)
{
    RegKey key;
    if (key.Open(root, path.c_str()))
        traces->push_back(RegistryTrace{root, path, std::string(), false});
}

// Each upgrade code's key names the products it covers by values named by their
// packed codes: the product's value goes, or the whole key when it holds nothing else.
void AddUpgradeCodeValues(HKEY root, const std::string& upgradeCodes, const std::string& packed,
                          std::vector<RegistryTrace>* traces)
{
    RegKey codes;
    if (!codes.Open(root, upgradeCodes.c_str()))
        return;
    codes.ForEachSubkey([&](const char* name) {
        const std::string path = upgradeCodes + "\\" + name;
        RegKey key;
        if (!key.Open(root, path.c_str()) ||
            RegQueryValueExA(key, packed.c_str(), nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return true;
        DWORD subkeys = 0, values = 0;
        const bool alone = key.CountEntries(&subkeys, &values) && subkeys == 0 && values == 1;
        traces->push_back(RegistryTrace{root, path, alone ? std::string() : packed, !alone});
        return true;
    });
}

// The product's key in the Installer's data of each user named (every user's when
// sids is empty).
void AddUserDataProducts(const std::vector<std::string>& sids, const std::string& packed,
                         std::vector<RegistryTrace>* traces)
{
    const std::string userData = std::string(kInstallerData) + "\\UserData";
    std::vector<std::string> users = sids;
    if (users.empty()) {
        RegKey data;
        if (data.Open(HKEY_LOCAL_MACHINE, userData.c_str()))
            data.ForEachSubkey([&](const char* sid) {
                users.push_back(sid);
                return true;
            });
    }
    for (const std::string& sid : users)
        AddKeyIfPresent(HKEY_LOCAL_MACHINE, userData + "\\" + sid + "\\Products\\" + packed, traces);
}

// The user this program runs as, whose HKCU it reads (a SID is ASCII text).
std::string ProcessUserSidText()
{
    std::string sid;
    for (wchar_t ch : ProcessUserSid()) {
        if (ch >= 0x80)
            return std::string();
        sid += static_cast<char>(ch);
    }
    return sid;
}

}  // namespace

std::string InstallerProductCode(const InstalledSoftwareEntry& entry)
{
    const char* keyName = UninstallKeyName(entry.keyPath);
    const bool keyIsCode = IsProductCode(keyName);
    if (entry.windowsInstaller == 1)
        return keyIsCode ? std::string(keyName) : InstallerCommandProductCode(entry.uninstallString);
    return keyIsCode && IsInstallerProductRegistered(keyName) ? std::string(keyName) : std::string();
}

std::string InstallerUninstallCommand(const std::string& productCode, bool quiet)
{
    char system[MAX_PATH];
    const UINT length = GetSystemDirectoryA(system, MAX_PATH);
    if (!IsProductCode(productCode.c_str()) || length == 0 || length >= MAX_PATH)
        return std::string();
    const std::string command = "\"" + std::string(system) + "\\msiexec.exe\" /x" + productCode;
    return quiet ? command + " /qb REBOOT=ReallySuppress" : command;
}

std::string EntryInstallFolder(const InstalledSoftwareEntry& entry)
{
    if (entry.installLocation[0])
        return entry.installLocation;
    const std::string code = InstallerProductCode(entry);
    return code.empty() ? std::string() : InstallerProductLocation(code.c_str());
}

std::vector<RegistryTrace> InstallerRegistration(const std::string& productCode, HKEY entryRoot)
{
    std::vector<RegistryTrace> traces;
    const std::string packed = PackProductCode(productCode.c_str());
    if (packed.empty())
        return traces;
    const bool machine = entryRoot == HKEY_LOCAL_MACHINE;
    const HKEY root = machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    const std::string installer = machine ? kMachineInstaller : kUserInstaller;
    AddKeyIfPresent(root, installer + "\\Products\\" + packed, &traces);
    AddKeyIfPresent(root, installer + "\\Features\\" + packed, &traces);
    const std::string sid = machine ? std::string() : ProcessUserSidText();
    if (machine || !sid.empty())
        AddUserDataProducts(machine ? std::vector<std::string>() : std::vector<std::string>{sid}, packed, &traces);
    AddUpgradeCodeValues(root, installer + "\\UpgradeCodes", packed, &traces);
    if (machine)
        AddUpgradeCodeValues(root, std::string(kInstallerData) + "\\UpgradeCodes", packed, &traces);
    return traces;
}
