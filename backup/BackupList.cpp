#include "backup/BackupList.h"

#include "framework/Handles.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char kHeader[] = "UninstallManager backup 1";

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
    for (const std::string* text : {&entry.root, &entry.path, &entry.valueName, &entry.stored})
        line += "\t" + Escape(*text);
    return line;
}

bool ParseEntry(const std::vector<std::string>& fields, BackupEntry* entry)
{
    if (fields.size() != 12 || fields[0] != "item")
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
           Unescape(fields[10], &entry->valueName) && Unescape(fields[11], &entry->stored);
}

bool Refuse(std::string* reason, const char* why)
{
    if (reason)
        *reason = why;
    return false;
}

}  // namespace

unsigned long long Checksum(const std::string& bytes)
{
    unsigned long long sum = 14695981039346656037ull;
    for (unsigned char byte : bytes) {
        sum ^= byte;
        sum *= 1099511628211ull;
    }
    return sum;
}

bool ReadFileBytes(const char* file, std::string* bytes)
{
    bytes->clear();
    OwnedFile handle(CreateFileA(file, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!handle)
        return false;
    char buffer[16384];
    DWORD read = 0;
    while (ReadFile(handle, buffer, sizeof(buffer), &read, nullptr) && read > 0)
        bytes->append(buffer, read);
    return read == 0;
}

bool WriteFileBytes(const char* file, const std::string& bytes)
{
    std::string temporary = std::string(file) + ".new";
    {
        OwnedFile handle(CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
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
    text += "reg\t" + Hex(regSize) + "\t" + Hex(regSum) + "\r\n";
    for (const BackupEntry& entry : entries)
        text += EntryLine(entry) + "\r\n";
    text += "end\t" + Hex(entries.size()) + "\t" + Hex(Checksum(text)) + "\r\n";
    return WriteFileBytes(file, text);
}

bool BackupList::Read(const char* file, std::string* reason)
{
    std::string text;
    if (!ReadFileBytes(file, &text))
        return Refuse(reason, "unreadable");
    size_t endLine = text.rfind("end\t");
    if (endLine == std::string::npos || text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0)
        return Refuse(reason, "cut short");
    std::vector<std::string> end = SplitFields(text.substr(endLine, text.size() - 2 - endLine));
    unsigned long long count = 0, sum = 0;
    if (end.size() != 3 || !ParseHex(end[1], &count) || !ParseHex(end[2], &sum) ||
        sum != Checksum(text.substr(0, endLine)))
        return Refuse(reason, "checksum");
    entries.clear();
    size_t start = 0;
    int lineNumber = 0;
    while (start < endLine) {
        size_t lineEnd = text.find("\r\n", start);
        std::vector<std::string> fields = SplitFields(text.substr(start, lineEnd - start));
        start = lineEnd + 2;
        unsigned long long size = 0, regChecksum = 0;
        bool ok = true;
        switch (lineNumber++) {
        case 0: ok = fields.size() == 1 && fields[0] == kHeader; break;
        case 1: ok = fields.size() == 2 && fields[0] == "program" && Unescape(fields[1], &program); break;
        case 2: ok = fields.size() == 2 && fields[0] == "time" && Unescape(fields[1], &time); break;
        case 3:
            ok = fields.size() == 3 && fields[0] == "reg" && ParseHex(fields[1], &size) && size <= 0xFFFFFFFFull &&
                 ParseHex(fields[2], &regChecksum);
            regSize = static_cast<DWORD>(size);
            regSum = regChecksum;
            break;
        default:
            entries.emplace_back();
            ok = ParseEntry(fields, &entries.back());
        }
        if (!ok)
            return Refuse(reason, "malformed");
    }
    if (lineNumber < 4 || count != entries.size())
        return Refuse(reason, "malformed");
    return true;
}
