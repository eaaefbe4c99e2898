// The one reader of the products registered for removal: the Uninstall key in every
// place Windows keeps one, and each entry's values by one set of rules. The quick
// page's inventory and the analysis both read the entries here.
#pragma once
#include "framework/RegKey.h"
#include "framework/RegistryView.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

extern const char UNINSTALL_KEY_PATH[];

// Where an entry is registered.
enum UninstallView {
    VIEW_HKLM,    // the machine's, in the program's native view
    VIEW_HKLM32,  // the machine's 32-bit view on 64-bit Windows (Wow6432Node)
    VIEW_HKCU,    // the user's own: a per-user install
};

// One entry. A text is a REG_SZ value, or a REG_EXPAND_SZ one with its references
// expanded, that fits MAX_PATH with its terminator; any other (absent, too long,
// another type) reads as empty. Numbers are values of at most four bytes.
struct UninstallEntry {
    HKEY root = nullptr;
    UninstallView view = VIEW_HKLM;
    std::string keyPath;  // physical, below root; empty when it does not fit MAX_PATH
    std::string displayName;
    std::string version;  // DisplayVersion
    std::string publisher;
    std::string helpLink;
    std::string uninstallString;
    std::string quietUninstallString;  // the command that uninstalls without asking, where there is one
    std::string displayIcon;
    std::string installLocation;
    bool hasDisplayName = false;  // present as a text, perhaps an empty one
    bool hasUninstallString = false;
    DWORD windowsInstaller = 0;
    bool hasEstimatedSize = false;  // "EstimatedSize" is a REG_DWORD
    DWORD estimatedSizeKb = 0;
    // yyyymmdd (see InstallDate.h): "InstallDate" when it is a date, else the day the
    // key was last written, in local time; 0 when neither tells.
    DWORD installDate = 0;
    bool hiddenByWindows = false;         // a system component or an update: Windows does not list it
    std::vector<std::string> plainTexts;  // every REG_SZ value, for the analysis's search by value
};

// The view as the command line and the quick page name it: HKLM, HKLM32, HKCU.
const char* UninstallViewName(UninstallView view);

// The entry's own key name: the last part of its path.
const char* UninstallKeyName(const char* keyPath);

// Reads every entry: the machine's native view, its other view where there is one,
// the user's; within each, the registry's order. An entry key that is a registry link
// is no entry and is skipped. visit may take what the entry holds; false ends the walk.
void ReadUninstallEntries(const std::function<bool(UninstallEntry& entry)>& visit);

// The same walk in steps, for a caller that reads a few entries at a time between
// other work: each Read goes on after the entry the last one ended with. Keys added
// or deleted between steps may be met or missed, as in any walk of a changing key.
class CUninstallEntryWalk {
public:
    CUninstallEntryWalk();

    // Visits the next entries until visit answers false (that entry counts as read)
    // or the walk ends; true when it has ended.
    bool Read(const std::function<bool(UninstallEntry& entry)>& visit);
    bool Finished() const { return place >= places.size(); }

private:
    // Opens the Uninstall key of the current place, passing over places without one;
    // false when none is left.
    bool OpenPlace();

    std::vector<RegistryPlace> places;
    size_t place = 0;
    RegKey uninstallKey;  // the current place's, while it is walked
    DWORD nextSubkey = 0;
};
