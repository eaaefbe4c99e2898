#include "smart/TraceAnalyzer.h"

#include "framework/AnsiText.h"
#include "framework/Dialog.h"
#include "framework/RegKey.h"
#include "smart/FolderPaths.h"
#include "smart/ShortcutResolver.h"

#include <shlobj.h>

#include <cstring>
#include <new>

namespace {

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kUninstallPathValues[] = {"InstallLocation", "UninstallString", "DisplayIcon"};
const DWORD kPumpIntervalMs = 50;

// Owns a FindFirstFileA search handle.
class FindHandle {
public:
    explicit FindHandle(HANDLE handle) : handle(handle) {}
    ~FindHandle() { Close(); }
    void Reset(HANDLE opened)
    {
        Close();
        handle = opened;
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    bool IsValid() const { return handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle; }
    void Close()
    {
        if (handle != INVALID_HANDLE_VALUE)
            FindClose(handle);
        handle = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE handle;
};

void ReadSpecialFolder(int csidl, char* path)
{
    path[0] = '\0';
    if (!SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE))
        path[0] = '\0';
}

bool IsDotName(const char* name)
{
    return name[0] == '.';
}

// The entries of one folder that match a pattern, in listing order, each with its
// full path. Names that begin with '.' and children whose path does not fit are
// skipped; the search handle is closed by Close or the destructor.
class FolderListing {
public:
    FolderListing(const char* folder, const char* pattern) : folder(folder), find(INVALID_HANDLE_VALUE)
    {
        char search[MAX_PATH];
        if (FormatText(search, MAX_PATH, "%s\\%s", folder, pattern))
            find.Reset(FindFirstFileA(search, &data));
        pending = find.IsValid();
    }
    bool IsOpen() const { return find.IsValid(); }
    // Moves to the next entry; false at the end.
    bool Next()
    {
        while (pending || (find.IsValid() && FindNextFileA(find.Get(), &data))) {
            pending = false;
            if (!IsDotName(data.cFileName) && FormatText(path, MAX_PATH, "%s\\%s", folder, data.cFileName))
                return true;
        }
        return false;
    }
    const char* Path() const { return path; }
    const char* Name() const { return data.cFileName; }
    bool IsFolder() const { return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    void Close() { find.Close(); }

private:
    const char* folder;
    FindHandle find;
    WIN32_FIND_DATAA data;
    char path[MAX_PATH];
    bool pending = false;
};

}  // namespace

bool PathExists(const char* path, bool* isFile)
{
    *isFile = false;
    // A wildcard would make FindFirstFileA report whatever it matches.
    if (!path || !*path || strpbrk(path, "*?"))
        return false;
    WIN32_FIND_DATAA data;
    FindHandle find(FindFirstFileA(path, &data));
    if (!find.IsValid())
        return false;
    *isFile = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    return true;
}

CTraceAnalyzer::CTraceAnalyzer()
    : notifyWindow(nullptr), uninstallEntriesLoaded(false), lastPumpTick(0)
{
    windowsFolder[0] = '\0';
    programsFolder[0] = '\0';
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
}

int CTraceAnalyzer::Analyze(HWND window, const char* target)
{
    Clear();
    // Every analysis starts from its own program folders: folders of an earlier
    // program must not claim traces of this one.
    programFolders.clear();
    notifyWindow = window;
    LoadContext();

    bool isFile = false;
    if (!PathExists(target, &isFile))
        return 0;
    char folder[MAX_PATH];
    DWORD length = GetFullPathNameA(target, MAX_PATH, folder, nullptr);
    if (length == 0 || length >= MAX_PATH)
        return 0;
    if (isFile)
        CutAtLastBackslash(folder);
    char normalized[MAX_PATH];
    if (!NormalizeFolderPath(folder, normalized) || protectedFolders.IsProgramFiles(normalized))
        return 0;
    if (isFile)
        AddTrace(TRACE_FILE, target, nullptr, nullptr);

    int result = 1;
    ChooseProgramFolder(target, normalized, isFile, &result);
    if (desktopFolder[0])
        SearchShortcutFolder(desktopFolder);
    if (commonDesktopFolder[0])
        SearchShortcutFolder(commonDesktopFolder);
    if (programsFolder[0] && !IsFolderKnown(programsFolder))
        SearchProgramsMenu(programsFolder, 0);
    SearchClsidKeys();
    SearchFileTypes();
    SearchSubkeysByValue(HKEY_LOCAL_MACHINE, kUninstallKey);
    SearchRunValues(HKEY_LOCAL_MACHINE, kRunKey);
    SearchRunValues(HKEY_CURRENT_USER, kRunKey);
    SearchSoftwareKeys(HKEY_LOCAL_MACHINE);
    SearchSoftwareKeys(HKEY_CURRENT_USER);
    return result;
}

void CTraceAnalyzer::LoadContext()
{
    // The first shell calls of a process are slow: messages keep flowing meanwhile.
    lastPumpTick = GetTickCount();
    UINT length = GetWindowsDirectoryA(windowsFolder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        windowsFolder[0] = '\0';
    ReadSpecialFolder(CSIDL_PROGRAMS, programsFolder);
    PumpIfDue();
    ReadSpecialFolder(CSIDL_DESKTOPDIRECTORY, desktopFolder);
    PumpIfDue();
    ReadSpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY, commonDesktopFolder);
    PumpIfDue();
    protectedFolders.Load();
    PumpIfDue();
    uninstallEntries.clear();
    uninstallEntriesLoaded = false;
    classServerMatches.clear();
    classRoutes.clear();
    lastPumpTick = GetTickCount();
}

void CTraceAnalyzer::ChooseProgramFolder(const char* target, const char* folder, bool isFile, int* result)
{
    if (programsFolder[0] && EqualsNoCaseDbcs(folder, programsFolder)) {
        if (!isFile) {
            *result = 0;
            return;
        }
        CollectShortcutTarget(target);
        return;
    }
    if ((desktopFolder[0] && EqualsNoCaseDbcs(folder, desktopFolder)) ||
        (commonDesktopFolder[0] && EqualsNoCaseDbcs(folder, commonDesktopFolder))) {
        CollectShortcutTarget(target);
        return;
    }
    char adopted[MAX_PATH];
    if (!AdoptFolder(folder, adopted))
        return;
    // A shortcut named as the target leads to the program the user means, so its
    // target's folder is the program's although an uninstall entry names it (the
    // program's own entry does). Adopted before the group's shortcuts are weighed
    // against the uninstall entries, collected after the group.
    char own[MAX_PATH];
    char ownAdopted[MAX_PATH];
    bool hasOwn = isFile && HasExtension(target, ".lnk") && ShortcutTargetFolder(target, own) &&
                  AdoptFolder(own, ownAdopted);
    CollectFolder(adopted);
    if (hasOwn)
        CollectFolder(ownAdopted);
}

void CTraceAnalyzer::CollectShortcutTarget(const char* shortcutPath)
{
    char resolved[MAX_PATH];
    if (!ResolveShortcut(shortcutPath, resolved) || !CutAtLastBackslash(resolved))
        return;
    char adopted[MAX_PATH];
    if (AdoptFolder(resolved, adopted))
        CollectFolder(adopted);
}

void CTraceAnalyzer::AddTrace(int kind, const char* path, const char* valueName, HKEY root, UINT weakReason)
{
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
    SendMessageA(notifyWindow, WM_TRACE_NOTIFY, TRACE_NOTIFY_CODE, reinterpret_cast<LPARAM>(added));
    PumpMessages();
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
    lastPumpTick = GetTickCount();
}

void CTraceAnalyzer::PumpIfDue()
{
    if (GetTickCount() - lastPumpTick >= kPumpIntervalMs)
        PumpMessages();
}

bool CTraceAnalyzer::IsFolderKnown(const char* path) const
{
    for (const std::string& folder : programFolders) {
        if (EqualsNoCaseDbcs(folder.c_str(), path))
            return true;
    }
    return false;
}

bool CTraceAnalyzer::MatchesProgramFolder(const char* text) const
{
    for (const std::string& folder : programFolders) {
        if (ContainsFolderAtBoundary(text, folder.c_str()))
            return true;
    }
    return false;
}

bool CTraceAnalyzer::IsSystemFolder(const char* path) const
{
    if (windowsFolder[0] && FindTextNoCaseDbcs(path, windowsFolder))
        return true;
    return protectedFolders.IsTooWide(path);
}

bool CTraceAnalyzer::AdoptFolder(const char* folder, char* adopted)
{
    if (!NormalizeFolderPath(folder, adopted) || IsSystemFolder(adopted) || IsFolderKnown(adopted))
        return false;
    programFolders.push_back(adopted);
    return true;
}

bool CTraceAnalyzer::IsCollectable(const char* folder) const
{
    if (windowsFolder[0] && FindTextNoCaseDbcs(folder, windowsFolder))
        return false;
    if (!HasDriveColon(folder))
        return false;
    if (programsFolder[0] && EqualsNoCaseDbcs(folder, programsFolder))
        return false;
    return !protectedFolders.IsProgramFiles(folder) && !protectedFolders.IsTooWide(folder);
}

void CTraceAnalyzer::CollectFolder(const char* folder)
{
    if (!IsCollectable(folder))
        return;
    // A junction or symbolic link is listed as itself and never followed: its
    // target belongs to someone else and may lead back up the tree.
    DWORD attributes = GetFileAttributesA(folder);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        AddTrace(TRACE_FOLDER, folder, nullptr, nullptr);
        return;
    }
    FolderListing listing(folder, "*.*");
    if (!listing.IsOpen())
        return;
    while (listing.Next()) {
        PumpIfDue();
        if (listing.IsFolder()) {
            CollectFolder(listing.Path());
            continue;
        }
        AddTrace(TRACE_FILE, listing.Path(), nullptr, nullptr);
        if (HasExtension(listing.Name(), ".lnk"))
            FollowCollectedShortcut(listing.Path());
    }
    listing.Close();
    AddTrace(TRACE_FOLDER, folder, nullptr, nullptr);
}

void CTraceAnalyzer::FollowCollectedShortcut(const char* shortcutPath)
{
    char folder[MAX_PATH];
    if (!ShortcutTargetFolder(shortcutPath, folder) || IsFolderKnown(folder))
        return;
    // A folder that an uninstall entry gives to another product is that product's,
    // even when our program (or its Start-menu group) links to it.
    if (BelongsToOtherProduct(folder))
        return;
    char adopted[MAX_PATH];
    if (AdoptFolder(folder, adopted))
        CollectFolder(adopted);
}

bool CTraceAnalyzer::ShortcutTargetFolder(const char* shortcutPath, char* folder) const
{
    folder[0] = '\0';
    char target[MAX_PATH];
    if (!ResolveShortcut(shortcutPath, target) || !HasDriveColon(target))
        return false;
    if (windowsFolder[0] && FindTextNoCaseDbcs(target, windowsFolder))
        return false;
    if (!CutAtLastBackslash(target))
        return false;
    return NormalizeFolderPath(target, folder);
}

void CTraceAnalyzer::LoadUninstallEntries()
{
    if (uninstallEntriesLoaded)
        return;
    uninstallEntriesLoaded = true;
    const HKEY roots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
    for (HKEY root : roots) {
        RegKey uninstall;
        if (!uninstall.Open(root, kUninstallKey))
            continue;
        char name[MAX_PATH];
        for (DWORD index = 0;; ++index) {
            PumpIfDue();
            DWORD nameSize = MAX_PATH;
            LONG status = RegEnumKeyExA(uninstall.Get(), index, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
            if (status == ERROR_MORE_DATA)
                continue;
            if (status != ERROR_SUCCESS)
                break;
            RegKey entry;
            if (!entry.Open(uninstall.Get(), name))
                continue;
            UninstallEntryPaths paths;
            char text[MAX_PATH];
            for (int i = 0; i < 3; ++i) {
                if (ReadTextValue(entry.Get(), nullptr, kUninstallPathValues[i], text, MAX_PATH))
                    paths.texts[i] = text;
            }
            if (ReadTextValue(entry.Get(), nullptr, "DisplayName", text, MAX_PATH))
                paths.displayName = text;
            if (ReadTextValue(entry.Get(), nullptr, "Publisher", text, MAX_PATH))
                paths.publisher = text;
            uninstallEntries.push_back(paths);
        }
    }
}

bool CTraceAnalyzer::BelongsToOtherProduct(const char* folder)
{
    LoadUninstallEntries();
    for (const UninstallEntryPaths& entry : uninstallEntries) {
        bool namesFolder = false;
        bool namesAdopted = false;
        for (const std::string& text : entry.texts) {
            namesFolder = namesFolder || ContainsFolderAtBoundary(text.c_str(), folder);
            namesAdopted = namesAdopted || MatchesProgramFolder(text.c_str());
        }
        if (namesFolder && !namesAdopted)
            return true;
    }
    return false;
}

void CTraceAnalyzer::SearchShortcutFolder(const char* folder)
{
    if (!HasDriveColon(folder) || (windowsFolder[0] && FindTextNoCaseDbcs(folder, windowsFolder)))
        return;
    FolderListing listing(folder, "*.lnk");
    while (listing.Next()) {
        PumpIfDue();
        if (listing.IsFolder() || !HasExtension(listing.Name(), ".lnk"))
            continue;
        char targetFolder[MAX_PATH];
        if (ShortcutTargetFolder(listing.Path(), targetFolder) && IsFolderKnown(targetFolder))
            AddTrace(TRACE_FILE, listing.Path(), nullptr, nullptr);
    }
}

void CTraceAnalyzer::SearchProgramsMenu(const char* folder, int depth)
{
    if (depth > 1 || !HasDriveColon(folder) || (windowsFolder[0] && FindTextNoCaseDbcs(folder, windowsFolder)))
        return;
    FolderListing listing(folder, "*.*");
    while (listing.Next()) {
        PumpIfDue();
        if (listing.IsFolder()) {
            if (depth == 0)
                SearchProgramsMenu(listing.Path(), 1);
            continue;
        }
        char targetFolder[MAX_PATH];
        if (!HasExtension(listing.Name(), ".lnk") || !ShortcutTargetFolder(listing.Path(), targetFolder) ||
            !IsFolderKnown(targetFolder))
            continue;
        if (depth == 0) {
            AddTrace(TRACE_FILE, listing.Path(), nullptr, nullptr);
            continue;
        }
        // The group belongs to the program: list all of it, then stop scanning it.
        listing.Close();
        CollectFolder(folder);
        return;
    }
}
