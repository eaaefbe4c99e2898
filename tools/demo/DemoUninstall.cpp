// The uninstaller that one demo product brings. Like many real ones it removes
// only what its install log lists and its own uninstall entry: the data folder,
// the shortcuts, the auto-start value, the COM class, the file type and the
// keys under Software stay behind. "/S" uninstalls without asking.
#include <windows.h>

#include <string>

#include "InstallLog.h"
#include "machine/Registry.h"
#include "machine/ShellFolders.h"
#include "machine/Text.h"

using machine::Ansi;
using machine::JoinPath;

namespace {

const char INSTALL_LOG[] = "install.log";

bool IsSilent(const char* commandLine)
{
    if (!commandLine)
        return false;
    while (*commandLine == ' ')
        ++commandLine;
    return _strnicmp(commandLine, "/S", 2) == 0 && (commandLine[2] == '\0' || commandLine[2] == ' ');
}

std::string OwnPath()
{
    char path[MAX_PATH] = "";
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return (length > 0 && length < MAX_PATH) ? path : "";
}

void RemoveFiles(const std::string& folder, const demo::InstallLog& log)
{
    std::string self = OwnPath();
    for (const std::string& name : log.files) {
        std::string path = JoinPath(folder, name);
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (_stricmp(path.c_str(), self.c_str()) == 0 || !DeleteFileA(path.c_str()))
            MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
    // Subfolders after their contents, deepest first.
    for (auto it = log.folders.rbegin(); it != log.folders.rend(); ++it)
        RemoveDirectoryA(JoinPath(folder, *it).c_str());
    DeleteFileA(JoinPath(folder, INSTALL_LOG).c_str());
}

int Report(bool silent, const std::string& text, UINT icon, int result)
{
    if (!silent)
        MessageBoxA(nullptr, text.c_str(), Ansi("卸载程序").c_str(), MB_OK | icon);
    return result;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    bool silent = IsSilent(commandLine);
    std::string folder = machine::ExecutableFolder();
    demo::InstallLog log;
    if (folder.empty() || !demo::ReadInstallLog(JoinPath(folder, INSTALL_LOG), &log))
        return Report(silent, Ansi("找不到安装记录，无法卸载。"), MB_ICONERROR, 2);

    if (!silent) {
        std::string question = Ansi("确定要卸载 ") + log.displayName + Ansi(" 吗?");
        if (MessageBoxA(nullptr, question.c_str(), Ansi("卸载程序").c_str(), MB_YESNO | MB_ICONQUESTION) != IDYES)
            return 1;
    }
    RemoveFiles(folder, log);
    machine::DeleteKeyTree(HKEY_LOCAL_MACHINE, std::string(machine::kUninstallKey) + "\\" + log.uninstallKey);
    return Report(silent, log.displayName + Ansi(" 已卸载。"), MB_ICONINFORMATION, 0);
}
