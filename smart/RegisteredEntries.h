// The products registered for removal as the analysis sees them: each entry with
// the folders its texts name, read once per analysis. What it judges folders by:
// a folder that another product names is never taken for the program's.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "inventory/UninstallEntries.h"
#include "smart/UninstallClues.h"

class CMachineFolders;

// A registered entry as ReadUninstallEntries reads it, and what the analysis makes of it.
struct RegisteredEntry : UninstallEntry {
    std::string folders[3];        // the install location, the uninstaller's and the icon's folder
    std::string uninstallProgram;  // the program its uninstall command runs, named in full
    bool own = false;              // the program's own entry (set by the analysis)
};

// The name an uninstall key goes by, unless it is a product code ("" then).
const char* EntryKeyName(const std::string& keyPath);
// The program file an icon reference names, when it is an executable (path: MAX_PATH bytes).
bool IconProgram(const std::string& displayIcon, char* path);
// The entry is the one the clues were noted from.
bool IsCluesEntry(const RegisteredEntry& entry, const UninstallClues* clues);

class CRegisteredEntries {
public:
    // Reads every entry (ReadUninstallEntries) with its folders, but none that is a
    // system folder; keepResponsive is called between entries.
    void Load(const CMachineFolders& machine, const std::function<void()>& keepResponsive);

    std::vector<RegisteredEntry>& All() { return entries; }
    const std::vector<RegisteredEntry>& All() const { return entries; }

    // Another product's folder lies below folder: an entry none of whose folders
    // holds it (the program's own entry names its folder or one above it).
    bool HoldsOtherProduct(const char* folder) const;
    // A folder that an entry not the program's names, at, above or below it.
    bool IsOtherProductFolder(const char* folder) const;
    // A full path in a folder that an entry not the program's names.
    bool IsInOtherProductFolder(const char* path) const;
    // The install location of the product programFile belongs to, when folder lies
    // below it (location: MAX_PATH bytes).
    bool RegisteredLocationAbove(const char* folder, const char* programFile, char* location) const;
    // Another entry's uninstall command runs program: an engine shared by several products.
    bool IsSharedUninstaller(const char* program, const UninstallClues& clues) const;
    // The folders the entry registered at root\keyPath names, each once.
    std::vector<std::string> FoldersOf(HKEY root, const char* keyPath) const;

private:
    std::vector<RegisteredEntry> entries;
};

// Appends folder to folders unless it is there already (compared without case).
void AddFolderOnce(const char* folder, std::vector<std::string>* folders);
