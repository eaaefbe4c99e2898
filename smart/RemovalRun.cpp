#include "smart/RemovalRun.h"

#include "framework/AnsiText.h"
#include "framework/Handles.h"
#include "framework/RegistryTree.h"
#include "smart/FolderPaths.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

int Depth(const char* path)
{
    int depth = 0;
    for (const char* p = FindCharDbcs(path, '\\'); p; p = FindCharDbcs(p + 1, '\\'))
        ++depth;
    return depth;
}

bool IsDotOrDotDot(const char* name)
{
    return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

// Unticked key and value rows below a ticked key: what its deletion leaves.
class KeptRows : public RegistryKeep {
public:
    explicit KeptRows(std::vector<const TraceItem*> rows) : rows(std::move(rows)) {}

    bool KeepsKey(const char* path) const override
    {
        for (const TraceItem* row : rows) {
            if (row->kind == TRACE_REGKEY && EqualsNoCaseDbcs(row->path, path))
                return true;
        }
        return false;
    }
    bool KeepsBelow(const char* path) const override
    {
        for (const TraceItem* row : rows) {
            bool isKeyItself = row->kind == TRACE_REGKEY && EqualsNoCaseDbcs(row->path, path);
            if (!isKeyItself && IsWithinFolder(row->path, path))
                return true;
        }
        return false;
    }
    bool KeepsValue(const char* path, const char* valueName) const override
    {
        for (const TraceItem* row : rows) {
            if (row->kind == TRACE_REGVALUE && EqualsNoCaseDbcs(row->path, path) &&
                EqualsNoCaseDbcs(row->valueName, valueName))
                return true;
        }
        return false;
    }

private:
    std::vector<const TraceItem*> rows;
};

}  // namespace

int RemovalTally::Count(RemovalOutcome outcome) const
{
    return static_cast<int>(std::count(outcomes.begin(), outcomes.end(), outcome));
}

RemovalTally RemoveTraces(const std::vector<const TraceItem*>& items, const std::vector<bool>& checked,
                          RemovalSaver* saver)
{
    CRemovalRun run(items, checked);
    if (!saver)
        return run.Run();
    std::vector<bool> toRemove = run.RowsToRemove();
    RemovalTally tally;
    if (!saver->Save(items, toRemove)) {
        tally.notSaved = true;
        tally.outcomes.assign(items.size(), REMOVAL_IGNORED);
        for (size_t i = 0; i < items.size(); ++i) {
            if (i < checked.size() && checked[i] && items[i])
                tally.outcomes[i] = REMOVAL_FAILED;
        }
        return tally;
    }
    // A row that could not be saved is left unticked, and so stays with the folders
    // and keys on the way to it.
    std::vector<bool> saved(checked);
    for (size_t i = 0; i < toRemove.size(); ++i) {
        if (toRemove[i] && !saver->IsSaved(i))
            saved[i] = false;
    }
    tally = CRemovalRun(items, saved).Run();
    for (size_t i = 0; i < toRemove.size(); ++i) {
        if (toRemove[i] && !saved[i])
            tally.outcomes[i] = REMOVAL_FAILED;
    }
    saver->Finish(tally.outcomes);
    return tally;
}

CRemovalRun::CRemovalRun(const std::vector<const TraceItem*>& items, const std::vector<bool>& checked)
    : items(items), checked(checked)
{
    for (size_t i = 0; i < items.size(); ++i) {
        if (!items[i] || IsTicked(i))
            continue;
        if (items[i]->kind == TRACE_FILE || items[i]->kind == TRACE_FOLDER)
            keptFiles.push_back(items[i]);
        else if (items[i]->kind == TRACE_REGKEY || items[i]->kind == TRACE_REGVALUE)
            keptRegistry.push_back(items[i]);
    }
}

std::vector<bool> CRemovalRun::RowsToRemove() const
{
    std::vector<bool> rows(items.size(), false);
    for (size_t i = 0; i < items.size(); ++i) {
        if (!IsTicked(i))
            continue;
        int kind = items[i]->kind;
        if (kind == TRACE_FILE || kind == TRACE_FOLDER)
            rows[i] = !HoldsKeptRow(items[i]->path);
        else if (kind == TRACE_REGKEY || kind == TRACE_REGVALUE)
            rows[i] = items[i]->path[0] != '\0';
    }
    return rows;
}

bool CRemovalRun::IsTicked(size_t index) const
{
    return index < checked.size() && checked[index] && items[index];
}

RemovalTally CRemovalRun::Run()
{
    RemovalTally tally;
    tally.outcomes.assign(items.size(), REMOVAL_IGNORED);
    std::vector<size_t> folders;
    for (size_t i = 0; i < items.size(); ++i) {
        if (!IsTicked(i))
            continue;
        const TraceItem& item = *items[i];
        if (item.kind == TRACE_FILE)
            tally.outcomes[i] = RemoveFile(item);
        else if (item.kind == TRACE_FOLDER)
            folders.push_back(i);
        else if (item.kind == TRACE_REGKEY)
            tally.outcomes[i] = RemoveKey(item);
        else if (item.kind == TRACE_REGVALUE)
            tally.outcomes[i] = RemoveValue(item);
    }
    std::stable_sort(folders.begin(), folders.end(),
                     [this](size_t a, size_t b) { return Depth(items[a]->path) > Depth(items[b]->path); });
    for (size_t i : folders)
        tally.outcomes[i] = RemoveFolder(*items[i]);
    return tally;
}

RemovalOutcome CRemovalRun::RemoveFile(const TraceItem& item)
{
    if (HoldsKeptRow(item.path))
        return REMOVAL_KEPT;  // listed twice, and left unticked once
    RemovalOutcome outcome = DeleteFileOrSchedule(item.path);
    if (outcome == REMOVAL_SCHEDULED)
        scheduled.push_back(item.path);
    return outcome;
}

RemovalOutcome CRemovalRun::RemoveFolder(const TraceItem& item)
{
    if (HoldsKeptRow(item.path))
        return REMOVAL_KEPT;
    DWORD error = RemoveFolderOrLink(item.path);
    if (error == ERROR_SUCCESS)
        return REMOVAL_DONE;
    if (error != ERROR_DIR_NOT_EMPTY)
        return REMOVAL_FAILED;
    return ClassifyLeftovers(item.path);
}

RemovalOutcome CRemovalRun::ClassifyLeftovers(const char* folder)
{
    // A folder that holds only what waits for the next start goes at that start too,
    // right after its contents (the pending list keeps its order).
    std::string base(folder);
    WIN32_FIND_DATAA data;
    OwnedFind find(FindFirstFileA((base + "\\*").c_str(), &data));
    if (!find)
        return REMOVAL_FAILED;
    bool holdsScheduled = false;
    do {
        if (IsDotOrDotDot(data.cFileName))
            continue;
        bool waits = IsScheduled((base + "\\" + data.cFileName).c_str()) ||
                     (data.cAlternateFileName[0] && IsScheduled((base + "\\" + data.cAlternateFileName).c_str()));
        if (!waits)
            return REMOVAL_FAILED;
        holdsScheduled = true;
    } while (FindNextFileA(find, &data));
    if (!holdsScheduled || !ScheduleFolderRemoval(folder))
        return REMOVAL_FAILED;
    scheduled.push_back(folder);
    return REMOVAL_SCHEDULED;
}

bool CRemovalRun::HoldsKeptRow(const char* path) const
{
    for (const TraceItem* row : keptFiles) {
        if (IsWithinFolder(row->path, path))
            return true;
    }
    return false;
}

bool CRemovalRun::IsScheduled(const char* path) const
{
    for (const std::string& waiting : scheduled) {
        if (EqualsNoCaseDbcs(waiting.c_str(), path))
            return true;
    }
    return false;
}

std::vector<const TraceItem*> CRemovalRun::UntickedRegistryRows(HKEY root, const char* path) const
{
    std::vector<const TraceItem*> rows;
    for (const TraceItem* row : keptRegistry) {
        if (row->rootKey == root && IsWithinFolder(row->path, path))
            rows.push_back(row);
    }
    return rows;
}

RemovalOutcome CRemovalRun::RemoveKey(const TraceItem& item) const
{
    if (!item.path[0])
        return REMOVAL_IGNORED;  // never a whole root
    KeptRows kept(UntickedRegistryRows(item.rootKey, item.path));
    if (kept.KeepsKey(item.path))
        return REMOVAL_KEPT;
    bool keepsBelow = kept.KeepsBelow(item.path);
    if (DeleteKeyTree(item.rootKey, item.path, keepsBelow ? &kept : nullptr) != ERROR_SUCCESS)
        return REMOVAL_FAILED;
    return keepsBelow ? REMOVAL_KEPT : REMOVAL_DONE;
}

RemovalOutcome CRemovalRun::RemoveValue(const TraceItem& item) const
{
    if (!item.path[0])
        return REMOVAL_IGNORED;
    KeptRows kept(UntickedRegistryRows(item.rootKey, item.path));
    if (kept.KeepsValue(item.path, item.valueName))
        return REMOVAL_KEPT;
    // '?' may stand for a character the code page cannot spell, and name another value.
    if (strchr(item.path, '?') || strchr(item.valueName, '?'))
        return REMOVAL_FAILED;
    // Never through a link: the value would be the one of the key it leads to.
    OwnedKey key;
    LONG status = OpenKeyWithoutLinks(item.rootKey, item.path, KEY_SET_VALUE, &key);
    if (status == ERROR_SUCCESS)
        status = RegDeleteValueA(key, item.valueName);
    return status == ERROR_SUCCESS || IsNotFoundError(status) ? REMOVAL_DONE : REMOVAL_FAILED;
}
