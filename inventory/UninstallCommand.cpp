#include "inventory/UninstallCommand.h"

#include "framework/AnsiText.h"
#include "framework/PathExists.h"

#include <windows.h>

#include <cstring>

namespace {

const char* SkipSpaces(const char* text)
{
    while (*text == ' ' || *text == '\t')
        ++text;
    return text;
}

bool IsBareName(const std::string& name)
{
    return !FindCharDbcs(name.c_str(), '\\') && name.find_first_of("/:") == std::string::npos;
}

// A path that names its drive or server; any other is read against the current
// folder or drive, which whoever started the program chose (a download's folder).
bool IsFullPath(const std::string& path)
{
    const char letter = FoldAscii(path[0]);
    const bool driveRooted = letter >= 'a' && letter <= 'z' && path[1] == ':' && path[2] == '\\';
    return driveRooted || (path[0] == '\\' && path[1] == '\\');
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

// An existing program named by its full path, or a bare name of the system's.
bool ResolveProgram(const std::string& path, std::string* program)
{
    if (path.find_first_of("?*") != std::string::npos)
        return false;
    if (IsBareName(path))
        return FindSystemProgram(path, program);
    if (!IsFullPath(path) || !IsExistingFile(path.c_str()))
        return false;
    *program = path;
    return true;
}

bool EndsProgramAt(const char* text)
{
    return _strnicmp(text, ".exe", 4) == 0 && (text[4] == '\0' || text[4] == ' ' || text[4] == '\t');
}

}  // namespace

bool SplitUninstallCommand(const char* command, std::string* program, std::string* arguments)
{
    program->clear();
    arguments->clear();
    if (!command)
        return false;
    const char* text = SkipSpaces(command);
    if (*text == '"') {
        const char* close = strchr(text + 1, '"');
        if (!close || !ResolveProgram(std::string(text + 1, close), program))
            return false;
        *arguments = SkipSpaces(close + 1);
        return true;
    }
    for (const char* p = text; *p; p = NextCharDbcs(p)) {
        if (EndsProgramAt(p) && ResolveProgram(std::string(text, p + 4), program)) {
            *arguments = SkipSpaces(p + 4);
            return true;
        }
    }
    return false;
}

bool StartUninstallCommand(const char* command, HANDLE job, HANDLE* startedProcess)
{
    std::string program;
    std::string arguments;
    if (!SplitUninstallCommand(command, &program, &arguments))
        return false;
    std::string commandLine = "\"" + program + "\"";
    if (!arguments.empty())
        commandLine += " " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION process = {};
    // Suspended until it is in the job, so nothing it starts escapes the job.
    DWORD flags = job ? CREATE_SUSPENDED : 0;
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, flags, nullptr, nullptr, &startup,
                        &process))
        return false;
    if (job)
        AssignProcessToJobObject(job, process.hProcess);
    if (job)
        ResumeThread(process.hThread);
    CloseHandle(process.hThread);
    if (startedProcess)
        *startedProcess = process.hProcess;
    else
        CloseHandle(process.hProcess);
    return true;
}
