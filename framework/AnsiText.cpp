#include "framework/AnsiText.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

struct LeadBytes {
    bool lead[256];
    LeadBytes()
    {
        for (int byte = 0; byte < 256; ++byte)
            lead[byte] = IsDBCSLeadByte(static_cast<BYTE>(byte)) != FALSE;
    }
};

}  // namespace

bool IsLeadByteDbcs(char ch)
{
    static const LeadBytes table;
    return table.lead[static_cast<unsigned char>(ch)];
}

const char* NextCharDbcs(const char* p)
{
    if (!*p)
        return p;
    return p + (IsLeadByteDbcs(*p) && p[1] ? 2 : 1);
}

bool CopyText(char* dest, size_t destSize, const char* src)
{
    if (!dest || destSize == 0)
        return false;
    dest[0] = '\0';
    if (!src)
        return false;
    size_t length = strlen(src);
    if (length >= destSize)
        return false;
    memcpy(dest, src, length + 1);
    return true;
}

bool FormatText(char* dest, size_t destSize, const char* format, ...)
{
    if (!dest || destSize == 0)
        return false;
    va_list args;
    va_start(args, format);
    int written = vsnprintf(dest, destSize, format, args);
    va_end(args);
    if (written < 0 || static_cast<size_t>(written) >= destSize) {
        dest[0] = '\0';
        return false;
    }
    return true;
}

bool AppendText(char* dest, size_t destSize, const char* src)
{
    size_t used = strlen(dest);
    size_t extra = strlen(src);
    if (used + extra >= destSize)
        return false;
    memcpy(dest + used, src, extra + 1);
    return true;
}

const char* FindCharDbcs(const char* text, char ch)
{
    for (const char* p = text; p && *p; p = NextCharDbcs(p)) {
        if (*p == ch)
            return p;
    }
    return nullptr;
}

const char* FindLastCharDbcs(const char* text, char ch)
{
    const char* found = nullptr;
    for (const char* p = text; p && *p; p = NextCharDbcs(p)) {
        if (*p == ch)
            found = p;
    }
    return found;
}

char* FindCharDbcs(char* text, char ch)
{
    return const_cast<char*>(FindCharDbcs(static_cast<const char*>(text), ch));
}

char* FindLastCharDbcs(char* text, char ch)
{
    return const_cast<char*>(FindLastCharDbcs(static_cast<const char*>(text), ch));
}

bool EndsWithBackslash(const char* text)
{
    const char* last = FindLastCharDbcs(text, '\\');
    return last && last[1] == '\0';
}

bool HasExtension(const char* path, const char* ext)
{
    const char* dot = FindLastCharDbcs(path, '.');
    return dot && _stricmp(dot, ext) == 0;
}

char FoldAscii(char ch)
{
    return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch;
}

const char* SkipPrefixNoCaseDbcs(const char* text, const char* prefix)
{
    if (!text || !prefix)
        return nullptr;
    const char* t = text;
    const char* p = prefix;
    while (*p) {
        if (IsLeadByteDbcs(*p)) {
            if (t[0] != p[0] || p[1] == '\0' || t[1] != p[1])
                return nullptr;
            t += 2;
            p += 2;
            continue;
        }
        if (IsLeadByteDbcs(*t) || FoldAscii(*t) != FoldAscii(*p))
            return nullptr;
        ++t;
        ++p;
    }
    return t;
}

std::string FoldedText(const char* text)
{
    std::string folded;
    for (const char* at = text; *at;) {
        const char* next = NextCharDbcs(at);
        if (next == at + 1)
            folded += FoldAscii(*at);
        else
            folded.append(at, next);
        at = next;
    }
    return folded;
}

bool EqualsNoCaseDbcs(const char* a, const char* b)
{
    const char* rest = SkipPrefixNoCaseDbcs(a, b);
    return rest && *rest == '\0';
}

const char* FindTextNoCaseDbcs(const char* text, const char* pattern)
{
    if (!text || !pattern)
        return nullptr;
    for (const char* p = text;; p = NextCharDbcs(p)) {
        if (SkipPrefixNoCaseDbcs(p, pattern))
            return p;
        if (!*p)
            return nullptr;
    }
}

const char* CharAtDbcs(const char* text, int index)
{
    const char* p = text;
    for (int i = 0; p && *p && i < index; ++i)
        p = NextCharDbcs(p);
    return (p && *p) ? p : nullptr;
}

std::wstring WideText(const char* text)
{
    const int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (size <= 0)
        return std::wstring();
    std::wstring result(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &result[0], size);
    result.resize(static_cast<size_t>(size) - 1);
    return result;
}
