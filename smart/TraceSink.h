// Where an analysis reports, implemented by its caller: a window, a command line,
// a test. The engine itself knows no window.
#pragma once
#include "smart/TraceItem.h"

class TraceSink {
public:
    // Each new trace once, right after it joined the analyzer's list (so trace n is
    // the analyzer's item n); the item stays valid until the analyzer is cleared.
    virtual void OnTrace(const TraceItem& item) = 0;
    // Called about every 10 ms while an analysis runs, hits or none: a window
    // dispatches its waiting messages here. It must not start another analysis.
    virtual void KeepResponsive() = 0;

protected:
    ~TraceSink() = default;
};
