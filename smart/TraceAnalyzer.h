// The smart-uninstall engine: finds the folder a program lives in and lists every
// trace of it (files, folders, shortcuts, registry keys and values), reporting each
// one at once to its caller's sink; removes the ticked ones. Each search is a class
// of its own over one shared context (AnalysisContext.h); this class runs them in
// the list's order and keeps the list between the analysis and the removal.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "smart/AnalysisContext.h"
#include "smart/ProgramLocator.h"
#include "smart/TraceItem.h"
#include "smart/TraceRemoval.h"
#include "smart/TraceSink.h"
#include "smart/UninstallClues.h"

class CTraceAnalyzer {
public:
    CTraceAnalyzer() = default;
    CTraceAnalyzer(const CTraceAnalyzer&) = delete;
    CTraceAnalyzer& operator=(const CTraceAnalyzer&) = delete;

    // Analyses target (a shortcut, an executable or a folder) and reports every trace
    // to sink. 1 when searched, 0 when refused.
    int Analyze(TraceSink& sink, const char* target);

    // Picks from an uninstall entry's texts, before its uninstaller runs, the folders
    // that may be the product's own: its install location and icon's folder, and its
    // uninstaller's folder when that lies inside one of them and serves no other entry;
    // each screened as a leftover folder.
    void NoteUninstallClues(UninstallClues* clues);
    // The folders the analysis reads from the entry registered at root\keyPath: its
    // install location, its uninstaller's and its icon's folder, each once (no system
    // folder). What it judges other products by; the page's noted folders are picked
    // from the same readings.
    std::vector<std::string> RegisteredFolders(HKEY root, const char* keyPath);
    // Analyses what an uninstaller left of a product: its noted folders, but those
    // that a remaining entry names (at, above or below), whether or not they are still
    // there, and its own settings and data found by its names. 1 when searched.
    int AnalyzeLeftovers(TraceSink& sink, const UninstallClues& clues);

    // Makes typed full (full: MAX_PATH bytes) and screens it the way Analyze does;
    // the shell's first calls are slow, so a sink is kept responsive meanwhile.
    TargetVerdict ScreenTarget(const char* typed, char* full, TraceSink* sink = nullptr);

    // Frees every trace; item pointers handed out before become invalid.
    void Clear() { context.traces.Clear(); }

    // Removes the ticked traces (checked[i] ticks item i) in one run, keeping the
    // unticked ones, saving them first with saver when there is one (see
    // RemoveTraces). The list itself is unchanged.
    RemovalTally RemoveChecked(const std::vector<bool>& checked, RemovalSaver* saver = nullptr);

    size_t GetItemCount() const { return context.traces.Count(); }
    const TraceItem* GetItem(size_t index) const { return context.traces.At(index); }
    const std::vector<std::string>& GetProgramFolders() const { return context.programFolders; }
    // The program's own files when its folder is too wide to be adopted.
    const std::vector<std::string>& GetProgramFiles() const { return context.programFiles; }

private:
    // Reports go to a sink for the length of one call of the interface above.
    class SinkScope {
    public:
        SinkScope(CTraceList& traces, TraceSink* sink) : traces(traces), saved(traces.Sink())
        {
            traces.ReportTo(sink);
        }
        ~SinkScope() { traces.ReportTo(saved); }
        SinkScope(const SinkScope&) = delete;
        SinkScope& operator=(const SinkScope&) = delete;

    private:
        CTraceList& traces;
        TraceSink* saved;
    };

    // A new list and no program yet.
    void StartAnalysis();
    // Every search after the program's folders are known; clues name the product
    // whose leftovers are searched for.
    void SearchEverywhere(const UninstallClues* clues);

    CAnalysisContext context;
};
