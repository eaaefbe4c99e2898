// Watches a product's uninstaller until it and every process it started have ended,
// without blocking: the page asks IsRunning from a timer.
#pragma once
#include "framework/Handles.h"
#include "inventory/UninstallCommand.h"

#include <set>
#include <string>
#include <vector>

// What an ended uninstall left registered.
enum UninstallOutcome {
    UNINSTALL_REMOVED,          // the entry is gone: what the uninstaller left is looked for
    UNINSTALL_CANCELLED,        // the entry and the folder's names are as they were
    UNINSTALL_STILL_INSTALLED,  // the entry stays though the folder changed (a log, a repair)
};

// What an uninstaller's exit code says, in Windows Installer's codes, which other
// setups use too.
enum ExitMeaning {
    EXIT_DONE,            // 0
    EXIT_RESTART_NEEDED,  // 3010, 1641: done, and the machine must restart to finish
    EXIT_NOT_INSTALLED,   // 1605: the product is not installed
    EXIT_INSTALLER_BUSY,  // 1618: another installation is running; try again later
    EXIT_FAILED,          // any other
};

ExitMeaning MeaningOfExitCode(DWORD code);

class CUninstallWatch {
public:
    CUninstallWatch();
    // Starts the uninstall command inside a job of its own (see StartUninstallCommand).
    // entryRoot\entryKey is the product's uninstall entry and folder its main folder
    // (may be empty): they tell a cancelled uninstall from one that goes on elsewhere.
    CommandStart Start(const char* command, HKEY entryRoot, const std::string& entryKey, const std::string& folder);
    // True while a process of the uninstaller runs. When the job cannot hold them (the
    // system refused, or a process broke away) the uninstaller's own process counts,
    // and after it, for a while, an entry still there while the folder has changed.
    bool IsRunning();
    // Stops watching; the uninstaller runs on.
    void Stop();
    bool IsWatching() const { return static_cast<bool>(process); }
    // Whether the product is still registered, and whether its folder changed.
    UninstallOutcome Outcome() const;
    // The exit code of the uninstaller's own process (the one the command started)
    // once it has ended; false while it runs or when nothing was started.
    bool ExitCode(DWORD* code) const;
    // Whether a process of the uninstaller (or its own, when the job cannot tell)
    // shows a visible top-level window.
    bool ShowsWindow() const;
    // How long an entry still there is watched after the processes ended while the
    // folder changes (tests shorten it).
    void SetBreakawayGrace(DWORD ms) { breakawayGraceMs = ms; }

private:
    std::set<std::string> FolderNames() const;
    bool EntryExists() const;

    OwnedKernel job;
    OwnedKernel process;
    bool jobHoldsTree = false;
    DWORD endedTick = 0;  // when the last watched process ended
    DWORD breakawayGraceMs;
    HKEY entryRoot = nullptr;
    std::string entryKey;
    std::string folder;
    std::set<std::string> folderNames;
};
