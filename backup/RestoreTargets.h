// Writing what a backup holds back to its places without following a link that the
// program did not choose: every folder on the way to a file must be a real folder,
// every key on the way to a link key a real key, checked just before the write.
// A file is made new, so it takes the permissions its folder gives it.
#pragma once
#include "backup/BackupList.h"

#include <string>

// Makes the folders of path (path itself when withLast) that are missing, one by
// one from the drive root; false when one on the way is a link or no folder, or one
// cannot be made.
bool MakeFoldersWithoutLinks(const std::string& path, bool withLast);

// Copies the saved file source to entry.path, which must not exist, as a new file
// with entry's attributes and times; the copy must hash to entry.hash, or it is
// removed again. False when anything of it failed.
bool CopySavedFile(const std::string& source, const BackupEntry& entry);

// Whether path is a plain file that holds what the saved file source holds (by size,
// then SHA-256): one put back earlier.
bool HoldsSavedFile(const std::string& path, const std::string& source, const std::string& hash);

// Sets a restored folder's attributes and times, when it is a real folder with no
// link on the way to it.
bool SetFolderAttributesAndTimes(const BackupEntry& entry);

// Makes the link key of entry again (its target in entry.stored, UTF-8) where
// nothing stands now, below keys that are no links. True when it stands there now.
bool RestoreLinkKey(const BackupEntry& entry);
