#include "backup/BackupList.h"

#include "backup/RegFileFormat.h"
#include "backup/SealedText.h"
#include "backup/Sha256.h"
#include "framework/AnsiText.h"
#include "framework/Handles.h"
#include "framework/ReadWholeFile.h"
#include "smart/TraceItem.h"
#include "smart/TraceRemoval.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char kHeader[] = "UninstallManager backup 2";
const size_t kEntryFields = 13;

unsigned long long TimeValue(const FILETIME& time)
{
    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME TimeOf(unsigned long long value)
{
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(value);
    time.dwHighDateTime = static_cast<DWORD>(value >> 32);
    return time;
}

std::string EntryLine(const BackupEntry& entry)
{
    std::string line = "item";
    for (unsigned long long number :
         {static_cast<unsigned long long>(entry.kind), static_cast<unsigned long long>(entry.hold),
          static_cast<unsigned long long>(entry.outcome), static_cast<unsigned long long>(entry.attributes),
          TimeValue(entry.created), TimeValue(entry.accessed), TimeValue(entry.written)})
        line += "\t" + Hex(number);
    for (const std::string* text : {&entry.root, &entry.path, &entry.valueName, &entry.stored, &entry.hash})
        line += "\t" + EscapeField(*text);
    return line;
}

bool ParseEntry(const std::vector<std::string>& fields, BackupEntry* entry)
{
    if (fields.size() != kEntryFields || fields[0] != "item")
        return false;
    unsigned long long numbers[7];
    for (int i = 0; i < 7; ++i) {
        if (!ParseHex(fields[1 + i], &numbers[i]))
            return false;
    }
    if (numbers[0] < 1 || numbers[0] > 4 || numbers[1] > HOLD_REGLINK || numbers[2] > 4 || numbers[3] > 0xFFFFFFFFull)
        return false;
    entry->kind = static_cast<int>(numbers[0]);
    entry->hold = static_cast<int>(numbers[1]);
    entry->outcome = static_cast<int>(numbers[2]);
    entry->attributes = static_cast<DWORD>(numbers[3]);
    entry->created = TimeOf(numbers[4]);
    entry->accessed = TimeOf(numbers[5]);
    entry->written = TimeOf(numbers[6]);
    return UnescapeField(fields[8], &entry->root) && UnescapeField(fields[9], &entry->path) &&
           UnescapeField(fields[10], &entry->valueName) && UnescapeField(fields[11], &entry->stored) &&
           UnescapeField(fields[12], &entry->hash);
}

// "YYYY-MM-DD HH:MM:SS", digits where digits belong: it is written back as it is read.
bool IsRunTime(const std::string& time)
{
    const char pattern[] = "0000-00-00 00:00:00";
    if (time.size() != sizeof(pattern) - 1)
        return false;
    for (size_t i = 0; i < time.size(); ++i) {
        bool digit = time[i] >= '0' && time[i] <= '9';
        if (pattern[i] == '0' ? !digit : time[i] != pattern[i])
            return false;
    }
    return true;
}

}  // namespace

bool IsPlainName(const char* first, const char* end)
{
    if (first == end || end[-1] == '.' || end[-1] == ' ')
        return false;  // "." and ".." end with a dot too
    for (const char* p = first; p < end; p = NextCharDbcs(p)) {
        unsigned char ch = static_cast<unsigned char>(*p);
        if (NextCharDbcs(p) == p + 1 && (ch < 32 || strchr("\\/:*?\"<>|", ch)))
            return false;
    }
    return true;
}

bool IsFullFilePath(const std::string& path)
{
    const char* text = path.c_str();
    if (path.size() < 4 || path.size() >= MAX_PATH || !isalpha(static_cast<unsigned char>(text[0])) ||
        text[1] != ':' || text[2] != '\\')
        return false;
    const char* first = text + 3;
    for (;;) {
        const char* separator = FindCharDbcs(first, '\\');
        const char* end = separator ? separator : text + path.size();
        if (!IsPlainName(first, end))
            return false;
        if (!separator)
            return true;
        first = separator + 1;
    }
}

namespace {

bool IsHeldByKind(int kind, int hold)
{
    switch (kind) {
    case TRACE_FILE:
        return hold == HOLD_NONE || hold == HOLD_MOVED || hold == HOLD_COPIED || hold == HOLD_GONE;
    case TRACE_FOLDER:
        return hold == HOLD_NONE || hold == HOLD_FOLDER || hold == HOLD_GONE;
    case TRACE_REGKEY:
        return hold == HOLD_NONE || hold == HOLD_REGISTRY || hold == HOLD_GONE || hold == HOLD_REGLINK;
    case TRACE_REGVALUE:
        return hold == HOLD_NONE || hold == HOLD_REGISTRY || hold == HOLD_GONE;
    default:
        return false;
    }
}

// Only a copied file (in use) and a folder it was in wait for the restart.
bool IsOutcomeOfHold(const BackupEntry& entry)
{
    if (entry.outcome != REMOVAL_SCHEDULED)
        return true;
    return (entry.kind == TRACE_FILE && entry.hold == HOLD_COPIED) ||
           (entry.kind == TRACE_FOLDER && entry.hold == HOLD_FOLDER);
}

// A link key leads into its own hive: the machine's for the machine's keys and
// classes, the users' for the user's.
bool IsLinkTarget(const std::string& root, const std::string& target)
{
    const char* hive = root == "HKEY_CURRENT_USER" ? "\\REGISTRY\\USER\\" : "\\REGISTRY\\MACHINE\\";
    size_t length = strlen(hive);
    if (target.size() <= length || target.size() > 1024 || _strnicmp(target.c_str(), hive, length) != 0)
        return false;
    for (unsigned char ch : target) {
        if (ch < 32)
            return false;
    }
    return true;
}

bool IsValidRegistryEntry(const BackupEntry& entry)
{
    if (!GetRootKeyByName(entry.root.c_str()) || entry.path.empty() || entry.path.size() >= MAX_PATH ||
        !regfile::IsKeyPath(entry.path.c_str()) || entry.valueName.size() >= MAX_PATH || !entry.hash.empty())
        return false;
    if (entry.kind == TRACE_REGKEY && !entry.valueName.empty())
        return false;
    return entry.hold == HOLD_REGLINK ? IsLinkTarget(entry.root, entry.stored) : entry.stored.empty();
}

bool Refuse(std::string* reason, const char* why)
{
    if (reason)
        *reason = why;
    return false;
}

}  // namespace

std::string StoredNameOf(size_t index)
{
    return std::string("files\\") + std::to_string(index);
}

bool IsValidEntry(const BackupEntry& entry, size_t index)
{
    if (!IsHeldByKind(entry.kind, entry.hold) || !IsOutcomeOfHold(entry))
        return false;
    if (entry.kind == TRACE_REGKEY || entry.kind == TRACE_REGVALUE)
        return IsValidRegistryEntry(entry);
    if (!entry.root.empty() || !entry.valueName.empty() || !IsFullFilePath(entry.path))
        return false;
    if (entry.hold != HOLD_MOVED && entry.hold != HOLD_COPIED)
        return entry.stored.empty() && entry.hash.empty();
    return entry.stored == StoredNameOf(index) && IsSha256Hex(entry.hash);
}

bool WriteFileBytes(const char* file, const std::string& bytes)
{
    std::string temporary = std::string(file) + ".new";
    // A new file: a link left at the temporary name is removed, never written through.
    DeleteFileA(temporary.c_str());
    {
        OwnedFile handle(CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        if (!handle)
            return false;
        DWORD written = 0;
        bool ok = WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size() && FlushFileBuffers(handle);
        if (!ok) {
            handle.Reset();
            DeleteFileA(temporary.c_str());
            return false;
        }
    }
    if (MoveFileExA(temporary.c_str(), file, MOVEFILE_REPLACE_EXISTING))
        return true;
    DeleteFileA(temporary.c_str());
    return false;
}

bool BackupList::Write(const char* file) const
{
    std::string text = std::string(kHeader) + "\r\n";
    text += "program\t" + EscapeField(program) + "\r\n";
    text += "time\t" + EscapeField(time) + "\r\n";
    text += "reg\t" + Hex(regSize) + "\t" + regHash + "\r\n";
    for (const BackupEntry& entry : entries)
        text += EntryLine(entry) + "\r\n";
    const std::string sealed = SealText(text, entries.size());
    return !sealed.empty() && WriteFileBytes(file, sealed);
}

bool BackupList::Read(const char* file, std::string* reason)
{
    std::string text;
    if (!ReadWholeFile(file, kLargestBackupList, &text))
        return Refuse(reason, "unreadable or too large");
    std::vector<std::string> lines;
    unsigned long long count = 0;
    if (!UnsealText(text, &lines, &count))
        return Refuse(reason, "checksum");
    entries.clear();
    for (size_t lineNumber = 0; lineNumber < lines.size(); ++lineNumber) {
        std::vector<std::string> fields = SplitFields(lines[lineNumber]);
        unsigned long long size = 0;
        bool ok = true;
        switch (lineNumber) {
        case 0: ok = fields.size() == 1 && fields[0] == kHeader; break;
        case 1: ok = fields.size() == 2 && fields[0] == "program" && UnescapeField(fields[1], &program); break;
        case 2:
            ok = fields.size() == 2 && fields[0] == "time" && UnescapeField(fields[1], &time) && IsRunTime(time);
            break;
        case 3:
            ok = fields.size() == 3 && fields[0] == "reg" && ParseHex(fields[1], &size) &&
                 size <= kLargestBackupRegistry && IsSha256Hex(fields[2]);
            regSize = static_cast<DWORD>(size);
            regHash = fields[2];
            break;
        default:
            entries.emplace_back();
            ok = ParseEntry(fields, &entries.back());
        }
        if (!ok)
            return Refuse(reason, "malformed");
    }
    for (size_t index = 0; index < entries.size(); ++index) {
        if (!IsValidEntry(entries[index], index))
            return Refuse(reason, "an entry no removal writes");
    }
    if (lines.size() < 4 || count != entries.size())
        return Refuse(reason, "malformed");
    return true;
}
