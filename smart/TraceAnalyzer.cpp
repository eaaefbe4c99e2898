#include "smart/TraceAnalyzer.h"

#include "framework/AnsiText.h"
#include "framework/Dialog.h"
#include "framework/IconReference.h"
#include "framework/ParseCommandLine.h"
#include "framework/PathExists.h"
#include "framework/RegKey.h"
#include "framework/RegistryView.h"
#include "framework/SteadyClock.h"
#include "resource.h"
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
// Messages are drained this often (seconds of the steady clock).
const double kPumpInterval = 0.010;

const int kMaxGroupDepth = 8;

void ReadSpecialFolder(int csidl, char* path)
{
    path[0] = '\0';
    if (!SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE))
        path[0] = '\0';
}

// The key of a trace in the set of listed traces (texts already folded).
std::string TraceKey(int kind, HKEY root, const std::string& path, const std::string& valueName)
{
    std::string key = std::to_string(kind) + ":" + std::to_string(reinterpret_cast<ULONG_PTR>(root)) + ":" + path;
    key += '\0';
    return key + valueName;
}

// A key path without its last component; empty for a key directly below the root.
std::string ParentKeyPath(const std::string& path)
{
    const char* last = FindLastCharDbcs(path.c_str(), '\\');
    return last ? path.substr(0, static_cast<size_t>(last - path.c_str())) : std::string();
}

}  // namespace

std::string CTraceAnalyzer::FoldNoCase(const char* text)
{
    std::string folded;
    for (const char* p = text; *p; ++p) {
        if (IsLeadByteDbcs(*p) && p[1]) {
            folded += *p++;
            folded += *p;
            continue;
        }
        folded += FoldAscii(*p);
    }
    return folded;
}

CTraceAnalyzer::CTraceAnalyzer()
    : notifyWindow(nullptr), uninstallEntriesLoaded(false), lastPumpTime(0)
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

const TraceItem* CTraceAnalyzer::GetItem(size_t index) const
{
    return index < items.size() ? items[index].get() : nullptr;
}

void CTraceAnalyzer::Clear()
{
    for (auto& item : items)
        item.reset();
    items.clear();
    listed.clear();
}

TargetVerdict CTraceAnalyzer::ScreenTarget(const char* typed, char* full)
{
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

int CTraceAnalyzer::Analyze(HWND window, const char* target)
{
    Clear();
    // Every analysis starts from its own program folders: folders of an earlier
    // program must not claim traces of this one.
    programFolders.clear();
    programFiles.clear();
    namedPrograms.clear();
    notifyWindow = window;
    char full[MAX_PATH];
    if (ScreenTarget(target, full) != TARGET_ACCEPTED)
        return 0;
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
    // The first shell calls of a process are slow: messages keep flowing meanwhile.
    lastPumpTime = SteadySeconds();
    UINT length = GetWindowsDirectoryA(windowsFolder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        windowsFolder[0] = '\0';
    ReadSpecialFolder(CSIDL_PROGRAMS, programsFolder);
    ReadSpecialFolder(CSIDL_COMMON_PROGRAMS, commonProgramsFolder);
    PumpIfDue();
    ReadSpecialFolder(CSIDL_DESKTOPDIRECTORY, desktopFolder);
    PumpIfDue();
    ReadSpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY, commonDesktopFolder);
    PumpIfDue();
    protectedFolders.Load([this] { PumpIfDue(); });
    PumpIfDue();
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
    lastPumpTime = SteadySeconds();
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

void CTraceAnalyzer::AddTrace(int kind, const char* path, const char* valueName, HKEY root, UINT weakReason)
{
    // Each trace is listed once, the first time a search reaches it.
    std::string key = TraceKey(kind, root, FoldNoCase(path), FoldNoCase(valueName ? valueName : ""));
    if (listed.count(key) || IsBelowListedKey(kind, root, path))
        return;
    std::unique_ptr<TraceItem> item(new (std::nothrow) TraceItem());
    if (!item)
        return;
    if (!CopyText(item->path, MAX_PATH, path))
        return;
    if (valueName && !CopyText(item->valueName, MAX_PATH, valueName))
        return;
    item->kind = kind;
    item->rootKey = root;
    item->weakReason = weakReason;
    TraceItem* added = item.get();
    items.push_back(std::move(item));
    listed.insert(std::move(key));
    SendMessageA(notifyWindow, WM_TRACE_NOTIFY, TRACE_NOTIFY_CODE, reinterpret_cast<LPARAM>(added));
    // Each drain costs a trip to the window server even when the queue is empty:
    // a trace drains it only when it is due, as the searches' loops do.
    PumpIfDue();
}

bool CTraceAnalyzer::IsListed(int kind, const char* path) const
{
    return listed.count(TraceKey(kind, nullptr, FoldNoCase(path), std::string())) != 0;
}

bool CTraceAnalyzer::IsBelowListedKey(int kind, HKEY root, const char* path) const
{
    if (kind != TRACE_REGKEY && kind != TRACE_REGVALUE)
        return false;
    // A key is listed before its values and subkeys, which belong to it: what lies
    // directly below a listed key is part of its collection; anything deeper whose
    // own key was not listed is covered by the listed key above it.
    std::string folded = FoldNoCase(path);
    std::string parent = kind == TRACE_REGVALUE ? folded : ParentKeyPath(folded);
    if (parent.empty() || listed.count(TraceKey(TRACE_REGKEY, root, parent, std::string())))
        return false;
    for (std::string above = ParentKeyPath(parent); !above.empty(); above = ParentKeyPath(above)) {
        if (listed.count(TraceKey(TRACE_REGKEY, root, above, std::string())))
            return true;
    }
    return false;
}

void CTraceAnalyzer::PumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        // Keyboard navigation of the dialog keeps working while the search runs.
        if (PreTranslateDialogMessage(&message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    lastPumpTime = SteadySeconds();
}

void CTraceAnalyzer::PumpIfDue()
{
    if (SteadySeconds() - lastPumpTime >= kPumpInterval)
        PumpMessages();
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

void CTraceAnalyzer::CollectFolder(const char* folder, UINT weakReason)
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
        PumpIfDue();
        int kind = listing.IsFolder() ? TRACE_FOLDER : TRACE_FILE;
        if (!listing.IsAddressable()) {
            AddTrace(kind, listing.Path(), nullptr, nullptr, IDS_WEAK_UNADDRESSABLE);
            continue;
        }
        if (kind == TRACE_FOLDER) {
            CollectFolder(listing.Path(), weakReason);
            continue;
        }
        AddTrace(TRACE_FILE, listing.Path(), nullptr, nullptr, weakReason);
        if (weakReason == 0 && HasExtension(listing.Name(), ".lnk"))
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
    CollectFolder(folder, IDS_WEAK_OUTSIDE_FOLDER);
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
        PumpIfDue();
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
        PumpIfDue();
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
        PumpIfDue();
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
