// Putting a backup back: every file and folder where it was (never over a file
// that is there now, never through a link), the registry traces imported with the
// program's own reader, and the restored files taken out of the deletions waiting
// for the next start. A backup is read whole and checked before anything changes.
#pragma once
#include "backup/BackupList.h"
#include "backup/BackupStore.h"
#include "backup/RegFile.h"

#include <string>

struct RestoreTally {
    int restored = 0;  // back in place (or found in place as it was)
    int failed = 0;    // could not be put back; what is there now was left alone
};

class CRestoreRun {
public:
    // The run named name of store.
    CRestoreRun(const CBackupStore& store, const std::string& name) : store(store), name(name) {}

    // Reads the list and the .reg file whole and checks them and every saved file:
    // false with a reason when the run is not in a safe store, or anything is
    // damaged, edited or does not hold together. Then nothing is changed.
    bool Load(std::string* reason);
    // Restores what Load read and checked, and marks the backup restored; nothing
    // when Load did not succeed or the run's folder no longer passes the check.
    RestoreTally Run();

private:
    bool CoversRegistry() const;
    bool HoldsSavedFiles() const;
    bool RestoreFile(const BackupEntry& entry);

    CBackupStore store;
    std::string name;
    std::string folder;
    BackupList list;
    CRegFile registry;
    bool loaded = false;
};
