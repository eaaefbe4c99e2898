// The uninstaller that the demo products bring. Like many real ones it removes
// only what its install log lists and its own uninstall entry: the data folder,
// the shortcuts, the auto-start value, the COM class, the file type and the
// keys under Software stay behind. "/S" (or "/VERYSILENT" and "/SILENT", as an
// uninstaller that keeps its .dat beside it takes them) uninstalls without asking;
// No to the question exits with 1 and changes nothing. Done, it exits with the code
// its log gives (3010: the machine must restart to finish). The install log also says how it
// behaves: whether it copies itself to the temporary folder, starts the copy on
// the product folder ("_?=folder", the rest of the command line) and exits at
// once, and how long it stays after its work. A copy schedules its own deletion
// for the next restart.
#include <windows.h>

#include <cstring>
#include <string>

#include "InstallLog.h"
#include "machine/Registry.h"
#include "machine/ShellFolders.h"
#include "machine/Text.h"

using machine::Ansi;
using machine::JoinPath;

namespace {

const char INSTALL_LOG[] = "install.log";
const char* const SILENT_SWITCHES[] = {"/S", "/VERYSILENT", "/SILENT"};
const char FOLDER_SWITCH[] = "_?=";
// The program that started a copy may hold its file a moment after the copy starts.
const int DELETE_ATTEMPTS = 20;
const DWORD DELETE_RETRY_MS = 100;

struct Options {
    bool silent = false;
    std::string folder;  // given to a copy: the product folder it works on
};

Options ParseCommandLine(const char* commandLine)
{
    Options options;
    std::string text = commandLine ? commandLine : "";
    // The folder switch takes the rest of the line, spaces and all.
    size_t folderAt = text.find(FOLDER_SWITCH);
    if (folderAt != std::string::npos && (folderAt == 0 || text[folderAt - 1] == ' ')) {
        options.folder = text.substr(folderAt + strlen(FOLDER_SWITCH));
        text.erase(folderAt);
    }
    size_t start = text.find_first_not_of(' ');
    while (start != std::string::npos) {
        size_t end = text.find(' ', start);
        std::string word = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        for (const char* silent : SILENT_SWITCHES)
            options.silent = options.silent || _stricmp(word.c_str(), silent) == 0;
        start = text.find_first_not_of(' ', end);
    }
    return options;
}

std::string OwnPath()
{
    char path[MAX_PATH] = "";
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return (length > 0 && length < MAX_PATH) ? path : "";
}

// Copies this program to the temporary folder under a new name and starts the
// copy on the product folder, in the temporary folder so that it holds nothing
// of the product.
bool Relaunch(const std::string& folder, bool silent)
{
    char temp[MAX_PATH] = "";
    DWORD length = GetTempPathA(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH)
        return false;
    std::string copy = JoinPath(temp, machine::UniqueName("Un_" + std::to_string(GetTickCount())) + ".exe");
    if (!CopyFileA(OwnPath().c_str(), copy.c_str(), TRUE))
        return false;
    std::string commandLine = "\"" + copy + "\" " + (silent ? "/S " : "") + FOLDER_SWITCH + folder;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(copy.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, temp, &startup,
                        &process)) {
        DeleteFileA(copy.c_str());
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

// Deletes a file, or schedules it for the next restart when it stays held (this
// program's own file always is).
void DeleteOrSchedule(const std::string& path, bool self)
{
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    for (int attempt = 0; !self && attempt < DELETE_ATTEMPTS; ++attempt) {
        if (DeleteFileA(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND)
            return;
        Sleep(DELETE_RETRY_MS);
    }
    MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

void RemoveFiles(const std::string& folder, const demo::InstallLog& log)
{
    std::string self = OwnPath();
    for (const std::string& name : log.files) {
        std::string path = JoinPath(folder, name);
        DeleteOrSchedule(path, _stricmp(path.c_str(), self.c_str()) == 0);
    }
    // Subfolders after their contents, deepest first.
    for (auto it = log.folders.rbegin(); it != log.folders.rend(); ++it)
        RemoveDirectoryA(JoinPath(folder, *it).c_str());
    DeleteFileA(JoinPath(folder, INSTALL_LOG).c_str());
}

int Fail(bool silent, const char* utf8Text, int result)
{
    if (!silent)
        MessageBoxA(nullptr, Ansi(utf8Text).c_str(), Ansi("卸载程序").c_str(), MB_OK | MB_ICONERROR);
    return result;
}

bool Confirmed(const demo::InstallLog& log)
{
    std::string question = Ansi("确定要卸载 ") + log.displayName + Ansi(" 吗?");
    return MessageBoxA(nullptr, question.c_str(), Ansi("卸载程序").c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// The work of an uninstaller that runs from the product folder or of its copy.
int Uninstall(const std::string& folder, const demo::InstallLog& log, bool silent)
{
    if (!silent && !Confirmed(log))
        return 1;
    RemoveFiles(folder, log);
    machine::DeleteKeyTree(HKEY_LOCAL_MACHINE, std::string(machine::kUninstallKey) + "\\" + log.uninstallKey);
    Sleep(static_cast<DWORD>(log.lingerMs));
    return log.exitCode;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    Options options = ParseCommandLine(commandLine);
    const bool copy = !options.folder.empty();
    std::string folder = copy ? options.folder : machine::ExecutableFolder();
    demo::InstallLog log;
    if (folder.empty() || !demo::ReadInstallLog(JoinPath(folder, INSTALL_LOG), &log))
        return Fail(options.silent, "找不到安装记录，无法卸载。", 2);
    if (log.relaunch && !copy)
        return Relaunch(folder, options.silent) ? 0 : Fail(options.silent, "无法启动卸载程序。", 3);
    int result = Uninstall(folder, log, options.silent);
    // A copy in the temporary folder goes at the next restart, whatever the outcome.
    if (copy)
        MoveFileExA(OwnPath().c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return result;
}
