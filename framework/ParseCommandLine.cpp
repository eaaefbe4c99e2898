#include "framework/ParseCommandLine.h"

#include "framework/AnsiText.h"
#include "framework/PathExists.h"

#include <windows.h>

#include <vector>

namespace {

// Extensions of the files a command line runs by name.
const char* const kProgramExtensions[] = {".exe", ".com", ".bat", ".cmd", ".pif", ".scr"};

bool IsBlank(char ch)
{
    return ch == ' ' || ch == '\t';
}

const char* SkipBlanks(const char* text)
{
    while (IsBlank(*text))
        ++text;
    return text;
}

std::string WithoutTrailingBlanks(std::string text)
{
    while (!text.empty() && IsBlank(text.back()))
        text.pop_back();
    return text;
}

// Where a program's name ends when one of its extensions starts at p and a blank or
// the end follows; nullptr otherwise.
const char* AfterProgramExtension(const char* p)
{
    for (const char* extension : kProgramExtensions) {
        const char* after = SkipPrefixNoCaseDbcs(p, extension);
        if (after && (*after == '\0' || IsBlank(*after)))
            return after;
    }
    return nullptr;
}

bool HasProgramExtension(const std::string& name)
{
    for (const char* extension : kProgramExtensions) {
        if (HasExtension(name.c_str(), extension))
            return true;
    }
    return false;
}

bool HasWildcard(const std::string& path)
{
    return path.find_first_of("?*") != std::string::npos;
}

// No folder in it: a name the system looks for along its search path.
bool IsBareName(const std::string& name)
{
    return !FindCharDbcs(name.c_str(), '\\') && name.find_first_of("/:") == std::string::npos;
}

// A path that names its drive or server; any other is read against the current
// folder or drive, which whoever started the program chose (a download's folder).
bool IsFullPath(const std::string& path)
{
    const char* p = path.c_str();
    const char letter = FoldAscii(p[0]);
    const bool driveRooted = letter >= 'a' && letter <= 'z' && p[1] == ':' && p[2] == '\\';
    return driveRooted || (p[0] == '\\' && p[1] == '\\');
}

// The text with its environment references expanded; false when it does not fit MAX_PATH.
bool Expanded(const std::string& text, std::string* expanded)
{
    if (!FindCharDbcs(text.c_str(), '%')) {
        *expanded = text;
        return text.size() < MAX_PATH;
    }
    char buffer[MAX_PATH];
    const DWORD length = ExpandEnvironmentStringsA(text.c_str(), buffer, MAX_PATH);
    if (length == 0 || length > MAX_PATH)
        return false;
    *expanded = buffer;
    return true;
}

// A bare name is the system's own program: in the system folder, else the Windows
// folder. Never the current folder, the program's own or PATH, where anyone may
// have put a program of that name.
bool FindSystemProgram(const std::string& name, std::string* program)
{
    UINT(WINAPI* const folders[])(LPSTR, UINT) = {GetSystemDirectoryA, GetSystemWindowsDirectoryA};
    for (auto folderOf : folders) {
        char folder[MAX_PATH];
        char path[MAX_PATH];
        const UINT length = folderOf(folder, MAX_PATH);
        if (length == 0 || length >= MAX_PATH)
            continue;
        if (FormatText(path, MAX_PATH, "%s%s%s", folder, EndsWithBackslash(folder) ? "" : "\\", name.c_str()) &&
            IsExistingFile(path)) {
            *program = path;
            return true;
        }
    }
    return false;
}

// What one reading of the program's text names.
CommandProgram Resolve(const std::string& text, std::string* program)
{
    std::string name;
    if (!Expanded(WithoutTrailingBlanks(text), &name) || name.empty())
        return PROGRAM_NONE;
    *program = name;
    if (IsFullPath(name))
        return HasWildcard(name) ? PROGRAM_UNRESOLVED : PROGRAM_PATH;
    if (!HasProgramExtension(name))
        return PROGRAM_NONE;
    if (!HasWildcard(name) && IsBareName(name) && FindSystemProgram(name, program))
        return PROGRAM_PATH;
    return PROGRAM_UNRESOLVED;
}

// Where each start of text that may be the program ends, shortest first; none past
// MAX_PATH, which no path fills.
std::vector<const char*> ProgramEnds(const char* text)
{
    std::vector<const char*> ends;
    for (const char* p = text; *p && p - text < MAX_PATH; p = NextCharDbcs(p)) {
        const char* after = *p == '.' ? AfterProgramExtension(p) : nullptr;
        if (after)
            ends.push_back(after);
    }
    return ends;
}

// Of several starts that may be the program, the shortest naming an existing file.
const char* ExistingProgramEnd(const char* text, const std::vector<const char*>& ends)
{
    std::string program;
    for (const char* end : ends) {
        if (Resolve(std::string(text, end), &program) == PROGRAM_PATH && IsExistingFile(program.c_str()))
            return end;
    }
    return nullptr;
}

// The unquoted program; *end is where it ends in text. Only where several starts may
// be the program is the disk asked which one is; else the shortest is.
CommandProgram ResolveUnquoted(const char* text, std::string* program, const char** end)
{
    const std::vector<const char*> ends = ProgramEnds(text);
    if (ends.empty())
        return PROGRAM_NONE;
    const char* existing = ends.size() > 1 ? ExistingProgramEnd(text, ends) : nullptr;
    *end = existing ? existing : ends[0];
    return Resolve(std::string(text, *end), program);
}

}  // namespace

CommandProgram ParseCommandLine(const char* command, std::string* program, std::string* arguments)
{
    program->clear();
    arguments->clear();
    if (!command)
        return PROGRAM_NONE;
    const char* text = SkipBlanks(command);
    CommandProgram named = PROGRAM_NONE;
    const char* rest = "";
    if (*text == '"') {
        const char* close = FindCharDbcs(text + 1, '"');
        named = Resolve(close ? std::string(text + 1, close) : std::string(text + 1), program);
        rest = close ? close + 1 : "";
    } else {
        named = ResolveUnquoted(text, program, &rest);
    }
    if (named == PROGRAM_NONE) {
        program->clear();
        return PROGRAM_NONE;
    }
    *arguments = WithoutTrailingBlanks(SkipBlanks(rest));
    return named;
}

bool FindStartableProgram(const char* command, std::string* program, std::string* arguments)
{
    if (ParseCommandLine(command, program, arguments) == PROGRAM_PATH && IsExistingFile(program->c_str()))
        return true;
    program->clear();
    arguments->clear();
    return false;
}
