// Path tests of the trace analysis. All of them step over double-byte characters,
// so a trail byte 0x5C is never taken for a backslash.
#pragma once

// The second character is ':' (a drive-letter path).
bool HasDriveColon(const char* path);

// "C:" or "C:\": the root of a drive.
bool IsDriveRoot(const char* path);

// Cuts path at its last backslash (removing it). False when there is none.
bool CutAtLastBackslash(char* path);

// Full, long form of a folder path without a trailing backslash (a drive root keeps
// its "C:\" form), in a MAX_PATH buffer. False when it does not fit.
bool NormalizeFolderPath(const char* path, char* normalized);

// An absolute drive path ("X:\..." or "X:/...") made full and long: separators,
// "." and "..", trailing dots and 8.3 short names resolved as the file system sees
// them (the long form needs the path to exist), no trailing backslash but a root's.
// False for relative, wildcard or over-long paths.
bool MakeFullPath(const char* path, char* full);

// path is folder itself or lies below it.
bool IsWithinFolder(const char* path, const char* folder);
