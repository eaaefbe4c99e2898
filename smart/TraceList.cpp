#include "smart/TraceList.h"

#include "framework/AnsiText.h"
#include "framework/SteadyClock.h"

#include <new>

namespace {

// The sink is asked to keep its caller responsive this often (seconds of the steady clock).
const double kResponsiveInterval = 0.010;

// The key of a trace in the set of listed traces (texts already folded).
std::string TraceKey(int kind, HKEY root, const std::string& path, const std::string& valueName)
{
    std::string key = std::to_string(kind) + ":" + std::to_string(reinterpret_cast<ULONG_PTR>(root)) + ":" + path;
    key += '\0';
    return key + valueName;
}

// A key path without its last component; empty for a key directly below the root.
std::string ParentKeyPath(const std::string& path)
{
    const char* last = FindLastCharDbcs(path.c_str(), '\\');
    return last ? path.substr(0, static_cast<size_t>(last - path.c_str())) : std::string();
}

}  // namespace

std::string FoldNoCase(const char* text)
{
    std::string folded;
    for (const char* p = text; *p; ++p) {
        if (IsLeadByteDbcs(*p) && p[1]) {
            folded += *p++;
            folded += *p;
            continue;
        }
        folded += FoldAscii(*p);
    }
    return folded;
}

void CTraceList::ReportTo(TraceSink* reportTo)
{
    sink = reportTo;
    RestartResponsiveClock();
}

bool CTraceList::Add(int kind, const char* path, const char* valueName, HKEY root, WeakReason weakReason)
{
    std::string key = TraceKey(kind, root, FoldNoCase(path), FoldNoCase(valueName ? valueName : ""));
    if (listed.count(key) || IsBelowListedKey(kind, root, path))
        return false;
    std::unique_ptr<TraceItem> item(new (std::nothrow) TraceItem());
    if (!item || !CopyText(item->path, MAX_PATH, path))
        return false;
    if (valueName && !CopyText(item->valueName, MAX_PATH, valueName))
        return false;
    item->kind = kind;
    item->rootKey = root;
    item->weakReason = weakReason;
    const TraceItem* added = item.get();
    items.push_back(std::move(item));
    listed.insert(std::move(key));
    if (sink)
        sink->OnTrace(*added);
    // A window's drain costs a trip to the window server even when its queue is
    // empty: a trace asks for it only when it is due, as the searches' loops do.
    KeepResponsiveIfDue();
    return true;
}

bool CTraceList::IsListed(int kind, const char* path) const
{
    return listed.count(TraceKey(kind, nullptr, FoldNoCase(path), std::string())) != 0;
}

bool CTraceList::IsBelowListedKey(int kind, HKEY root, const char* path) const
{
    if (kind != TRACE_REGKEY && kind != TRACE_REGVALUE)
        return false;
    // A key is listed before its values and subkeys, which belong to it: what lies
    // directly below a listed key is part of its collection; anything deeper whose
    // own key was not listed is covered by the listed key above it.
    std::string folded = FoldNoCase(path);
    std::string parent = kind == TRACE_REGVALUE ? folded : ParentKeyPath(folded);
    if (parent.empty() || listed.count(TraceKey(TRACE_REGKEY, root, parent, std::string())))
        return false;
    for (std::string above = ParentKeyPath(parent); !above.empty(); above = ParentKeyPath(above)) {
        if (listed.count(TraceKey(TRACE_REGKEY, root, above, std::string())))
            return true;
    }
    return false;
}

void CTraceList::KeepResponsiveIfDue()
{
    if (!sink || SteadySeconds() - lastResponsiveTime < kResponsiveInterval)
        return;
    sink->KeepResponsive();
    RestartResponsiveClock();
}

void CTraceList::RestartResponsiveClock()
{
    lastResponsiveTime = SteadySeconds();
}

std::vector<const TraceItem*> CTraceList::All() const
{
    std::vector<const TraceItem*> all;
    all.reserve(items.size());
    for (const auto& item : items)
        all.push_back(item.get());
    return all;
}

void CTraceList::Clear()
{
    items.clear();
    listed.clear();
}
