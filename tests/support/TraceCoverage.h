// Tells whether a change seen in a snapshot is accounted for by a listed trace.
// Traces are given as the smart page shows them: a path for files and folders,
// "HKEY_...\key" for keys and "HKEY_...\key\value" for values.
#pragma once
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "machine/PendingRenames.h"
#include "machine/Snapshot.h"
#include "machine/Text.h"
#include "machine/TreeWalk.h"
#include "smart/TraceItem.h"

namespace fixtures {

using namespace machine;  // lower-case copies, tree rows, pending deletions

struct ListedTraces {
    std::vector<std::string> paths;   // files and folders
    std::vector<std::string> keys;    // keys with their subtrees
    std::vector<std::string> values;  // single values
};

namespace detail {

// Whether name is one of the listed names, or lies below one of them when below is set.
inline bool Listed(const std::string& name, const std::vector<std::string>& listed, bool below)
{
    std::string lower = LowerAscii(name);
    for (const std::string& entry : listed) {
        std::string prefix = LowerAscii(entry);
        if (lower.compare(0, prefix.size(), prefix) == 0 &&
            (lower.size() == prefix.size() || (below && lower[prefix.size()] == '\\')))
            return true;
    }
    return false;
}

}  // namespace detail

// The row text of a trace kind/path/value/root as the smart page builds it.
inline std::string TraceRowText(int kind, const char* path, const char* valueName, HKEY root)
{
    if (kind == TRACE_FILE || kind == TRACE_FOLDER)
        return path;
    std::string key = std::string(GetRootKeyName(root)) + "\\" + path;
    return kind == TRACE_REGVALUE ? key + "\\" + (valueName ? valueName : "") : key;
}

// Lines of FileSnapshot ("path|attributes|size") that no listed trace accounts for.
inline std::vector<std::string> UnaccountedFileLines(const std::vector<std::string>& lines,
                                                     const ListedTraces& traces)
{
    std::vector<std::string> result;
    for (const std::string& line : lines) {
        if (!detail::Listed(line.substr(0, line.rfind('|', line.rfind('|') - 1)), traces.paths, true))
            result.push_back(line);
    }
    return result;
}

// Lines of RegistrySnapshot taken at rootName (for instance "HKEY_CURRENT_USER")
// that no listed trace accounts for. A key under HKEY_LOCAL_MACHINE\Software\Classes
// or HKEY_CURRENT_USER\Software\Classes is also accounted for by a trace under
// HKEY_CLASSES_ROOT.
inline std::vector<std::string> UnaccountedRegistryLines(const std::vector<std::string>& lines,
                                                         const std::string& rootName, const ListedTraces& traces)
{
    std::vector<std::string> result;
    for (const std::string& line : lines) {
        // "K|key", "L|key", "K|key|unreadable" or "V|key|name|type|hash"; the keys of
        // the tests carry no '|', the value names may.
        const bool value = line[0] == 'V';
        size_t keyEnd = value ? line.find('|', 2) : line.find("|unreadable", 2);
        std::string path = line.substr(2, keyEnd - 2);
        std::string key = path.empty() ? rootName : rootName + "\\" + path, alias = key;
        // A class key is also named below HKEY_CLASSES_ROOT.
        for (std::string prefix : {"hkey_local_machine\\software\\classes\\",
                                   "hkey_current_user\\software\\classes\\"}) {
            if (LowerAscii(key).compare(0, prefix.size(), prefix) == 0)
                alias = "HKEY_CLASSES_ROOT\\" + key.substr(prefix.size());
        }
        size_t nameEnd = line.rfind('|', line.rfind('|') - 1);
        std::string name = value ? "\\" + line.substr(keyEnd + 1, nameEnd - keyEnd - 1) : "";
        bool covered = false;
        for (const std::string& each : {key, alias})
            covered = covered || detail::Listed(each, traces.keys, true) ||
                      (value && detail::Listed(each + name, traces.values, false));
        if (!covered)
            result.push_back(line);
    }
    return result;
}

// The parts of the machine a removal may touch: the user's registry, the machine's
// software keys, drive C:.
struct MachineState {
    MachineState() : files(FileSnapshot("C:")) {}
    // Only these folders' files: a walk of all of C: takes seconds under Wine.
    explicit MachineState(const std::vector<std::string>& folders)
    {
        for (const std::string& folder : folders) {
            std::set<std::string> lines = FileSnapshot(folder);
            files.insert(lines.begin(), lines.end());
        }
    }
    std::set<std::string> user = RegistrySnapshot(HKEY_CURRENT_USER, "");
    std::set<std::string> software = RegistrySnapshot(HKEY_LOCAL_MACHINE, "SOFTWARE");
    std::set<std::string> files;
};

// Wine's own record of the system parameters of open windows, and the program's
// own folder of backups of its removals.
inline bool IsBookkeeping(const std::string& line)
{
    std::string lower = LowerAscii(line);
    return lower.find("software\\wine\\temporary system parameters") != std::string::npos ||
           lower.find("\\uninstallmanager\\") != std::string::npos ||
           lower.find("\\uninstallmanager|") != std::string::npos;
}

// Every line that went without a listed trace to account for it, and every line that
// appeared, but Wine's own bookkeeping of the system parameters of open windows.
inline std::vector<std::string> UnlistedChanges(const MachineState& before, const MachineState& after,
                                                const ListedTraces& listed)
{
    std::vector<std::string> changes;
    for (const std::vector<std::string>& lines :
         {UnaccountedFileLines(Missing(before.files, after.files), listed),
          UnaccountedRegistryLines(Missing(before.user, after.user), "HKEY_CURRENT_USER", listed),
          UnaccountedRegistryLines(Missing(before.software, after.software), "HKEY_LOCAL_MACHINE", listed),
          Missing(after.files, before.files), Missing(after.user, before.user), Missing(after.software, before.software)})
        for (const std::string& line : lines)
            if (!IsBookkeeping(line))
                changes.push_back(line);
    return changes;
}

// Every line that differs between two states, bookkeeping aside.
inline std::vector<std::string> MachineDifferences(const MachineState& a, const MachineState& b)
{
    std::vector<std::string> changes;
    for (const std::vector<std::string>& lines :
         {Missing(a.files, b.files), Missing(a.user, b.user), Missing(a.software, b.software),
          Missing(b.files, a.files), Missing(b.user, a.user), Missing(b.software, a.software)})
        for (const std::string& line : lines)
            if (!IsBookkeeping(line))
                changes.push_back(line);
    return changes;
}

// The first 40 lines, indented, one per line, for a failure message.
inline std::string JoinLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (size_t i = 0; i < lines.size() && i < 40; ++i)
        text += "  " + lines[i] + "\n";
    return lines.size() > 40 ? text + "  ...\n" : text;
}

}  // namespace fixtures
