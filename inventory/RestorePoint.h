// A system restore point before a batch of uninstalls, where the system offers one;
// never required. SRSetRestorePointA is looked up at run time in the system folder's
// srclient.dll (XP has one; servers and Wine's answer no).
#pragma once
#include "framework/Handles.h"

#include <windows.h>

#include <string>

enum RestorePointResult {
    RESTORE_POINT_CREATED,
    RESTORE_POINT_UNAVAILABLE,  // no System Restore here, or it is turned off
    RESTORE_POINT_REFUSED,      // the system would not make one now
};

class CRestorePoint {
public:
    // libraryFolder: where srclient.dll is loaded from; the system folder when empty
    // (tests name another).
    explicit CRestorePoint(const std::string& libraryFolder = std::string());
    // Ends a begun restore point as finished.
    ~CRestorePoint();
    CRestorePoint(const CRestorePoint&) = delete;
    CRestorePoint& operator=(const CRestorePoint&) = delete;

    // Begins a restore point for removing programs, named description (at most 63
    // bytes are kept). On Windows this may take seconds.
    RestorePointResult Begin(const char* description);
    // Ends the begun restore point: kept, or (cancel) dropped because nothing changed.
    void End(bool cancel = false);

private:
    OwnedModule library;
    bool begun = false;
    INT64 sequence = 0;
};
