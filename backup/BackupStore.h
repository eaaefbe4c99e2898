// Where the backups of removal runs live: a store below the machine's common
// application data that only the system and administrators can change, one folder
// per run named by the run's time and the program, and an index of the runs so that
// a folder removed by hand still shows, as gone. The store and a run's folder are
// checked each time they are used; backups that earlier versions kept in the user's
// application data are shown where they are, never restored or deleted.
#pragma once
#include "backup/StoreTrust.h"

#include <windows.h>

#include <string>
#include <vector>

enum BackupState {
    BACKUP_READY,     // can be restored
    BACKUP_RESTORED,  // restored once; restoring again fills in only what is missing
    BACKUP_DAMAGED,   // its list cannot be read whole or does not hold together: it is refused
    BACKUP_GONE,      // its folder is no longer there
    BACKUP_UNSAFE,    // in a place others can change: never restored or deleted by the program
};

struct BackupSummary {
    std::string name;     // the run's folder name
    std::string folder;   // full path of the run's folder
    std::string time;     // "YYYY-MM-DD HH:MM:SS"
    std::string program;
    int items = -1;       // traces in the list; -1 when it was not read
    BackupState state = BACKUP_GONE;
};

// The names inside a run's folder.
extern const char kBackupListName[];      // the list of traces
extern const char kBackupRegistryName[];  // the registry traces, REGEDIT4
extern const char kBackupFilesName[];     // the folder of moved and copied files
extern const char kBackupRestoredName[];  // present once the backup was restored

class CBackupStore {
public:
    // <common application data>\UninstallManager\Backups; the runs in the user's
    // <application data>\UninstallManager\Backups are listed as unsafe.
    CBackupStore();
    // <dataFolder>\UninstallManager\Backups, judged by trust (which outlives the
    // store); formerRoot, when given, is listed as unsafe.
    explicit CBackupStore(const std::string& dataFolder, const CStoreTrust& trust = DefaultStoreTrust(),
                          const std::string& formerRoot = std::string());

    const std::string& Root() const { return root; }
    // The store as it is now: FOLDER_SAFE when it may be used.
    FolderCheck Check() const;
    // Makes the store when it is missing, then checks it: FOLDER_SAFE when it may be used.
    FolderCheck MakeStore() const;
    // What the store's folders and files are judged by.
    const CStoreTrust& Trust() const { return *trust; }
    // Makes the store when it is missing and a new, empty folder for a run of program
    // now, entered in the index; *name is the folder's name. Anything but FOLDER_SAFE
    // means nothing may be saved (FOLDER_MISSING: it could not be made).
    FolderCheck CreateRunFolder(const std::string& program, std::string* name) const;
    // The folder of the run named name, when it lies directly in a safe store and it
    // and its files folder pass the check; false otherwise.
    bool RunFolder(const std::string& name, std::string* folder) const;
    // Every run of the store (when it is safe) and of the unsafe places, newest first.
    std::vector<BackupSummary> List() const;
    // Removes the run named name for good and its index line: the plain files in its
    // folder and in its files folder, links there as links, nothing through a link
    // and nothing outside. False when something of it stays or it may not be touched.
    bool Delete(const std::string& name) const;

private:
    BackupSummary Summarize(const std::string& name) const;
    std::vector<std::string> IndexNames() const;
    bool WriteIndex(const std::vector<std::string>& names) const;

    std::string appFolder;  // <dataFolder>\UninstallManager
    std::string root;
    std::string formerRoot;
    const CStoreTrust* trust;
};

// The name of a run's folder: "YYYYMMDD-HHMMSS program", the program's name made a
// plain file name of at most 64 bytes (double-byte characters kept whole).
std::string RunFolderName(const SYSTEMTIME& time, const std::string& program);

// Whether name can be the name of a run's folder: "YYYYMMDD-HHMMSS " and a plain
// name without "..", at most 128 bytes.
bool IsRunName(const std::string& name);
