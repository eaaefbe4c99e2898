#include "smart/UninstallClues.h"

#include "inventory/WindowsInstallerProduct.h"

UninstallClues CluesOfEntry(const InstalledSoftwareEntry& entry)
{
    UninstallClues clues;
    clues.root = entry.root;
    clues.keyPath = entry.keyPath;
    clues.displayName = entry.displayName;
    clues.publisher = entry.publisher;
    clues.uninstallCommand = entry.uninstallString;
    clues.displayIcon = entry.displayIcon;
    clues.installLocation = EntryInstallFolder(entry);
    return clues;
}
