// The list of one backup: every trace of a removal run with its original place,
// how it was saved and what became of it, and the SHA-256 of the .reg file and of
// every saved file. Written as text with its own SHA-256 at the end, so a list that
// was cut short or damaged is refused as a whole; one that holds an entry no removal
// writes is refused too.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// How a trace was saved before the removal touched it.
enum BackupHold {
    HOLD_NONE = 0,      // not saved, so not removed (it stays where it is)
    HOLD_MOVED = 1,     // the file was moved into the backup
    HOLD_COPIED = 2,    // a copy is in the backup; the original was deleted or scheduled
    HOLD_FOLDER = 3,    // a folder: its attributes and times, to make it again
    HOLD_REGISTRY = 4,  // a key or value: in the backup's .reg file
    HOLD_GONE = 5,      // it was not there when the run began
    HOLD_REGLINK = 6,   // a registry link key: stored holds its target (UTF-8)
};

struct BackupEntry {
    int kind = 0;            // TraceKind
    int hold = HOLD_NONE;    // BackupHold
    int outcome = 0;         // RemovalOutcome of the run (0 until the run ends)
    std::string root;        // registry traces: the root's name
    std::string path;        // file path, or key path below root
    std::string valueName;   // registry values
    std::string stored;      // HOLD_MOVED / HOLD_COPIED: "files\<its index>"; HOLD_REGLINK: the target
    std::string hash;        // HOLD_MOVED / HOLD_COPIED: the saved file's SHA-256
    DWORD attributes = 0;    // files and folders: as they were
    FILETIME created = {}, accessed = {}, written = {};
};

struct BackupList {
    std::string program;     // the analysed program, as the page names it
    std::string time;        // "YYYY-MM-DD HH:MM:SS", local time of the run
    DWORD regSize = 0;       // the .reg file's size and SHA-256
    std::string regHash;
    std::vector<BackupEntry> entries;

    bool Write(const char* file) const;
    // False with a reason when the file is not a whole, unedited list, is larger
    // than a list can be, or holds an entry that no removal writes.
    bool Read(const char* file, std::string* reason);
};

// The largest list and .reg file a backup holds: a removal whose registry traces
// need more is not made, and a larger file is not read.
const DWORD kLargestBackupList = 4 * 1024 * 1024;
const DWORD kLargestBackupRegistry = 64 * 1024 * 1024;

// Whether the bytes from first to end are one plain file name: not empty, not "."
// or "..", no character a file name cannot hold (a trail byte 0x5C is no separator),
// no trailing dot or space (the system would take it for another name).
bool IsPlainName(const char* first, const char* end);

// "X:\name\name...": a drive, then plain names (IsPlainName) joined by single
// backslashes, shorter than MAX_PATH.
bool IsFullFilePath(const std::string& path);

// The stored name of the entry at index: "files\<index>".
std::string StoredNameOf(size_t index);
// Whether entry, the index-th of its list, is one a removal writes: a kind with a
// hold it gives that kind, the fields that hold has and no others, a full path or
// a key of the three roots, a stored name of its own index, a link into its own hive.
bool IsValidEntry(const BackupEntry& entry, size_t index);

// Writes bytes as the whole file, through a new temporary file so a failed write
// leaves no half file; false when any of it failed.
bool WriteFileBytes(const char* file, const std::string& bytes);
