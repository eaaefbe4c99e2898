// The smart-uninstall engine: finds the folder a program lives in and lists every
// trace of it (files, folders, shortcuts, registry keys and values), reporting each
// one at once to a notify window; removes the ticked ones.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "smart/ProtectedFolders.h"
#include "smart/TraceItem.h"
#include "smart/TraceRemoval.h"

// False for a missing or empty path; otherwise isFile tells a file from a folder.
bool PathExists(const char* path, bool* isFile);

class CTraceAnalyzer {
public:
    CTraceAnalyzer();
    virtual ~CTraceAnalyzer();
    CTraceAnalyzer(const CTraceAnalyzer&) = delete;
    CTraceAnalyzer& operator=(const CTraceAnalyzer&) = delete;

    // Analyses target (a shortcut, an executable or a folder) and reports every trace
    // to notifyWindow with WM_TRACE_NOTIFY. 1 when searched, 0 when refused.
    int Analyze(HWND notifyWindow, const char* target);

    // Frees every trace; item pointers handed out before become invalid.
    void Clear();

    // Removes the ticked traces (checked[i] ticks item i) in one run, keeping the
    // unticked ones (see RemoveTraces). The list itself is unchanged.
    RemovalTally RemoveChecked(const std::vector<bool>& checked);

    size_t GetItemCount() const { return items.size(); }
    const TraceItem* GetItem(size_t index) const;
    const std::vector<std::string>& GetProgramFolders() const { return programFolders; }

private:
    struct UninstallEntryPaths {
        std::string texts[3];  // InstallLocation, UninstallString, DisplayIcon
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
    void PumpMessages();
    void PumpIfDue();
    bool IsFolderKnown(const char* path) const;
    bool MatchesProgramFolder(const char* text) const;
    bool IsSystemFolder(const char* path) const;
    bool AdoptFolder(const char* folder, char* adopted);
    void ChooseProgramFolder(const char* target, const char* folder, bool isFile, int* result);
    void CollectShortcutTarget(const char* shortcutPath);
    void CollectFolder(const char* folder);
    bool IsCollectable(const char* folder) const;
    void FollowCollectedShortcut(const char* shortcutPath);
    bool ShortcutTargetFolder(const char* shortcutPath, char* folder) const;
    bool BelongsToOtherProduct(const char* folder);
    void LoadUninstallEntries();
    void SearchShortcutFolder(const char* folder);
    void SearchProgramsMenu(const char* folder, int depth);

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
    HWND notifyWindow;

    // Per analysis: the folders the searches test against, and caches.
    char windowsFolder[MAX_PATH];
    char programsFolder[MAX_PATH];
    char desktopFolder[MAX_PATH];
    char commonDesktopFolder[MAX_PATH];
    ProtectedFolders protectedFolders;
    std::vector<UninstallEntryPaths> uninstallEntries;
    bool uninstallEntriesLoaded;
    std::unordered_map<std::string, bool> classServerMatches;
    std::unordered_map<std::string, ClassRoute> classRoutes;  // by the exact name
    DWORD lastPumpTick;
};
