#include "backup/RestoreTargets.h"

#include "backup/KeyWithoutLinks.h"
#include "backup/RegFileFormat.h"
#include "backup/Sha256.h"
#include "framework/AnsiText.h"
#include "framework/Handles.h"
#include "framework/RegKey.h"
#include "framework/RegistryTree.h"
#include "framework/RegistryView.h"
#include "smart/TraceItem.h"
#include "smart/TraceRemoval.h"

#include <vector>

namespace {

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The attributes that can be set again; the others describe what the entry is.
DWORD SettableAttributes(DWORD attributes)
{
    const DWORD settable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                           FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_TEMPORARY |
                           FILE_ATTRIBUTE_OFFLINE;
    DWORD kept = attributes & settable;
    return kept ? kept : FILE_ATTRIBUTE_NORMAL;
}

bool IsPlainFile(DWORD attributes)
{
    return !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
}

// A folder that is there and is itself, or a missing one made now.
bool MakeOneFolder(const std::string& folder)
{
    DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    return IsNotFoundError(GetLastError()) && CreateDirectoryA(folder.c_str(), nullptr);
}

// Copies in to out whole, hashing what it copies; true when the digest is hash.
bool CopyHashed(HANDLE in, HANDLE out, const std::string& hash)
{
    CSha256 sha;
    std::vector<char> buffer(65536);
    for (;;) {
        DWORD read = 0;
        DWORD written = 0;
        if (!ReadFile(in, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
            return false;
        if (read == 0)
            return sha.Hex() == hash;
        if (!sha.Add(buffer.data(), read) || !WriteFile(out, buffer.data(), read, &written, nullptr) ||
            written != read)
            return false;
    }
}

ULONGLONG SizeOf(const BY_HANDLE_FILE_INFORMATION& info)
{
    return (static_cast<ULONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
}

}  // namespace

bool MakeFoldersWithoutLinks(const std::string& path, bool withLast)
{
    char walked[MAX_PATH];
    if (path.size() < 4 || path[1] != ':' || path[2] != '\\' || !CopyText(walked, MAX_PATH, path.c_str()))
        return false;
    const char root[] = {walked[0], ':', '\\', '\0'};
    DWORD rootAttributes = GetFileAttributesA(root);
    if (rootAttributes == INVALID_FILE_ATTRIBUTES || (rootAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    // Each folder below the root in turn: the copy ends at its separator while it is made.
    for (char* separator = FindCharDbcs(walked + 3, '\\'); separator; separator = FindCharDbcs(separator + 1, '\\')) {
        *separator = '\0';
        bool made = MakeOneFolder(walked);
        *separator = '\\';
        if (!made)
            return false;
    }
    return !withLast || MakeOneFolder(walked);
}

bool CopySavedFile(const std::string& source, const BackupEntry& entry)
{
    OwnedFile in(CreateFileA(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!in || !GetFileInformationByHandle(in, &info) || !IsPlainFile(info.dwFileAttributes))
        return false;
    // Checked again just before the write: a folder on the way may have become a link.
    if (PassesThroughFolderLink(entry.path.c_str()))
        return false;
    // A new file, never one that stands there now (a link included): it takes the
    // permissions of its folder, as a file made there does.
    OwnedFile out(CreateFileA(entry.path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              SettableAttributes(entry.attributes), nullptr));
    if (!out)
        return false;
    bool whole = CopyHashed(in, out, entry.hash) && SetFileTime(out, &entry.created, &entry.accessed, &entry.written);
    out.Reset();
    if (!whole) {
        SetFileAttributesA(entry.path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(entry.path.c_str());
    }
    return whole;
}

bool HoldsSavedFile(const std::string& path, const std::string& source, const std::string& hash)
{
    OwnedFile saved(CreateFileA(source.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION savedInfo;
    if (!saved || !GetFileInformationByHandle(saved, &savedInfo))
        return false;
    // Read no more of what stands there than the saved file holds.
    std::string found;
    return HashFile(path.c_str(), SizeOf(savedInfo), &found) && found == hash;
}

bool SetFolderAttributesAndTimes(const BackupEntry& entry)
{
    if (PassesThroughFolderLink(entry.path.c_str()))
        return false;
    OwnedFile folder(CreateFileA(entry.path.c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, kShareAll, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!folder || !GetFileInformationByHandle(folder, &info) ||
        !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    SetFileAttributesA(entry.path.c_str(), SettableAttributes(entry.attributes));
    return SetFileTime(folder, &entry.created, &entry.accessed, &entry.written) != 0;
}

bool RestoreLinkKey(const BackupEntry& entry)
{
    HKEY root = GetRootKeyByName(entry.root.c_str());
    std::wstring path;
    wchar_t target[1024];
    int targetLength = MultiByteToWideChar(CP_UTF8, 0, entry.stored.c_str(), -1, target, 1024);
    if (!root || targetLength <= 1 || !regfile::WidenAnsi(entry.path.c_str(), entry.path.size(), &path))
        return false;
    size_t cut = path.rfind(L'\\');
    if (cut == std::wstring::npos || cut == 0 || cut + 1 == path.size())
        return false;
    OwnedKey parent;
    if (!OpenKeyWithoutLinks(root, path.substr(0, cut), KEY_CREATE_SUB_KEY, &parent))
        return false;
    std::wstring name = path.substr(cut + 1);
    OwnedKey key;
    DWORD disposition = 0;
    if (RegCreateKeyExW(parent, name.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS | PhysicalView(),
                        nullptr, key.Out(), &disposition) != ERROR_SUCCESS)
        return RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE | PhysicalView(),
                             key.Out()) == ERROR_SUCCESS &&
               IsRegistryLink(key);  // put back by an earlier restore
    if (disposition != REG_CREATED_NEW_KEY)
        return false;
    return RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target),
                          static_cast<DWORD>((targetLength - 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}
