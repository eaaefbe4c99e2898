// Deleting what traces name, and deleting files at the next start of the machine.
#pragma once
#include "smart/TraceItem.h"

#include <vector>

// What became of one row of a removal run.
enum RemovalOutcome {
    REMOVAL_IGNORED,    // unticked, or not a trace that removal acts on
    REMOVAL_DONE,       // gone (also when it was gone before)
    REMOVAL_SCHEDULED,  // deleted at the next start
    REMOVAL_KEPT,       // a ticked folder or key that stays only for unticked rows inside it
    REMOVAL_FAILED,     // still there: refused, denied, in use and not schedulable
};

// The outcome of every row of one run.
struct RemovalTally {
    std::vector<RemovalOutcome> outcomes;
    int Count(RemovalOutcome outcome) const;
};

// Removes the ticked rows of one run together: checked[i] ticks items[i] (rows past
// the end of checked are unticked). An unticked row stays, and so do the folders and
// keys on the way to it; all else in a ticked folder or key goes, values and subkeys
// that were never listed included. A file that can only be deleted at the next start
// takes its ticked folders along at that start. Links are removed as links, never
// followed; a name with '?' or '*' cannot be addressed and is refused.
RemovalTally RemoveTraces(const std::vector<const TraceItem*>& items, const std::vector<bool>& checked);

// Deletes a file now or, when it is in use, schedules it for deletion at the next
// start. A file that is gone counts as deleted; a link is deleted as itself.
RemovalOutcome DeleteFileOrSchedule(const char* path);

// Removes an empty folder, or a folder link as itself (never the folder it leads
// to). ERROR_SUCCESS when it is gone (also when it was gone before), else why it stays.
DWORD RemoveFolderOrLink(const char* path);

// Schedules a folder for removal at the next start, where it goes once empty.
bool ScheduleFolderRemoval(const char* path);

// False for a path with '?' or '*': a wildcard, or a name the code page cannot spell.
bool IsAddressablePath(const char* path);

// Adds "NUL=<short path>" to the [rename] section of wininit.ini (95/98/Me family).
bool ScheduleDeleteViaWininit(const char* path);

// Full path of wininit.ini in the Windows folder.
bool GetWininitPath(char* buffer, size_t size);
