#include "support/Fixtures.h"

#include <shlwapi.h>

#include <atomic>
#include <cstdio>

namespace fixtures {

std::string Ansi(const char* utf8)
{
    int wideLength = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    if (wideLength <= 0)
        return std::string();
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &wide[0], wideLength);
    int length = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return std::string();
    std::string text(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, &text[0], length, nullptr, nullptr);
    text.resize(static_cast<size_t>(length) - 1);
    return text;
}

std::string UniqueName(const std::string& prefix)
{
    static std::atomic<int> counter{0};
    char buffer[64];
    snprintf(buffer, sizeof(buffer), "_%lu_%d", GetCurrentProcessId(), ++counter);
    return prefix + buffer;
}

bool CreateKey(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool SetValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
              const void* data, DWORD size)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    LONG result = RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

bool SetString(HKEY root, const std::string& path, const std::string& name, const std::string& value, DWORD type)
{
    return SetValue(root, path, name, type, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

bool SetStringUnterminated(HKEY root, const std::string& path, const std::string& name, const std::string& value)
{
    return SetValue(root, path, name, REG_SZ, value.data(), static_cast<DWORD>(value.size()));
}

bool SetDword(HKEY root, const std::string& path, const std::string& name, DWORD value)
{
    return SetValue(root, path, name, REG_DWORD, &value, sizeof(value));
}

void DeleteKeyTree(HKEY root, const std::string& path)
{
    SHDeleteKeyA(root, path.c_str());
}

bool MakeRegistryLink(HKEY root, const std::string& path, const std::string& machineTarget)
{
    HKEY link = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS, nullptr, &link,
                        nullptr) != ERROR_SUCCESS)
        return false;
    std::string target = "\\Registry\\Machine\\" + machineTarget;
    wchar_t wide[1024] = L"";
    int length = MultiByteToWideChar(CP_ACP, 0, target.c_str(), -1, wide, 1024);
    LONG status = length > 1 ? RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(wide),
                                              static_cast<DWORD>((length - 1) * sizeof(wchar_t)))
                             : ERROR_INVALID_DATA;
    RegCloseKey(link);
    return status == ERROR_SUCCESS;
}

bool KeyExists(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool ValueExists(HKEY root, const std::string& path, const std::string& name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    LONG result = RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

std::vector<std::string> SubkeyNames(HKEY root, const std::string& path)
{
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    char name[MAX_PATH];
    for (DWORD index = 0; RegEnumKeyA(key, index, name, sizeof(name)) == ERROR_SUCCESS; ++index)
        names.push_back(name);
    RegCloseKey(key);
    return names;
}

ScopedKey::ScopedKey(HKEY root, std::string path) : root(root), path(std::move(path))
{
    CreateKey(this->root, this->path);
}

ScopedKey::~ScopedKey()
{
    DeleteKeyTree(root, path);
}

ScopedKeyIsolation::ScopedKeyIsolation(HKEY root, std::string path)
    : root(root), path(std::move(path)), backup("Software\\UmTestBackup\\" + UniqueName("key"))
{
    CreateKey(HKEY_CURRENT_USER, backup);
    HKEY source = nullptr;
    HKEY target = nullptr;
    if (RegOpenKeyExA(this->root, this->path.c_str(), 0, KEY_ALL_ACCESS, &source) == ERROR_SUCCESS &&
        RegOpenKeyExA(HKEY_CURRENT_USER, backup.c_str(), 0, KEY_ALL_ACCESS, &target) == ERROR_SUCCESS) {
        SHCopyKeyA(source, nullptr, target, 0);
    }
    if (source)
        RegCloseKey(source);
    if (target)
        RegCloseKey(target);
    DeleteKeyTree(this->root, this->path);
    CreateKey(this->root, this->path);
}

ScopedKeyIsolation::~ScopedKeyIsolation()
{
    DeleteKeyTree(root, path);
    CreateKey(root, path);
    HKEY source = nullptr;
    HKEY target = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, backup.c_str(), 0, KEY_ALL_ACCESS, &source) == ERROR_SUCCESS &&
        RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &target) == ERROR_SUCCESS) {
        SHCopyKeyA(source, nullptr, target, 0);
    }
    if (source)
        RegCloseKey(source);
    if (target)
        RegCloseKey(target);
    DeleteKeyTree(HKEY_CURRENT_USER, backup);
}

bool MakeDirs(const std::string& path)
{
    int result = SHCreateDirectoryExA(nullptr, path.c_str(), nullptr);
    return result == ERROR_SUCCESS || result == ERROR_ALREADY_EXISTS || result == ERROR_FILE_EXISTS;
}

bool WriteFileText(const std::string& path, const std::string& content)
{
    size_t slash = path.find_last_of('\\');
    if (slash != std::string::npos)
        MakeDirs(path.substr(0, slash));
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == content.size();
}

bool FileExists(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirExists(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void RemoveTree(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileA(path.c_str());
        return;
    }
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA((path + "\\*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                std::string name = data.cFileName;
                if (name != "." && name != "..")
                    RemoveTree(path + "\\" + name);
            } while (FindNextFileA(find, &data));
            FindClose(find);
        }
    }
    RemoveDirectoryA(path.c_str());
}

bool CopyFileTo(const std::string& from, const std::string& to)
{
    size_t slash = to.find_last_of('\\');
    if (slash != std::string::npos)
        MakeDirs(to.substr(0, slash));
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

ScopedDir::ScopedDir(std::string path) : path(std::move(path))
{
}

ScopedDir::~ScopedDir()
{
    RemoveTree(path);
}

TempDir::TempDir(const std::string& prefix) : ScopedDir("C:\\" + UniqueName(prefix))
{
    MakeDirs(Path());
}

bool MakeShortcut(const std::string& linkPath, const std::string& targetPath, const std::string& arguments)
{
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link))))
        return false;
    link->SetPath(targetPath.c_str());
    if (!arguments.empty())
        link->SetArguments(arguments.c_str());
    IPersistFile* file = nullptr;
    bool ok = false;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        wchar_t wide[MAX_PATH * 2];
        size_t slash = linkPath.find_last_of('\\');
        if (slash != std::string::npos)
            MakeDirs(linkPath.substr(0, slash));
        if (MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide, MAX_PATH * 2) > 0)
            ok = SUCCEEDED(file->Save(wide, TRUE));
        file->Release();
    }
    link->Release();
    return ok;
}

std::string SpecialFolder(int csidl)
{
    char path[MAX_PATH] = "";
    if (!SHGetSpecialFolderPathA(nullptr, path, csidl, TRUE))
        return std::string();
    return path;
}

std::string WindowsFolder()
{
    char path[MAX_PATH] = "";
    GetWindowsDirectoryA(path, MAX_PATH);
    return path;
}

std::string SystemFolder()
{
    char path[MAX_PATH] = "";
    GetSystemDirectoryA(path, MAX_PATH);
    return path;
}

namespace {

// One handle of the system-wide handle list (SystemExtendedHandleInformation).
struct SystemHandleEntry {
    PVOID object;
    ULONG_PTR processId;
    ULONG_PTR handle;
    ULONG grantedAccess;
    USHORT creatorBackTraceIndex;
    USHORT objectTypeIndex;
    ULONG attributes;
    ULONG reserved;
};
struct SystemHandleList {
    ULONG_PTR count;
    ULONG_PTR reserved;
    SystemHandleEntry handles[1];
};

// Counts this process's handles in the system-wide list; 0 when it can't be read.
DWORD CountHandlesInSystemList()
{
    typedef LONG(WINAPI * QuerySystemInformation)(ULONG, PVOID, ULONG, PULONG);
    const ULONG SYSTEM_EXTENDED_HANDLE_INFORMATION = 64;
    const LONG STATUS_INFO_LENGTH_MISMATCH_CODE = static_cast<LONG>(0xC0000004);
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    auto query = reinterpret_cast<QuerySystemInformation>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQuerySystemInformation")));
    if (!query)
        return 0;
    std::vector<ULONG_PTR> buffer(1 << 14);
    for (int attempt = 0; attempt < 16; ++attempt) {
        ULONG bytes = static_cast<ULONG>(buffer.size() * sizeof(ULONG_PTR));
        ULONG needed = 0;
        LONG status = query(SYSTEM_EXTENDED_HANDLE_INFORMATION, buffer.data(), bytes, &needed);
        if (status == STATUS_INFO_LENGTH_MISMATCH_CODE) {
            buffer.resize(buffer.size() * 2 + needed / sizeof(ULONG_PTR));
            continue;
        }
        if (status != 0)
            return 0;
        const SystemHandleList* list = reinterpret_cast<const SystemHandleList*>(buffer.data());
        DWORD count = 0;
        for (ULONG_PTR i = 0; i < list->count; ++i)
            count += list->handles[i].processId == GetCurrentProcessId() ? 1 : 0;
        return count;
    }
    return 0;
}

}  // namespace

DWORD KernelHandleCount()
{
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count)
        return count;
    // Wine leaves the per-process count at 0; its system-wide list is real.
    return CountHandlesInSystemList();
}

std::string IconExecutable()
{
    return WindowsFolder() + "\\notepad.exe";
}

}  // namespace fixtures
