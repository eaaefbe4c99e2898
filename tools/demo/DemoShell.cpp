#include "DemoShell.h"

#include "DemoText.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <vector>

namespace demo {

namespace {

// An open registry key, closed with the object.
class Key {
public:
    Key(HKEY root, const std::string& path)
    {
        if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
            key = nullptr;
    }
    ~Key()
    {
        if (key)
            RegCloseKey(key);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY Get() const { return key; }

private:
    HKEY key = nullptr;
};

bool IsLinkOrFile(DWORD attributes)
{
    return !(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace

bool WriteString(HKEY root, const std::string& key, const std::string& name, const std::string& value)
{
    Key opened(root, key);
    if (!opened.Get())
        return false;
    return RegSetValueExA(opened.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

bool WriteDword(HKEY root, const std::string& key, const std::string& name, DWORD value)
{
    Key opened(root, key);
    if (!opened.Get())
        return false;
    return RegSetValueExA(opened.Get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof(value)) == ERROR_SUCCESS;
}

void DeleteKeyTree(HKEY root, const std::string& key)
{
    SHDeleteKeyA(root, key.c_str());
}

void DeleteValue(HKEY root, const std::string& key, const std::string& name)
{
    SHDeleteValueA(root, key.c_str(), name.c_str());
}

bool MakeFolders(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    size_t slash = LastBackslash(path);
    if (slash != std::string::npos && slash > 2 && !MakeFolders(path.substr(0, slash)))
        return false;
    return CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool WriteTextFile(const std::string& path, const std::string& text)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == text.size();
}

bool CopyOneFile(const std::string& from, const std::string& to)
{
    SetFileAttributesA(to.c_str(), FILE_ATTRIBUTE_NORMAL);
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

void RemoveTree(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (IsLinkOrFile(attributes)) {
        if (!DeleteFileA(path.c_str()))
            RemoveDirectoryA(path.c_str());
        return;
    }
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name != "." && name != "..")
                RemoveTree(path + "\\" + name);
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryA(path.c_str());
}

bool MakeShortcut(const std::string& linkPath, const std::string& target, const std::string& arguments,
                  const std::string& description)
{
    size_t slash = LastBackslash(linkPath);
    if (slash == std::string::npos || !MakeFolders(linkPath.substr(0, slash)))
        return false;
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link))))
        return false;
    link->SetPath(target.c_str());
    link->SetArguments(arguments.c_str());
    link->SetDescription(description.c_str());
    link->SetWorkingDirectory(ParentFolder(target).c_str());
    link->SetIconLocation(target.c_str(), 0);

    bool saved = false;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        std::vector<wchar_t> wide(linkPath.size() + 1);
        if (MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide.data(), static_cast<int>(wide.size())) > 0)
            saved = SUCCEEDED(file->Save(wide.data(), TRUE));
        file->Release();
    }
    link->Release();
    return saved;
}

std::string SpecialFolder(int csidl)
{
    char path[MAX_PATH] = "";
    if (!SHGetSpecialFolderPathA(nullptr, path, csidl, TRUE))
        return std::string();
    return path;
}

std::string ExecutableFolder()
{
    char path[MAX_PATH] = "";
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::string();
    // Wine names a program started from a Unix path without a drive (drive Z:
    // removed) "unix\...": only the "\\?\unix\..." form of it can be opened.
    std::string module = path;
    if (_strnicmp(path, "unix\\", 5) == 0)
        module = "\\\\?\\" + module;
    return ParentFolder(module);
}

}  // namespace demo
