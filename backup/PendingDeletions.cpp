#include "backup/PendingDeletions.h"

#include "backup/BackupList.h"
#include "framework/AnsiText.h"
#include "framework/Handles.h"
#include "framework/ReadWholeFile.h"
#include "smart/TraceRemoval.h"

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingRenames[] = L"PendingFileRenameOperations";
// Larger lists are not read: no machine schedules that much, and a restore must not
// take the memory or the time they would.
const DWORD kLargestPendingList = 4 * 1024 * 1024;

// The list is pairs of texts: source ("\??\C:\x") and destination, empty for a deletion.
bool CancelMoveOnReboot(const wchar_t* path)
{
    OwnedKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, key.Out()) !=
        ERROR_SUCCESS)
        return true;  // nothing can be pending where the list cannot be
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, kPendingRenames, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return true;
    if (size > kLargestPendingList || (type != REG_MULTI_SZ && type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 2, L'\0');
    if (RegQueryValueExW(key, kPendingRenames, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
        ERROR_SUCCESS)
        return false;
    // Pairs until an empty source: a deletion's empty destination is an empty text.
    std::vector<std::wstring> texts;
    size_t count = size / sizeof(wchar_t);
    for (size_t start = 0; start < count;) {
        size_t end = start;
        while (end < count && data[end])
            ++end;
        texts.emplace_back(data.data() + start, end - start);
        start = end + 1;
    }
    std::wstring kept;
    bool dropped = false;
    size_t i = 0;
    for (; i < texts.size() && !texts[i].empty(); i += 2) {
        const std::wstring& source = texts[i];
        std::wstring destination = i + 1 < texts.size() ? texts[i + 1] : std::wstring();
        const wchar_t* plain = source.compare(0, 4, L"\\??\\") == 0 ? source.c_str() + 4 : source.c_str();
        if (destination.empty() && lstrcmpiW(plain, path) == 0) {
            dropped = true;
            continue;
        }
        kept += source + L'\0' + destination + L'\0';
    }
    // A list that goes on after an empty source is not one this code understands:
    // rewriting it could lose entries, so it is left as it is.
    for (; i < texts.size(); ++i) {
        if (!texts[i].empty())
            return false;
    }
    if (!dropped)
        return true;
    if (kept.empty())
        return RegDeleteValueW(key, kPendingRenames) == ERROR_SUCCESS;
    kept += L'\0';
    return RegSetValueExW(key, kPendingRenames, 0, type, reinterpret_cast<const BYTE*>(kept.data()),
                          static_cast<DWORD>(kept.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
}

// Drops "NUL=<path>" lines (short or long form) from the [rename] section.
bool CancelWininitEntry(const char* path)
{
    char iniPath[MAX_PATH];
    std::string content;
    if (!GetWininitPath(iniPath, MAX_PATH) || GetFileAttributesA(iniPath) == INVALID_FILE_ATTRIBUTES)
        return true;
    if (!ReadWholeFile(iniPath, kLargestWininit, &content))
        return false;
    char shortPath[MAX_PATH] = "";
    DWORD length = GetShortPathNameA(path, shortPath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        shortPath[0] = '\0';
    std::string kept;
    bool inSection = false;
    bool dropped = false;
    for (size_t start = 0; start < content.size();) {
        size_t end = content.find('\n', start);
        size_t next = end == std::string::npos ? content.size() : end + 1;
        std::string line = content.substr(start, next - start);
        start = next;
        if (line[0] == '[')
            inSection = _strnicmp(line.c_str(), "[rename]", 8) == 0;
        std::string entry = line.substr(0, line.find_last_not_of("\r\n") + 1);
        const char* named = inSection ? SkipPrefixNoCaseDbcs(entry.c_str(), "NUL=") : nullptr;
        if (named && (EqualsNoCaseDbcs(named, path) || (shortPath[0] && EqualsNoCaseDbcs(named, shortPath)))) {
            dropped = true;
            continue;
        }
        kept += line;
    }
    return !dropped || WriteFileBytes(iniPath, kept);
}

}  // namespace

bool CancelPendingDeletion(const char* path)
{
    wchar_t wide[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH) == 0)
        return false;
    bool moveOnReboot = CancelMoveOnReboot(wide);
    return CancelWininitEntry(path) && moveOnReboot;
}
