#include "machine/Files.h"

#include "machine/Handle.h"
#include "machine/Text.h"
#include "machine/TreeWalk.h"

#include <shlobj.h>

#include <vector>

namespace machine {

namespace {

bool MakeParent(const std::string& path)
{
    size_t slash = LastBackslash(path);
    return slash == std::string::npos || MakeDirs(path.substr(0, slash));
}

void RemoveOne(const std::string& path, DWORD attributes)
{
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveDirectoryA(path.c_str());
    else
        DeleteFileA(path.c_str());
}

}  // namespace

bool MakeDirs(const std::string& path)
{
    SHCreateDirectoryExA(nullptr, path.c_str(), nullptr);
    return DirExists(path);
}

bool WriteFileText(const std::string& path, const std::string& content)
{
    MakeParent(path);
    OwnedFile file(
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    return ok && written == content.size();
}

bool ReadFileText(const std::string& path, std::string* content)
{
    content->clear();
    OwnedFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        return false;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
        content->append(buffer, read);
    return true;
}

bool CopyFileTo(const std::string& from, const std::string& to)
{
    MakeParent(to);
    SetFileAttributesA(to.c_str(), FILE_ATTRIBUTE_NORMAL);
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

bool FileExists(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirExists(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void RemoveTree(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    struct Entry {
        std::string path;
        DWORD attributes;
    };
    std::vector<Entry> below;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        WalkFiles(path, [&below](const std::string& entry, const WIN32_FIND_DATAA& data) {
            below.push_back({entry, data.dwFileAttributes});
        });
    // A folder is listed before its contents: removing backwards empties it first.
    for (auto it = below.rbegin(); it != below.rend(); ++it)
        RemoveOne(it->path, it->attributes);
    RemoveOne(path, attributes);
}

}  // namespace machine
