// Shared by the smart-engine tests: a sink that records every report of an analysis,
// one-line descriptions of traces for exact list comparisons, and a fixture with a
// program folder to analyse.
#pragma once
#include <gtest/gtest.h>

#include "smart/TraceAnalyzer.h"
#include "support/Fixtures.h"
#include "support/TraceCoverage.h"

namespace smarttest {

using namespace fixtures;

// Records the traces reported and when the analysis asked to stay responsive.
struct TraceRecorder : TraceSink {
    void OnTrace(const TraceItem& item) override;
    void KeepResponsive() override;
    std::vector<const TraceItem*> received;  // every trace reported
    DWORD firstTraceTick = 0;                 // when the first trace came
    DWORD lastResponsiveTick = 0;             // the last KeepResponsive, or the first trace
    DWORD longestQuiet = 0;                   // the longest time between them after the first trace
    int responsiveCalls = 0;                 // after the first trace
};

// "F path", "D path", "K HKEY_...\key", "V HKEY_...\key\value" (the page's row text
// after the kind); a trace listed unticked ends in " ~reason".
std::string Trace(int kind, const std::string& path, HKEY root = nullptr, const std::string& valueName = "");
inline std::string FileTrace(const std::string& path) { return Trace(TRACE_FILE, path); }
inline std::string FolderTrace(const std::string& path) { return Trace(TRACE_FOLDER, path); }
inline std::string KeyTrace(HKEY root, const std::string& path) { return Trace(TRACE_REGKEY, path, root); }
inline std::string ValueTrace(HKEY root, const std::string& key, const std::string& name)
{
    return Trace(TRACE_REGVALUE, key, root, name);
}
inline std::string WeakTrace(const std::string& trace, WeakReason reason) { return trace + " ~" + std::to_string(reason); }

// One trace described as above ("bad ..." for an item no search may list).
std::string Describe(const TraceItem& item);
std::vector<std::string> DescribeList(const CTraceList& list);

// Runs an analysis and returns the described list, after checking that report n
// carried item n.
std::vector<std::string> Analyze(CTraceAnalyzer& analyzer, const std::string& target, int* result = nullptr);

// Lists what an uninstaller left of the product clues name, as the quick page asks
// once the uninstaller is done, and returns the described list.
std::vector<std::string> AnalyzeLeftovers(CTraceAnalyzer& analyzer, const UninstallClues& clues);

// Writes an uninstall entry as installers write it; empty texts are left out.
void WriteEntry(HKEY root, const std::string& key, const std::string& displayName, const std::string& publisher,
                const std::string& location, const std::string& uninstall, const std::string& icon);
// What the quick page notes of an entry before its uninstaller runs.
UninstallClues NoteClues(CTraceAnalyzer& analyzer, HKEY root, const std::string& key);

// Only the registry rows of a described list.
std::set<std::string> RegistryRows(const std::vector<std::string>& traces);
// Removes every listed trace and returns what changed on the machine (the registry,
// the files in the given folders) that no listed trace accounts for: empty when the
// removal kept to the list.
std::vector<std::string> RemoveAllListed(CTraceAnalyzer& analyzer, const std::vector<std::string>& folders);

// A name unique to this run made of letters only, so that no trailing number is
// taken for a version.
std::string UniqueWord(const std::string& prefix);

// Each key with everything below it, in the order an analysis lists a whole key.
std::vector<std::string> KeyTree(HKEY root, std::initializer_list<std::string> paths);

inline std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> parts)
{
    std::vector<std::string> all;
    for (const std::vector<std::string>& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// What breaks "every trace once, every folder after everything below it": one line
// per fault, empty when there is none.
std::vector<std::string> OrderFaults(const std::vector<std::string>& traces);

std::string ShortPath(const std::string& path);

// A program folder App holding app.exe in a fresh folder, and an analyzer.
class ProgramTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(WriteFileText(exe)); }
    // The registry traces an analysis of the program folder lists.
    std::set<std::string> RegistryTraces();

    TempDir base{"umapp"};
    std::string id = UniqueName("um");
    std::string app = base.Path() + "\\App", exe = app + "\\app.exe";
    CTraceAnalyzer analyzer;
};

}  // namespace smarttest
