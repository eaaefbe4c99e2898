// The smart-uninstall engine: finds the folder a program lives in and lists every
// trace of it (files, folders, shortcuts, registry keys and values), reporting each
// one at once to its caller's sink; removes the ticked ones.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "framework/RegKey.h"
#include "framework/RegistryView.h"
#include "inventory/UninstallEntries.h"
#include "smart/ProgramNames.h"
#include "smart/ProtectedFolders.h"
#include "smart/TraceItem.h"
#include "smart/TraceList.h"
#include "smart/TraceRemoval.h"
#include "smart/TraceSink.h"
#include "smart/UninstallClues.h"

// What becomes of a named target before any analysis.
enum TargetVerdict {
    TARGET_IGNORED,   // no absolute path, or a file directly in a drive root: nothing happens
    TARGET_REFUSED,   // a system folder, a folder too wide to be a program's, a network path
    TARGET_ACCEPTED,  // full holds the path to analyse
};

class CTraceAnalyzer {
public:
    CTraceAnalyzer();
    virtual ~CTraceAnalyzer();
    CTraceAnalyzer(const CTraceAnalyzer&) = delete;
    CTraceAnalyzer& operator=(const CTraceAnalyzer&) = delete;

    // Analyses target (a shortcut, an executable or a folder) and reports every trace
    // to sink. 1 when searched, 0 when refused.
    int Analyze(TraceSink& sink, const char* target);

    // Picks from an uninstall entry's texts, before its uninstaller runs, the folders
    // that may be the product's own: its install location and icon's folder, and its
    // uninstaller's folder when that lies inside one of them and serves no other entry;
    // each screened with ScreenLeftoverFolder.
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
    void Clear();

    // Removes the ticked traces (checked[i] ticks item i) in one run, keeping the
    // unticked ones, saving them first with saver when there is one (see
    // RemoveTraces). The list itself is unchanged.
    RemovalTally RemoveChecked(const std::vector<bool>& checked, RemovalSaver* saver = nullptr);

    size_t GetItemCount() const { return traces.Count(); }
    const TraceItem* GetItem(size_t index) const { return traces.At(index); }
    const std::vector<std::string>& GetProgramFolders() const { return programFolders; }
    // The program's own files when its folder is too wide to be adopted.
    const std::vector<std::string>& GetProgramFiles() const { return programFiles; }

private:
    // A registered entry as ReadUninstallEntries reads it, and what the analysis makes of it.
    struct UninstallEntryPaths : UninstallEntry {
        std::string folders[3];        // the install location, the uninstaller's and the icon's folder
        std::string uninstallProgram;  // the program its uninstall command runs, named in full
        bool own = false;              // the program's own entry (see LoadProgramNames)
    };
    // What a class key (a ProgID, file type or protocol) holds of the program: the
    // verbs whose command runs it and whether the whole key is its own. Read once
    // per name, since extensions and the class walk both ask.
    struct ClassRoute {
        bool whole = false;
        std::string classId;                // its class, when the program serves it
        std::vector<std::string> ownVerbs;  // shell\<verb> keys that run the program
    };

    // Reports go to a sink for the length of one call of the interface above.
    class SinkScope {
    public:
        SinkScope(CTraceAnalyzer* analyzer, TraceSink* sink) : analyzer(analyzer), saved(analyzer->traces.Sink())
        {
            analyzer->traces.ReportTo(sink);
        }
        ~SinkScope() { analyzer->traces.ReportTo(saved); }
        SinkScope(const SinkScope&) = delete;
        SinkScope& operator=(const SinkScope&) = delete;

    private:
        CTraceAnalyzer* analyzer;
        TraceSink* saved;
    };

    // ScreenTarget with the folders of the machine already read (LoadContext).
    TargetVerdict ScreenWithContext(const char* typed, char* full);
    // Whether folder may be taken for a program's own folder (full: its MAX_PATH full
    // form): no system, shared or shortcut folder, none that holds another product.
    bool ScreenLeftoverFolder(const char* folder, char* full);

    // Analysis (TraceAnalyzer.cpp)
    void LoadContext();
    // Every search after the program's folders are known; clues name the product
    // whose leftovers are searched for.
    void SearchEverywhere(const UninstallClues* clues);
    void AddTrace(int kind, const char* path, const char* valueName, HKEY root, WeakReason weakReason = WEAK_NONE)
    {
        traces.Add(kind, path, valueName, root, weakReason);
    }
    bool IsListed(int kind, const char* path) const { return traces.IsListed(kind, path); }
    void KeepResponsiveIfDue() { traces.KeepResponsiveIfDue(); }
    bool NothingToMatch() const { return programFolders.empty() && programFiles.empty(); }
    // The Windows folder's path appears in path.
    bool IsInWindowsFolder(const char* path) const;
    bool IsSystemFolder(const char* path) const;
    bool IsInProgramFolders(const char* path) const;
    bool PointsIntoProgram(const char* target) const;
    bool AdoptFolder(const char* folder, const char* programFile);
    void ChooseProgramFolder(const char* target, bool isFile);
    void FollowNamedShortcut(const char* shortcutPath);
    void CollectFolder(const char* folder, WeakReason weakReason = WEAK_NONE);
    bool IsCollectable(const char* folder) const;
    void FollowCollectedShortcut(const char* shortcutPath);
    bool MayListOutsideFolder(const char* folder);
    bool ReadTargetPath(const char* shortcutPath, char* target) const;
    void ReadEntryFolders(UninstallEntryPaths* entry) const;
    void LoadUninstallEntries();
    bool HoldsOtherProduct(const char* folder);
    void SearchShortcutFolder(const char* folder);
    bool SearchProgramsMenu(const char* folder, int depth);

    // Registry searches (RegistryTraceSearch.cpp, FileTypeTraceSearch.cpp)
    void CollectRegistryKey(HKEY root, const char* keyPath);
    bool NamesProgram(const char* text) const;
    bool NamesOtherProgram(const char* text) const;
    void SearchClsidKeys();
    void SearchFileTypes();
    void SearchClassKeys(const RegistryPlace& place, bool skipUserClasses);
    bool IsUserClassSeenAsMachine(const char* name) const;
    void ExamineClassKey(HKEY classes, const char* name);
    // Whether the class's server is the program: in one place's CLSID key, in any.
    bool ClassServerMatchesIn(const RegistryPlace& clsidPlace, const char* classId);
    bool ClassServerMatches(const char* classId);
    void CollectClass(const char* classId);
    void ReadClassRoute(HKEY classes, const char* name, ClassRoute* route);
    const ClassRoute& CachedClassRoute(HKEY classes, const char* name);
    bool ReadOwnVerbs(HKEY classes, const char* name, std::vector<std::string>* verbs) const;
    bool KeyNamesOtherProgram(HKEY classes, const char* keyPath, const char* progId, int depth, int* budget);
    void SearchUninstallEntries();
    void SearchRunValues(HKEY root, const char* keyPath);
    bool ValueNamesProgram(const RegValue& value) const;

    // The program's names and its own entries (LeftoverAnalysis.cpp)
    void LoadProgramNames(const UninstallClues* clues);
    bool IsOwnEntry(const UninstallEntryPaths& entry, const UninstallClues* clues) const;
    // A folder that another registered product names, at, above or below it.
    bool IsOtherProductFolder(const char* folder) const;
    // A path in the text lies in another registered product's folder (not the program's).
    bool NamesOtherProduct(const char* text) const;
    bool RegisteredLocationAbove(const char* folder, const char* programFile, char* location);
    bool IsSharedUninstaller(const char* program, const UninstallClues& clues);

    // Settings and data by name (SettingsTraceSearch.cpp)
    struct KeyVerdict {
        bool namesProgram = false;  // a value names the program
        bool namesOther = false;    // a value names another registered product
        bool complete = true;       // the whole key was read
    };
    void SearchSoftwareKeys(HKEY root, const char* softwarePath);
    KeyVerdict JudgeKey(HKEY root, const char* keyPath);
    void JudgeKeyTree(HKEY root, const char* keyPath, int depth, int* budget, KeyVerdict* verdict);
    bool ExamineNamedKey(HKEY root, const char* keyPath, bool needsProgramValue);
    void ExamineVendorKey(HKEY root, const char* vendorPath);
    void ProbeProductKeys(HKEY root, const char* vendorPath);
    bool ListOtherSettings(HKEY root, const char* keyPath, bool* mayHoldKeys = nullptr);
    void SearchDataFolders();
    bool AdoptDataFolder(const char* folder, bool isLink);
    void SearchVendorDataFolder(const char* vendorFolder);

    CTraceList traces;
    std::vector<std::string> programFolders;
    std::vector<std::string> programFiles;

    // Per analysis: the folders the searches test against, and caches.
    char windowsFolder[MAX_PATH];
    char programsFolder[MAX_PATH];
    char commonProgramsFolder[MAX_PATH];
    char desktopFolder[MAX_PATH];
    char commonDesktopFolder[MAX_PATH];
    ProtectedFolders protectedFolders;
    std::vector<UninstallEntryPaths> uninstallEntries;
    bool uninstallEntriesLoaded;
    std::unordered_map<std::string, bool> classServerMatches;
    std::unordered_map<std::string, ClassRoute> classRoutes;  // by the exact name
    std::vector<RegistryPlace> clsidPlaces;  // the CLSID key of each view of the classes, and the user's
    std::unordered_set<std::string> walkedClsidPaths;  // those whose every class the CLSID walk met
    RegistryPlace classesPlace;           // the classes the file-type walk is in
    std::unordered_set<std::string> userClassNames;  // folded names of the user's own classes
    ProgramNames names;
    std::unordered_set<std::string> otherProductNames;  // name keys of the other registered products
    const UninstallClues* leftoverClues = nullptr;      // while the leftovers of a product are searched
    std::vector<std::string> namedPrograms;  // the program files the user named (the target, a shortcut's)
};
