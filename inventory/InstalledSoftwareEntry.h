// One product registered for removal under the Uninstall key.
#pragma once
#include "inventory/UninstallEntries.h"

#include <windows.h>

#include <string>

struct InstalledSoftwareEntry {
    char displayName[MAX_PATH];
    char uninstallString[MAX_PATH];
    char quietUninstallString[MAX_PATH];  // "QuietUninstallString"; empty when absent or unusable
    char publisher[MAX_PATH];
    char helpLink[MAX_PATH];
    HKEY root;                  // HKEY_LOCAL_MACHINE, or HKEY_CURRENT_USER for a per-user install
    UninstallView view;         // the registry view it was read in
    char keyPath[MAX_PATH];     // the key's physical path below root (see RegistryView.h)
    DWORD windowsInstaller;
    size_t loadIndex;           // its place in the registry's order
    char displayIcon[MAX_PATH]; // the "DisplayIcon" value; empty when absent or unusable
    char version[MAX_PATH];     // "DisplayVersion", likewise
    char installLocation[MAX_PATH];  // "InstallLocation", likewise
    bool hasEstimatedSize;      // "EstimatedSize" (KB), as UninstallEntry reads it
    DWORD estimatedSizeKb;
    DWORD installDate;          // yyyymmdd, as UninstallEntry reads it; 0 when unknown
    // The uninstaller the command names is not there (see UninstallerPresence.h):
    // forced removal is what is left.
    bool uninstallerMissing;
    // Filled by CInstalledSoftwareList::ResolveIcons (both) or ResolveSmallIcon (the
    // small one), not by the load; the list's icon cache owns both handles, which are
    // null when the product has no such icon.
    bool iconsResolved;
    bool smallIconResolved;
    HICON smallIcon;
    HICON largeIcon;
    // Set by the quick page once it has measured the install folder (see ProductSize).
    bool sizeMeasured;
    ULONGLONG measuredBytes;
};

// The entry's key as the details show it: the machine's without its root, the
// user's with it.
inline std::string EntryKeyPathText(const InstalledSoftwareEntry& entry)
{
    return (entry.root == HKEY_CURRENT_USER ? std::string("HKEY_CURRENT_USER\\") : std::string()) + entry.keyPath;
}
