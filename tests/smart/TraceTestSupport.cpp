#include "TraceTestSupport.h"

namespace smarttest {

namespace {

LRESULT CALLBACK RecorderProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<TraceRecorder*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_TRACE_NOTIFY && self) {
        self->received.push_back({wParam, lParam});
        if (self->received.size() == 1 && SetTimer(window, 1, TraceRecorder::kTimerDelay, nullptr))
            self->timerStart = GetTickCount();
        return 0;
    }
    if (message == WM_TIMER && self) {
        KillTimer(window, 1);
        ++self->timerMessages;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

std::string Describe(const TraceItem& item)
{
    bool registry = item.kind == TRACE_REGKEY || item.kind == TRACE_REGVALUE;
    if (item.kind < TRACE_FILE || item.kind > TRACE_REGVALUE || (!registry && item.rootKey) ||
        (item.kind != TRACE_REGVALUE && item.valueName[0]))
        return "bad " + std::to_string(item.kind) + " " + item.path;
    std::string text = Trace(item.kind, item.path, item.rootKey, item.valueName);
    return item.weakReason ? WeakTrace(text, item.weakReason) : text;
}

}  // namespace

TraceRecorder::TraceRecorder()
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = RecorderProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "UmTraceRecorder";
    RegisterClassA(&windowClass);
    window = CreateWindowA("UmTraceRecorder", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

std::string Trace(int kind, const std::string& path, HKEY root, const std::string& valueName)
{
    return std::string(1, " FDKV"[kind]) + " " + TraceRowText(kind, path.c_str(), valueName.c_str(), root);
}

std::vector<std::string> Analyze(CTraceAnalyzer& analyzer, const std::string& target, int* result)
{
    TraceRecorder recorder;
    int outcome = analyzer.Analyze(recorder.window, target.c_str());
    if (result)
        *result = outcome;
    std::vector<std::string> traces;
    EXPECT_EQ(recorder.received.size(), analyzer.GetItemCount());
    for (size_t i = 0; i < analyzer.GetItemCount(); ++i) {
        EXPECT_EQ(std::make_pair(TRACE_NOTIFY_CODE, reinterpret_cast<LPARAM>(analyzer.GetItem(i))),
                  i < recorder.received.size() ? recorder.received[i] : decltype(recorder.received)::value_type())
            << "notification " << i;
        traces.push_back(Describe(*analyzer.GetItem(i)));
    }
    return traces;
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
    std::set<std::string> registry;
    for (const std::string& trace : Analyze(analyzer, app)) {
        if (trace[0] == 'K' || trace[0] == 'V')
            registry.insert(trace);
    }
    return registry;
}

}  // namespace smarttest
