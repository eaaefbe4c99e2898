#include "smart/NamedPath.h"

#include "framework/AnsiText.h"
#include "framework/IconReference.h"
#include "framework/ParseCommandLine.h"
#include "smart/FolderPaths.h"

#include <windows.h>

#include <cstring>
#include <string>

namespace {

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

// The install location as its text holds it, without the quotes some installers add.
bool InstallLocation(const char* text, char* folder)
{
    if (!CopyText(folder, MAX_PATH, text[0] == '"' ? text + 1 : text))
        return false;
    char* quote = FindCharDbcs(folder, '"');
    if (quote)
        *quote = '\0';
    return true;
}

// The folder of the program a command runs, when the command names it in full.
bool CommandFolder(const char* command, char* folder)
{
    std::string program;
    std::string arguments;
    return ParseCommandLine(command, &program, &arguments) == PROGRAM_PATH &&
           CopyText(folder, MAX_PATH, program.c_str()) && CutAtLastBackslash(folder);
}

bool IconFolder(const char* reference, char* folder)
{
    int index = 0;
    return ReadIconReference(reference, folder, MAX_PATH, &index) && CutAtLastBackslash(folder);
}

}  // namespace

bool NamedPath(const char* text, char* path, size_t pathSize)
{
    if (!path || pathSize == 0)
        return false;
    path[0] = '\0';
    std::string program;
    std::string arguments;
    if (ParseCommandLine(text, &program, &arguments) != PROGRAM_NONE)
        return CopyText(path, pathSize, program.c_str());
    // No command: a module or icon with its number, or a plain path.
    char named[MAX_PATH];
    int index = 0;
    return ReadIconReference(text, named, MAX_PATH, &index) && IsPlainPath(named) && CopyText(path, pathSize, named);
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
    const bool ok = which == ENTRY_INSTALL_LOCATION ? InstallLocation(text, named)
                    : which == ENTRY_UNINSTALLER    ? CommandFolder(text, named)
                                                    : IconFolder(text, named);
    return ok && HasDriveColon(named) && NormalizeFolderPath(named, folder);
}

