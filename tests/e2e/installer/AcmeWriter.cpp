// The program the end-to-end test's real installer installs as AcmeWriter.exe. As
// programs do, its first start writes the user's settings under %APPDATA%\AcmeWriter
// and a log next to itself; neither was installed, so the uninstaller leaves both.
// Started with an option (/background) it shows nothing.
#include <windows.h>
#include <shlobj.h>

#include <string>

namespace {

std::string OwnFolder()
{
    char path[MAX_PATH] = "";
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::string();
    std::string module = path;
    return module.substr(0, module.rfind('\\'));
}

bool WriteSettings()
{
    char appData[MAX_PATH] = "";
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, appData)))
        return false;
    const std::string folder = std::string(appData) + "\\AcmeWriter";
    const std::string settings = folder + "\\settings.ini";
    if (GetFileAttributesA(settings.c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;  // not the first start
    CreateDirectoryA(folder.c_str(), nullptr);
    return WritePrivateProfileStringA("General", "FirstRun", "0", settings.c_str()) &&
           WritePrivateProfileStringA("General", "AutoSaveMinutes", "10", settings.c_str());
}

bool AppendLog(const char* line)
{
    const std::string log = OwnFolder() + "\\AcmeWriter.log";
    HANDLE file = CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const std::string text = std::string(line) + "\r\n";
    const BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == text.size();
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    if (!WriteSettings() || !AppendLog("started"))
        return 1;
    if (!(commandLine && commandLine[0] == '/'))
        MessageBoxA(nullptr, "Acme Writer", "Acme Writer", MB_OK | MB_ICONINFORMATION);
    return 0;
}
