#include "framework/IconReference.h"

#include "framework/AnsiText.h"
#include "framework/PathExists.h"

#include <windows.h>

#include <climits>
#include <string>

namespace {

bool IsBlank(char ch)
{
    return ch == ' ' || ch == '\t';
}

std::string Trimmed(const char* text)
{
    while (IsBlank(*text))
        ++text;
    std::string trimmed(text);
    while (!trimmed.empty() && IsBlank(trimmed.back()))
        trimmed.pop_back();
    return trimmed;
}

// A whole number, spaces around it allowed; one beyond int's range is icon 0.
bool ParseIndex(const char* text, int* index)
{
    while (IsBlank(*text))
        ++text;
    const bool negative = *text == '-';
    text += negative || *text == '+';
    long long value = 0;
    bool inRange = true;
    const char* digits = text;
    for (; *text >= '0' && *text <= '9'; ++text) {
        inRange = inRange && value <= (INT_MAX - (*text - '0')) / 10;
        value = inRange ? value * 10 + (*text - '0') : 0;
    }
    while (IsBlank(*text))
        ++text;
    if (text == digits || *text)
        return false;
    *index = inRange ? static_cast<int>(negative ? -value : value) : 0;
    return true;
}

// The text without its quotes: the quoted part when it starts with one (an
// unclosed quote runs to the end), else the text itself.
std::string Unquoted(const std::string& text)
{
    if (text.empty() || text[0] != '"')
        return text;
    const char* start = text.c_str() + 1;
    const char* close = FindCharDbcs(start, '"');
    return close ? std::string(start, close) : std::string(start);
}

bool Expand(const std::string& text, char* path, size_t pathSize)
{
    if (!FindCharDbcs(text.c_str(), '%'))
        return CopyText(path, pathSize, text.c_str());
    char expanded[MAX_PATH];
    DWORD length = ExpandEnvironmentStringsA(text.c_str(), expanded, MAX_PATH);
    return length > 0 && length <= MAX_PATH && CopyText(path, pathSize, expanded);
}

}  // namespace

bool ReadIconReference(const char* text, char* path, size_t pathSize, int* index)
{
    if (!path || pathSize == 0)
        return false;
    path[0] = '\0';
    *index = 0;
    if (!text)
        return false;
    const std::string reference = Trimmed(text);
    const char* start = reference.c_str();
    const char* comma = FindLastCharDbcs(start, ',');
    int number = 0;
    std::string file = reference;
    // Only a trailing ",<integer>" needs the disk: it may be part of a file's name,
    // and the whole value names such a file, quoted or not.
    if (comma && ParseIndex(comma + 1, &number)) {
        const bool wholeQuoted =
            reference.size() >= 2 && reference[0] == '"' && Unquoted(reference).size() + 2 == reference.size();
        if (Expand(wholeQuoted ? Unquoted(reference) : reference, path, pathSize) && path[0] && IsExistingFile(path))
            return true;
        *index = number;
        file = Trimmed(std::string(start, comma).c_str());
    }
    if (!Expand(Unquoted(file), path, pathSize)) {
        path[0] = '\0';
        return false;
    }
    return path[0] != '\0';
}
