// Where the backups of removal runs live: one folder per run below the user's
// application data, named by the run's time and the program, and an index of the
// runs so that a folder removed by hand still shows, as gone.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

enum BackupState {
    BACKUP_READY,     // can be restored
    BACKUP_RESTORED,  // restored once; restoring again fills in only what is missing
    BACKUP_DAMAGED,   // its list cannot be read whole: it is refused
    BACKUP_GONE,      // its folder is no longer there
};

struct BackupSummary {
    std::string folder;   // full path of the run's folder
    std::string time;     // "YYYY-MM-DD HH:MM:SS"
    std::string program;
    int items = -1;       // traces in the list; -1 when it cannot be read
    BackupState state = BACKUP_GONE;
};

// The names inside a run's folder.
extern const char kBackupListName[];      // the list of traces
extern const char kBackupRegistryName[];  // the registry traces, REGEDIT4
extern const char kBackupFilesName[];     // the folder of moved and copied files
extern const char kBackupRestoredName[];  // present once the backup was restored

class CBackupStore {
public:
    // <application data>\UninstallManager\Backups
    CBackupStore();
    explicit CBackupStore(const std::string& root) : root(root) {}

    const std::string& Root() const { return root; }
    // Makes a new, empty folder for a run of program now and enters it in the index.
    bool CreateRunFolder(const std::string& program, std::string* folder) const;
    // Every run in the index or in the root, newest first.
    std::vector<BackupSummary> List() const;
    // Removes a run's folder for good (a folder link inside it as a link) and its
    // index line. False when something of it stays.
    bool Delete(const std::string& folder) const;

private:
    std::vector<std::string> IndexNames() const;
    bool WriteIndex(const std::vector<std::string>& names) const;

    std::string root;
};

// The name of a run's folder: "YYYYMMDD-HHMMSS program", the program's name made a
// valid file name of at most 64 bytes (double-byte characters kept whole).
std::string RunFolderName(const SYSTEMTIME& time, const std::string& program);
