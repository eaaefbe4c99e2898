// Tells whether a change seen in a snapshot is accounted for by a listed trace.
// Traces are given as the smart page shows them: a path for files and folders,
// "HKEY_...\key" for keys and "HKEY_...\key\value" for values.
#pragma once
#include <windows.h>

#include <set>
#include <string>
#include <vector>

namespace fixtures {

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

// Lower-case ASCII copy (registry and file names compare without case).
std::string LowerAscii(std::string text);

// Every key and value below root\path as row texts ("" path for a missing key).
void RegistryTreeRows(HKEY root, const std::string& rootName, const std::string& path,
                      std::set<std::string>* keys, std::set<std::string>* values);

// Every file and folder below folder (the folder itself included).
void FileTreeRows(const std::string& folder, std::set<std::string>* rows);

// The files scheduled for deletion at the next start, lower-case, without "\??\".
std::set<std::string> PendingDeletions();

// The first 40 lines, indented, one per line, for a failure message.
std::string JoinLines(const std::vector<std::string>& lines);

}  // namespace fixtures
