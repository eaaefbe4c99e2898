#include "machine/InstallerRegistration.h"

#include "machine/Registry.h"

#include <cctype>

namespace machine {

namespace {

// Where each packed digit comes from in "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
const int kPackedOrder[32] = {8,  7,  6,  5,  4,  3,  2,  1,  13, 12, 11, 10, 18, 17, 16, 15,
                              21, 20, 23, 22, 26, 25, 28, 27, 30, 29, 32, 31, 34, 33, 36, 35};

std::string UserDataProduct(const std::string& packed)
{
    return std::string(kInstallerData) + "\\UserData\\S-1-5-18\\Products\\" + packed;
}

std::string UpgradeKeys(const char* place, const std::string& upgradeCode)
{
    return std::string(place) + "\\UpgradeCodes\\" + PackedGuid(upgradeCode);
}

// Deletes the key when it holds no value and no subkey (Wine's SHDeleteEmptyKey
// looks at the subkeys only).
void DeleteKeyIfEmpty(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return;
    DWORD subkeys = 1, values = 1;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    if (subkeys == 0 && values == 0)
        DeleteKeyTree(root, path);
}

}  // namespace

std::string PackedGuid(const std::string& guid)
{
    if (guid.size() != 38)
        return std::string();
    std::string packed;
    for (int from : kPackedOrder)
        packed += static_cast<char>(toupper(static_cast<unsigned char>(guid[from])));
    return packed;
}

bool RegisterInstallerProduct(const InstallerProduct& product)
{
    const std::string packed = PackedGuid(product.code);
    const std::string products = std::string(kInstallerClasses) + "\\Products\\" + packed;
    const std::string properties = UserDataProduct(packed) + "\\InstallProperties";
    const HKEY lm = HKEY_LOCAL_MACHINE;
    bool ok = !packed.empty() && !PackedGuid(product.upgradeCode).empty();
    ok = ok && SetString(lm, products, "ProductName", product.name) &&
         SetString(lm, products, "PackageCode", PackedGuid("{6F2A8C31-5D4E-4B7A-9C2D-1E0F3A4B5C6D}")) &&
         SetDword(lm, products, "Language", 2052) && SetDword(lm, products, "Assignment", 1) &&
         SetDword(lm, products, "AdvertiseFlags", 388) &&
         SetString(lm, products + "\\SourceList", "PackageName", product.name + ".msi") &&
         SetString(lm, products + "\\SourceList\\Net", "1", product.location + "\\");
    ok = ok && SetString(lm, std::string(kInstallerClasses) + "\\Features\\" + packed, "Complete", "");
    ok = ok && SetString(lm, UpgradeKeys(kInstallerClasses, product.upgradeCode), packed, "") &&
         SetString(lm, UpgradeKeys(kInstallerData, product.upgradeCode), packed, "");
    ok = ok && SetString(lm, properties, "DisplayName", product.name) &&
         SetString(lm, properties, "DisplayVersion", product.version) &&
         SetString(lm, properties, "Publisher", product.publisher) &&
         SetString(lm, properties, "InstallLocation", product.location + "\\") &&
         SetString(lm, properties, "LocalPackage", "C:\\Windows\\Installer\\" + packed.substr(0, 6) + ".msi") &&
         SetString(lm, properties, "UninstallString", "MsiExec.exe /I" + product.code) &&
         SetDword(lm, properties, "WindowsInstaller", 1);
    return ok && SetString(lm, UserDataProduct(packed) + "\\Features", "Complete", "");
}

void UnregisterInstallerProduct(const InstallerProduct& product)
{
    const std::string packed = PackedGuid(product.code);
    if (packed.empty())
        return;
    DeleteKeyTree(HKEY_LOCAL_MACHINE, std::string(kInstallerClasses) + "\\Products\\" + packed);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, std::string(kInstallerClasses) + "\\Features\\" + packed);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, UserDataProduct(packed));
    for (const char* place : {kInstallerClasses, kInstallerData}) {
        const std::string upgrade = UpgradeKeys(place, product.upgradeCode);
        DeleteValue(HKEY_LOCAL_MACHINE, upgrade, packed);
        DeleteKeyIfEmpty(HKEY_LOCAL_MACHINE, upgrade);
    }
}

}  // namespace machine
