#include "smart/ProtectedFolders.h"

#include "framework/AnsiText.h"
#include "framework/Handles.h"
#include "framework/ProgramFilesFolder.h"
#include "framework/RegKey.h"
#include "framework/RegistryView.h"
#include "smart/FolderPaths.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>

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

// Shell folders that have no CSIDL (Windows Vista and later): Downloads, Public
// Downloads, Saved Games, Links, Contacts, Searches.
const GUID kKnownFolders[] = {
    {0x374DE290, 0x123F, 0x4565, {0x91, 0x64, 0x39, 0xC4, 0x92, 0x5E, 0x46, 0x7B}},
    {0x3D644C9B, 0x1FB8, 0x4F30, {0x9B, 0x45, 0xF6, 0x70, 0x23, 0x5F, 0x79, 0xC0}},
    {0x4C5C32FF, 0xBB9D, 0x43B0, {0xB5, 0xB4, 0x2D, 0x72, 0xE5, 0x4E, 0xAA, 0xA4}},
    {0xBFB9D5E0, 0xC6A9, 0x404C, {0xB2, 0xB2, 0xAE, 0x6D, 0xB6, 0xAF, 0x49, 0x68}},
    {0x56784854, 0xC6CB, 0x462B, {0x81, 0x69, 0x88, 0xE3, 0x50, 0xAC, 0xB8, 0x82}},
    {0x7D1D3A04, 0xDEBB, 0x4115, {0x95, 0xCF, 0x2F, 0x29, 0xDA, 0x29, 0x20, 0xDA}},
};

const int kShortcutTrees[] = {CSIDL_STARTMENU, CSIDL_COMMON_STARTMENU, CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS};

const char kProfileList[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
// ProfileList values naming profiles: full paths (Vista and later), or names in the
// profiles folder (XP).
const char* const kProfileValues[] = {"Default", "Public", "ProgramData", "AllUsersProfile", "DefaultUserProfile"};

// The shell folders of a profile that is not the current user's, as Windows names
// them in every version (the Chinese names are XP's).
const wchar_t* const kProfileFolders[] = {
    L"Desktop", L"Documents", L"My Documents", L"Downloads", L"Music", L"Pictures", L"Videos", L"Favorites",
    L"Links", L"Contacts", L"Searches", L"Saved Games", L"AppData", L"AppData\\Roaming", L"AppData\\Local",
    L"AppData\\LocalLow", L"AppData\\Local\\Temp", L"Application Data", L"Local Settings",
    L"Local Settings\\Application Data", L"Local Settings\\Temp", L"Templates", L"SendTo", L"Recent",
    L"NetHood", L"PrintHood", L"Cookies", L"Start Menu", L"桌面", L"我的文档", L"收藏夹", L"「开始」菜单",
    L"「开始」菜单\\程序", L"Start Menu\\Programs", L"AppData\\Roaming\\Microsoft\\Windows\\Start Menu",
};
const wchar_t* const kProfileShortcutTrees[] = {
    L"Start Menu", L"「开始」菜单", L"AppData\\Roaming\\Microsoft\\Windows\\Start Menu",
    L"AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch",
    L"Application Data\\Microsoft\\Internet Explorer\\Quick Launch",
};
const wchar_t* const kProfileDesktops[] = {L"Desktop", L"桌面"};

// A relative path in the system's code page; empty when it cannot be spelled.
std::string CodePageText(const wchar_t* text)
{
    char converted[MAX_PATH];
    BOOL lossy = FALSE;
    int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, converted, MAX_PATH, nullptr, &lossy);
    return length > 0 && !lossy ? std::string(converted) : std::string();
}
const int kShortcutFolders[] = {CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY};

bool ReadShellFolder(int csidl, char* path)
{
    path[0] = '\0';
    return SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE) && path[0];
}

// The normalized drive path of a folder, or an empty text.
std::string NormalizedFolder(const char* path)
{
    char normalized[MAX_PATH];
    if (!path || !*path || !NormalizeFolderPath(path, normalized) || !HasDriveColon(normalized))
        return std::string();
    return normalized;
}

}  // namespace

void ProtectedFolders::Add(const char* path, bool programFiles)
{
    between();
    std::string normalized = NormalizedFolder(path);
    if (normalized.empty())
        return;
    folders.push_back(normalized);
    if (programFiles)
        programFilesFolders.push_back(normalized);
}

void ProtectedFolders::AddKnownFolders()
{
    typedef HRESULT(WINAPI * KnownFolderPath)(REFGUID, DWORD, HANDLE, PWSTR*);
    HMODULE shell = GetModuleHandleA("shell32.dll");
    FARPROC proc = shell ? GetProcAddress(shell, "SHGetKnownFolderPath") : nullptr;
    if (!proc)
        return;
    auto knownFolderPath = reinterpret_cast<KnownFolderPath>(reinterpret_cast<void (*)()>(proc));
    for (const GUID& id : kKnownFolders) {
        between();
        PWSTR wide = nullptr;
        if (FAILED(knownFolderPath(id, 0, nullptr, &wide)) || !wide)
            continue;
        char path[MAX_PATH];
        BOOL lossy = FALSE;
        int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, path, MAX_PATH, nullptr, &lossy);
        CoTaskMemFree(wide);
        if (length > 0 && !lossy)
            Add(path);
    }
}

void ProtectedFolders::AddShortcutFolders()
{
    char path[MAX_PATH];
    for (int csidl : kShortcutTrees) {
        between();
        if (ReadShellFolder(csidl, path))
            shortcutTrees.push_back(NormalizedFolder(path));
    }
    // Quick Launch, with the pinned shortcuts below it.
    if (ReadShellFolder(CSIDL_APPDATA, path) &&
        AppendText(path, MAX_PATH, "\\Microsoft\\Internet Explorer\\Quick Launch"))
        shortcutTrees.push_back(NormalizedFolder(path));
    for (int csidl : kShortcutFolders) {
        between();
        if (ReadShellFolder(csidl, path))
            shortcutFolders.push_back(NormalizedFolder(path));
    }
}

void ProtectedFolders::Load(const std::function<void()>& keepResponsive)
{
    between = keepResponsive ? keepResponsive : [] {};
    folders.clear();
    programFilesFolders.clear();
    shortcutTrees.clear();
    shortcutFolders.clear();
    AddShortcutFolders();
    AddKnownFolders();
    char path[MAX_PATH];
    for (int csidl : kProgramFilesFolders) {
        path[0] = '\0';
        if (SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE))
            Add(path, csidl == CSIDL_PROGRAM_FILES || csidl == CSIDL_PROGRAM_FILESX86);
    }
    // Each registry view records the folders as its programs see them.
    for (const std::string& key : PathsInEveryView(HKEY_LOCAL_MACHINE, kCurrentVersion)) {
        for (const char* name : kRegistryProgramFiles) {
            if (ReadTextValue(HKEY_LOCAL_MACHINE, key.c_str(), name, path, MAX_PATH))
                Add(path, true);
        }
        for (const char* name : kRegistryCommonFiles) {
            if (ReadTextValue(HKEY_LOCAL_MACHINE, key.c_str(), name, path, MAX_PATH))
                Add(path);
        }
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
    AddProfiles();
    between = nullptr;
}

// Every profile on the machine is protected as the current user's is: the folder
// that holds them, each profile (those the machine lists, and every folder in the
// profiles folder), and its shell folders.
void ProtectedFolders::AddProfiles()
{
    std::vector<std::string> profilesFolders;
    char path[MAX_PATH];
    if (SHGetSpecialFolderPathA(nullptr, path, CSIDL_PROFILE, FALSE) && CutAtLastBackslash(path))
        profilesFolders.push_back(NormalizedFolder(path));
    if (ReadTextValue(HKEY_LOCAL_MACHINE, kProfileList, "ProfilesDirectory", path, MAX_PATH))
        profilesFolders.push_back(NormalizedFolder(path));
    std::vector<std::string> profiles;
    for (const std::string& folder : profilesFolders) {
        if (folder.empty())
            continue;
        Add(folder.c_str());
        for (const char* name : kProfileValues) {
            char full[MAX_PATH];
            if (ReadTextValue(HKEY_LOCAL_MACHINE, kProfileList, name, path, MAX_PATH) &&
                (HasDriveColon(path) ? CopyText(full, MAX_PATH, path)
                                     : FormatText(full, MAX_PATH, "%s\\%s", folder.c_str(), path)))
                profiles.push_back(NormalizedFolder(full));
        }
        WIN32_FIND_DATAA data;
        OwnedFind find(FindFirstFileA((folder + "\\*").c_str(), &data));
        for (bool more = static_cast<bool>(find); more; more = FindNextFileA(find, &data) != FALSE) {
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && data.cFileName[0] != '.' &&
                !strchr(data.cFileName, '?'))
                profiles.push_back(folder + "\\" + data.cFileName);
        }
    }
    RegKey list;
    if (list.Open(HKEY_LOCAL_MACHINE, kProfileList)) {
        list.ForEachSubkey([&](const char* sid) {
            char key[MAX_PATH];
            if (FormatText(key, MAX_PATH, "%s\\%s", kProfileList, sid) &&
                ReadTextValue(HKEY_LOCAL_MACHINE, key, "ProfileImagePath", path, MAX_PATH))
                profiles.push_back(NormalizedFolder(path));
            return true;
        });
    }
    for (const std::string& profile : profiles)
        AddProfile(profile);
}

void ProtectedFolders::AddProfile(const std::string& profile)
{
    if (profile.empty())
        return;
    between();
    Add(profile.c_str());
    for (const wchar_t* relative : kProfileFolders) {
        std::string name = CodePageText(relative);
        if (!name.empty())
            Add((profile + "\\" + name).c_str());
    }
    for (const wchar_t* relative : kProfileShortcutTrees) {
        std::string name = CodePageText(relative);
        if (!name.empty())
            shortcutTrees.push_back(profile + "\\" + name);
    }
    for (const wchar_t* relative : kProfileDesktops) {
        std::string name = CodePageText(relative);
        if (!name.empty())
            shortcutFolders.push_back(profile + "\\" + name);
    }
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

bool ProtectedFolders::IsShortcutFolder(const char* folder) const
{
    for (const std::string& tree : shortcutTrees) {
        if (!tree.empty() && IsWithinFolder(folder, tree.c_str()))
            return true;
    }
    for (const std::string& shortcuts : shortcutFolders) {
        if (!shortcuts.empty() && EqualsNoCaseDbcs(folder, shortcuts.c_str()))
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
