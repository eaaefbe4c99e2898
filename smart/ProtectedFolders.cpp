#include "smart/ProtectedFolders.h"

#include "framework/AnsiText.h"
#include "framework/RegKey.h"
#include "smart/FolderPaths.h"
#include "framework/ProgramFilesFolder.h"

#include <windows.h>
#include <shlobj.h>

namespace {

const int kShellFolders[] = {
    CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_SYSTEMX86, CSIDL_FONTS, CSIDL_RESOURCES,
    CSIDL_PROFILE, CSIDL_APPDATA, CSIDL_LOCAL_APPDATA, CSIDL_COMMON_APPDATA,
    CSIDL_PERSONAL, CSIDL_COMMON_DOCUMENTS, CSIDL_MYMUSIC, CSIDL_MYPICTURES, CSIDL_MYVIDEO,
    CSIDL_COMMON_MUSIC, CSIDL_COMMON_PICTURES, CSIDL_COMMON_VIDEO,
    CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY,
    CSIDL_STARTMENU, CSIDL_COMMON_STARTMENU, CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS,
    CSIDL_STARTUP, CSIDL_COMMON_STARTUP, CSIDL_ALTSTARTUP, CSIDL_COMMON_ALTSTARTUP,
    CSIDL_TEMPLATES, CSIDL_COMMON_TEMPLATES, CSIDL_FAVORITES, CSIDL_COMMON_FAVORITES,
    CSIDL_SENDTO, CSIDL_RECENT, CSIDL_NETHOOD, CSIDL_PRINTHOOD,
    CSIDL_INTERNET_CACHE, CSIDL_COOKIES, CSIDL_HISTORY, CSIDL_ADMINTOOLS, CSIDL_COMMON_ADMINTOOLS,
    CSIDL_CDBURN_AREA,
};

const int kProgramFilesFolders[] = {
    CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86, CSIDL_PROGRAM_FILES_COMMON, CSIDL_PROGRAM_FILES_COMMONX86,
};

const char* const kEnvironmentFolders[] = {
    "SystemRoot", "windir", "USERPROFILE", "ALLUSERSPROFILE", "PUBLIC", "APPDATA", "LOCALAPPDATA",
    "ProgramData", "TEMP", "TMP", "CommonProgramFiles", "CommonProgramFiles(x86)", "CommonProgramW6432",
};

const char* const kEnvironmentProgramFiles[] = {"ProgramFiles", "ProgramFiles(x86)", "ProgramW6432"};

const char* const kRegistryProgramFiles[] = {"ProgramFilesDir", "ProgramFilesDir (x86)", "ProgramW6432Dir"};
const char* const kRegistryCommonFiles[] = {"CommonFilesDir", "CommonFilesDir (x86)", "CommonW6432Dir"};

const char kCurrentVersion[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

}  // namespace

void ProtectedFolders::Add(const char* path, bool programFiles)
{
    if (!path || !*path)
        return;
    char normalized[MAX_PATH];
    if (!NormalizeFolderPath(path, normalized) || !HasDriveColon(normalized))
        return;
    folders.push_back(normalized);
    if (programFiles)
        programFilesFolders.push_back(normalized);
}

void ProtectedFolders::Load()
{
    folders.clear();
    programFilesFolders.clear();
    char path[MAX_PATH];
    for (int csidl : kProgramFilesFolders) {
        path[0] = '\0';
        if (SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE))
            Add(path, csidl == CSIDL_PROGRAM_FILES || csidl == CSIDL_PROGRAM_FILESX86);
    }
    for (const char* name : kRegistryProgramFiles) {
        if (ReadTextValue(HKEY_LOCAL_MACHINE, kCurrentVersion, name, path, MAX_PATH))
            Add(path, true);
    }
    for (const char* name : kRegistryCommonFiles) {
        if (ReadTextValue(HKEY_LOCAL_MACHINE, kCurrentVersion, name, path, MAX_PATH))
            Add(path);
    }
    for (const char* name : kEnvironmentProgramFiles) {
        DWORD length = GetEnvironmentVariableA(name, path, MAX_PATH);
        if (length != 0 && length < MAX_PATH)
            Add(path, true);
    }
    if (GetProgramFilesFolder(path, MAX_PATH))
        Add(path, true);
    for (int csidl : kShellFolders) {
        path[0] = '\0';
        if (SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE))
            Add(path);
    }
    for (const char* name : kEnvironmentFolders) {
        DWORD length = GetEnvironmentVariableA(name, path, MAX_PATH);
        if (length != 0 && length < MAX_PATH)
            Add(path);
    }
    UINT length = GetWindowsDirectoryA(path, MAX_PATH);
    if (length != 0 && length < MAX_PATH)
        Add(path);
    length = GetSystemDirectoryA(path, MAX_PATH);
    if (length != 0 && length < MAX_PATH)
        Add(path);
    DWORD tempLength = GetTempPathA(MAX_PATH, path);
    if (tempLength != 0 && tempLength < MAX_PATH)
        Add(path);
    // The folder that holds every user's profile (the parent of the profiles).
    if (SHGetSpecialFolderPathA(nullptr, path, CSIDL_PROFILE, FALSE) && CutAtLastBackslash(path))
        Add(path);
}

bool ProtectedFolders::IsTooWide(const char* folder) const
{
    if (!folder || !HasDriveColon(folder) || IsDriveRoot(folder))
        return true;
    if (folder[2] != '\\')
        return true;
    for (const std::string& protectedFolder : folders) {
        // The folder is a protected one, or a protected one lies inside it.
        if (IsWithinFolder(protectedFolder.c_str(), folder))
            return true;
    }
    return false;
}

bool ProtectedFolders::IsProgramFiles(const char* folder) const
{
    for (const std::string& programFiles : programFilesFolders) {
        if (EqualsNoCaseDbcs(programFiles.c_str(), folder))
            return true;
    }
    return false;
}
