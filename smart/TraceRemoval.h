// Deleting what a trace names, and deleting files at the next start of the machine.
#pragma once
#include "smart/TraceItem.h"

// What became of one trace: gone (also when it was gone before), to be deleted at
// the next start, still there, or not a trace that removal acts on.
enum RemovalOutcome {
    REMOVAL_IGNORED,
    REMOVAL_DONE,
    REMOVAL_SCHEDULED,
    REMOVAL_FAILED,
};

// Deletes the file, empty folder, registry key (with its subtree) or value of item.
// Any other kind, and a registry trace with an empty key path, is ignored.
RemovalOutcome DeleteTrace(const TraceItem* item);

// Deletes a file now (attributes reset first) or, when it is held open, schedules
// it for deletion at the next start. A file that is already gone is not scheduled.
RemovalOutcome DeleteFileOrSchedule(const char* path);

// Adds "NUL=<short path>" to the [rename] section of wininit.ini (95/98/Me family).
bool ScheduleDeleteViaWininit(const char* path);

// Full path of wininit.ini in the Windows folder.
bool GetWininitPath(char* buffer, size_t size);
