#include "smart/AnalysisContext.h"

#include "framework/AnsiText.h"
#include "smart/FolderPaths.h"
#include "smart/NamedPath.h"

namespace {

enum NamedProgram { NAMES_NOTHING, NAMES_PROGRAM, NAMES_OTHER };

// Whose program a registry text names: one in the program folders (or one of the
// program's own files, when no folder could be adopted), another, or none.
NamedProgram ProgramNamedBy(const char* text, const std::vector<std::string>& folders,
                            const std::vector<std::string>& files)
{
    char named[MAX_PATH];
    if (!NamedPath(text, named, MAX_PATH))
        return NAMES_NOTHING;
    char full[MAX_PATH];
    if (!HasDriveColon(named) || named[2] != '\\')
        return NAMES_OTHER;
    DWORD length = GetFullPathNameA(named, MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH)
        return NAMES_OTHER;
    for (const std::string& folder : folders) {
        if (IsWithinFolder(full, folder.c_str()))
            return NAMES_PROGRAM;
    }
    for (const std::string& file : files) {
        if (EqualsNoCaseDbcs(full, file.c_str()))
            return NAMES_PROGRAM;
    }
    return NAMES_OTHER;
}

}  // namespace

void CAnalysisContext::LoadMachine()
{
    // The first shell calls of a process are slow: the caller stays responsive meanwhile.
    traces.RestartResponsiveClock();
    machine.Load([this] { KeepResponsiveIfDue(); });
    entries.All().clear();
    entriesLoaded = false;
    traces.RestartResponsiveClock();
}

void CAnalysisContext::ForgetProgram()
{
    programFolders.clear();
    programFiles.clear();
    namedPrograms.clear();
}

CRegisteredEntries& CAnalysisContext::Entries()
{
    if (!entriesLoaded) {
        entriesLoaded = true;
        entries.Load(machine, [this] { KeepResponsiveIfDue(); });
    }
    return entries;
}

bool CAnalysisContext::IsOwnEntry(const RegisteredEntry& entry, const UninstallClues* clues) const
{
    if (IsCluesEntry(entry, clues))
        return true;
    for (const std::string* text : {&entry.installLocation, &entry.uninstallString, &entry.displayIcon}) {
        if (!text->empty() && NamesProgram(text->c_str()))
            return true;
    }
    return false;
}

// Product names: the program folders', the program files' and its own entries'
// names; vendor names: its entries' publishers and the vendor folder inside Program
// Files that holds its folder.
void CAnalysisContext::LoadProgramNames(const UninstallClues* clues)
{
    names.Clear();
    for (const std::string& folder : programFolders) {
        names.AddProduct(LeafName(folder.c_str()));
        char vendor[MAX_PATH];
        char above[MAX_PATH];
        if (!CopyText(vendor, MAX_PATH, folder.c_str()) || !CutAtLastBackslash(vendor) ||
            !CopyText(above, MAX_PATH, vendor) || !CutAtLastBackslash(above))
            continue;
        if (machine.Protected().IsProgramFiles(above))
            names.AddVendor(LeafName(vendor));
    }
    for (const std::vector<std::string>* files : {&namedPrograms, &programFiles}) {
        for (const std::string& file : *files) {
            if (HasExtension(file.c_str(), ".exe"))
                names.AddProgramFile(file.c_str());
        }
    }
    std::vector<RegisteredEntry>& registered = Entries().All();
    for (RegisteredEntry& entry : registered)
        entry.own = IsOwnEntry(entry, clues);
    for (const RegisteredEntry& entry : registered) {
        if (!entry.own)
            continue;
        names.AddProduct(entry.displayName.c_str());
        names.AddProduct(EntryKeyName(entry.keyPath));
        names.AddPublisher(entry.publisher.c_str());
        char program[MAX_PATH];
        if (IconProgram(entry.displayIcon, program) && IsInProgramFolders(program))
            names.AddProgramFile(program);
    }
    if (clues) {
        names.AddProduct(clues->displayName.c_str());
        names.AddProduct(EntryKeyName(clues->keyPath));
        names.AddPublisher(clues->publisher.c_str());
        // The icon's program only when it lies in a folder still taken for the product's.
        if (!clues->mainProgram.empty() && IsInProgramFolders(clues->mainProgram.c_str()))
            names.AddProgramFile(clues->mainProgram.c_str());
    }
    // A key named as another registered product is that product's.
    otherProductNames.clear();
    for (const RegisteredEntry& entry : registered) {
        for (const char* name : {entry.displayName.c_str(), EntryKeyName(entry.keyPath)}) {
            if (!entry.own && !names.IsProduct(name) && !NameKey(name).empty())
                otherProductNames.insert(NameKey(name));
        }
    }
}

void CAnalysisContext::CollectRegistryKey(HKEY root, const char* keyPath)
{
    if (!keyPath || !*keyPath)
        return;
    RegKey key;
    if (!key.Open(root, keyPath))
        return;
    AddTrace(TRACE_REGKEY, keyPath, nullptr, root);
    key.ForEachValue(
        [&](const RegValue& value) {
            KeepResponsiveIfDue();
            AddTrace(TRACE_REGVALUE, keyPath, value.name, root);
            return true;
        },
        RegKey::NAMES_ONLY);
    key.ForEachSubkey([&](const char* name) {
        char child[MAX_PATH];
        if (FormatText(child, MAX_PATH, "%s\\%s", keyPath, name))
            CollectRegistryKey(root, child);
        return true;
    });
}

bool CAnalysisContext::IsInProgramFolders(const char* path) const
{
    for (const std::string& folder : programFolders) {
        if (IsWithinFolder(path, folder.c_str()))
            return true;
    }
    return false;
}

bool CAnalysisContext::PointsIntoProgram(const char* target) const
{
    if (IsInProgramFolders(target))
        return true;
    for (const std::string& file : programFiles) {
        if (EqualsNoCaseDbcs(target, file.c_str()))
            return true;
    }
    return false;
}

bool CAnalysisContext::NamesProgram(const char* text) const
{
    return ProgramNamedBy(text, programFolders, programFiles) == NAMES_PROGRAM;
}

bool CAnalysisContext::NamesOtherProgram(const char* text) const
{
    return ProgramNamedBy(text, programFolders, programFiles) == NAMES_OTHER;
}

bool CAnalysisContext::ValueNamesProgram(const RegValue& value) const
{
    return ValueAsText(value, false) && NamesProgram(value.data);
}

bool CAnalysisContext::NamesOtherProduct(const char* text) const
{
    char named[MAX_PATH];
    char full[MAX_PATH];
    if (!NamedPath(text, named, MAX_PATH) || !HasDriveColon(named))
        return false;
    // The path as text only: settings hold many, and the disk is not asked.
    DWORD length = GetFullPathNameA(named, MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH || IsInProgramFolders(full))
        return false;
    return entries.IsInOtherProductFolder(full);
}
