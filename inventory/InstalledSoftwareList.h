// The ordered list of registered products, in the registry's enumeration order.
// Record i is row i of the quick-uninstall page.
#pragma once
#include "inventory/IconCache.h"
#include "inventory/InstalledSoftwareEntry.h"
#include "inventory/UninstallEntries.h"
#include "inventory/UninstallerPresence.h"

#include <memory>
#include <vector>

class CInstalledSoftwareList {
public:
    // Appends one record per product that has both a name and an uninstall command and
    // that Windows lists (no system component, no update), from every place Windows
    // records them (ReadUninstallEntries). Icons are not looked up here: see ResolveIcons.
    void Load();
    void Clear();
    void Reload();
    // The same load in steps, for a window that must keep answering: BeginLoad empties
    // the list, each LoadFor appends the records read in about that many seconds (at
    // least one entry) and answers true once every entry is read. Whether their
    // uninstallers are missing is told afterwards, by CheckUninstallersFor in the same
    // kind of steps, so that the names come first.
    void BeginLoad();
    bool LoadFor(double seconds);
    bool IsLoading() const { return walk != nullptr; }
    bool CheckUninstallersFor(double seconds);
    // Releases the icons of the load before BeginLoad, for about that many seconds;
    // true when they are all released.
    bool ReleaseOldIconsFor(double seconds) { return iconCache.ReleaseRetired(seconds); }
    bool UninstallersChecked() const { return !walk && uninstallersChecked >= entries.size(); }

    bool GetFirst(int& position, InstalledSoftwareEntry*& entry) const;
    bool GetNext(int& position, InstalledSoftwareEntry*& entry) const;
    InstalledSoftwareEntry* GetAt(int index) const;
    void RemoveAt(int index);
    // The record's index, or -1 when it is not in the list.
    int IndexOf(const InstalledSoftwareEntry* entry) const;
    size_t GetCount() const { return entries.size(); }
    // Looks up the record's icons, once: the file that "DisplayIcon" names (with its
    // icon index), else the program the uninstall command names.
    void ResolveIcons(InstalledSoftwareEntry* entry);
    // The same for the small icon alone, which is all a list shows; ResolveIcons adds
    // the large one when it is asked for.
    void ResolveSmallIcon(InstalledSoftwareEntry* entry);

private:
    // Appends the entry's record when the page lists it.
    void Add(const UninstallEntry& read, bool checkUninstaller);
    void CheckUninstaller(InstalledSoftwareEntry* entry);
    void LookUpIcons(InstalledSoftwareEntry* entry, bool withLarge);

    std::unique_ptr<CUninstallEntryWalk> walk;  // the load under way, if any
    size_t uninstallersChecked = 0;             // the first records, in order
    std::vector<std::unique_ptr<InstalledSoftwareEntry>> entries;
    CUninstallerPresence presence;  // asks each drive's type once
    CIconCache iconCache;  // the icons of this load; records point into it
};


