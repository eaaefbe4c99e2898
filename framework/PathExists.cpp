#include "framework/PathExists.h"

#include "framework/Handles.h"

#include <windows.h>

#include <cstring>

bool PathExists(const char* path, bool* isFile)
{
    *isFile = false;
    if (!path || !*path || strpbrk(path, "*?"))
        return false;
    WIN32_FIND_DATAA data;
    OwnedFind find(FindFirstFileA(path, &data));
    if (!find)
        return false;
    *isFile = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    return true;
}

bool IsExistingFile(const char* path)
{
    bool isFile = false;
    return PathExists(path, &isFile) && isFile;
}
