#include "DemoTestSupport.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>

#include "DemoShell.h"
#include "DemoText.h"
#include "support/Fixtures.h"

namespace demotest {

std::string PayloadFolder()
{
    // tests\test_demo.exe and tools\demo\ are siblings in the build folder.
    return demo::JoinPath(demo::ParentFolder(demo::ExecutableFolder()), "tools\\demo");
}

std::string ReadString(HKEY root, const std::string& key, const std::string& name, DWORD* type)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return "<missing>";
    char data[1024] = "";
    DWORD size = sizeof(data) - 1;
    DWORD valueType = 0;
    LONG result = RegQueryValueExA(opened, name.c_str(), nullptr, &valueType, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(opened);
    if (result != ERROR_SUCCESS)
        return "<missing>";
    if (type)
        *type = valueType;
    data[size < sizeof(data) ? size : sizeof(data) - 1] = '\0';
    return data;
}

std::wstring ReadWideString(HKEY root, const std::string& key, const std::string& name)
{
    std::wstring wideKey(key.begin(), key.end());
    std::wstring wideName(name.begin(), name.end());
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, wideKey.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return L"<missing>";
    wchar_t data[512] = L"";
    DWORD size = sizeof(data) - sizeof(wchar_t);
    DWORD type = 0;
    LONG result = RegQueryValueExW(opened, wideName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(opened);
    if (result != ERROR_SUCCESS || type != REG_SZ)
        return L"<missing>";
    return data;
}

bool ReadDword(HKEY root, const std::string& key, const std::string& name, DWORD* value)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    DWORD size = sizeof(*value);
    DWORD type = 0;
    LONG result = RegQueryValueExA(opened, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(opened);
    return result == ERROR_SUCCESS && type == REG_DWORD;
}

int RunAndWait(const std::string& commandLine)
{
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    DWORD waited = WaitForSingleObject(process.hProcess, 60000);
    DWORD code = static_cast<DWORD>(-1);
    if (waited == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

std::string ShortcutTarget(const std::string& linkPath)
{
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link))))
        return std::string();
    std::string target;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        wchar_t wide[MAX_PATH];
        char path[MAX_PATH] = "";
        if (MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide, MAX_PATH) > 0 &&
            SUCCEEDED(file->Load(wide, STGM_READ)) &&
            link->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH) == S_OK)
            target = path;
        file->Release();
    }
    link->Release();
    return target;
}

namespace {

const char SESSION_MANAGER[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char PENDING_RENAMES[] = "PendingFileRenameOperations";

}  // namespace

std::wstring PendingRenames()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return std::wstring();
    DWORD size = 0;
    std::wstring text;
    if (RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS &&
        size > 0) {
        std::vector<wchar_t> data(size / sizeof(wchar_t) + 1, L'\0');
        if (RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr,
                             reinterpret_cast<BYTE*>(data.data()), &size) == ERROR_SUCCESS) {
            text.assign(data.data(), size / sizeof(wchar_t));
            std::replace(text.begin(), text.end(), L'\0', L'|');
        }
    }
    RegCloseKey(key);
    return text;
}

ScopedPendingRenames::ScopedPendingRenames()
{
    DWORD size = 0;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, SESSION_MANAGER, PENDING_RENAMES, RRF_RT_ANY, &type, nullptr, &size) !=
        ERROR_SUCCESS)
        return;
    data.resize(size);
    existed = RegGetValueA(HKEY_LOCAL_MACHINE, SESSION_MANAGER, PENDING_RENAMES, RRF_RT_ANY, &type,
                           data.data(), &size) == ERROR_SUCCESS;
    data.resize(size);
}

ScopedPendingRenames::~ScopedPendingRenames()
{
    if (!existed) {
        SHDeleteValueA(HKEY_LOCAL_MACHINE, SESSION_MANAGER, PENDING_RENAMES);
        return;
    }
    fixtures::SetValue(HKEY_LOCAL_MACHINE, SESSION_MANAGER, PENDING_RENAMES, type, data.data(),
                       static_cast<DWORD>(data.size()));
}

namespace {

void ListInto(const std::string& root, const std::string& relative, std::vector<std::string>* entries)
{
    WIN32_FIND_DATAA entry;
    std::string folder = relative.empty() ? root : demo::JoinPath(root, relative);
    HANDLE find = FindFirstFileA(demo::JoinPath(folder, "*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..")
            continue;
        std::string path = relative.empty() ? name : demo::JoinPath(relative, name);
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            entries->push_back(path + "\\");
            ListInto(root, path, entries);
        } else {
            entries->push_back(path);
        }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
}

struct Trace {
    std::string description;
    bool present;
};

std::vector<Trace> Traces(const demo::DemoProduct& product)
{
    using fixtures::DirExists;
    using fixtures::FileExists;
    using fixtures::KeyExists;
    using fixtures::ValueExists;
    std::string clsid = std::string("CLSID\\") + product.clsid;
    return {
        {"folder " + demo::ProductFolder(product), DirExists(demo::ProductFolder(product))},
        {"uninstall entry", KeyExists(HKEY_LOCAL_MACHINE, demo::UninstallKeyPath(product))},
        {"desktop shortcut", FileExists(demo::DesktopShortcutPath(product))},
        {"Start-menu group", DirExists(demo::GroupFolder(product))},
        {"Run value", ValueExists(product.runRoot, demo::RunKeyPath(), product.runValue)},
        {"COM class", KeyExists(HKEY_CLASSES_ROOT, clsid)},
        {"extension", KeyExists(HKEY_CLASSES_ROOT, product.extension)},
        {"ProgID", KeyExists(HKEY_CLASSES_ROOT, product.progId)},
        {"HKLM Software key", KeyExists(HKEY_LOCAL_MACHINE, demo::SoftwareKeyPath(product))},
        {"HKCU Software key", KeyExists(HKEY_CURRENT_USER, demo::SoftwareKeyPath(product))},
    };
}

}  // namespace

std::vector<std::string> ListTree(const std::string& root)
{
    std::vector<std::string> entries;
    ListInto(root, "", &entries);
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::vector<std::string> MissingTraces(const demo::DemoProduct& product)
{
    std::vector<std::string> missing;
    for (const Trace& trace : Traces(product)) {
        if (!trace.present)
            missing.push_back(std::string(product.uninstallKey) + ": " + trace.description);
    }
    return missing;
}

std::vector<std::string> RemainingTraces(const demo::DemoProduct& product)
{
    std::vector<std::string> remaining;
    for (const Trace& trace : Traces(product)) {
        if (trace.present)
            remaining.push_back(std::string(product.uninstallKey) + ": " + trace.description);
    }
    return remaining;
}

}  // namespace demotest
