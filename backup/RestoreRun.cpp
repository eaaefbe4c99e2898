#include "backup/RestoreRun.h"

#include "backup/BackupStore.h"
#include "backup/PendingDeletions.h"
#include "backup/RemovalBackup.h"
#include "framework/AnsiText.h"
#include "framework/Handles.h"
#include "framework/RegKey.h"
#include "framework/RegistryView.h"
#include "framework/PathExists.h"
#include "smart/FolderPaths.h"
#include "smart/TraceRemoval.h"

#include <algorithm>
#include <cstring>

namespace {

int Depth(const std::string& path)
{
    int depth = 0;
    for (const char* p = FindCharDbcs(path.c_str(), '\\'); p; p = FindCharDbcs(p + 1, '\\'))
        ++depth;
    return depth;
}

// The attributes that can be set again; the others describe what the entry is.
DWORD SettableAttributes(DWORD attributes)
{
    const DWORD settable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                           FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_TEMPORARY |
                           FILE_ATTRIBUTE_OFFLINE;
    DWORD kept = attributes & settable;
    return kept ? kept : FILE_ATTRIBUTE_NORMAL;
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Makes the folders on the way to path that are missing.
bool MakeParentFolders(const std::string& path)
{
    char parent[MAX_PATH];
    if (!CopyText(parent, MAX_PATH, path.c_str()) || !CutAtLastBackslash(parent) || IsDriveRoot(parent))
        return true;
    if (Exists(parent))
        return true;
    return MakeParentFolders(parent) && CreateDirectoryA(parent, nullptr);
}

// A stored name is "files\<number>": nothing outside the backup can be named.
bool IsStoredName(const std::string& stored)
{
    std::string prefix = std::string(kBackupFilesName) + "\\";
    return stored.size() > prefix.size() && stored.compare(0, prefix.size(), prefix) == 0 &&
           stored.find_first_not_of("0123456789", prefix.size()) == std::string::npos;
}

// Makes a registry link key again where nothing stands now.
bool RestoreLinkKey(const BackupEntry& entry)
{
    HKEY root = GetRootKeyByName(entry.root.c_str());
    wchar_t path[MAX_PATH];
    wchar_t target[1024];
    int targetLength = MultiByteToWideChar(CP_UTF8, 0, entry.stored.c_str(), -1, target, 1024);
    if (!root || targetLength <= 1 || MultiByteToWideChar(CP_ACP, 0, entry.path.c_str(), -1, path, MAX_PATH) == 0)
        return false;
    OwnedKey key;
    DWORD disposition = 0;
    if (RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS | PhysicalView(), nullptr,
                        key.Out(), &disposition) != ERROR_SUCCESS)
        return RegOpenKeyExW(root, path, REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE | PhysicalView(), key.Out()) ==
                   ERROR_SUCCESS &&
               IsRegistryLink(key);  // put back by an earlier restore
    if (disposition != REG_CREATED_NEW_KEY)
        return false;
    return RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target),
                          static_cast<DWORD>((targetLength - 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

}  // namespace

bool CRestoreRun::Load(std::string* reason)
{
    if (!list.Read((folder + "\\" + kBackupListName).c_str(), reason))
        return false;
    std::string text;
    if (!ReadFileBytes((folder + "\\" + kBackupRegistryName).c_str(), &text) || text.size() != list.regSize ||
        Checksum(text) != list.regSum) {
        *reason = "registry file damaged";
        return false;
    }
    if (!registry.Parse(text, reason))
        return false;
    for (const BackupEntry& entry : list.entries) {
        if (!IsSafeEntry(entry)) {
            *reason = "malformed entry";
            return false;
        }
    }
    return true;
}

// Files go back to absolute paths, keys to the three roots; nothing else is read.
bool CRestoreRun::IsSafeEntry(const BackupEntry& entry) const
{
    if (entry.kind == TRACE_REGKEY || entry.kind == TRACE_REGVALUE)
        return GetRootKeyByName(entry.root.c_str()) != nullptr;
    if (entry.path.size() >= MAX_PATH || !HasDriveColon(entry.path.c_str()) || entry.path[2] != '\\')
        return false;
    bool stores = entry.hold == HOLD_MOVED || entry.hold == HOLD_COPIED;
    return !stores || IsStoredName(entry.stored);
}

RestoreTally CRestoreRun::Run()
{
    RestoreTally tally;
    auto count = [&](bool restored) { ++(restored ? tally.restored : tally.failed); };
    std::vector<const BackupEntry*> folders;
    for (const BackupEntry& entry : list.entries) {
        if (entry.hold == HOLD_FOLDER)
            folders.push_back(&entry);
    }
    std::stable_sort(folders.begin(), folders.end(),
                     [](const BackupEntry* a, const BackupEntry* b) { return Depth(a->path) < Depth(b->path); });
    for (const BackupEntry* entry : folders)
        count(MakeParentFolders(entry->path) && (Exists(entry->path) || CreateDirectoryA(entry->path.c_str(), nullptr)));
    int registryEntries = 0;
    for (const BackupEntry& entry : list.entries) {
        if (entry.hold == HOLD_MOVED || entry.hold == HOLD_COPIED)
            count(RestoreFile(entry));
        registryEntries += entry.hold == HOLD_REGISTRY;
    }
    RegImportTally imported = registry.Import();
    tally.restored += imported.failed == 0 ? registryEntries : 0;
    tally.failed += imported.failed == 0 ? 0 : registryEntries;
    // Links last: the keys they stand in are there again now.
    for (const BackupEntry& entry : list.entries) {
        if (entry.hold == HOLD_REGLINK)
            count(RestoreLinkKey(entry));
    }
    // Folders last, deepest first: putting their contents back changed their times.
    for (auto it = folders.rbegin(); it != folders.rend(); ++it)
        RestoreFolder(**it);
    WriteFileBytes((folder + "\\" + kBackupRestoredName).c_str(), list.time + "\r\n");
    return tally;
}

bool CRestoreRun::RestoreFile(const BackupEntry& entry)
{
    std::string stored = folder + "\\" + entry.stored;
    if (entry.outcome == REMOVAL_SCHEDULED)
        CancelPendingDeletion(entry.path.c_str());
    if (Exists(entry.path)) {
        // Never deleted (in use, or its deletion failed), or put back by an earlier
        // restore; anything else that stands there now is left alone.
        return entry.outcome != REMOVAL_DONE || !Exists(stored);
    }
    if (!Exists(stored) || !MakeParentFolders(entry.path))
        return false;
    if (!MoveFileExA(stored.c_str(), entry.path.c_str(), MOVEFILE_COPY_ALLOWED))
        return false;
    // Times cannot be set on a read-only file: attributes come last.
    SetFileAttributesA(entry.path.c_str(), FILE_ATTRIBUTE_NORMAL);
    WriteFileTimes(entry.path.c_str(), entry);
    SetFileAttributesA(entry.path.c_str(), SettableAttributes(entry.attributes));
    return true;
}

bool CRestoreRun::RestoreFolder(const BackupEntry& entry)
{
    if (entry.outcome == REMOVAL_SCHEDULED)
        CancelPendingDeletion(entry.path.c_str());
    SetFileAttributesA(entry.path.c_str(), SettableAttributes(entry.attributes));
    return WriteFileTimes(entry.path.c_str(), entry);
}
