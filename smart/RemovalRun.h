// One removal run over the rows of an analysis: the ticked rows go, the unticked
// ones stay together with the folders and keys on the way to them.
#pragma once
#include "smart/TraceRemoval.h"

#include <string>
#include <vector>

class CRemovalRun {
public:
    CRemovalRun(const std::vector<const TraceItem*>& items, const std::vector<bool>& checked);
    CRemovalRun(const CRemovalRun&) = delete;
    CRemovalRun& operator=(const CRemovalRun&) = delete;

    // Files, values and keys in list order, then folders deepest first, so a
    // folder is looked at after everything in it.
    RemovalTally Run();
    // The ticked rows that Run acts on: every ticked key and value, and every ticked
    // file and folder that holds no unticked row.
    std::vector<bool> RowsToRemove() const;

private:
    bool IsTicked(size_t index) const;
    RemovalOutcome RemoveFile(const TraceItem& item);
    RemovalOutcome RemoveFolder(const TraceItem& item);
    RemovalOutcome RemoveKey(const TraceItem& item) const;
    RemovalOutcome RemoveValue(const TraceItem& item) const;
    // A folder that did not go: scheduled when all it holds waits for the next start.
    RemovalOutcome ClassifyLeftovers(const char* folder);
    // An unticked file or folder row is path or lies below it.
    bool HoldsKeptRow(const char* path) const;
    bool IsScheduled(const char* path) const;
    // The unticked registry rows under root that are path or lie below it.
    std::vector<const TraceItem*> UntickedRegistryRows(HKEY root, const char* path) const;

    const std::vector<const TraceItem*>& items;
    const std::vector<bool>& checked;
    std::vector<const TraceItem*> keptFiles;     // unticked file and folder rows
    std::vector<const TraceItem*> keptRegistry;  // unticked key and value rows
    std::vector<std::string> scheduled;          // what this run left for the next start
};
