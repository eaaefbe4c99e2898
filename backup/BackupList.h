// The list of one backup: every trace of a removal run with its original place,
// how it was saved and what became of it. Written as text with a checksum, so a
// list that was cut short or edited by hand is refused as a whole.
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
    std::string stored;      // HOLD_MOVED / HOLD_COPIED: the name inside the backup folder
    DWORD attributes = 0;    // files and folders: as they were
    FILETIME created = {}, accessed = {}, written = {};
};

struct BackupList {
    std::string program;     // the analysed program, as the page names it
    std::string time;        // "YYYY-MM-DD HH:MM:SS", local time of the run
    DWORD regSize = 0;       // the .reg file's size and checksum
    unsigned long long regSum = 0;
    std::vector<BackupEntry> entries;

    bool Write(const char* file) const;
    // False with a reason when the file is not a whole, unedited list.
    bool Read(const char* file, std::string* reason);
};

// FNV-1a over bytes: the checksum of the list and of the .reg file.
unsigned long long Checksum(const std::string& bytes);

// The whole file as bytes; false when it cannot be read.
bool ReadFileBytes(const char* file, std::string* bytes);
// Writes bytes as the whole file, through a temporary name so a failed write
// leaves no half file; false when any of it failed.
bool WriteFileBytes(const char* file, const std::string& bytes);
