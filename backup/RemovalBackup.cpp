#include "backup/RemovalBackup.h"

#include "backup/RegFile.h"
#include "backup/Sha256.h"
#include "framework/Handles.h"
#include "framework/RegKey.h"
#include "framework/RegistryView.h"
#include "smart/FolderPaths.h"

namespace {

bool IsDiskFull(DWORD error)
{
    return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
}

bool KeyExists(HKEY root, const char* path)
{
    OwnedKey key;
    return RegOpenKeyExA(root, path, REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE | PhysicalView(), key.Out()) !=
           ERROR_FILE_NOT_FOUND;
}

// The target of a registry link key (UTF-8, as the list keeps it); false when the
// key is no link.
bool ReadLinkTarget(HKEY root, const char* path, std::string* target)
{
    OwnedKey key;
    if (RegOpenKeyExA(root, path, REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE | PhysicalView(), key.Out()) !=
            ERROR_SUCCESS ||
        !IsRegistryLink(key))
        return false;
    wchar_t wide[1024] = {};
    DWORD size = sizeof(wide) - sizeof(wchar_t);
    if (RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, nullptr, reinterpret_cast<BYTE*>(wide), &size) !=
        ERROR_SUCCESS)
        return false;
    char utf8[3 * 1024];
    int length = WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(size / sizeof(wchar_t)), utf8,
                                     sizeof(utf8), nullptr, nullptr);
    target->assign(utf8, length > 0 ? static_cast<size_t>(length) : 0);
    return length > 0;
}

bool ValueExists(HKEY root, const char* path, const char* name)
{
    OwnedKey key;
    LONG status = RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE | PhysicalView(), key.Out());
    if (status == ERROR_SUCCESS)
        status = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr);
    return status != ERROR_FILE_NOT_FOUND;
}

}  // namespace

bool ReadFileTimes(const char* path, BackupEntry* entry)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return false;
    entry->attributes = data.dwFileAttributes;
    entry->created = data.ftCreationTime;
    entry->accessed = data.ftLastAccessTime;
    entry->written = data.ftLastWriteTime;
    return true;
}

bool WriteFileTimes(const char* path, const BackupEntry& entry)
{
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    OwnedFile file(CreateFileA(path, FILE_WRITE_ATTRIBUTES, share, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    return file && SetFileTime(file, &entry.created, &entry.accessed, &entry.written);
}

CRemovalBackup::CRemovalBackup(const CBackupStore& store, const std::string& program) : store(store), program(program)
{
}

bool CRemovalBackup::Save(const std::vector<const TraceItem*>& items, const std::vector<bool>& toRemove)
{
    storeCheck = store.CreateRunFolder(program, &runName);
    if (storeCheck != FOLDER_SAFE)
        return false;
    folder = store.Root() + "\\" + runName;
    SYSTEMTIME now;
    GetLocalTime(&now);
    char time[32];
    snprintf(time, sizeof(time), "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
             now.wMinute, now.wSecond);
    list.program = program;
    list.time = time;
    entryOf.assign(items.size(), -1);
    // Reading first: the registry and the folders as they are, before any file moves.
    CRegFileWriter registry;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i >= toRemove.size() || !toRemove[i] || !items[i])
            continue;
        const TraceItem& item = *items[i];
        BackupEntry entry;
        entry.kind = item.kind;
        entry.path = item.path;
        if (item.kind == TRACE_REGKEY || item.kind == TRACE_REGVALUE) {
            entry.root = GetRootKeyName(item.rootKey);
            entry.valueName = item.kind == TRACE_REGVALUE ? item.valueName : "";
            SaveRegistry(item, &entry, &registry);
        } else if (item.kind == TRACE_FOLDER && ReadFileTimes(item.path, &entry)) {
            // A folder link is not saved, so it stays: moving one moves the folder it
            // leads to on some platforms, and a link cannot be copied.
            entry.hold = (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? HOLD_NONE : HOLD_FOLDER;
        } else if (item.kind != TRACE_FILE) {
            entry.hold = HOLD_GONE;
        }
        entryOf[i] = static_cast<int>(list.entries.size());
        list.entries.push_back(entry);
    }
    list.entries.insert(list.entries.end(), linkEntries.begin(), linkEntries.end());
    // A .reg file larger than a restore reads is not made: the run does not happen.
    if (registry.Text().size() > kLargestBackupRegistry)
        return Abandon();
    list.regSize = static_cast<DWORD>(registry.Text().size());
    list.regHash = Sha256Hex(registry.Text());
    std::string listFile = folder + "\\" + kBackupListName;
    if (list.regHash.empty() || !registry.Save((folder + "\\" + kBackupRegistryName).c_str()) ||
        !list.Write(listFile.c_str()))
        return Abandon();
    // Then the files and folder links, each into the backup before anything is deleted.
    for (size_t i = 0; i < items.size(); ++i) {
        if (entryOf[i] < 0)
            continue;
        BackupEntry& entry = list.entries[entryOf[i]];
        if (items[i]->kind == TRACE_FILE && !SaveFile(*items[i], entryOf[i], &entry))
            return Abandon();
    }
    return list.Write(listFile.c_str()) || Abandon();
}

// A key or value inside a key saved whole in this run is saved with it.
bool CRemovalBackup::IsSavedKey(HKEY root, const char* path) const
{
    for (const auto& saved : savedKeys) {
        if (saved.first == root && IsWithinFolder(path, saved.second.c_str()))
            return true;
    }
    return false;
}

void CRemovalBackup::SaveRegistry(const TraceItem& item, BackupEntry* entry, CRegFileWriter* registry)
{
    if (item.kind == TRACE_REGKEY ? !KeyExists(item.rootKey, item.path)
                                  : !ValueExists(item.rootKey, item.path, item.valueName)) {
        entry->hold = HOLD_GONE;
        return;
    }
    // A link is removed as a link: what it leads to stays, and the link is made again.
    if (item.kind == TRACE_REGKEY && ReadLinkTarget(item.rootKey, item.path, &entry->stored)) {
        entry->hold = HOLD_REGLINK;
        return;
    }
    if (IsSavedKey(item.rootKey, item.path)) {
        entry->hold = HOLD_REGISTRY;
        return;
    }
    std::vector<std::string> links;
    bool saved = item.kind == TRACE_REGKEY ? registry->AddKeyTree(item.rootKey, item.path, &links)
                                           : registry->AddValue(item.rootKey, item.path, item.valueName);
    if (saved && item.kind == TRACE_REGKEY)
        savedKeys.emplace_back(item.rootKey, item.path);
    entry->hold = saved ? HOLD_REGISTRY : HOLD_NONE;
    // The links below the key go with it, as links: each is noted to be made again.
    for (const std::string& link : links) {
        BackupEntry linkEntry;
        linkEntry.kind = TRACE_REGKEY;
        linkEntry.root = entry->root;
        linkEntry.path = link;
        if (!ReadLinkTarget(item.rootKey, link.c_str(), &linkEntry.stored)) {
            entry->hold = HOLD_NONE;
            return;
        }
        linkEntry.hold = HOLD_REGLINK;
        linkEntries.push_back(linkEntry);
    }
}

// Moves the file into the backup; where it cannot be moved (in use, another
// volume) it is copied with its attributes and times.
bool CRemovalBackup::SaveFile(const TraceItem& item, size_t entryIndex, BackupEntry* entry)
{
    if (!ReadFileTimes(item.path, entry)) {
        entry->hold = HOLD_GONE;
        return true;
    }
    // A link is moved only where it opens as itself: elsewhere moving it would move
    // the file it leads to. Such a file is not saved, and stays.
    if (ReachesAnotherFile(item.path))
        return true;
    entry->stored = StoredNameOf(entryIndex);
    std::string stored = folder + "\\" + entry->stored;
    if (MoveFileExA(item.path, stored.c_str(), 0))
        entry->hold = HOLD_MOVED;
    else if (IsDiskFull(GetLastError()))
        return false;
    else if (CopyFileA(item.path, stored.c_str(), TRUE))
        entry->hold = HOLD_COPIED;
    if (entry->hold != HOLD_NONE) {
        // What the restore will check the saved file against; a file that cannot be
        // read back is not saved, and stays.
        if (entry->hold == HOLD_COPIED)
            WriteFileTimes(stored.c_str(), *entry);
        return HashFile(stored.c_str(), ~0ull, &entry->hash) || UnsaveFile(item.path, entry);
    }
    DWORD error = GetLastError();
    DeleteFileA(stored.c_str());
    // A file that cannot be read (locked whole) stays where it is; a backup that
    // cannot be written stops the run.
    entry->hold = HOLD_NONE;
    entry->stored.clear();
    return !IsDiskFull(error) && error != ERROR_PATH_NOT_FOUND;
}

bool CRemovalBackup::UnsaveFile(const std::string& original, BackupEntry* entry)
{
    std::string stored = folder + "\\" + entry->stored;
    bool undone = entry->hold == HOLD_MOVED ? MoveFileExA(stored.c_str(), original.c_str(), 0) != 0
                                            : DeleteFileA(stored.c_str()) != 0;
    if (!undone)
        return false;
    entry->hold = HOLD_NONE;
    entry->stored.clear();
    entry->hash.clear();
    return true;
}

bool CRemovalBackup::PutFilesBack()
{
    bool allBack = true;
    for (BackupEntry& entry : list.entries) {
        std::string stored = folder + "\\" + entry.stored;
        if (entry.hold == HOLD_MOVED && MoveFileExA(stored.c_str(), entry.path.c_str(), 0))
            entry.hold = HOLD_NONE;
        else if (entry.hold == HOLD_COPIED && DeleteFileA(stored.c_str()))
            entry.hold = HOLD_NONE;
        allBack = allBack && entry.hold != HOLD_MOVED;
    }
    return allBack;
}

// The run stops before it deletes anything. The run's folder goes unless a file
// could not be put back: then it stays, with its list, to be restored.
bool CRemovalBackup::Abandon()
{
    if (PutFilesBack())
        store.Delete(runName);
    else
        list.Write((folder + "\\" + kBackupListName).c_str());
    entryOf.assign(entryOf.size(), -1);
    return false;
}

BackupHold CRemovalBackup::HoldOf(size_t index) const
{
    if (index >= entryOf.size() || entryOf[index] < 0)
        return HOLD_NONE;
    return static_cast<BackupHold>(list.entries[entryOf[index]].hold);
}

bool CRemovalBackup::Finish(const std::vector<RemovalOutcome>& outcomes)
{
    for (size_t i = 0; i < entryOf.size() && i < outcomes.size(); ++i) {
        if (entryOf[i] >= 0)
            list.entries[entryOf[i]].outcome = outcomes[i];
    }
    return list.Write((folder + "\\" + kBackupListName).c_str());
}
