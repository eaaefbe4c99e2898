#include "backup/ForcedRemoval.h"

#include "backup/RemovalBackup.h"
#include "framework/AnsiText.h"
#include "inventory/WindowsInstallerProduct.h"
#include "smart/TraceRemoval.h"

namespace {

bool AddTrace(int kind, HKEY root, const char* path, const char* valueName, std::vector<TraceItem>* traces)
{
    TraceItem item = {};
    item.kind = kind;
    item.rootKey = root;
    item.weakReason = WEAK_NONE;
    if (!CopyText(item.path, MAX_PATH, path) || !CopyText(item.valueName, MAX_PATH, valueName))
        return false;
    traces->push_back(item);
    return true;
}

}  // namespace

std::vector<TraceItem> ForcedRemovalTraces(const InstalledSoftwareEntry& entry)
{
    std::vector<TraceItem> traces;
    if (!AddTrace(TRACE_REGKEY, entry.root, entry.keyPath, "", &traces))
        return traces;
    const std::string code = InstallerProductCode(entry);
    for (const RegistryTrace& trace : InstallerRegistration(code, entry.root))
        AddTrace(trace.isValue ? TRACE_REGVALUE : TRACE_REGKEY, trace.root, trace.path.c_str(),
                 trace.valueName.c_str(), &traces);
    return traces;
}

LONG ForceRemoveRegistration(const CBackupStore& store, const InstalledSoftwareEntry& entry)
{
    const std::vector<TraceItem> traces = ForcedRemovalTraces(entry);
    if (traces.empty())
        return ERROR_INVALID_NAME;
    std::vector<const TraceItem*> items;
    for (const TraceItem& trace : traces)
        items.push_back(&trace);
    CRemovalBackup backup(store, entry.displayName);
    const RemovalTally tally = RemoveTraces(items, std::vector<bool>(items.size(), true), &backup);
    if (tally.notSaved) {
        const FolderCheck check = backup.StoreCheck();
        return check == FOLDER_SAFE || check == FOLDER_MISSING ? ERROR_CANNOT_MAKE : ERROR_INVALID_OWNER;
    }
    return tally.Count(REMOVAL_DONE) == static_cast<int>(items.size()) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}
