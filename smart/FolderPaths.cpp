#include "smart/FolderPaths.h"

#include "framework/AnsiText.h"

#include <windows.h>

#include <cstring>

bool HasDriveColon(const char* path)
{
    const char* second = CharAtDbcs(path, 1);
    return second && *second == ':' && second == path + 1;
}

bool IsDriveRoot(const char* path)
{
    if (!HasDriveColon(path))
        return false;
    return path[2] == '\0' || (path[2] == '\\' && path[3] == '\0');
}

bool CutAtLastBackslash(char* path)
{
    char* slash = FindLastCharDbcs(path, '\\');
    if (!slash)
        return false;
    *slash = '\0';
    return true;
}

bool NormalizeFolderPath(const char* path, char* normalized)
{
    normalized[0] = '\0';
    // "C:" alone would name the current folder of drive C: it stands for the root.
    char driveRoot[4] = "";
    if (HasDriveColon(path) && path[2] == '\0') {
        driveRoot[0] = path[0];
        driveRoot[1] = ':';
        driveRoot[2] = '\\';
        path = driveRoot;
    }
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(path, MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH)
        return false;
    // Only a short (8.3) name holds a '~': other paths are already in their long
    // form, and asking the file system for each of their folders costs time.
    char longForm[MAX_PATH];
    length = FindCharDbcs(full, '~') ? GetLongPathNameA(full, longForm, MAX_PATH) : 0;
    const char* result = (length != 0 && length < MAX_PATH) ? longForm : full;
    if (!CopyText(normalized, MAX_PATH, result))
        return false;
    if (EndsWithBackslash(normalized) && !IsDriveRoot(normalized))
        normalized[strlen(normalized) - 1] = '\0';
    return true;
}

bool MakeFullPath(const char* path, char* full)
{
    full[0] = '\0';
    if (!path || !HasDriveColon(path) || (path[2] != '\\' && path[2] != '/') || strpbrk(path, "*?"))
        return false;
    return NormalizeFolderPath(path, full);
}

bool IsWithinFolder(const char* path, const char* folder)
{
    if (!folder || !*folder)
        return false;
    const char* rest = SkipPrefixNoCaseDbcs(path, folder);
    if (!rest)
        return false;
    return *rest == '\0' || *rest == '\\' || EndsWithBackslash(folder);
}
