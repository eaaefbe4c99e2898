#include "backup/BackupStore.h"

#include "backup/BackupList.h"
#include "framework/AnsiText.h"
#include "framework/Handles.h"
#include "framework/PathExists.h"
#include "framework/RegistryTree.h"
#include "smart/TraceRemoval.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdio>

const char kBackupListName[] = "backup.txt";
const char kBackupRegistryName[] = "registry.reg";
const char kBackupFilesName[] = "files";
const char kBackupRestoredName[] = "restored.txt";

namespace {

const char kIndexName[] = "index.txt";
const size_t kProgramNameBytes = 64;

std::string DefaultRoot()
{
    char folder[MAX_PATH];
    if (!SHGetSpecialFolderPathA(nullptr, folder, CSIDL_APPDATA, TRUE))
        return std::string();
    return std::string(folder) + "\\UninstallManager\\Backups";
}

// The part of path after its last backslash, double-byte aware.
size_t LastSeparator(const std::string& path)
{
    const char* last = FindLastCharDbcs(path.c_str(), '\\');
    return last ? static_cast<size_t>(last - path.c_str()) : std::string::npos;
}

bool MakeFolders(const std::string& path)
{
    if (CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS)
        return true;
    size_t cut = LastSeparator(path);
    if (cut == std::string::npos || cut < 3 || !MakeFolders(path.substr(0, cut)))
        return false;
    return CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

// "YYYYMMDD-HHMMSS ..." as "YYYY-MM-DD HH:MM:SS"; empty when the name is not one.
std::string TimeOfName(const std::string& name)
{
    if (name.size() < 16 || name[8] != '-' || name[15] != ' ')
        return std::string();
    return name.substr(0, 4) + "-" + name.substr(4, 2) + "-" + name.substr(6, 2) + " " + name.substr(9, 2) + ":" +
           name.substr(11, 2) + ":" + name.substr(13, 2);
}

std::vector<std::string> RunFoldersOnDisk(const std::string& root)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    OwnedFind find(FindFirstFileA((root + "\\*").c_str(), &data));
    if (!find)
        return names;
    do {
        bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder && !TimeOfName(data.cFileName).empty())
            names.push_back(data.cFileName);
    } while (FindNextFileA(find, &data));
    return names;
}

BackupSummary Summarize(const std::string& root, const std::string& name)
{
    BackupSummary summary;
    summary.folder = root + "\\" + name;
    summary.time = TimeOfName(name);
    summary.program = name.size() > 16 ? name.substr(16) : std::string();
    bool isFile = false;
    if (!PathExists(summary.folder.c_str(), &isFile) || isFile)
        return summary;  // gone
    BackupList list;
    if (!list.Read((summary.folder + "\\" + kBackupListName).c_str(), nullptr)) {
        summary.state = BACKUP_DAMAGED;
        return summary;
    }
    summary.program = list.program;
    summary.items = static_cast<int>(list.entries.size());
    summary.state = IsExistingFile((summary.folder + "\\" + kBackupRestoredName).c_str()) ? BACKUP_RESTORED
                                                                                          : BACKUP_READY;
    return summary;
}

// Deletes a file of the backup, read-only or not; a link as itself.
bool DeleteStoredFile(const std::string& path)
{
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path.c_str()) || IsNotFoundError(GetLastError());
}

// Empties the files folder of a run: files go, a folder link goes as a link, and a
// real folder (never put there by a run) stays, and so does the run.
bool EmptyFilesFolder(const std::string& files)
{
    WIN32_FIND_DATAA data;
    OwnedFind find(FindFirstFileA((files + "\\*").c_str(), &data));
    if (!find)
        return IsNotFoundError(GetLastError());
    bool ok = true;
    do {
        std::string name = data.cFileName;
        if (name == "." || name == "..")
            continue;
        std::string path = files + "\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ok = RemoveFolderOrLink(path.c_str()) == ERROR_SUCCESS && ok;
        else
            ok = DeleteStoredFile(path) && ok;
    } while (FindNextFileA(find, &data));
    return ok;
}

}  // namespace

CBackupStore::CBackupStore() : root(DefaultRoot()) {}

std::string RunFolderName(const SYSTEMTIME& time, const std::string& program)
{
    char stamp[32];
    snprintf(stamp, sizeof(stamp), "%04u%02u%02u-%02u%02u%02u ", time.wYear, time.wMonth, time.wDay, time.wHour,
             time.wMinute, time.wSecond);
    std::string name;
    for (const char* p = program.c_str(); *p;) {
        const char* next = NextCharDbcs(p);
        size_t length = static_cast<size_t>(next - p);
        if (length == 0 || name.size() + length > kProgramNameBytes)
            break;
        unsigned char ch = static_cast<unsigned char>(*p);
        bool invalid = length == 1 && (ch < 32 || strchr("\\/:*?\"<>|", ch));
        name += invalid ? std::string("_") : std::string(p, length);
        p = next;
    }
    while (!name.empty() && (name.back() == '.' || name.back() == ' '))
        name.pop_back();
    return stamp + (name.empty() ? std::string("_") : name);
}

bool CBackupStore::CreateRunFolder(const std::string& program, std::string* folder) const
{
    if (root.empty() || !MakeFolders(root))
        return false;
    SYSTEMTIME now;
    GetLocalTime(&now);
    std::string name = RunFolderName(now, program);
    std::string unique = name;
    for (int copy = 2; !CreateDirectoryA((root + "\\" + unique).c_str(), nullptr); ++copy) {
        if (GetLastError() != ERROR_ALREADY_EXISTS || copy > 99)
            return false;
        unique = name + " (" + std::to_string(copy) + ")";
    }
    *folder = root + "\\" + unique;
    std::vector<std::string> names = IndexNames();
    names.push_back(unique);
    if (WriteIndex(names) && CreateDirectoryA((*folder + "\\" + kBackupFilesName).c_str(), nullptr))
        return true;
    Delete(*folder);
    return false;
}

std::vector<BackupSummary> CBackupStore::List() const
{
    std::vector<std::string> names = IndexNames();
    for (const std::string& name : RunFoldersOnDisk(root)) {
        if (std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    }
    // The index is in the order of making: the later of two runs in one second first.
    std::vector<BackupSummary> backups;
    for (auto name = names.rbegin(); name != names.rend(); ++name)
        backups.push_back(Summarize(root, *name));
    std::stable_sort(backups.begin(), backups.end(), [](const BackupSummary& a, const BackupSummary& b) {
        return a.time > b.time;
    });
    return backups;
}

bool CBackupStore::Delete(const std::string& folder) const
{
    std::string files = folder + "\\" + kBackupFilesName;
    bool ok = EmptyFilesFolder(files);
    ok = (RemoveDirectoryA(files.c_str()) || IsNotFoundError(GetLastError())) && ok;
    for (const char* name : {kBackupListName, kBackupRegistryName, kBackupRestoredName})
        ok = DeleteStoredFile(folder + "\\" + name) && ok;
    ok = (RemoveDirectoryA(folder.c_str()) || IsNotFoundError(GetLastError())) && ok;
    if (!ok)
        return false;
    std::vector<std::string> names = IndexNames();
    size_t slash = LastSeparator(folder);
    std::string name = slash == std::string::npos ? folder : folder.substr(slash + 1);
    names.erase(std::remove(names.begin(), names.end(), name), names.end());
    return WriteIndex(names);
}

std::vector<std::string> CBackupStore::IndexNames() const
{
    std::vector<std::string> names;
    std::string text;
    if (!ReadFileBytes((root + "\\" + kIndexName).c_str(), &text))
        return names;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        std::string name = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        // A line that is not a run's name (a damaged index) is passed over.
        if (!TimeOfName(name).empty() && !FindCharDbcs(name.c_str(), '\\'))
            names.push_back(name);
        if (end == std::string::npos)
            break;
        start = end + 2;
    }
    return names;
}

bool CBackupStore::WriteIndex(const std::vector<std::string>& names) const
{
    std::string text;
    for (const std::string& name : names)
        text += name + "\r\n";
    return WriteFileBytes((root + "\\" + kIndexName).c_str(), text);
}
