// What a product is known by, noted from its uninstall entry before its uninstaller
// runs: where the search for what the uninstaller leaves starts.
#pragma once
#include "inventory/InstalledSoftwareEntry.h"

#include <windows.h>

#include <string>
#include <vector>

struct UninstallClues {
    HKEY root = nullptr;
    std::string keyPath;  // the uninstall entry, below root
    std::string displayName;
    std::string publisher;
    // The entry's texts as they stand.
    std::string installLocation;
    std::string uninstallCommand;
    std::string displayIcon;
    // Filled by CTraceAnalyzer::NoteUninstallClues: the folders that may be the
    // product's own (full form), and its main program when the icon names one there.
    std::vector<std::string> folders;
    std::string mainProgram;
};

// The clues of an entry as the quick page lists it, taken before its uninstaller
// runs: its texts, and for a Windows Installer product without an install location
// the folder the Installer names (EntryInstallFolder). The folders are picked by
// CTraceAnalyzer::NoteUninstallClues.
UninstallClues CluesOfEntry(const InstalledSoftwareEntry& entry);
