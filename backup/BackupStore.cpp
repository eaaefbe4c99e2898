#include "backup/BackupStore.h"

#include "backup/BackupList.h"
#include "framework/AnsiText.h"
#include "framework/Handles.h"
#include "framework/ReadWholeFile.h"
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
const char kStoreFolder[] = "\\UninstallManager";
const char kBackupsFolder[] = "\\Backups";
const size_t kProgramNameBytes = 64;
const size_t kLongestRunName = 128;
const DWORD kLargestIndex = 1024 * 1024;
// Runs found by looking into a folder, and entries looked at there: enough for any
// real use (the store's own runs are in its index), few enough that a folder filled
// on purpose cannot hold the window up.
const size_t kMostRunsOnDisk = 1000;
const size_t kMostEntriesOnDisk = 20000;

std::string SpecialFolder(int csidl)
{
    char folder[MAX_PATH];
    if (!SHGetSpecialFolderPathA(nullptr, folder, csidl, FALSE))
        return std::string();
    return folder;
}

std::string BackupsBelow(const std::string& dataFolder)
{
    return dataFolder.empty() ? std::string() : dataFolder + kStoreFolder + kBackupsFolder;
}

bool AreDigits(const std::string& text, size_t first, size_t count)
{
    for (size_t i = first; i < first + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
    }
    return true;
}

// "YYYYMMDD-HHMMSS ..." as "YYYY-MM-DD HH:MM:SS"; empty when the name is not one.
std::string TimeOfName(const std::string& name)
{
    if (name.size() < 16 || !AreDigits(name, 0, 8) || name[8] != '-' || !AreDigits(name, 9, 6) || name[15] != ' ')
        return std::string();
    return name.substr(0, 4) + "-" + name.substr(4, 2) + "-" + name.substr(6, 2) + " " + name.substr(9, 2) + ":" +
           name.substr(11, 2) + ":" + name.substr(13, 2);
}

// The names of the run folders in root, from at most entries of what it holds.
std::vector<std::string> RunNamesOnDisk(const std::string& root, size_t entries)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    OwnedFind find(root.empty() ? INVALID_HANDLE_VALUE : FindFirstFileA((root + "\\*").c_str(), &data));
    if (!find)
        return names;
    size_t seen = 0;
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsRunName(data.cFileName))
            names.push_back(data.cFileName);
    } while (++seen < entries && names.size() < kMostRunsOnDisk && FindNextFileA(find, &data));
    return names;
}

// A run as its folder's name tells it: time and program, nothing read.
BackupSummary NamedRun(const std::string& root, const std::string& name, BackupState state)
{
    BackupSummary summary;
    summary.name = name;
    summary.folder = root + "\\" + name;
    summary.time = TimeOfName(name);
    summary.program = name.substr(16);
    summary.state = state;
    return summary;
}

// A plain file of exactly size bytes, measured without reading it.
bool IsFileOfSize(const std::string& path, DWORD size)
{
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    OwnedFile file(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    return file && GetFileInformationByHandle(file, &info) &&
           !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
           info.nFileSizeHigh == 0 && info.nFileSizeLow == size;
}

// Deletes a file of a run. A read-only one loses the attribute first, but only when
// the file is itself (Wine shows a link to a file as a plain file): never another's.
bool DeletePlainFile(const std::string& path, DWORD attributes)
{
    if (DeleteFileA(path.c_str()) || IsNotFoundError(GetLastError()))
        return true;
    if (!(attributes & FILE_ATTRIBUTE_READONLY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        ReachesAnotherFile(path.c_str()))
        return false;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path.c_str()) != 0;
}

// Removes a folder that is itself a real, empty folder; a link is never passed to
// RemoveDirectoryA, which acts on the link's target on some platforms.
bool RemoveRealFolder(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return IsNotFoundError(GetLastError());
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    return RemoveDirectoryA(path.c_str()) || IsNotFoundError(GetLastError());
}

// Empties a run's folder (withFiles) or its files folder: plain files go, links go
// as links, the files folder is emptied and removed, any other real folder (never
// put there by a run) stays, and so does the run.
bool EmptyRunFolder(const std::string& folder, bool withFiles)
{
    WIN32_FIND_DATAA data;
    OwnedFind find(FindFirstFileA((folder + "\\*").c_str(), &data));
    if (!find)
        return IsNotFoundError(GetLastError());
    bool ok = true;
    do {
        std::string name = data.cFileName;
        if (name == "." || name == "..")
            continue;
        std::string path = folder + "\\" + name;
        DWORD attributes = data.dwFileAttributes;
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
            ok = DeletePlainFile(path, attributes) && ok;
        else if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
            ok = RemoveFolderOrLink(path.c_str()) == ERROR_SUCCESS && ok;
        else if (withFiles && _stricmp(name.c_str(), kBackupFilesName) == 0)
            ok = EmptyRunFolder(path, false) && RemoveRealFolder(path) && ok;
        else
            ok = false;
    } while (FindNextFileA(find, &data));
    return ok;
}

}  // namespace

CBackupStore::CBackupStore()
    : CBackupStore(SpecialFolder(CSIDL_COMMON_APPDATA), DefaultStoreTrust(), BackupsBelow(SpecialFolder(CSIDL_APPDATA)))
{
}

CBackupStore::CBackupStore(const std::string& dataFolder, const CStoreTrust& trust, const std::string& formerRoot)
    : appFolder(dataFolder.empty() ? std::string() : dataFolder + kStoreFolder), root(BackupsBelow(dataFolder)),
      formerRoot(formerRoot), trust(&trust)
{
}

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
        // No character a file name cannot hold, and no "..": a run's name is one plain name.
        bool twoDots = ch == '.' && !name.empty() && name.back() == '.';
        bool invalid = length == 1 && (ch < 32 || strchr("\\/:*?\"<>|", ch) || twoDots);
        name += invalid ? std::string("_") : std::string(p, length);
        p = next;
    }
    while (!name.empty() && (name.back() == '.' || name.back() == ' '))
        name.pop_back();
    return stamp + (name.empty() ? std::string("_") : name);
}

bool IsRunName(const std::string& name)
{
    return name.size() > 16 && name.size() <= kLongestRunName && !TimeOfName(name).empty() &&
           name.find("..") == std::string::npos && IsPlainName(name.c_str(), name.c_str() + name.size());
}

FolderCheck CBackupStore::Check() const
{
    if (appFolder.empty())
        return FOLDER_MISSING;
    FolderCheck check = trust->CheckFolder(appFolder);
    return check == FOLDER_SAFE ? trust->CheckFolder(root) : check;
}

FolderCheck CBackupStore::MakeStore() const
{
    if (appFolder.empty())
        return FOLDER_MISSING;
    FolderCheck check = trust->MakeFolder(appFolder);
    return check == FOLDER_SAFE ? trust->MakeFolder(root) : check;
}

FolderCheck CBackupStore::CreateRunFolder(const std::string& program, std::string* name) const
{
    FolderCheck check = MakeStore();
    if (check != FOLDER_SAFE)
        return check;
    SYSTEMTIME now;
    GetLocalTime(&now);
    std::string base = RunFolderName(now, program);
    std::string unique = base;
    for (int copy = 2; !trust->CreateFolder(root + "\\" + unique); ++copy) {
        if (GetLastError() != ERROR_ALREADY_EXISTS || copy > 99)
            return FOLDER_MISSING;
        unique = base + " (" + std::to_string(copy) + ")";
    }
    *name = unique;
    std::string folder = root + "\\" + unique;
    std::vector<std::string> names = IndexNames();
    names.push_back(unique);
    if (WriteIndex(names) && trust->MakeFolder(folder + "\\" + kBackupFilesName) == FOLDER_SAFE &&
        trust->CheckFolder(folder) == FOLDER_SAFE)
        return FOLDER_SAFE;
    Delete(unique);
    return FOLDER_MISSING;
}

bool CBackupStore::RunFolder(const std::string& name, std::string* folder) const
{
    folder->clear();
    if (!IsRunName(name) || Check() != FOLDER_SAFE)
        return false;
    std::string path = root + "\\" + name;
    if (trust->CheckFolder(path) != FOLDER_SAFE || trust->CheckFolder(path + "\\" + kBackupFilesName) != FOLDER_SAFE)
        return false;
    *folder = path;
    return true;
}

BackupSummary CBackupStore::Summarize(const std::string& name) const
{
    BackupSummary summary = NamedRun(root, name, BACKUP_GONE);
    FolderCheck check = trust->CheckFolder(summary.folder);
    if (check == FOLDER_MISSING)
        return summary;
    if (check != FOLDER_SAFE) {
        summary.state = BACKUP_UNSAFE;
        return summary;
    }
    const std::string& folder = summary.folder;
    // What can be told without reading more than the list: the .reg file must have
    // the size the list gives it. The contents are checked when it is restored.
    BackupList list;
    if (trust->CheckFolder(folder + "\\" + kBackupFilesName) != FOLDER_SAFE ||
        !list.Read((folder + "\\" + kBackupListName).c_str(), nullptr) ||
        !IsFileOfSize(folder + "\\" + kBackupRegistryName, list.regSize)) {
        summary.state = BACKUP_DAMAGED;
        return summary;
    }
    summary.program = list.program;
    summary.items = static_cast<int>(list.entries.size());
    summary.state =
        IsExistingFile((folder + "\\" + kBackupRestoredName).c_str()) ? BACKUP_RESTORED : BACKUP_READY;
    return summary;
}

std::vector<BackupSummary> CBackupStore::List() const
{
    std::vector<BackupSummary> backups;
    if (Check() == FOLDER_SAFE) {
        std::vector<std::string> names = IndexNames();
        for (const std::string& name : RunNamesOnDisk(root, kMostEntriesOnDisk)) {
            if (std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(name);
        }
        // The index is in the order of making: the later of two runs in one second first.
        for (auto name = names.rbegin(); name != names.rend(); ++name)
            backups.push_back(Summarize(*name));
    } else {
        for (const std::string& name : RunNamesOnDisk(root, kMostEntriesOnDisk))
            backups.push_back(NamedRun(root, name, BACKUP_UNSAFE));
    }
    for (const std::string& name : RunNamesOnDisk(formerRoot, kMostEntriesOnDisk))
        backups.push_back(NamedRun(formerRoot, name, BACKUP_UNSAFE));
    std::stable_sort(backups.begin(), backups.end(), [](const BackupSummary& a, const BackupSummary& b) {
        return a.time > b.time;
    });
    return backups;
}

bool CBackupStore::Delete(const std::string& name) const
{
    if (!IsRunName(name) || Check() != FOLDER_SAFE)
        return false;
    std::string folder = root + "\\" + name;
    FolderCheck check = trust->CheckFolder(folder);
    if (check == FOLDER_SAFE) {
        bool emptied = EmptyRunFolder(folder, true);
        if (!RemoveRealFolder(folder) || !emptied)
            return false;
    } else if (check != FOLDER_MISSING) {
        return false;
    }
    std::vector<std::string> names = IndexNames();
    names.erase(std::remove(names.begin(), names.end(), name), names.end());
    return WriteIndex(names);
}

std::vector<std::string> CBackupStore::IndexNames() const
{
    std::vector<std::string> names;
    std::string text;
    if (!ReadWholeFile((root + "\\" + kIndexName).c_str(), kLargestIndex, &text))
        return names;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        std::string name = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        // A line that is not a run's plain name (a damaged index) is passed over.
        if (IsRunName(name) && std::find(names.begin(), names.end(), name) == names.end())
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
