#include "smart/TraceRemoval.h"

#include "framework/AnsiText.h"
#include "framework/Handles.h"
#include "framework/PlatformVersion.h"
#include "framework/ReadWholeFile.h"
#include "framework/RegistryTree.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

namespace {

struct FileCloser {
    void operator()(FILE* file) const { fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

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
DWORD RemoveFolderLink(const char* path)
{
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    OwnedFile link(CreateFileA(path, FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!link)
        return GetLastError();
    OwnedFile target(CreateFileA(path, FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    // A dangling link has no target to confuse it with.
    if (target && SameFile(link, target))
        return ERROR_ACCESS_DENIED;
    return RemoveDirectoryA(path) ? ERROR_SUCCESS : GetLastError();
}

const DWORD kWidePath = 1024;

// A final path in the form a long path name has: "\\?\C:\x" as "C:\x", "\\?\UNC\s\x" as "\\s\x".
std::wstring PlainPath(const wchar_t* path)
{
    if (wcsncmp(path, L"\\\\?\\UNC\\", 8) == 0)
        return std::wstring(L"\\\\") + (path + 8);
    return wcsncmp(path, L"\\\\?\\", 4) == 0 ? std::wstring(path + 4) : std::wstring(path);
}

// Read-only is the one attribute that stops a deletion: it is dropped for the
// deletion and put back when the file stays.
bool DeleteReadOnlyFile(const char* path, DWORD attributes)
{
    const DWORD settable = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                           FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE;
    DWORD writable = attributes & settable;
    if (!SetFileAttributesA(path, writable ? writable : FILE_ATTRIBUTE_NORMAL))
        return false;
    if (DeleteFileA(path))
        return true;
    SetFileAttributesA(path, attributes & (settable | FILE_ATTRIBUTE_READONLY));
    return false;
}

bool ScheduleFileDeletion(const char* path)
{
    if (IsWindowsNT())
        return MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
    return ScheduleDeleteViaWininit(path);
}

// A wininit.ini that is not there is an empty one.
bool ReadWininit(const char* path, std::string* content)
{
    content->clear();
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_FILE_NOT_FOUND)
        return true;
    return ReadWholeFile(path, kLargestWininit, content);
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

// Whether the folder is a link, or cannot be told from one (then it counts as one).
// A folder that is not there leads nowhere.
bool FolderIsLinkOrUnknown(const char* folder)
{
    const DWORD attributes = GetFileAttributesA(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return !IsNotFoundError(GetLastError());
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool IsDriveRooted(const char* path)
{
    const char letter = FoldAscii(path[0]);
    return letter >= 'a' && letter <= 'z' && path[1] == ':' && path[2] == '\\';
}

}  // namespace

bool PassesThroughFolderLink(const char* path)
{
    char walked[MAX_PATH];
    if (!path || !IsDriveRooted(path) || !CopyText(walked, MAX_PATH, path))
        return true;
    const char root[] = {walked[0], ':', '\\', '\0'};
    if (FolderIsLinkOrUnknown(root))
        return true;
    // Each folder below the root in turn: the copy ends at its separator while it is asked.
    for (char* separator = FindCharDbcs(walked + 3, '\\'); separator; separator = FindCharDbcs(separator + 1, '\\')) {
        *separator = '\0';
        const bool link = FolderIsLinkOrUnknown(walked);
        *separator = '\\';
        if (link)
            return true;
    }
    return false;
}

// Before Vista the platform cannot give the final path; no file links there either,
// only folder links (junctions), which the folders on the path show.
bool ReachesAnotherFile(const char* path)
{
    typedef DWORD(WINAPI * FinalPathFunction)(HANDLE, LPWSTR, DWORD, DWORD);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    FARPROC proc = kernel ? GetProcAddress(kernel, "GetFinalPathNameByHandleW") : nullptr;
    if (!proc)
        return PassesThroughFolderLink(path);
    auto finalPath = reinterpret_cast<FinalPathFunction>(reinterpret_cast<void (*)()>(proc));
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    OwnedFile file(CreateFileA(path, FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file)
        return false;
    wchar_t reached[kWidePath];
    DWORD length = finalPath(file, reached, kWidePath, 0);
    if (length == 0)
        return false;
    if (length >= kWidePath)
        return true;  // longer than any path the analysis lists
    wchar_t wide[MAX_PATH];
    wchar_t named[kWidePath];
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH) == 0)
        return false;
    length = GetLongPathNameW(wide, named, kWidePath);
    return length > 0 && length < kWidePath && lstrcmpiW(PlainPath(reached).c_str(), named) != 0;
}

bool IsAddressablePath(const char* path)
{
    return path && *path && !strpbrk(path, "?*");
}

RemovalOutcome DeleteFileOrSchedule(const char* path)
{
    if (!IsAddressablePath(path))
        return REMOVAL_FAILED;
    // Attributes of the entry itself: a link's own, never its target's.
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return IsNotFoundError(GetLastError()) ? REMOVAL_DONE : REMOVAL_FAILED;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return REMOVAL_FAILED;
    bool isLink = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (!isLink && ReachesAnotherFile(path))
        return REMOVAL_FAILED;
    if (DeleteFileA(path))
        return REMOVAL_DONE;
    DWORD error = GetLastError();
    if (IsNotFoundError(error))
        return REMOVAL_DONE;
    // Attributes are never changed through a link: they would be its target's.
    if (error == ERROR_ACCESS_DENIED && !isLink && (attributes & FILE_ATTRIBUTE_READONLY) &&
        DeleteReadOnlyFile(path, attributes))
        return REMOVAL_DONE;
    // In use (an open file, a running program): deleted at the next start.
    return ScheduleFileDeletion(path) ? REMOVAL_SCHEDULED : REMOVAL_FAILED;
}

DWORD RemoveFolderOrLink(const char* path)
{
    if (!IsAddressablePath(path))
        return ERROR_INVALID_NAME;
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        return IsNotFoundError(error) ? ERROR_SUCCESS : error;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ERROR_DIRECTORY;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return RemoveFolderLink(path);
    if (RemoveDirectoryA(path))  // only an empty folder goes
        return ERROR_SUCCESS;
    DWORD error = GetLastError();
    return IsNotFoundError(error) ? ERROR_SUCCESS : error;
}

bool ScheduleFolderRemoval(const char* path)
{
    // wininit.ini deletes files only.
    return IsWindowsNT() && MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
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
    if (!ReadWininit(iniPath, &content))
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
