#include "TraceTestSupport.h"


#include <shlwapi.h>

#include <algorithm>

namespace smarttest {

std::string Describe(const TraceItem& item)
{
    bool registry = item.kind == TRACE_REGKEY || item.kind == TRACE_REGVALUE;
    if (item.kind < TRACE_FILE || item.kind > TRACE_REGVALUE || (!registry && item.rootKey) ||
        (item.kind != TRACE_REGVALUE && item.valueName[0]))
        return "bad " + std::to_string(item.kind) + " " + item.path;
    std::string text = Trace(item.kind, item.path, item.rootKey, item.valueName);
    return item.weakReason != WEAK_NONE ? WeakTrace(text, item.weakReason) : text;
}

std::vector<std::string> DescribeList(const CTraceList& list)
{
    std::vector<std::string> traces;
    for (const TraceItem* item : list.All())
        traces.push_back(Describe(*item));
    return traces;
}

void TraceRecorder::OnTrace(const TraceItem& item)
{
    received.push_back(&item);
    if (received.size() == 1)
        firstTraceTick = lastResponsiveTick = GetTickCount();
}

void TraceRecorder::KeepResponsive()
{
    if (received.empty())
        return;
    ++responsiveCalls;
    const DWORD now = GetTickCount();
    longestQuiet = std::max(longestQuiet, now - lastResponsiveTick);
    lastResponsiveTick = now;
}

std::string Trace(int kind, const std::string& path, HKEY root, const std::string& valueName)
{
    return std::string(1, " FDKV"[kind]) + " " + TraceRowText(kind, path.c_str(), valueName.c_str(), root);
}

namespace {

// The analyzer's list, described, after checking that report n carried item n.
std::vector<std::string> Described(const CTraceAnalyzer& analyzer, const TraceRecorder& recorder)
{
    std::vector<std::string> traces;
    EXPECT_EQ(recorder.received.size(), analyzer.GetItemCount());
    for (size_t i = 0; i < analyzer.GetItemCount(); ++i) {
        EXPECT_EQ(analyzer.GetItem(i), i < recorder.received.size() ? recorder.received[i] : nullptr)
            << "report " << i;
        traces.push_back(Describe(*analyzer.GetItem(i)));
    }
    return traces;
}

}  // namespace

std::vector<std::string> Analyze(CTraceAnalyzer& analyzer, const std::string& target, int* result)
{
    TraceRecorder recorder;
    int outcome = analyzer.Analyze(recorder, target.c_str());
    if (result)
        *result = outcome;
    return Described(analyzer, recorder);
}

std::vector<std::string> AnalyzeLeftovers(CTraceAnalyzer& analyzer, const UninstallClues& clues)
{
    TraceRecorder recorder;
    EXPECT_EQ(1, analyzer.AnalyzeLeftovers(recorder, clues));
    return Described(analyzer, recorder);
}

void WriteEntry(HKEY root, const std::string& key, const std::string& displayName, const std::string& publisher,
                const std::string& location, const std::string& uninstall, const std::string& icon)
{
    const std::pair<const char*, const std::string*> values[] = {{"DisplayName", &displayName},
                                                                 {"Publisher", &publisher},
                                                                 {"InstallLocation", &location},
                                                                 {"UninstallString", &uninstall},
                                                                 {"DisplayIcon", &icon}};
    for (const auto& [name, text] : values) {
        if (!text->empty()) {
            EXPECT_TRUE(SetString(root, key, name, *text)) << key << "\\" << name;
        }
    }
}

UninstallClues NoteClues(CTraceAnalyzer& analyzer, HKEY root, const std::string& key)
{
    UninstallClues clues;
    clues.root = root;
    clues.keyPath = key;
    std::string* texts[] = {&clues.displayName, &clues.publisher, &clues.installLocation, &clues.uninstallCommand,
                            &clues.displayIcon};
    const char* names[] = {"DisplayName", "Publisher", "InstallLocation", "UninstallString", "DisplayIcon"};
    for (size_t i = 0; i < std::size(names); ++i) {
        char text[MAX_PATH] = "";
        DWORD size = sizeof(text);
        if (SHGetValueA(root, key.c_str(), names[i], nullptr, text, &size) == ERROR_SUCCESS)
            *texts[i] = text;
    }
    analyzer.NoteUninstallClues(&clues);
    return clues;
}

std::set<std::string> RegistryRows(const std::vector<std::string>& traces)
{
    std::set<std::string> registry;
    for (const std::string& trace : traces) {
        if (trace[0] == 'K' || trace[0] == 'V')
            registry.insert(trace);
    }
    return registry;
}

std::vector<std::string> RemoveAllListed(CTraceAnalyzer& analyzer, const std::vector<std::string>& folders)
{
    ListedTraces listed;
    std::vector<std::string>* lists[] = {nullptr, &listed.paths, &listed.paths, &listed.keys, &listed.values};
    for (size_t i = 0; i < analyzer.GetItemCount(); ++i) {
        const TraceItem* item = analyzer.GetItem(i);
        lists[item->kind]->push_back(TraceRowText(item->kind, item->path, item->valueName, item->rootKey));
    }
    const MachineState before(folders);
    analyzer.RemoveChecked(std::vector<bool>(analyzer.GetItemCount(), true));
    return UnlistedChanges(before, MachineState(folders), listed);
}

std::string UniqueWord(const std::string& prefix)
{
    std::string word = prefix;
    for (char ch : UniqueName("")) {
        if (ch >= '0' && ch <= '9')
            word += static_cast<char>('a' + (ch - '0'));
    }
    return word;
}

std::vector<std::string> KeyTree(HKEY root, std::initializer_list<std::string> paths)
{
    std::vector<std::string> traces;
    for (const std::string& path : paths)
        WalkRegistry(
            root, path, [&](const std::string& key, KeyKind) { traces.push_back(KeyTrace(root, key)); },
            [&](const std::string& key, const std::string& name, DWORD, const std::string&) {
                traces.push_back(ValueTrace(root, key, name));
            });
    return traces;
}

std::vector<std::string> OrderFaults(const std::vector<std::string>& traces)
{
    std::vector<std::string> faults;
    for (size_t i = 0; i < traces.size(); ++i) {
        std::string lower = LowerAscii(traces[i]);
        for (size_t j = i + 1; j < traces.size(); ++j) {
            std::string later = LowerAscii(traces[j]);
            if (later == lower)
                faults.push_back("twice: " + traces[i]);
            else if (lower[0] == 'd' && later.compare(2, lower.size() - 1, lower.substr(2) + "\\") == 0)
                faults.push_back(traces[j] + " after its folder");
        }
    }
    return faults;
}

std::string ShortPath(const std::string& path)
{
    char shortPath[MAX_PATH] = "";
    GetShortPathNameA(path.c_str(), shortPath, MAX_PATH);
    return shortPath;
}

std::set<std::string> ProgramTest::RegistryTraces()
{
    return RegistryRows(Analyze(analyzer, app));
}

}  // namespace smarttest
