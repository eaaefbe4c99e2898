// A Windows Installer product's registration as the Installer writes it for a
// machine-wide install, for the tests and the demo machine, where no package is
// really installed: Windows Installer (Wine's too) then knows the product, its
// state and its install location.
#pragma once
#include <windows.h>

#include <string>

namespace machine {

struct InstallerProduct {
    std::string code;         // {GUID}
    std::string upgradeCode;  // {GUID}
    std::string name;
    std::string version;
    std::string publisher;
    std::string location;     // its install folder
};

// The keys the Installer names by a code: the first three groups of the GUID reversed,
// then each byte of the rest with its two digits swapped.
std::string PackedGuid(const std::string& guid);

// The keys written: Classes\Installer\Products and \Features of the packed product
// code, each UpgradeCodes key of the packed upgrade code with a value named by the
// packed product code, and the Installer's data of the system user
// (UserData\S-1-5-18\Products\<packed>: InstallProperties, Features).
const char kInstallerClasses[] = "SOFTWARE\\Classes\\Installer";
const char kInstallerData[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer";
bool RegisterInstallerProduct(const InstallerProduct& product);
// Removes what RegisterInstallerProduct wrote (an upgrade code's key only once it is empty).
void UnregisterInstallerProduct(const InstallerProduct& product);

}  // namespace machine
