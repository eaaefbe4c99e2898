#include "smart/TraceRemoval.h"

#include "framework/AnsiText.h"
#include "framework/PlatformVersion.h"
#include "smart/TraceAnalyzer.h"

#include <shlwapi.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

struct FileCloser {
    void operator()(FILE* file) const { fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// Owns a registry key handle opened by RegOpenKeyExA.
class KeyHandle {
public:
    KeyHandle() = default;
    ~KeyHandle()
    {
        if (key)
            RegCloseKey(key);
    }
    KeyHandle(const KeyHandle&) = delete;
    KeyHandle& operator=(const KeyHandle&) = delete;
    HKEY* Out() { return &key; }
    HKEY Get() const { return key; }

private:
    HKEY key = nullptr;
};

bool IsLinkKey(HKEY key)
{
    DWORD type = 0;
    return RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
           type == REG_LINK;
}

// Removes a registry link key itself, never what it points to.
void DeleteLinkKey(HKEY link)
{
    typedef LONG(NTAPI * NtDeleteKeyFunction)(HANDLE);
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    FARPROC proc = ntdll ? GetProcAddress(ntdll, "NtDeleteKey") : nullptr;
    if (!proc)
        return;
    auto deleteKey = reinterpret_cast<NtDeleteKeyFunction>(reinterpret_cast<void (*)()>(proc));
    deleteKey(link);
}

// Deletes root\path with everything below it. Unlike SHDeleteKeyA it never follows
// a registry link: a link below the key is removed as a link.
void DeleteKeyTree(HKEY root, const char* path)
{
    KeyHandle key;
    if (RegOpenKeyExA(root, path, REG_OPTION_OPEN_LINK, KEY_READ | DELETE, key.Out()) != ERROR_SUCCESS)
        return;
    if (IsLinkKey(key.Get())) {
        DeleteLinkKey(key.Get());
        return;
    }
    std::vector<std::string> children;
    char name[MAX_PATH];
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = MAX_PATH;
        LONG status = RegEnumKeyExA(key.Get(), index, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            break;
        children.push_back(name);
    }
    for (const std::string& child : children) {
        char childPath[MAX_PATH];
        if (FormatText(childPath, MAX_PATH, "%s\\%s", path, child.c_str()))
            DeleteKeyTree(root, childPath);
    }
    RegDeleteKeyA(root, path);
}

// Owns a file handle from CreateFileA.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle(handle) {}
    ~FileHandle()
    {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool IsValid() const { return handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle; }

private:
    HANDLE handle;
};

bool SameFile(HANDLE a, HANDLE b)
{
    BY_HANDLE_FILE_INFORMATION infoA;
    BY_HANDLE_FILE_INFORMATION infoB;
    if (!GetFileInformationByHandle(a, &infoA) || !GetFileInformationByHandle(b, &infoB))
        return true;
    return infoA.dwVolumeSerialNumber == infoB.dwVolumeSerialNumber &&
           infoA.nFileIndexHigh == infoB.nFileIndexHigh && infoA.nFileIndexLow == infoB.nFileIndexLow;
}

// Removes a junction or symbolic link to a folder, never the folder it leads to.
// RemoveDirectoryA removes the link itself only where the link can be opened as
// itself; where opening it as a link still reaches the target (some platforms),
// removing "the link" would remove the target folder, so it is left alone.
void RemoveFolderLink(const char* path)
{
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    FileHandle link(CreateFileA(path, FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!link.IsValid())
        return;
    FileHandle target(CreateFileA(path, FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    // A dangling link has no target to confuse it with.
    if (target.IsValid() && SameFile(link.Get(), target.Get()))
        return;
    RemoveDirectoryA(path);
}

bool ReadWholeFile(const char* path, std::string* content)
{
    content->clear();
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    FilePtr file(fopen(path, "rb"));
    if (!file)
        return false;
    char buffer[4096];
    size_t read = 0;
    while ((read = fread(buffer, 1, sizeof(buffer), file.get())) > 0)
        content->append(buffer, read);
    return !ferror(file.get());
}

bool WriteBytes(const char* path, const char* mode, const std::string& bytes)
{
    FilePtr file(fopen(path, mode));
    if (!file)
        return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    return fclose(file.release()) == 0 && ok;
}

// Where a new entry of the [rename] section goes: after its last line, before the
// next section. False when the file has no [rename] header.
bool FindRenameSectionEnd(const std::string& content, size_t* insertAt)
{
    bool inSection = false;
    size_t lineStart = 0;
    while (lineStart < content.size()) {
        size_t lineEnd = content.find('\n', lineStart);
        size_t next = lineEnd == std::string::npos ? content.size() : lineEnd + 1;
        const char* line = content.c_str() + lineStart;
        if (inSection && line[0] == '[') {
            *insertAt = lineStart;
            return true;
        }
        if (!inSection && next - lineStart >= 8 && _strnicmp(line, "[rename]", 8) == 0)
            inSection = true;
        lineStart = next;
    }
    *insertAt = content.size();
    return inSection;
}

}  // namespace

RemovalOutcome CTraceAnalyzer::RemoveItem(unsigned index)
{
    if (index >= items.size() || !items[index])
        return REMOVAL_IGNORED;
    return DeleteTrace(items[index].get());
}

namespace {

bool PathGone(const char* path)
{
    return GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES;
}

bool KeyGone(HKEY root, const char* path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, REG_OPTION_OPEN_LINK, KEY_READ, &key) != ERROR_SUCCESS)
        return true;
    RegCloseKey(key);
    return false;
}

bool ValueGone(HKEY root, const char* path, const char* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, REG_OPTION_OPEN_LINK, KEY_READ, &key) != ERROR_SUCCESS)
        return true;
    bool gone = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS;
    RegCloseKey(key);
    return gone;
}

RemovalOutcome Outcome(bool gone)
{
    return gone ? REMOVAL_DONE : REMOVAL_FAILED;
}

}  // namespace

RemovalOutcome DeleteTrace(const TraceItem* item)
{
    if (!item)
        return REMOVAL_IGNORED;
    switch (item->kind) {
    case TRACE_FILE:
        return DeleteFileOrSchedule(item->path);
    case TRACE_FOLDER: {
        DWORD attributes = GetFileAttributesA(item->path);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            RemoveFolderLink(item->path);
        else
            RemoveDirectoryA(item->path);  // only an empty folder goes
        return Outcome(PathGone(item->path));
    }
    case TRACE_REGKEY:
        if (!item->path[0])
            return REMOVAL_IGNORED;
        DeleteKeyTree(item->rootKey, item->path);
        return Outcome(KeyGone(item->rootKey, item->path));
    case TRACE_REGVALUE:
        if (!item->path[0])
            return REMOVAL_IGNORED;
        SHDeleteValueA(item->rootKey, item->path, item->valueName);
        return Outcome(ValueGone(item->rootKey, item->path, item->valueName));
    default:
        return REMOVAL_IGNORED;
    }
}

RemovalOutcome DeleteFileOrSchedule(const char* path)
{
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    if (DeleteFileA(path))
        return REMOVAL_DONE;
    // Nothing to schedule for a file that is gone: a later file of the same name
    // must not be deleted at the next start.
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return REMOVAL_DONE;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return REMOVAL_FAILED;
    if (IsWindowsNT())
        return MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) ? REMOVAL_SCHEDULED : REMOVAL_FAILED;
    return ScheduleDeleteViaWininit(path) ? REMOVAL_SCHEDULED : REMOVAL_FAILED;
}

bool ScheduleDeleteViaWininit(const char* path)
{
    char shortPath[MAX_PATH];
    DWORD length = GetShortPathNameA(path, shortPath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    char iniPath[MAX_PATH];
    if (!GetWininitPath(iniPath, MAX_PATH))
        return false;
    std::string content;
    if (!ReadWholeFile(iniPath, &content))
        return false;
    std::string entry = std::string("NUL=") + shortPath + "\r\n";
    size_t insertAt = 0;
    if (!FindRenameSectionEnd(content, &insertAt))
        entry = "[rename]\r\n" + entry;
    if (insertAt < content.size()) {
        // Another section follows [rename]: the entry must go inside the section.
        content.insert(insertAt, entry);
        return WriteBytes(iniPath, "wb", content);
    }
    // The last line may lack its line end; the new lines must not continue it.
    if (!content.empty() && content.back() != '\n')
        entry = "\r\n" + entry;
    return WriteBytes(iniPath, "ab", entry);
}

bool GetWininitPath(char* buffer, size_t size)
{
    if (!buffer || size == 0)
        return false;
    buffer[0] = '\0';
    char folder[MAX_PATH];
    UINT length = GetWindowsDirectoryA(folder, MAX_PATH - 1);
    if (length == 0 || length > MAX_PATH - 1)
        return false;
    return FormatText(buffer, size, "%s%swininit.ini", folder, EndsWithBackslash(folder) ? "" : "\\");
}
