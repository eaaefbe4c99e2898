#include "smart/NamedPath.h"

#include "framework/AnsiText.h"
#include "framework/IconReference.h"
#include "smart/FolderPaths.h"

#include <windows.h>

#include <cstring>
#include <string>

namespace {

// Extensions of files a command line can run by name.
const char* const kExecutableExtensions[] = {".exe", ".com", ".bat", ".cmd", ".pif", ".scr"};

bool IsBlank(char ch)
{
    return ch == ' ' || ch == '\t';
}

void TrimTrailingBlanks(std::string* text)
{
    while (!text->empty() && IsBlank(text->back()))
        text->pop_back();
}

bool IsDigit(char ch)
{
    return ch >= '0' && ch <= '9';
}

// Drops ",0" or ",-101" at the end: the number of an icon or resource in a module.
void DropIndex(std::string* text)
{
    const char* start = text->c_str();
    const char* comma = FindLastCharDbcs(start, ',');
    if (!comma)
        return;
    const char* digits = comma[1] == '-' ? comma + 2 : comma + 1;
    if (!*digits)
        return;
    for (const char* p = digits; *p; ++p) {
        if (!IsDigit(*p))
            return;
    }
    text->resize(static_cast<size_t>(comma - start));
    TrimTrailingBlanks(text);
}

// Length of the prefix of text that ends in an executable's extension followed by
// a space or the end, the shortest one; 0 when there is none.
size_t ExecutablePrefixLength(const char* text)
{
    for (const char* p = text; *p; p = NextCharDbcs(p)) {
        if (*p != '.')  // where every extension starts
            continue;
        for (const char* extension : kExecutableExtensions) {
            const char* after = SkipPrefixNoCaseDbcs(p, extension);
            if (after && (*after == '\0' || IsBlank(*after)))
                return static_cast<size_t>(after - text);
        }
    }
    return 0;
}

// A drive-letter ("C:\...") or network ("\\server\...") path with no character that
// a path cannot hold (a second ':', quotes, wildcards, '|', '<', '>', '/').
bool IsPlainPath(const char* text)
{
    bool drive = ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z')) && text[1] == ':' &&
                 text[2] == '\\';
    bool network = text[0] == '\\' && text[1] == '\\';
    if (!drive && !network)
        return false;
    for (const char* p = text + 2; *p; p = NextCharDbcs(p)) {
        if (IsLeadByteDbcs(*p))
            continue;
        unsigned char ch = static_cast<unsigned char>(*p);
        if (ch < 0x20 || FindCharDbcs("\"<>|?*:/", static_cast<char>(ch)))
            return false;
    }
    return true;
}

}  // namespace

bool NamedPath(const char* text, char* path, size_t pathSize)
{
    if (!path || pathSize == 0)
        return false;
    path[0] = '\0';
    if (!text)
        return false;
    while (IsBlank(*text))
        ++text;
    std::string item;
    if (*text == '"') {
        const char* close = FindCharDbcs(text + 1, '"');
        if (!close)
            return false;
        item.assign(text + 1, close);
        TrimTrailingBlanks(&item);
        if (!IsPlainPath(item.c_str()) && ExecutablePrefixLength(item.c_str()) != item.size())
            return false;
    } else {
        std::string whole(text);
        TrimTrailingBlanks(&whole);
        DropIndex(&whole);
        size_t length = ExecutablePrefixLength(whole.c_str());
        if (length)
            item = whole.substr(0, length);
        else if (IsPlainPath(whole.c_str()))
            item = whole;
    }
    TrimTrailingBlanks(&item);
    return !item.empty() && CopyText(path, pathSize, item.c_str());
}

bool IsClassId(const char* text)
{
    size_t length = strlen(text);
    return length > 2 && text[0] == '{' && text[length - 1] == '}' && !FindCharDbcs(text, '\\');
}

bool IsSingleKeyName(const char* name)
{
    return name[0] != '\0' && !FindCharDbcs(name, '\\');
}

const char* LeafName(const char* keyPath)
{
    const char* slash = FindLastCharDbcs(keyPath, '\\');
    return slash ? slash + 1 : keyPath;
}

bool EntryFolder(EntryValue which, const char* text, char* folder)
{
    char named[MAX_PATH];
    int index = 0;
    bool ok = which == ENTRY_INSTALL_LOCATION ? CopyText(named, MAX_PATH, text[0] == '"' ? text + 1 : text)
              : which == ENTRY_UNINSTALLER ? NamedPath(text, named, MAX_PATH) && CutAtLastBackslash(named)
                           : ReadIconReference(text, named, MAX_PATH, &index) && CutAtLastBackslash(named);
    char* quote = ok && which == ENTRY_INSTALL_LOCATION ? FindCharDbcs(named, '"') : nullptr;
    if (quote)
        *quote = '\0';
    return ok && HasDriveColon(named) && NormalizeFolderPath(named, folder);
}

