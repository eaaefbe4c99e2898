// Shared by the smart-engine tests: a real hidden notify window that records every
// WM_TRACE_NOTIFY, and one-line descriptions of traces for exact list comparisons.
#pragma once
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "smart/TraceAnalyzer.h"

namespace smarttest {

struct Notification {
    WPARAM code;
    const TraceItem* item;
};

class TraceRecorder {
public:
    TraceRecorder();
    ~TraceRecorder();
    TraceRecorder(const TraceRecorder&) = delete;
    TraceRecorder& operator=(const TraceRecorder&) = delete;

    HWND Window() const { return window; }
    const std::vector<Notification>& Received() const { return received; }
    void Reset() { received.clear(); }
    // WM_APP messages dispatched to the window (posted by a test).
    int AppMessages() const { return appMessages; }
    // Safe to read from another thread.
    int NotificationCount() const { return notificationCount; }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND window;
    std::vector<Notification> received;
    int appMessages = 0;
    std::atomic<int> notificationCount{0};
};

// "F path", "D path", "K HKCR path", "V HKCU path|name".
std::string Describe(const TraceItem& item);
std::string FileTrace(const std::string& path);
std::string FolderTrace(const std::string& path);
std::string KeyTrace(HKEY root, const std::string& path);
std::string ValueTrace(HKEY root, const std::string& path, const std::string& name);
// A trace listed unticked for the given reason: the description ends in " ~reason".
std::string WeakTrace(const std::string& trace, UINT reason);

// The analyzer's list, described, after checking that notification n carried item n.
std::vector<std::string> Traces(const CTraceAnalyzer& analyzer, const TraceRecorder& recorder);

// Runs an analysis and returns the described list (notifications checked).
std::vector<std::string> Analyze(CTraceAnalyzer& analyzer, const std::string& target, int* result = nullptr);

// What breaks "every trace once, every folder after everything below it": one line
// per fault, empty when there is none.
std::vector<std::string> OrderFaults(const std::vector<std::string>& traces);

// A shortcut file written byte by byte (the shell-link object refuses long paths)
// whose stored target is the given local path.
bool WriteRawShortcut(const std::string& linkPath, const std::string& target);

}  // namespace smarttest
