#include "inventory/InstalledSoftwareList.h"

#include "framework/AnsiText.h"
#include "framework/IconReference.h"
#include "framework/ParseCommandLine.h"
#include "framework/SteadyClock.h"

#include <new>
#include <utility>

namespace {

// The program the uninstall command starts: its icons stand for the product.
bool CommandIconPath(const char* command, char* path)
{
    std::string program;
    std::string arguments;
    return FindStartableProgram(command, &program, &arguments) && CopyText(path, MAX_PATH, program.c_str());
}

// The entries the quick page lists: those Windows lists, with a name and a command.
// A key path that does not fit is skipped rather than cut: the forced uninstall
// deletes that key.
bool IsListed(const UninstallEntry& entry)
{
    return entry.hasDisplayName && entry.hasUninstallString && !entry.hiddenByWindows && !entry.keyPath.empty();
}

// The read entry's texts fit the record's fields: the reader caps them at MAX_PATH.
bool FillRecord(const UninstallEntry& read, InstalledSoftwareEntry* entry)
{
    entry->root = read.root;
    entry->view = read.view;
    entry->windowsInstaller = read.windowsInstaller;
    entry->hasEstimatedSize = read.hasEstimatedSize;
    entry->estimatedSizeKb = read.estimatedSizeKb;
    entry->installDate = read.installDate;
    return CopyText(entry->keyPath, MAX_PATH, read.keyPath.c_str()) &&
           CopyText(entry->displayName, MAX_PATH, read.displayName.c_str()) &&
           CopyText(entry->uninstallString, MAX_PATH, read.uninstallString.c_str()) &&
           CopyText(entry->quietUninstallString, MAX_PATH, read.quietUninstallString.c_str()) &&
           CopyText(entry->publisher, MAX_PATH, read.publisher.c_str()) &&
           CopyText(entry->helpLink, MAX_PATH, read.helpLink.c_str()) &&
           CopyText(entry->displayIcon, MAX_PATH, read.displayIcon.c_str()) &&
           CopyText(entry->version, MAX_PATH, read.version.c_str()) &&
           CopyText(entry->installLocation, MAX_PATH, read.installLocation.c_str());
}

}  // namespace

void CInstalledSoftwareList::Load()
{
    ReadUninstallEntries([&](UninstallEntry& read) {
        Add(read, true);
        return true;
    });
    uninstallersChecked = entries.size();
}

void CInstalledSoftwareList::CheckUninstaller(InstalledSoftwareEntry* entry)
{
    entry->uninstallerMissing =
        !presence.Exists(entry->uninstallString, entry->windowsInstaller, UninstallKeyName(entry->keyPath));
}

bool CInstalledSoftwareList::CheckUninstallersFor(double seconds)
{
    const double deadline = SteadySeconds() + seconds;
    while (uninstallersChecked < entries.size()) {
        CheckUninstaller(entries[uninstallersChecked++].get());
        if (SteadySeconds() >= deadline)
            break;
    }
    return UninstallersChecked();
}

void CInstalledSoftwareList::Add(const UninstallEntry& read, bool checkUninstaller)
{
    if (!IsListed(read))
        return;
    std::unique_ptr<InstalledSoftwareEntry> entry(new (std::nothrow) InstalledSoftwareEntry());
    if (entry && FillRecord(read, entry.get())) {
        entry->loadIndex = entries.size();
        if (checkUninstaller)
            CheckUninstaller(entry.get());
        entries.push_back(std::move(entry));
    }
}

// The records go at once; the icons they showed are released in steps afterwards.
void CInstalledSoftwareList::BeginLoad()
{
    walk.reset();
    uninstallersChecked = 0;
    entries.clear();
    iconCache.Retire();
    walk.reset(new (std::nothrow) CUninstallEntryWalk());
}

bool CInstalledSoftwareList::LoadFor(double seconds)
{
    if (!walk)
        return true;
    const double deadline = SteadySeconds() + seconds;
    const bool ended = walk->Read([&](UninstallEntry& read) {
        Add(read, false);
        return SteadySeconds() < deadline;
    });
    if (ended)
        walk.reset();
    return ended;
}

void CInstalledSoftwareList::ResolveIcons(InstalledSoftwareEntry* entry)
{
    if (entry && !entry->iconsResolved)
        LookUpIcons(entry, true);
}

void CInstalledSoftwareList::ResolveSmallIcon(InstalledSoftwareEntry* entry)
{
    if (entry && !entry->smallIconResolved && !entry->iconsResolved)
        LookUpIcons(entry, false);
}

void CInstalledSoftwareList::LookUpIcons(InstalledSoftwareEntry* entry, bool withLarge)
{
    entry->iconsResolved = withLarge;
    entry->smallIconResolved = true;
    char path[MAX_PATH] = "";
    int index = 0;
    // A Windows Installer product without an icon of its own has none: its command
    // runs the installer, whose icon is no product's.
    const bool named = entry->displayIcon[0] ? ReadIconReference(entry->displayIcon, path, MAX_PATH, &index)
                                             : !entry->windowsInstaller && CommandIconPath(entry->uninstallString, path);
    if (!named)
        return;
    const ProductIcons& icons = iconCache.Find(path, index, withLarge);
    entry->smallIcon = icons.small;
    entry->largeIcon = icons.large;
}

void CInstalledSoftwareList::Clear()
{
    walk.reset();
    uninstallersChecked = 0;
    entries.clear();
    iconCache.Clear();
}

void CInstalledSoftwareList::Reload()
{
    Clear();
    Load();
}

bool CInstalledSoftwareList::GetFirst(int& position, InstalledSoftwareEntry*& entry) const
{
    position = -1;
    if (entries.empty())
        return false;
    position = 0;
    entry = entries[0].get();
    return true;
}

bool CInstalledSoftwareList::GetNext(int& position, InstalledSoftwareEntry*& entry) const
{
    ++position;
    if (static_cast<unsigned>(position) >= entries.size())
        return false;
    entry = entries[position].get();
    return true;
}

InstalledSoftwareEntry* CInstalledSoftwareList::GetAt(int index) const
{
    if (static_cast<unsigned>(index) >= entries.size())
        return nullptr;
    return entries[index].get();
}

int CInstalledSoftwareList::IndexOf(const InstalledSoftwareEntry* entry) const
{
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].get() == entry)
            return static_cast<int>(i);
    }
    return -1;
}

void CInstalledSoftwareList::RemoveAt(int index)
{
    if (static_cast<unsigned>(index) >= entries.size())
        return;
    entries.erase(entries.begin() + index);
    if (static_cast<size_t>(index) < uninstallersChecked)
        --uninstallersChecked;
}
