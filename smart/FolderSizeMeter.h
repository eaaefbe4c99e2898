// The bytes of the files in a folder and below it, measured a few entries at a time,
// so that a window can measure in its idle time and stay responsive.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

class CAnalysisContext;
class FolderListing;

class CFolderSizeMeter {
public:
    static const size_t kMaxEntries = 1000000;
    static const int kMaxDepth = 64;

    // The caps: entries met (files and folders) and the depth of folders entered
    // below the measured one.
    explicit CFolderSizeMeter(size_t maxEntries = kMaxEntries, int maxDepth = kMaxDepth);
    ~CFolderSizeMeter();
    CFolderSizeMeter(const CFolderSizeMeter&) = delete;
    CFolderSizeMeter& operator=(const CFolderSizeMeter&) = delete;

    // Starts over with folder. A link (a junction or symbolic link), a file or
    // nothing there measures 0 at once.
    void Start(const char* folder);
    // Measures on for about budgetSeconds (one listing call may run over); true when
    // the measurement is finished. Links below are never entered and count nothing;
    // a folder that cannot be listed counts nothing; at a cap the measurement
    // finishes with what it counted.
    bool Step(double budgetSeconds);
    ULONGLONG Bytes() const { return bytes; }
    bool Finished() const { return finished; }
    // Something was left out: a cap was reached, a folder could not be listed or
    // named. Bytes() is then a lower bound.
    bool Partial() const { return partial; }

private:
    struct PendingFolder {
        std::string path;
        int depth;
    };

    void ListNextFolder();
    void TakeEntry();
    void Stop(bool complete);

    const size_t maxEntries;
    const int maxDepth;
    std::vector<PendingFolder> pending;
    PendingFolder current;
    std::unique_ptr<FolderListing> listing;  // of current
    ULONGLONG bytes = 0;
    size_t entries = 0;
    bool finished = true;
    bool partial = false;
};

// Whether folder may be measured: an existing folder the analysis's screening
// accepts as a program's own (CTraceAnalyzer::ScreenTarget), never a system, shared,
// shortcut or too-wide folder, or one on a server.
bool MayMeasureFolder(const char* folder);

// The same screening for many folders: the machine's folders it screens against are
// read once, on the first question (reading them costs tens of milliseconds).
class CFolderScreen {
public:
    CFolderScreen();
    ~CFolderScreen();
    CFolderScreen(const CFolderScreen&) = delete;
    CFolderScreen& operator=(const CFolderScreen&) = delete;

    bool MayMeasure(const char* folder);

private:
    std::unique_ptr<CAnalysisContext> context;
    bool loaded = false;
};
