#include "smart/ProgramLocator.h"

#include "framework/AnsiText.h"
#include "framework/ParseCommandLine.h"
#include "framework/PathExists.h"
#include "smart/FolderPaths.h"
#include "smart/NamedPath.h"

TargetVerdict CProgramLocator::Screen(const char* typed, char* full) const
{
    full[0] = '\0';
    if (!typed || !*typed)
        return TARGET_IGNORED;
    if (typed[0] == '\\' && typed[1] == '\\')
        return TARGET_REFUSED;
    // A relative path depends on a current folder the user cannot see.
    if (!HasDriveColon(typed) || (typed[2] != '\\' && typed[2] != '/'))
        return TARGET_IGNORED;
    if (!MakeFullPath(typed, full))
        return TARGET_REFUSED;
    bool isFile = false;
    bool exists = PathExists(full, &isFile);
    // A file directly in a drive's root is no program to analyse.
    const char* lastBackslash = FindLastCharDbcs(full, '\\');
    if ((isFile || !exists) && (!lastBackslash || lastBackslash - full <= 3))
        return TARGET_IGNORED;
    // A shortcut is judged by where it leads.
    if (HasExtension(full, ".lnk"))
        return TARGET_ACCEPTED;
    if (context.machine.IsInWindowsFolder(full))
        return TARGET_REFUSED;
    if (!exists)
        return TARGET_ACCEPTED;
    char folder[MAX_PATH];
    CopyText(folder, MAX_PATH, full);
    if (isFile)
        CutAtLastBackslash(folder);
    const ProtectedFolders& protectedFolders = context.machine.Protected();
    if (protectedFolders.IsProgramFiles(folder))
        return TARGET_REFUSED;
    if (!isFile && (protectedFolders.IsTooWide(folder) || protectedFolders.IsShortcutFolder(folder)))
        return TARGET_REFUSED;
    return TARGET_ACCEPTED;
}

bool CProgramLocator::ScreenLeftoverFolder(const char* folder, char* full)
{
    bool isFile = false;
    if (Screen(folder, full) != TARGET_ACCEPTED || HasExtension(full, ".lnk") || (PathExists(full, &isFile) && isFile))
        return false;
    const ProtectedFolders& protectedFolders = context.machine.Protected();
    char adopted[MAX_PATH];
    if (!NormalizeFolderPath(full, adopted) || context.machine.IsSystemFolder(adopted) ||
        protectedFolders.IsShortcutFolder(adopted) || protectedFolders.IsProgramFiles(adopted) ||
        context.Entries().HoldsOtherProduct(adopted))
        return false;
    return CopyText(full, MAX_PATH, adopted);
}

void CProgramLocator::ChooseProgramFolder(const char* target, bool isFile)
{
    if (!isFile) {
        AdoptFolder(target, nullptr);
        return;
    }
    char folder[MAX_PATH];
    CopyText(folder, MAX_PATH, target);
    CutAtLastBackslash(folder);
    // A folder of shortcuts is never a program's: a shortcut, or anything else that
    // lies among shortcuts, leads to its program through its target.
    if (HasExtension(target, ".lnk") || context.machine.Protected().IsShortcutFolder(folder)) {
        FollowNamedShortcut(target);
        return;
    }
    context.namedPrograms.push_back(target);
    // A program kept in a folder of its own version, below the folder its product is
    // registered in (self-updating programs), lives in that folder.
    char location[MAX_PATH];
    if (context.Entries().RegisteredLocationAbove(folder, target, location) && AdoptFolder(location, nullptr))
        return;
    AdoptFolder(folder, target);
}

void CProgramLocator::FollowNamedShortcut(const char* shortcutPath)
{
    char target[MAX_PATH];
    if (!context.machine.ReadTargetPath(shortcutPath, target))
        return;
    bool isFile = true;
    bool exists = PathExists(target, &isFile);
    if (exists && !isFile) {
        AdoptFolder(target, nullptr);
        return;
    }
    char folder[MAX_PATH];
    CopyText(folder, MAX_PATH, target);
    if (exists)
        context.namedPrograms.push_back(target);
    if (!CutAtLastBackslash(folder) || AdoptFolder(folder, target) || !exists)
        return;
    // The folder is too wide to be the program's: what is certainly the program's
    // is the file the shortcut starts, unless it lies where no program file does.
    if (!IsDriveRoot(folder) && !context.machine.Protected().IsProgramFiles(folder))
        context.AddTrace(TRACE_FILE, target, nullptr, nullptr);
}

bool CProgramLocator::AdoptFolder(const char* folder, const char* programFile)
{
    char adopted[MAX_PATH];
    if (NormalizeFolderPath(folder, adopted) && !context.machine.IsSystemFolder(adopted) &&
        !context.machine.Protected().IsShortcutFolder(adopted) && !context.Entries().HoldsOtherProduct(adopted)) {
        context.programFolders.push_back(adopted);
        return true;
    }
    // Too wide to be one program's: only the program's own file is its trace.
    if (programFile)
        context.programFiles.push_back(programFile);
    return false;
}

// A folder that holds an engine other products uninstall with is none of them; the
// uninstaller's folder counts only inside the install or icon folder.
std::vector<std::string> CProgramLocator::ClueFolders(const UninstallClues& clues)
{
    char install[MAX_PATH] = "";
    char icon[MAX_PATH] = "";
    char uninstaller[MAX_PATH] = "";
    std::string program;
    std::string arguments;
    const bool hasInstall = EntryFolder(ENTRY_INSTALL_LOCATION, clues.installLocation.c_str(), install);
    const bool hasIcon = EntryFolder(ENTRY_ICON, clues.displayIcon.c_str(), icon);
    const bool hasUninstaller = EntryFolder(ENTRY_UNINSTALLER, clues.uninstallCommand.c_str(), uninstaller) &&
                                ParseCommandLine(clues.uninstallCommand.c_str(), &program, &arguments) == PROGRAM_PATH;
    const bool shared = hasUninstaller && context.Entries().IsSharedUninstaller(program.c_str(), clues);
    std::vector<std::string> candidates;
    if (hasInstall && !(shared && IsWithinFolder(program.c_str(), install)))
        AddFolderOnce(install, &candidates);
    if (hasIcon && !(shared && IsWithinFolder(program.c_str(), icon)))
        AddFolderOnce(icon, &candidates);
    const bool insideOwn = (hasInstall && IsWithinFolder(uninstaller, install)) ||
                           (hasIcon && IsWithinFolder(uninstaller, icon));
    if (hasUninstaller && insideOwn && !shared)
        AddFolderOnce(uninstaller, &candidates);
    return candidates;
}

void CProgramLocator::NoteUninstallClues(UninstallClues* clues)
{
    clues->folders.clear();
    clues->mainProgram.clear();
    for (const std::string& candidate : ClueFolders(*clues)) {
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

void CProgramLocator::AdoptLeftoverFolders(const UninstallClues& clues)
{
    // Once the uninstaller is done, a folder that a remaining entry names belongs to
    // that product: a plug-in's host, an engine shared with others.
    CRegisteredEntries& entries = context.Entries();
    for (RegisteredEntry& entry : entries.All())
        entry.own = IsCluesEntry(entry, &clues);
    for (const std::string& folder : clues.folders) {
        if (!context.IsInProgramFolders(folder.c_str()) && !entries.IsOtherProductFolder(folder.c_str()))
            context.programFolders.push_back(folder);
    }
}
