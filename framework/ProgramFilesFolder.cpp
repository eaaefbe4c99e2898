#include "framework/ProgramFilesFolder.h"

#include "framework/AnsiText.h"
#include "framework/RegKey.h"

#include <windows.h>

#include <cstring>

namespace {

// Reads "ProgramFilesDir", falling back to %ProgramFiles%. Never cuts a text.
bool LookUpProgramFiles(char* buffer, int size)
{
    if (!buffer || size <= 0)
        return false;
    buffer[0] = '\0';
    if (ReadTextValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                      buffer, static_cast<DWORD>(size)) && buffer[0])
        return true;
    DWORD length = GetEnvironmentVariableA("ProgramFiles", buffer, static_cast<DWORD>(size));
    if (length == 0 || length >= static_cast<DWORD>(size)) {
        buffer[0] = '\0';
        return false;
    }
    return true;
}

}  // namespace

int GetProgramFilesFolder(char* buffer, int size)
{
    if (!LookUpProgramFiles(buffer, size))
        return 0;
    if (EndsWithBackslash(buffer))
        buffer[strlen(buffer) - 1] = '\0';
    return 1;
}

int GetProgramFilesFolderWithSeparator(char* buffer, int size)
{
    if (!LookUpProgramFiles(buffer, size))
        return 0;
    if (EndsWithBackslash(buffer))
        return 1;
    if (!AppendText(buffer, static_cast<size_t>(size), "\\")) {
        buffer[0] = '\0';
        return 0;
    }
    return 1;
}
