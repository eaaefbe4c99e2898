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
    bool notSaved = false;  // the backup could not be made, so nothing was removed
    int Count(RemovalOutcome outcome) const;
};

// Keeps what a run is about to remove, so that it can be put back.
class RemovalSaver {
public:
    virtual ~RemovalSaver() = default;
    // Saves the rows marked in toRemove before anything is removed; false when the
    // backup cannot be made whole (then nothing may be removed).
    virtual bool Save(const std::vector<const TraceItem*>& items, const std::vector<bool>& toRemove) = 0;
    // Whether items[index] was saved (or was not there to save); a row that was not
    // is left in place.
    virtual bool IsSaved(size_t index) const = 0;
    // Notes what became of each row.
    virtual bool Finish(const std::vector<RemovalOutcome>& outcomes) = 0;
};

// Removes the ticked rows of one run together: checked[i] ticks items[i] (rows past
// the end of checked are unticked). An unticked row stays, and so do the folders and
// keys on the way to it; all else in a ticked folder or key goes, values and subkeys
// that were never listed included. A file that can only be deleted at the next start
// takes its ticked folders along at that start. Links are removed as links, never
// followed: a key or value whose path passes a registry link stays (REMOVAL_FAILED).
// A name with '?' or '*' cannot be addressed and is refused.
// With a saver, every row is saved before the first deletion; a row that could not
// be saved stays (REMOVAL_FAILED), and when the backup fails nothing is removed.
RemovalTally RemoveTraces(const std::vector<const TraceItem*>& items, const std::vector<bool>& checked,
                          RemovalSaver* saver = nullptr);

// Deletes a file now or, when it is in use, schedules it for deletion at the next
// start. A file that is gone counts as deleted; a link is deleted as itself.
RemovalOutcome DeleteFileOrSchedule(const char* path);

// Removes an empty folder, or a folder link as itself (never the folder it leads
// to). ERROR_SUCCESS when it is gone (also when it was gone before), else why it stays.
DWORD RemoveFolderOrLink(const char* path);

// Schedules a folder for removal at the next start, where it goes once empty.
bool ScheduleFolderRemoval(const char* path);

// True when opening path reaches another file than the one the path names: a link
// that the platform does not show as one (Wine lists a Unix symbolic link to a file
// as a plain file; deleting or moving it acts on the file it leads to).
bool ReachesAnotherFile(const char* path);

// True when a folder on path, from its drive root down to its own folder, is a link
// (a reparse point): how ReachesAnotherFile answers where the platform cannot give a
// file's final path (Windows XP). What is no full path, or too long, counts as one.
bool PassesThroughFolderLink(const char* path);

// False for a path with '?' or '*': a wildcard, or a name the code page cannot spell.
bool IsAddressablePath(const char* path);

// Adds "NUL=<short path>" to the [rename] section of wininit.ini (95/98/Me family).
bool ScheduleDeleteViaWininit(const char* path);

// wininit.ini is a few lines: a larger one is not read (nor added to).
const DWORD kLargestWininit = 4 * 1024 * 1024;

// Full path of wininit.ini in the Windows folder.
bool GetWininitPath(char* buffer, size_t size);
