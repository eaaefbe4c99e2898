// Whether a path names something on disk. A path with a wildcard names nothing:
// the file system would answer for whatever it matches.
#pragma once

// True when path names an existing file or folder; *isFile says which.
bool PathExists(const char* path, bool* isFile);

// True when path names an existing file (not a folder).
bool IsExistingFile(const char* path);
