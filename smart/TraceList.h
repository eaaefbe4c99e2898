// The list an analysis builds: each trace once (the first search to reach it lists
// it), handed to the sink as it joins, and the sink asked at due times to keep its
// caller responsive.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "smart/TraceItem.h"
#include "smart/TraceSink.h"

// The text with ASCII letters folded to lower case; double-byte characters are kept
// whole, so a trail byte is never folded.
std::string FoldNoCase(const char* text);

class CTraceList {
public:
    // Reports go to sink (none: null) until the next call; the clock of the
    // responsiveness calls starts anew.
    void ReportTo(TraceSink* reportTo);
    TraceSink* Sink() const { return sink; }

    // Appends the trace unless it is listed already, or lies below a listed key
    // without its own key being listed (the key above covers it). True when added.
    bool Add(int kind, const char* path, const char* valueName, HKEY root, WeakReason weakReason);
    // A file or folder trace with this path is listed.
    bool IsListed(int kind, const char* path) const;
    // Asks the sink to keep its caller responsive when about 10 ms have passed.
    void KeepResponsiveIfDue();
    // The due time counts from now (after work that could not be interrupted).
    void RestartResponsiveClock();

    size_t Count() const { return items.size(); }
    const TraceItem* At(size_t index) const { return index < items.size() ? items[index].get() : nullptr; }
    std::vector<const TraceItem*> All() const;
    // Frees every trace; item pointers handed out before become invalid.
    void Clear();

private:
    bool IsBelowListedKey(int kind, HKEY root, const char* path) const;

    std::vector<std::unique_ptr<TraceItem>> items;
    std::unordered_set<std::string> listed;  // every listed trace, folded, for "once only"
    TraceSink* sink = nullptr;
    double lastResponsiveTime = 0;  // SteadySeconds() of the sink's last KeepResponsive
};
