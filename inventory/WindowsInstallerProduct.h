// Windows Installer products among the uninstall entries: which entries are, the
// command that uninstalls one, its folder, and the Installer's own registration of
// it, which a forced removal takes along so that the product can be installed again.
#pragma once
#include "inventory/InstalledSoftwareEntry.h"

#include <windows.h>

#include <string>
#include <vector>

// The product code of an entry that is a Windows Installer product; empty for any
// other. An entry is one when its WindowsInstaller value is 1 or its key name is a
// product code the Installer knows (IsInstallerProductRegistered). Its code is its
// key name when that is a product code, else the one its MsiExec command names.
std::string InstallerProductCode(const InstalledSoftwareEntry& entry);

// "<system folder>\msiexec.exe" /x{code}, and quiet: with a basic progress window
// and no restart (/qb REBOOT=ReallySuppress). Empty for no product code, or when the
// system folder cannot be named.
std::string InstallerUninstallCommand(const std::string& productCode, bool quiet);

// The entry's install folder: its InstallLocation, else for a Windows Installer
// product the folder the Installer names.
std::string EntryInstallFolder(const InstalledSoftwareEntry& entry);

// One key (with all below it) or one value of the Installer's registration.
struct RegistryTrace {
    HKEY root;
    std::string path;       // physical, below root
    std::string valueName;  // a value's name; empty for a key
    bool isValue;
};

// The Installer's registration of the product as it stands, each once: for a
// machine entry (entryRoot HKLM) the packed code's keys under the machine's
// Classes\Installer\Products and \Features and under the Installer's UserData of
// every user, and its value under each UpgradeCodes key (the key itself where that
// value is all it holds); for a user's entry only the user's own (its Installer keys
// in HKCU and its UserData), whatever code the user's entry names. Empty for no
// product code.
std::vector<RegistryTrace> InstallerRegistration(const std::string& productCode, HKEY entryRoot);
