// The smart-uninstall engine: finds the folder a program lives in and lists every
// trace of it (files, folders, shortcuts, registry keys and values), reporting each
// one at once to a notify window; removes listed traces by index.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "smart/ProtectedFolders.h"
#include "smart/TraceItem.h"
#include "smart/TraceRemoval.h"

// False for a missing or empty path; otherwise isFile tells a file from a folder.
bool PathExists(const char* path, bool* isFile);

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
    // to notifyWindow with WM_TRACE_NOTIFY. 1 when searched, 0 when refused.
    int Analyze(HWND notifyWindow, const char* target);

    // Makes typed full (full: MAX_PATH bytes) and screens it the way Analyze does.
    TargetVerdict ScreenTarget(const char* typed, char* full);

    // Frees every trace; item pointers handed out before become invalid.
    void Clear();

    // Deletes the trace at index (files that cannot go now are scheduled for the next
    // start). The list itself is unchanged, so indexes stay valid for a whole run.
    RemovalOutcome RemoveItem(unsigned index);

    size_t GetItemCount() const { return items.size(); }
    const TraceItem* GetItem(size_t index) const;
    const std::vector<std::string>& GetProgramFolders() const { return programFolders; }
    // The program's own files when its folder is too wide to be adopted.
    const std::vector<std::string>& GetProgramFiles() const { return programFiles; }

private:
    struct UninstallEntryPaths {
        std::string folders[3];  // the install location, the uninstaller's and the icon's folder
    };
    // What a class key says about its server: the open command or, without one,
    // the class id. Read once per name, since extensions and the class walk both ask.
    struct ClassRoute {
        bool formatted = false;  // the command key path fitted
        bool hasCommand = false;
        bool hasClassId = false;
        std::string command;
        std::string classId;
    };

    // Analysis (TraceAnalyzer.cpp)
    void LoadContext();
    // weakReason: 0 for a certain trace, else the string id of why it is weak evidence.
    void AddTrace(int kind, const char* path, const char* valueName, HKEY root, UINT weakReason = 0);
    bool IsListed(int kind, const char* path) const;
    bool IsBelowListedKey(int kind, HKEY root, const char* path) const;
    void PumpMessages();
    void PumpIfDue();
    bool MatchesProgramFolder(const char* text) const;
    bool NothingToMatch() const { return programFolders.empty() && programFiles.empty(); }
    bool IsSystemFolder(const char* path) const;
    bool IsInProgramFolders(const char* path) const;
    bool PointsIntoProgram(const char* target) const;
    bool AdoptFolder(const char* folder, const char* programFile);
    void ChooseProgramFolder(const char* target, bool isFile);
    void FollowNamedShortcut(const char* shortcutPath);
    void CollectFolder(const char* folder, UINT weakReason = 0);
    bool IsCollectable(const char* folder) const;
    void FollowCollectedShortcut(const char* shortcutPath);
    bool MayListOutsideFolder(const char* folder);
    bool ReadTargetPath(const char* shortcutPath, char* target) const;
    void LoadUninstallEntries();
    bool HoldsOtherProduct(const char* folder);
    void SearchShortcutFolder(const char* folder);
    bool SearchProgramsMenu(const char* folder, int depth);

    // Registry searches (RegistryTraceSearch.cpp)
    void CollectRegistryKey(HKEY root, const char* keyPath);
    void SearchClsidKeys();
    void SearchFileTypes();
    void ExamineExtension(HKEY classes, HKEY clsid, const char* name);
    void ExamineClass(HKEY classes, HKEY clsid, const char* name);
    bool ClassServerMatches(HKEY clsid, const char* classId);
    void ReadClassRoute(HKEY classes, const char* name, ClassRoute* route) const;
    const ClassRoute& CachedClassRoute(HKEY classes, const char* name);
    void SearchSubkeysByValue(HKEY root, const char* keyPath);
    void SearchRunValues(HKEY root, const char* keyPath);
    bool ValueNamesProgram(DWORD type, char* data, DWORD dataSize) const;

    std::vector<std::unique_ptr<TraceItem>> items;
    std::vector<std::string> programFolders;
    std::vector<std::string> programFiles;
    HWND notifyWindow;
    std::unordered_set<std::string> listed;  // every listed trace, folded, for "once only"

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
    DWORD lastPumpTick;
};
