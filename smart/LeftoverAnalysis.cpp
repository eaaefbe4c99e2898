// The program's names and its own uninstall entries, the registered folders of other
// products, and the search for what an uninstaller left.
#include "smart/TraceAnalyzer.h"

#include "framework/AnsiText.h"
#include "framework/IconReference.h"
#include "framework/ParseCommandLine.h"
#include "framework/PathExists.h"
#include "smart/FolderPaths.h"
#include "smart/NamedPath.h"

namespace {

bool SameEntry(HKEY root, const std::string& keyPath, const UninstallClues* clues)
{
    return clues && root == clues->root && EqualsNoCaseDbcs(keyPath.c_str(), clues->keyPath.c_str());
}

// The name an uninstall key goes by, unless it is a product code.
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

void AddFolderOnce(const char* folder, std::vector<std::string>* folders)
{
    for (const std::string& known : *folders) {
        if (EqualsNoCaseDbcs(known.c_str(), folder))
            return;
    }
    folders->push_back(folder);
}

}  // namespace

bool CTraceAnalyzer::IsOwnEntry(const UninstallEntryPaths& entry, const UninstallClues* clues) const
{
    if (SameEntry(entry.root, entry.keyPath, clues))
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
void CTraceAnalyzer::LoadProgramNames(const UninstallClues* clues)
{
    names.Clear();
    for (const std::string& folder : programFolders) {
        names.AddProduct(LeafName(folder.c_str()));
        char vendor[MAX_PATH];
        char above[MAX_PATH];
        if (!CopyText(vendor, MAX_PATH, folder.c_str()) || !CutAtLastBackslash(vendor) ||
            !CopyText(above, MAX_PATH, vendor) || !CutAtLastBackslash(above))
            continue;
        if (protectedFolders.IsProgramFiles(above))
            names.AddVendor(LeafName(vendor));
    }
    for (const std::vector<std::string>* files : {&namedPrograms, &programFiles}) {
        for (const std::string& file : *files) {
            if (HasExtension(file.c_str(), ".exe"))
                names.AddProgramFile(file.c_str());
        }
    }
    LoadUninstallEntries();
    for (UninstallEntryPaths& entry : uninstallEntries)
        entry.own = IsOwnEntry(entry, clues);
    for (const UninstallEntryPaths& entry : uninstallEntries) {
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
    for (const UninstallEntryPaths& entry : uninstallEntries) {
        for (const char* name : {entry.displayName.c_str(), EntryKeyName(entry.keyPath)}) {
            if (!entry.own && !names.IsProduct(name) && !NameKey(name).empty())
                otherProductNames.insert(NameKey(name));
        }
    }
}

bool CTraceAnalyzer::IsOtherProductFolder(const char* folder) const
{
    for (const UninstallEntryPaths& entry : uninstallEntries) {
        if (entry.own)
            continue;
        for (const std::string& entryFolder : entry.folders) {
            const char* text = entryFolder.c_str();
            if (!entryFolder.empty() && (IsWithinFolder(folder, text) || IsWithinFolder(text, folder)))
                return true;
        }
    }
    return false;
}

bool CTraceAnalyzer::NamesOtherProduct(const char* text) const
{
    char named[MAX_PATH];
    char full[MAX_PATH];
    if (!NamedPath(text, named, MAX_PATH) || !HasDriveColon(named))
        return false;
    // The path as text only: settings hold many, and the disk is not asked.
    DWORD length = GetFullPathNameA(named, MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH || IsInProgramFolders(full))
        return false;
    for (const UninstallEntryPaths& entry : uninstallEntries) {
        if (entry.own)
            continue;
        for (const std::string& entryFolder : entry.folders) {
            if (!entryFolder.empty() && IsWithinFolder(full, entryFolder.c_str()))
                return true;
        }
    }
    return false;
}

// The install location of the product programFile belongs to, when folder lies
// below it: an entry whose uninstaller or icon is in that location and whose name,
// key or icon file is named as the program file.
bool CTraceAnalyzer::RegisteredLocationAbove(const char* folder, const char* programFile, char* location)
{
    LoadUninstallEntries();
    const std::string* best = nullptr;
    for (const UninstallEntryPaths& entry : uninstallEntries) {
        const std::string& installed = entry.folders[0];
        if (installed.empty() || EqualsNoCaseDbcs(folder, installed.c_str()) ||
            !IsWithinFolder(folder, installed.c_str()))
            continue;
        bool namesLocation = false;
        for (int i = 1; i < 3; ++i)
            namesLocation = namesLocation || (!entry.folders[i].empty() &&
                                              IsWithinFolder(entry.folders[i].c_str(), installed.c_str()));
        ProgramNames entryNames;
        entryNames.AddProduct(entry.displayName.c_str());
        entryNames.AddProduct(EntryKeyName(entry.keyPath));
        char program[MAX_PATH];
        if (IconProgram(entry.displayIcon, program))
            entryNames.AddProgramFile(program);
        ProgramNames fileName;
        fileName.AddProgramFile(programFile);
        const bool named = !fileName.ProductSpellings().empty() &&
                           entryNames.IsProduct(fileName.ProductSpellings()[0].c_str());
        if (namesLocation && named && (!best || installed.size() > best->size()))
            best = &installed;
    }
    return best && CopyText(location, MAX_PATH, best->c_str());
}

// Another entry's uninstall command runs the same program: an engine shared by
// several products, whose folder is none of theirs.
bool CTraceAnalyzer::IsSharedUninstaller(const char* program, const UninstallClues& clues)
{
    LoadUninstallEntries();
    char full[MAX_PATH];
    if (!MakeFullPath(program, full))
        return true;
    for (const UninstallEntryPaths& entry : uninstallEntries) {
        char other[MAX_PATH];
        if (SameEntry(entry.root, entry.keyPath, &clues) || entry.uninstallProgram.empty() ||
            !HasDriveColon(entry.uninstallProgram.c_str()) || !MakeFullPath(entry.uninstallProgram.c_str(), other))
            continue;
        if (EqualsNoCaseDbcs(full, other))
            return true;
    }
    return false;
}

void CTraceAnalyzer::NoteUninstallClues(UninstallClues* clues)
{
    clues->folders.clear();
    clues->mainProgram.clear();
    LoadContext();
    char install[MAX_PATH] = "";
    char icon[MAX_PATH] = "";
    char uninstaller[MAX_PATH] = "";
    std::string program;
    std::string arguments;
    const bool hasInstall = EntryFolder(ENTRY_INSTALL_LOCATION, clues->installLocation.c_str(), install);
    const bool hasIcon = EntryFolder(ENTRY_ICON, clues->displayIcon.c_str(), icon);
    const bool hasUninstaller = EntryFolder(ENTRY_UNINSTALLER, clues->uninstallCommand.c_str(), uninstaller) &&
                                ParseCommandLine(clues->uninstallCommand.c_str(), &program, &arguments) == PROGRAM_PATH;
    const bool shared = hasUninstaller && IsSharedUninstaller(program.c_str(), *clues);
    std::vector<std::string> candidates;
    // A folder that holds an engine other products uninstall with is none of them.
    if (hasInstall && !(shared && IsWithinFolder(program.c_str(), install)))
        AddFolderOnce(install, &candidates);
    if (hasIcon && !(shared && IsWithinFolder(program.c_str(), icon)))
        AddFolderOnce(icon, &candidates);
    const bool insideOwn = (hasInstall && IsWithinFolder(uninstaller, install)) ||
                           (hasIcon && IsWithinFolder(uninstaller, icon));
    if (hasUninstaller && insideOwn && !shared)
        AddFolderOnce(uninstaller, &candidates);
    for (const std::string& candidate : candidates) {
        char full[MAX_PATH];
        if (ScreenLeftoverFolder(candidate.c_str(), full))
            AddFolderOnce(full, &clues->folders);
    }
    char mainProgram[MAX_PATH];
    if (!IconProgram(clues->displayIcon, mainProgram))
        return;
    for (const std::string& folder : clues->folders) {
        if (IsWithinFolder(mainProgram, folder.c_str())) {
            clues->mainProgram = mainProgram;
            return;
        }
    }
}

std::vector<std::string> CTraceAnalyzer::RegisteredFolders(HKEY root, const char* keyPath)
{
    LoadContext();
    LoadUninstallEntries();
    std::vector<std::string> folders;
    for (const UninstallEntryPaths& entry : uninstallEntries) {
        if (entry.root != root || !EqualsNoCaseDbcs(entry.keyPath.c_str(), keyPath))
            continue;
        for (const std::string& folder : entry.folders) {
            if (!folder.empty())
                AddFolderOnce(folder.c_str(), &folders);
        }
    }
    return folders;
}

bool CTraceAnalyzer::ScreenLeftoverFolder(const char* folder, char* full)
{
    bool isFile = false;
    if (ScreenWithContext(folder, full) != TARGET_ACCEPTED || HasExtension(full, ".lnk") ||
        (PathExists(full, &isFile) && isFile))
        return false;
    char adopted[MAX_PATH];
    if (!NormalizeFolderPath(full, adopted) || IsSystemFolder(adopted) || protectedFolders.IsShortcutFolder(adopted) ||
        protectedFolders.IsProgramFiles(adopted) || HoldsOtherProduct(adopted))
        return false;
    return CopyText(full, MAX_PATH, adopted);
}

int CTraceAnalyzer::AnalyzeLeftovers(TraceSink& reportTo, const UninstallClues& clues)
{
    Clear();
    programFolders.clear();
    programFiles.clear();
    namedPrograms.clear();
    const SinkScope scope(this, &reportTo);
    LoadContext();
    LoadUninstallEntries();
    // Once the uninstaller is done, a folder that a remaining entry names belongs to
    // that product: a plug-in's host, an engine shared with others.
    for (UninstallEntryPaths& entry : uninstallEntries)
        entry.own = SameEntry(entry.root, entry.keyPath, &clues);
    for (const std::string& folder : clues.folders) {
        if (!IsInProgramFolders(folder.c_str()) && !IsOtherProductFolder(folder.c_str()))
            programFolders.push_back(folder);
    }
    SearchEverywhere(&clues);
    return 1;
}
