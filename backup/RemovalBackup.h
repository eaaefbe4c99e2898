// The backup of one removal run, made before the run changes anything: the registry
// traces written to a .reg file, the files moved (or, where they cannot be moved,
// copied) into the run's folder, the folders' attributes and times noted, and the
// list of it all. A removal of a trace that could not be saved does not happen.
#pragma once
#include "backup/BackupList.h"
#include "backup/BackupStore.h"
#include "smart/TraceRemoval.h"

#include <string>
#include <vector>

class CRegFileWriter;

class CRemovalBackup : public RemovalSaver {
public:
    CRemovalBackup(const CBackupStore& store, const std::string& program);
    CRemovalBackup(const CRemovalBackup&) = delete;
    CRemovalBackup& operator=(const CRemovalBackup&) = delete;

    // Saves every trace marked in toRemove. False when the backup could not be made
    // whole (no room, the folder cannot be written, the store is not safe): then the
    // files are back where they were, the run's folder is gone and nothing may be removed.
    bool Save(const std::vector<const TraceItem*>& items, const std::vector<bool>& toRemove) override;
    bool IsSaved(size_t index) const override { return HoldOf(index) != HOLD_NONE; }
    // How items[index] was saved (HOLD_NONE for what Save was not asked to save).
    BackupHold HoldOf(size_t index) const;
    bool Finish(const std::vector<RemovalOutcome>& outcomes) override;
    const std::string& Folder() const { return folder; }
    const std::string& RunName() const { return runName; }
    // What the store was found to be when Save asked for a run's folder: anything
    // but FOLDER_SAFE and FOLDER_MISSING says the store is not one to trust.
    FolderCheck StoreCheck() const { return storeCheck; }

private:
    void SaveRegistry(const TraceItem& item, BackupEntry* entry, CRegFileWriter* registry);
    // False when the backup itself could not be written.
    bool SaveFile(const TraceItem& item, size_t entryIndex, BackupEntry* entry);
    // Undoes the saving of one file: a moved one goes back, a copy goes. False when
    // it cannot, which stops the run.
    bool UnsaveFile(const std::string& original, BackupEntry* entry);
    // False when a moved file could not be put back.
    bool PutFilesBack();
    bool Abandon();
    bool IsSavedKey(HKEY root, const char* path) const;

    CBackupStore store;
    std::string program;
    std::string runName;
    std::string folder;
    FolderCheck storeCheck = FOLDER_SAFE;
    BackupList list;
    std::vector<int> entryOf;  // item index -> list entry, -1 when none
    std::vector<std::pair<HKEY, std::string>> savedKeys;
    std::vector<BackupEntry> linkEntries;  // links met below saved keys
};

// Attributes and times of a file or folder (a link's own); false when it is not there.
bool ReadFileTimes(const char* path, BackupEntry* entry);
// Sets a file's or folder's times as noted; false when it cannot.
bool WriteFileTimes(const char* path, const BackupEntry& entry);
