#include "framework/AnsiText.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

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
    for (const char* p = text; p && *p; p = CharNextA(p)) {
        if (*p == ch)
            return p;
    }
    return nullptr;
}

const char* FindLastCharDbcs(const char* text, char ch)
{
    const char* found = nullptr;
    for (const char* p = text; p && *p; p = CharNextA(p)) {
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
