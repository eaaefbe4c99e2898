#include "machine/FolderLink.h"

#include "machine/Text.h"

#include <windows.h>

namespace machine {

namespace {

std::string UnixPath(const std::string& windowsPath)
{
    typedef char*(CDECL * UnixNameFunction)(LPCWSTR);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    FARPROC proc = kernel ? GetProcAddress(kernel, "wine_get_unix_file_name") : nullptr;
    if (!proc)
        return std::string();
    auto toUnix = reinterpret_cast<UnixNameFunction>(reinterpret_cast<void (*)()>(proc));
    wchar_t wide[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH) == 0)
        return std::string();
    char* unixName = toUnix(wide);
    if (!unixName)
        return std::string();
    std::string result(unixName);
    HeapFree(GetProcessHeap(), 0, unixName);
    return result;
}

// Runs a Unix program; the process handle of a Unix process does not tell when it
// ends, so the caller polls for the outcome.
bool RunUnix(const std::string& program, const std::string& commandLine)
{
    std::string image = "\\\\?\\unix" + program;
    for (char& ch : image) {
        if (ch == '/')
            ch = '\\';
    }
    std::string command = commandLine;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(image.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

enum LinkState { LINK_GONE, FOLDER_LINK, FILE_LINK };

bool WaitFor(const std::string& path, LinkState state)
{
    for (int i = 0; i < 200; ++i) {
        DWORD attributes = GetFileAttributesA(path.c_str());
        bool present = attributes != INVALID_FILE_ATTRIBUTES;
        bool isFolderLink = present && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
        if (state == LINK_GONE ? !present : state == FOLDER_LINK ? isFolderLink : present)
            return true;
        Sleep(25);
    }
    return false;
}

std::string Quote(const std::string& text)
{
    return "\"" + text + "\"";
}

// The Unix path of a link that may not exist yet: its folder's, and its name.
std::string UnixLinkPath(const std::string& linkPath)
{
    size_t slash = LastBackslash(linkPath);
    if (slash == std::string::npos)
        return std::string();
    std::string parent = UnixPath(linkPath.substr(0, slash));
    return parent.empty() ? parent : parent + "/" + linkPath.substr(slash + 1);
}

bool MakeLink(const std::string& linkPath, const std::string& targetPath, LinkState state)
{
    std::string link = UnixLinkPath(linkPath);
    std::string target = UnixPath(targetPath);
    if (link.empty() || target.empty())
        return false;
    if (!RunUnix("/bin/ln", "ln -s " + Quote(target) + " " + Quote(link)))
        return false;
    return WaitFor(linkPath, state);
}

}  // namespace

bool MakeFolderLink(const std::string& linkPath, const std::string& targetPath)
{
    return MakeLink(linkPath, targetPath, FOLDER_LINK);
}

bool MakeFileLink(const std::string& linkPath, const std::string& targetPath)
{
    return MakeLink(linkPath, targetPath, FILE_LINK);
}

bool RemoveFolderLink(const std::string& linkPath)
{
    std::string link = UnixLinkPath(linkPath);
    if (link.empty() || !RunUnix("/bin/rm", "rm -f " + Quote(link)))
        return false;
    return WaitFor(linkPath, LINK_GONE);
}

}  // namespace machine
