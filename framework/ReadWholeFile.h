// The one whole-file read, and the read of a file's start: capped, and never
// through a link.
#pragma once
#include <windows.h>

#include <string>

// Reads path whole into bytes when it is a plain file of at most cap bytes; a larger
// one is refused before anything is read, so a huge file costs nothing. The path is
// opened as itself: a link (symbolic link, junction) is refused, never followed.
// False, with bytes empty, when it cannot be opened or read, is larger than cap, or
// grew while it was read.
bool ReadWholeFile(const char* path, ULONGLONG cap, std::string* bytes);

// Reads the first cap bytes of path (all of a smaller file), a plain file opened as
// itself: a link is refused, never followed. False, with bytes empty, when it cannot
// be opened or read.
bool ReadFileStart(const char* path, DWORD cap, std::string* bytes);
