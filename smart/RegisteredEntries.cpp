#include "smart/RegisteredEntries.h"

#include "framework/AnsiText.h"
#include "framework/IconReference.h"
#include "framework/ParseCommandLine.h"
#include "smart/FolderPaths.h"
#include "smart/MachineFolders.h"
#include "smart/NamedPath.h"
#include "smart/ProgramNames.h"

const char* EntryKeyName(const std::string& keyPath)
{
    const char* leaf = LeafName(keyPath.c_str());
    return leaf[0] == '{' ? "" : leaf;
}

bool IconProgram(const std::string& displayIcon, char* path)
{
    int index = 0;
    return ReadIconReference(displayIcon.c_str(), path, MAX_PATH, &index) && HasExtension(path, ".exe");
}

bool IsCluesEntry(const RegisteredEntry& entry, const UninstallClues* clues)
{
    return clues && entry.root == clues->root && EqualsNoCaseDbcs(entry.keyPath.c_str(), clues->keyPath.c_str());
}

void AddFolderOnce(const char* folder, std::vector<std::string>* folders)
{
    for (const std::string& known : *folders) {
        if (EqualsNoCaseDbcs(known.c_str(), folder))
            return;
    }
    folders->push_back(folder);
}

namespace {

// The folders an entry's texts name, and the program its uninstall command runs.
void ReadEntryFolders(const CMachineFolders& machine, RegisteredEntry* entry)
{
    const std::string* texts[] = {&entry->installLocation, &entry->uninstallString, &entry->displayIcon};
    for (int i = 0; i < 3; ++i) {
        char folder[MAX_PATH];
        if (EntryFolder(static_cast<EntryValue>(i), texts[i]->c_str(), folder) && !machine.IsSystemFolder(folder))
            entry->folders[i] = folder;
    }
    std::string arguments;
    if (ParseCommandLine(entry->uninstallString.c_str(), &entry->uninstallProgram, &arguments) != PROGRAM_PATH)
        entry->uninstallProgram.clear();
}

// The entry's name, key or icon file is named as programFile.
bool NamesProgramFile(const RegisteredEntry& entry, const char* programFile)
{
    ProgramNames entryNames;
    entryNames.AddProduct(entry.displayName.c_str());
    entryNames.AddProduct(EntryKeyName(entry.keyPath));
    char program[MAX_PATH];
    if (IconProgram(entry.displayIcon, program))
        entryNames.AddProgramFile(program);
    ProgramNames fileName;
    fileName.AddProgramFile(programFile);
    return !fileName.ProductSpellings().empty() && entryNames.IsProduct(fileName.ProductSpellings()[0].c_str());
}

}  // namespace

void CRegisteredEntries::Load(const CMachineFolders& machine, const std::function<void()>& keepResponsive)
{
    entries.clear();
    ReadUninstallEntries([&](UninstallEntry& read) {
        keepResponsive();
        RegisteredEntry entry;
        static_cast<UninstallEntry&>(entry) = std::move(read);
        ReadEntryFolders(machine, &entry);
        entries.push_back(std::move(entry));
        return true;
    });
}

bool CRegisteredEntries::IsRegistered(const UninstallClues& clues) const
{
    for (const RegisteredEntry& entry : entries) {
        if (IsCluesEntry(entry, &clues))
            return true;
    }
    return false;
}

bool CRegisteredEntries::HoldsOtherProduct(const char* folder) const
{
    for (const RegisteredEntry& entry : entries) {
        bool below = false;
        bool own = false;
        for (const std::string& entryFolder : entry.folders) {
            if (entryFolder.empty())
                continue;
            own = own || IsWithinFolder(folder, entryFolder.c_str());
            below = below || IsWithinFolder(entryFolder.c_str(), folder);
        }
        if (below && !own)
            return true;
    }
    return false;
}

// Some folder of an entry not the program's meets the test.
template <typename FolderTest>
bool AnyOtherProductFolder(const std::vector<RegisteredEntry>& entries, FolderTest meets)
{
    for (const RegisteredEntry& entry : entries) {
        if (entry.own)
            continue;
        for (const std::string& entryFolder : entry.folders) {
            if (!entryFolder.empty() && meets(entryFolder.c_str()))
                return true;
        }
    }
    return false;
}

bool CRegisteredEntries::IsOtherProductFolder(const char* folder) const
{
    return AnyOtherProductFolder(entries, [folder](const char* other) {
        return IsWithinFolder(folder, other) || IsWithinFolder(other, folder);
    });
}

bool CRegisteredEntries::IsInOtherProductFolder(const char* path) const
{
    return AnyOtherProductFolder(entries, [path](const char* other) { return IsWithinFolder(path, other); });
}

// An entry whose uninstaller or icon is in its install location, and whose name,
// key or icon file is named as the program file; the deepest such location.
bool CRegisteredEntries::RegisteredLocationAbove(const char* folder, const char* programFile, char* location) const
{
    const std::string* best = nullptr;
    for (const RegisteredEntry& entry : entries) {
        const std::string& installed = entry.folders[0];
        if (installed.empty() || EqualsNoCaseDbcs(folder, installed.c_str()) ||
            !IsWithinFolder(folder, installed.c_str()))
            continue;
        bool namesLocation = false;
        for (int i = 1; i < 3; ++i)
            namesLocation = namesLocation || (!entry.folders[i].empty() &&
                                              IsWithinFolder(entry.folders[i].c_str(), installed.c_str()));
        if (namesLocation && NamesProgramFile(entry, programFile) && (!best || installed.size() > best->size()))
            best = &installed;
    }
    return best && CopyText(location, MAX_PATH, best->c_str());
}

bool CRegisteredEntries::IsSharedUninstaller(const char* program, const UninstallClues& clues) const
{
    char full[MAX_PATH];
    if (!MakeFullPath(program, full))
        return true;
    for (const RegisteredEntry& entry : entries) {
        char other[MAX_PATH];
        if (IsCluesEntry(entry, &clues) || entry.uninstallProgram.empty() ||
            !HasDriveColon(entry.uninstallProgram.c_str()) || !MakeFullPath(entry.uninstallProgram.c_str(), other))
            continue;
        if (EqualsNoCaseDbcs(full, other))
            return true;
    }
    return false;
}

std::vector<std::string> CRegisteredEntries::FoldersOf(HKEY root, const char* keyPath) const
{
    std::vector<std::string> folders;
    for (const RegisteredEntry& entry : entries) {
        if (entry.root != root || !EqualsNoCaseDbcs(entry.keyPath.c_str(), keyPath))
            continue;
        for (const std::string& folder : entry.folders) {
            if (!folder.empty())
                AddFolderOnce(folder.c_str(), &folders);
        }
    }
    return folders;
}
