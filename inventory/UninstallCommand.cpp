#include "inventory/UninstallCommand.h"

#include "framework/AnsiText.h"
#include "framework/Handles.h"
#include "framework/ParseCommandLine.h"
#include "inventory/DesktopUser.h"

#include <windows.h>
#include <shellapi.h>

#include <cstring>

namespace {

// The folder of a full program path, with its backslash ("C:\\" for a drive's root).
std::string FolderOf(const std::string& program)
{
    const char* slash = FindLastCharDbcs(program.c_str(), '\\');
    return slash ? std::string(program.c_str(), slash + 1) : std::string();
}

bool StartWithOwnToken(const std::string& program, std::string commandLine, DWORD flags, const std::string& folder,
                       PROCESS_INFORMATION* process)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    return CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, flags, nullptr, folder.c_str(),
                          &startup, process) != 0;
}

// CreateProcessWithTokenW (Vista, Server 2003) is looked up: Windows XP has none,
// and there nothing runs elevated.
bool StartWithToken(HANDLE token, const std::string& program, const std::string& commandLine, DWORD flags,
                    const std::string& folder, PROCESS_INFORMATION* process)
{
    typedef BOOL(WINAPI * CreateWithTokenFunction)(HANDLE, DWORD, LPCWSTR, LPWSTR, DWORD, LPVOID, LPCWSTR,
                                                    LPSTARTUPINFOW, LPPROCESS_INFORMATION);
    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    FARPROC proc = advapi ? GetProcAddress(advapi, "CreateProcessWithTokenW") : nullptr;
    if (!proc)
        return false;
    auto createWithToken = reinterpret_cast<CreateWithTokenFunction>(reinterpret_cast<void (*)()>(proc));
    const std::wstring wideProgram = WideText(program.c_str()), wideFolder = WideText(folder.c_str());
    std::wstring wideLine = WideText(commandLine.c_str());
    if (wideProgram.empty() || wideFolder.empty() || wideLine.empty())
        return false;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    // No environment given: the user's own, not this program's.
    return createWithToken(token, 0, wideProgram.c_str(), &wideLine[0], flags, nullptr, wideFolder.c_str(), &startup,
                           process) != 0;
}

// A user's command (anything not registered under HKLM) never gets an elevated
// program's token: it runs as the desktop user, or not at all.
CommandStart CreateUninstallProcess(HKEY entryRoot, const std::string& program, const std::string& commandLine,
                                    DWORD flags, PROCESS_INFORMATION* process)
{
    // The program's own folder, never the current one (a download's), is where it
    // looks for what it loads by name.
    const std::string folder = FolderOf(program);
    if (folder.empty())
        return COMMAND_NOT_FOUND;
    const CDesktopUser& user = CDesktopUser::Current();
    if (entryRoot == HKEY_LOCAL_MACHINE || !user.ProgramIsElevated())
        return StartWithOwnToken(program, commandLine, flags, folder, process) ? COMMAND_STARTED : COMMAND_FAILED;
    OwnedKernel token(user.OpenToken());
    if (!token)
        return COMMAND_NO_DESKTOP_USER;
    return StartWithToken(token, program, commandLine, flags, folder, process) ? COMMAND_STARTED : COMMAND_FAILED;
}

}  // namespace

CommandStart StartUninstallCommand(const char* command, HKEY entryRoot, HANDLE job, HANDLE* startedProcess)
{
    std::string program;
    std::string arguments;
    if (!FindStartableProgram(command, &program, &arguments))
        return COMMAND_NOT_FOUND;
    std::string commandLine = "\"" + program + "\"";
    if (!arguments.empty())
        commandLine += " " + arguments;
    // Suspended until it is in the job, so nothing it starts escapes the job.
    PROCESS_INFORMATION process = {};
    const CommandStart outcome = CreateUninstallProcess(entryRoot, program, commandLine, job ? CREATE_SUSPENDED : 0,
                                                        &process);
    if (outcome != COMMAND_STARTED)
        return outcome;
    if (job) {
        AssignProcessToJobObject(job, process.hProcess);
        ResumeThread(process.hThread);
    }
    CloseHandle(process.hThread);
    if (startedProcess)
        *startedProcess = process.hProcess;
    else
        CloseHandle(process.hProcess);
    return COMMAND_STARTED;
}

namespace {

// The Windows folder's Explorer, started with what it is to open: as the desktop
// user, or with this program's token when asUser is false.
CommandStart StartExplorer(const std::string& argument, bool asUser)
{
    char windows[MAX_PATH];
    const UINT length = GetWindowsDirectoryA(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return COMMAND_FAILED;
    const std::string explorer = std::string(windows) + "\\explorer.exe";
    const std::string commandLine = "\"" + explorer + "\" \"" + argument + "\"";
    PROCESS_INFORMATION process = {};
    if (!asUser) {
        if (!StartWithOwnToken(explorer, commandLine, 0, windows, &process))
            return COMMAND_FAILED;
    } else {
        OwnedKernel token(CDesktopUser::Current().OpenToken());
        if (!token)
            return COMMAND_NO_DESKTOP_USER;
        if (!StartWithToken(token, explorer, commandLine, 0, windows, &process))
            return COMMAND_FAILED;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return COMMAND_STARTED;
}

}  // namespace

CommandStart OpenLinkAsDesktopUser(const char* link)
{
    if (!link || !*link || strchr(link, '"'))
        return COMMAND_NOT_FOUND;
    const CDesktopUser& user = CDesktopUser::Current();
    if (!user.ProgramIsElevated()) {
        const INT_PTR opened = reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", link, nullptr, nullptr, SW_SHOW));
        return opened > 32 ? COMMAND_STARTED : COMMAND_FAILED;
    }
    return StartExplorer(link, true);
}

CommandStart OpenFolderInExplorer(const char* folder, HKEY entryRoot)
{
    if (!folder || !*folder || strchr(folder, '"'))
        return COMMAND_NOT_FOUND;
    const DWORD attributes = GetFileAttributesA(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return COMMAND_NOT_FOUND;
    const std::string named = EndsWithBackslash(folder) ? folder : std::string(folder) + "\\";
    return StartExplorer(named, entryRoot != HKEY_LOCAL_MACHINE && CDesktopUser::Current().ProgramIsElevated());
}
