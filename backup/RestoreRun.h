// Putting a backup back: every file and folder where it was (never over a file
// that is there now), the registry traces imported with the program's own reader,
// and the restored files taken out of the deletions waiting for the next start.
#pragma once
#include "backup/BackupList.h"
#include "backup/RegFile.h"

#include <string>

struct RestoreTally {
    int restored = 0;  // back in place (or found in place as it was)
    int failed = 0;    // could not be put back; what is there now was left alone
};

class CRestoreRun {
public:
    explicit CRestoreRun(const std::string& folder) : folder(folder) {}

    // Reads the list and the .reg file whole. False with a reason when either is
    // damaged, edited or incomplete: then nothing is changed.
    bool Load(std::string* reason);
    // Restores what Load read and marks the backup restored.
    RestoreTally Run();

private:
    bool IsSafeEntry(const BackupEntry& entry) const;
    bool RestoreFile(const BackupEntry& entry);
    bool RestoreFolder(const BackupEntry& entry);

    std::string folder;
    BackupList list;
    CRegFile registry;
};
