#include "backup/BackupList.h"

#include "backup/RegFileFormat.h"
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

// Tabs and line ends separate fields and lines; '%' escapes them. None of these
// bytes is ever the second byte of a double-byte character.
std::string Escape(const std::string& text)
{
    std::string escaped;
    for (char ch : text) {
        if (ch == '%' || ch == '\t' || ch == '\r' || ch == '\n') {
            char code[4];
            snprintf(code, sizeof(code), "%%%02X", static_cast<unsigned char>(ch));
            escaped += code;
        } else {
            escaped += ch;
        }
    }
    return escaped;
}

bool Unescape(const std::string& text, std::string* plain)
{
    plain->clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            *plain += text[i];
            continue;
        }
        if (i + 2 >= text.size() || !isxdigit(static_cast<unsigned char>(text[i + 1])) ||
            !isxdigit(static_cast<unsigned char>(text[i + 2])))
            return false;
        *plain += static_cast<char>(strtoul(text.substr(i + 1, 2).c_str(), nullptr, 16));
        i += 2;
    }
    return true;
}

std::vector<std::string> SplitFields(const std::string& line)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos)
            return fields;
        start = tab + 1;
    }
}

// A number written by Write: hexadecimal digits only, within 64 bits.
bool ParseHex(const std::string& text, unsigned long long* value)
{
    if (text.empty() || text.size() > 16 || text.find_first_not_of("0123456789ABCDEF") != std::string::npos)
        return false;
    *value = strtoull(text.c_str(), nullptr, 16);
    return true;
}

std::string Hex(unsigned long long value)
{
    char text[20];
    snprintf(text, sizeof(text), "%llX", value);
    return text;
}

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
        line += "\t" + Escape(*text);
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
    return Unescape(fields[8], &entry->root) && Unescape(fields[9], &entry->path) &&
           Unescape(fields[10], &entry->valueName) && Unescape(fields[11], &entry->stored) &&
           Unescape(fields[12], &entry->hash);
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

namespace {

// "X:\name\name...": a drive, then plain names joined by single backslashes.
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
    text += "program\t" + Escape(program) + "\r\n";
    text += "time\t" + Escape(time) + "\r\n";
    text += "reg\t" + Hex(regSize) + "\t" + regHash + "\r\n";
    for (const BackupEntry& entry : entries)
        text += EntryLine(entry) + "\r\n";
    std::string sum = Sha256Hex(text);
    if (sum.empty())
        return false;
    text += "end\t" + Hex(entries.size()) + "\t" + sum + "\r\n";
    return WriteFileBytes(file, text);
}

bool BackupList::Read(const char* file, std::string* reason)
{
    std::string text;
    if (!ReadWholeFile(file, kLargestBackupList, &text))
        return Refuse(reason, "unreadable or too large");
    size_t endLine = text.rfind("end\t");
    if (endLine == std::string::npos || text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0)
        return Refuse(reason, "cut short");
    std::vector<std::string> end = SplitFields(text.substr(endLine, text.size() - 2 - endLine));
    unsigned long long count = 0;
    if (end.size() != 3 || !ParseHex(end[1], &count) || !IsSha256Hex(end[2]) ||
        end[2] != Sha256Hex(text.substr(0, endLine)))
        return Refuse(reason, "checksum");
    entries.clear();
    size_t start = 0;
    int lineNumber = 0;
    while (start < endLine) {
        size_t lineEnd = text.find("\r\n", start);
        std::vector<std::string> fields = SplitFields(text.substr(start, lineEnd - start));
        start = lineEnd + 2;
        unsigned long long size = 0;
        bool ok = true;
        switch (lineNumber++) {
        case 0: ok = fields.size() == 1 && fields[0] == kHeader; break;
        case 1: ok = fields.size() == 2 && fields[0] == "program" && Unescape(fields[1], &program); break;
        case 2: ok = fields.size() == 2 && fields[0] == "time" && Unescape(fields[1], &time) && IsRunTime(time); break;
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
    if (lineNumber < 4 || count != entries.size())
        return Refuse(reason, "malformed");
    return true;
}
