#include "backup/RestoreRun.h"

#include "backup/PendingDeletions.h"
#include "backup/RestoreTargets.h"
#include "backup/Sha256.h"
#include "framework/AnsiText.h"
#include "framework/ReadWholeFile.h"
#include "framework/RegistryTree.h"
#include "smart/TraceItem.h"
#include "smart/TraceRemoval.h"

#include <algorithm>

namespace {

int Depth(const std::string& path)
{
    int depth = 0;
    for (const char* p = FindCharDbcs(path.c_str(), '\\'); p; p = FindCharDbcs(p + 1, '\\'))
        ++depth;
    return depth;
}

bool Refuse(std::string* reason, const char* why)
{
    if (reason)
        *reason = why;
    return false;
}

// Key and value names compare as the registry compares them: case folded.
bool SameName(const std::wstring& a, const std::wstring& b)
{
    return a.size() == b.size() &&
           CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
}

bool IsAtOrBelow(const std::wstring& key, const std::wstring& trace)
{
    return key.size() >= trace.size() && SameName(key.substr(0, trace.size()), trace) &&
           (key.size() == trace.size() || key[trace.size()] == L'\\');
}

bool Widen(const std::string& ansi, std::wstring* wide)
{
    return regfile::WidenAnsi(ansi.c_str(), ansi.size(), wide);
}

// A key of the .reg file lies at or below a key the run saved, in the same root and
// view (the paths are physical); or it is the key of saved values and holds them only.
bool IsCovered(const RegFileKey& key, const std::vector<BackupEntry>& entries)
{
    bool ofValues = false;
    std::vector<std::wstring> valueNames;
    for (const BackupEntry& entry : entries) {
        std::wstring path;
        bool sameRoot = GetRootKeyByName(entry.root.c_str()) == key.root;
        if (entry.hold != HOLD_REGISTRY || !sameRoot || !Widen(entry.path, &path))
            continue;
        if (entry.kind == TRACE_REGKEY && IsAtOrBelow(key.path, path))
            return true;
        std::wstring valueName;
        if (entry.kind == TRACE_REGVALUE && SameName(key.path, path) && Widen(entry.valueName, &valueName)) {
            ofValues = true;
            valueNames.push_back(valueName);
        }
    }
    if (!ofValues)
        return false;
    for (const RegFileValue& value : key.values) {
        auto named = [&](const std::wstring& name) { return SameName(name, value.name); };
        if (std::none_of(valueNames.begin(), valueNames.end(), named))
            return false;
    }
    return true;
}

}  // namespace

bool CRestoreRun::Load(std::string* reason)
{
    loaded = false;
    if (!store.RunFolder(name, &folder))
        return Refuse(reason, "not a run of a safe store");
    if (!list.Read((folder + "\\" + kBackupListName).c_str(), reason))
        return false;
    // Exactly the size the list records, or it is not read at all.
    std::string text;
    if (!ReadWholeFile((folder + "\\" + kBackupRegistryName).c_str(), list.regSize, &text) ||
        text.size() != list.regSize || Sha256Hex(text) != list.regHash)
        return Refuse(reason, "registry file damaged");
    if (!registry.Parse(text, reason))
        return false;
    if (!CoversRegistry())
        return Refuse(reason, "a registry key outside the run's traces");
    if (!HoldsSavedFiles())
        return Refuse(reason, "a saved file is missing or changed");
    loaded = true;
    return true;
}

bool CRestoreRun::CoversRegistry() const
{
    for (const RegFileKey& key : registry.Keys()) {
        if (!IsCovered(key, list.entries))
            return false;
    }
    return true;
}

bool CRestoreRun::HoldsSavedFiles() const
{
    for (const BackupEntry& entry : list.entries) {
        if (entry.hold != HOLD_MOVED && entry.hold != HOLD_COPIED)
            continue;
        std::string hash;
        if (!HashFile((folder + "\\" + entry.stored).c_str(), ~0ull, &hash) || hash != entry.hash)
            return false;
    }
    return true;
}

RestoreTally CRestoreRun::Run()
{
    RestoreTally tally;
    std::string current;
    if (!loaded || !store.RunFolder(name, &current) || current != folder)
        return tally;
    auto count = [&](bool restored) { ++(restored ? tally.restored : tally.failed); };
    std::vector<const BackupEntry*> folders;
    for (const BackupEntry& entry : list.entries) {
        if (entry.hold == HOLD_FOLDER)
            folders.push_back(&entry);
    }
    std::stable_sort(folders.begin(), folders.end(),
                     [](const BackupEntry* a, const BackupEntry* b) { return Depth(a->path) < Depth(b->path); });
    for (const BackupEntry* entry : folders)
        count(MakeFoldersWithoutLinks(entry->path, true));
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
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
        if ((*it)->outcome == REMOVAL_SCHEDULED)
            CancelPendingDeletion((*it)->path.c_str());
        SetFolderAttributesAndTimes(**it);
    }
    WriteFileBytes((folder + "\\" + kBackupRestoredName).c_str(), list.time + "\r\n");
    return tally;
}

bool CRestoreRun::RestoreFile(const BackupEntry& entry)
{
    std::string stored = folder + "\\" + entry.stored;
    // Only what this run scheduled, at exactly its path, is taken out of the list.
    if (entry.outcome == REMOVAL_SCHEDULED)
        CancelPendingDeletion(entry.path.c_str());
    if (GetFileAttributesA(entry.path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        // Never deleted (in use, or its deletion failed), or put back by an earlier
        // restore; anything else that stands there now is left alone.
        return entry.outcome != REMOVAL_DONE || HoldsSavedFile(entry.path, stored, entry.hash);
    }
    if (!IsNotFoundError(GetLastError()))
        return false;
    return MakeFoldersWithoutLinks(entry.path, false) && CopySavedFile(stored, entry);
}
