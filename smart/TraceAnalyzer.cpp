#include "smart/TraceAnalyzer.h"

#include "framework/AnsiText.h"
#include "framework/IconReference.h"
#include "framework/ParseCommandLine.h"
#include "framework/PathExists.h"
#include "framework/RegKey.h"
#include "framework/RegistryView.h"
#include "smart/FolderListing.h"
#include "smart/FolderPaths.h"
#include "smart/NamedPath.h"
#include "smart/ShortcutResolver.h"

#include <shlobj.h>

#include <cstring>
#include <new>
#include <string>

namespace {

const char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kUserClasses[] = "Software\\Classes";

const int kMaxGroupDepth = 8;

void ReadSpecialFolder(int csidl, char* path)
{
    path[0] = '\0';
    if (!SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE))
        path[0] = '\0';
}

}  // namespace

CTraceAnalyzer::CTraceAnalyzer()
    : uninstallEntriesLoaded(false)
{
    windowsFolder[0] = '\0';
    programsFolder[0] = '\0';
    commonProgramsFolder[0] = '\0';
    desktopFolder[0] = '\0';
    commonDesktopFolder[0] = '\0';
}

CTraceAnalyzer::~CTraceAnalyzer()
{
    Clear();
}

void CTraceAnalyzer::Clear()
{
    traces.Clear();
}

TargetVerdict CTraceAnalyzer::ScreenTarget(const char* typed, char* full, TraceSink* reportTo)
{
    const SinkScope scope(this, reportTo);
    LoadContext();
    return ScreenWithContext(typed, full);
}

TargetVerdict CTraceAnalyzer::ScreenWithContext(const char* typed, char* full)
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
    if (IsInWindowsFolder(full))
        return TARGET_REFUSED;
    if (!exists)
        return TARGET_ACCEPTED;
    char folder[MAX_PATH];
    CopyText(folder, MAX_PATH, full);
    if (isFile)
        CutAtLastBackslash(folder);
    if (protectedFolders.IsProgramFiles(folder))
        return TARGET_REFUSED;
    if (!isFile && (protectedFolders.IsTooWide(folder) || protectedFolders.IsShortcutFolder(folder)))
        return TARGET_REFUSED;
    return TARGET_ACCEPTED;
}

int CTraceAnalyzer::Analyze(TraceSink& reportTo, const char* target)
{
    Clear();
    // Every analysis starts from its own program folders: folders of an earlier
    // program must not claim traces of this one.
    programFolders.clear();
    programFiles.clear();
    namedPrograms.clear();
    char full[MAX_PATH];
    if (ScreenTarget(target, full, &reportTo) != TARGET_ACCEPTED)
        return 0;
    const SinkScope scope(this, &reportTo);
    bool isFile = false;
    if (!PathExists(full, &isFile))
        return 0;
    if (isFile)
        AddTrace(TRACE_FILE, full, nullptr, nullptr);
    ChooseProgramFolder(full, isFile);
    SearchEverywhere(nullptr);
    return 1;
}

void CTraceAnalyzer::SearchEverywhere(const UninstallClues* clues)
{
    leftoverClues = clues;
    LoadProgramNames(clues);
    // A folder that is gone holds nothing, but what points into it is still found.
    for (const std::string& folder : programFolders)
        CollectFolder(folder.c_str());
    SearchDataFolders();
    SearchShortcutFolder(desktopFolder);
    SearchShortcutFolder(commonDesktopFolder);
    SearchProgramsMenu(programsFolder, 0);
    SearchProgramsMenu(commonProgramsFolder, 0);
    SearchClsidKeys();
    SearchFileTypes();
    SearchUninstallEntries();
    for (const RegistryPlace& place : MachineAndUserPlaces(kRunKey))
        SearchRunValues(place.root, place.path.c_str());
    for (const RegistryPlace& place : MachineAndUserPlaces("SOFTWARE"))
        SearchSoftwareKeys(place.root, place.path.c_str());
    leftoverClues = nullptr;
}

void CTraceAnalyzer::LoadContext()
{
    // The first shell calls of a process are slow: the caller stays responsive meanwhile.
    traces.RestartResponsiveClock();
    UINT length = GetWindowsDirectoryA(windowsFolder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        windowsFolder[0] = '\0';
    ReadSpecialFolder(CSIDL_PROGRAMS, programsFolder);
    ReadSpecialFolder(CSIDL_COMMON_PROGRAMS, commonProgramsFolder);
    KeepResponsiveIfDue();
    ReadSpecialFolder(CSIDL_DESKTOPDIRECTORY, desktopFolder);
    KeepResponsiveIfDue();
    ReadSpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY, commonDesktopFolder);
    KeepResponsiveIfDue();
    protectedFolders.Load([this] { KeepResponsiveIfDue(); });
    KeepResponsiveIfDue();
    uninstallEntries.clear();
    uninstallEntriesLoaded = false;
    classServerMatches.clear();
    classRoutes.clear();
    // Per-user classes live apart from the machine's (Windows shows both through
    // HKEY_CLASSES_ROOT; each is listed by the key where it is stored).
    clsidPlaces.clear();
    for (const std::string& path : PathsInEveryView(HKEY_CLASSES_ROOT, "CLSID"))
        clsidPlaces.push_back({HKEY_CLASSES_ROOT, path});
    clsidPlaces.push_back({HKEY_CURRENT_USER, kUserClasses + std::string("\\CLSID")});
    walkedClsidPaths.clear();
    traces.RestartResponsiveClock();
}

void CTraceAnalyzer::ChooseProgramFolder(const char* target, bool isFile)
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
    if (HasExtension(target, ".lnk") || protectedFolders.IsShortcutFolder(folder)) {
        FollowNamedShortcut(target);
        return;
    }
    namedPrograms.push_back(target);
    // A program kept in a folder of its own version, below the folder its product is
    // registered in (self-updating programs), lives in that folder.
    char location[MAX_PATH];
    if (RegisteredLocationAbove(folder, target, location) && AdoptFolder(location, nullptr))
        return;
    AdoptFolder(folder, target);
}

void CTraceAnalyzer::FollowNamedShortcut(const char* shortcutPath)
{
    char target[MAX_PATH];
    if (!ReadTargetPath(shortcutPath, target))
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
        namedPrograms.push_back(target);
    if (!CutAtLastBackslash(folder) || AdoptFolder(folder, target) || !exists)
        return;
    // The folder is too wide to be the program's: what is certainly the program's
    // is the file the shortcut starts, unless it lies where no program file does.
    if (!IsDriveRoot(folder) && !protectedFolders.IsProgramFiles(folder))
        AddTrace(TRACE_FILE, target, nullptr, nullptr);
}

bool CTraceAnalyzer::IsInWindowsFolder(const char* path) const
{
    return windowsFolder[0] && FindTextNoCaseDbcs(path, windowsFolder);
}

bool CTraceAnalyzer::IsSystemFolder(const char* path) const
{
    return IsInWindowsFolder(path) || protectedFolders.IsTooWide(path);
}

bool CTraceAnalyzer::IsInProgramFolders(const char* path) const
{
    for (const std::string& folder : programFolders) {
        if (IsWithinFolder(path, folder.c_str()))
            return true;
    }
    return false;
}

bool CTraceAnalyzer::PointsIntoProgram(const char* target) const
{
    if (IsInProgramFolders(target))
        return true;
    for (const std::string& file : programFiles) {
        if (EqualsNoCaseDbcs(target, file.c_str()))
            return true;
    }
    return false;
}

bool CTraceAnalyzer::AdoptFolder(const char* folder, const char* programFile)
{
    char adopted[MAX_PATH];
    if (NormalizeFolderPath(folder, adopted) && !IsSystemFolder(adopted) &&
        !protectedFolders.IsShortcutFolder(adopted) && !HoldsOtherProduct(adopted)) {
        programFolders.push_back(adopted);
        return true;
    }
    // Too wide to be one program's: only the program's own file is its trace.
    if (programFile)
        programFiles.push_back(programFile);
    return false;
}

bool CTraceAnalyzer::IsCollectable(const char* folder) const
{
    if (IsInWindowsFolder(folder))
        return false;
    if (!HasDriveColon(folder) || protectedFolders.IsShortcutFolder(folder))
        return false;
    return !protectedFolders.IsProgramFiles(folder) && !protectedFolders.IsTooWide(folder);
}

void CTraceAnalyzer::CollectFolder(const char* folder, WeakReason weakReason)
{
    if (!IsCollectable(folder))
        return;
    // A junction or symbolic link is listed as itself and never followed: its
    // target belongs to someone else and may lead back up the tree.
    DWORD attributes = GetFileAttributesA(folder);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        AddTrace(TRACE_FOLDER, folder, nullptr, nullptr, weakReason);
        return;
    }
    FolderListing listing(folder, "*.*");
    if (!listing.IsOpen())
        return;
    while (listing.Next()) {
        KeepResponsiveIfDue();
        int kind = listing.IsFolder() ? TRACE_FOLDER : TRACE_FILE;
        if (!listing.IsAddressable()) {
            AddTrace(kind, listing.Path(), nullptr, nullptr, WEAK_UNADDRESSABLE);
            continue;
        }
        if (kind == TRACE_FOLDER) {
            CollectFolder(listing.Path(), weakReason);
            continue;
        }
        AddTrace(TRACE_FILE, listing.Path(), nullptr, nullptr, weakReason);
        if (weakReason == WEAK_NONE && HasExtension(listing.Name(), ".lnk"))
            FollowCollectedShortcut(listing.Path());
    }
    listing.Close();
    AddTrace(TRACE_FOLDER, folder, nullptr, nullptr, weakReason);
}

void CTraceAnalyzer::FollowCollectedShortcut(const char* shortcutPath)
{
    char target[MAX_PATH];
    bool isFile = true;
    if (!ReadTargetPath(shortcutPath, target) || IsInProgramFolders(target) || !PathExists(target, &isFile))
        return;
    // The shortcut leads out of the program's folders: what lies there may be the
    // program's, another program's or the user's. It is offered unticked, and its
    // own shortcuts are not followed.
    char folder[MAX_PATH];
    CopyText(folder, MAX_PATH, target);
    if ((isFile && !CutAtLastBackslash(folder)) || !MayListOutsideFolder(folder))
        return;
    CollectFolder(folder, WEAK_OUTSIDE_FOLDER);
}

bool CTraceAnalyzer::MayListOutsideFolder(const char* folder)
{
    if (IsSystemFolder(folder) || protectedFolders.IsShortcutFolder(folder))
        return false;
    // Never a folder above the program's, never another registered product's.
    for (const std::string& programFolder : programFolders) {
        if (IsWithinFolder(programFolder.c_str(), folder))
            return false;
    }
    LoadUninstallEntries();
    for (const UninstallEntryPaths& entry : uninstallEntries) {
        bool touches = false;
        bool ownsProgram = false;
        for (const std::string& entryFolder : entry.folders) {
            if (entryFolder.empty())
                continue;
            const char* text = entryFolder.c_str();
            touches = touches || IsWithinFolder(text, folder) || IsWithinFolder(folder, text);
            ownsProgram = ownsProgram || IsInProgramFolders(text);
        }
        if (touches && !ownsProgram)
            return false;
    }
    return true;
}

bool CTraceAnalyzer::ReadTargetPath(const char* shortcutPath, char* target) const
{
    char stored[MAX_PATH];
    if (!ResolveShortcut(shortcutPath, stored) || !HasDriveColon(stored))
        return false;
    if (IsInWindowsFolder(stored))
        return false;
    return NormalizeFolderPath(stored, target);
}

// The folders an entry's texts name, and the program its uninstall command runs.
void CTraceAnalyzer::ReadEntryFolders(UninstallEntryPaths* entry) const
{
    const std::string* texts[] = {&entry->installLocation, &entry->uninstallString, &entry->displayIcon};
    for (int i = 0; i < 3; ++i) {
        char folder[MAX_PATH];
        if (EntryFolder(static_cast<EntryValue>(i), texts[i]->c_str(), folder) && !IsSystemFolder(folder))
            entry->folders[i] = folder;
    }
    std::string arguments;
    if (ParseCommandLine(entry->uninstallString.c_str(), &entry->uninstallProgram, &arguments) != PROGRAM_PATH)
        entry->uninstallProgram.clear();
}

void CTraceAnalyzer::LoadUninstallEntries()
{
    if (uninstallEntriesLoaded)
        return;
    uninstallEntriesLoaded = true;
    ReadUninstallEntries([&](UninstallEntry& read) {
        KeepResponsiveIfDue();
        UninstallEntryPaths entry;
        static_cast<UninstallEntry&>(entry) = std::move(read);
        ReadEntryFolders(&entry);
        uninstallEntries.push_back(std::move(entry));
        return true;
    });
}

bool CTraceAnalyzer::HoldsOtherProduct(const char* folder)
{
    // Another product's folder lies below: an entry none of whose folders holds
    // this one (the program's own entry names its folder or one above it).
    LoadUninstallEntries();
    for (const UninstallEntryPaths& entry : uninstallEntries) {
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

void CTraceAnalyzer::SearchShortcutFolder(const char* folder)
{
    if (!HasDriveColon(folder) || IsInWindowsFolder(folder))
        return;
    FolderListing listing(folder, "*.lnk");
    while (listing.Next()) {
        KeepResponsiveIfDue();
        if (listing.IsFolder() || !listing.IsAddressable() || !HasExtension(listing.Name(), ".lnk"))
            continue;
        char target[MAX_PATH];
        if (ReadTargetPath(listing.Path(), target) && PointsIntoProgram(target))
            AddTrace(TRACE_FILE, listing.Path(), nullptr, nullptr);
    }
}

bool CTraceAnalyzer::SearchProgramsMenu(const char* folder, int depth)
{
    if (depth > kMaxGroupDepth || !HasDriveColon(folder) || IsInWindowsFolder(folder))
        return false;
    // A group's shortcuts are listed when they lead into the program; the group
    // itself only when every entry of it is listed, and after them.
    FolderListing listing(folder, "*.*");
    bool any = false;
    bool all = true;
    while (listing.Next()) {
        KeepResponsiveIfDue();
        any = true;
        if (!listing.IsAddressable()) {
            all = false;
            continue;
        }
        if (listing.IsFolder()) {
            // A shell folder (the Startup folder) is never the program's, however full of it.
            bool whole = !listing.IsLink() && SearchProgramsMenu(listing.Path(), depth + 1) &&
                         !protectedFolders.IsTooWide(listing.Path());
            if (whole)
                AddTrace(TRACE_FOLDER, listing.Path(), nullptr, nullptr);
            all = all && whole;
            continue;
        }
        char target[MAX_PATH];
        if (HasExtension(listing.Name(), ".lnk") && ReadTargetPath(listing.Path(), target) && PointsIntoProgram(target))
            AddTrace(TRACE_FILE, listing.Path(), nullptr, nullptr);
        all = all && IsListed(TRACE_FILE, listing.Path());
    }
    return any && all;
}
