// The Program Files folder, from the registry or else the environment.
#pragma once

// Without a trailing backslash. 1 on success, 0 (empty buffer) when unknown or too long.
int GetProgramFilesFolder(char* buffer, int size);

// The same folder, always ending in a backslash (a browse dialog's start folder).
int GetProgramFilesFolderWithSeparator(char* buffer, int size);
