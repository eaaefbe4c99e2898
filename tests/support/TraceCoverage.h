// Tells whether a change seen in a snapshot is accounted for by a listed trace.
// Traces are given as the smart page shows them: a path for files and folders,
// "HKEY_...\key" for keys and "HKEY_...\key\value" for values.
#pragma once
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "machine/PendingRenames.h"
#include "machine/Text.h"
#include "machine/TreeWalk.h"

namespace fixtures {

using namespace machine;  // lower-case copies, tree rows, pending deletions

struct ListedTraces {
    std::vector<std::string> paths;   // files and folders
    std::vector<std::string> keys;    // keys with their subtrees
    std::vector<std::string> values;  // single values
};

// The row text of a trace kind/path/value/root as the smart page builds it.
std::string TraceRowText(int kind, const char* path, const char* valueName, HKEY root);

// Snapshot lines (of FileSnapshot, or of RegistrySnapshot taken at rootName, for
// instance "HKEY_CURRENT_USER") that no listed trace accounts for. A key under
// HKEY_LOCAL_MACHINE\Software\Classes or HKEY_CURRENT_USER\Software\Classes is also
// accounted for by a trace under HKEY_CLASSES_ROOT.
std::vector<std::string> UnaccountedFileLines(const std::vector<std::string>& lines, const ListedTraces& traces);
std::vector<std::string> UnaccountedRegistryLines(const std::vector<std::string>& lines, const std::string& rootName,
                                                  const ListedTraces& traces);

// The first 40 lines, indented, one per line, for a failure message.
std::string JoinLines(const std::vector<std::string>& lines);

}  // namespace fixtures
