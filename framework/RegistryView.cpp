#include "framework/RegistryView.h"

#include "framework/AnsiText.h"

namespace {

const char kRedirectedNode[] = "Wow6432Node";

// Where a path starts with prefix (case folded) and a backslash or its end.
bool StartsWithKey(const char* path, const char* prefix)
{
    size_t length = strlen(prefix);
    return _strnicmp(path, prefix, length) == 0 && (path[length] == '\\' || path[length] == '\0');
}

#if !defined(_WIN64)
// IsWow64Process is looked up: Windows XP before SP2 does not export it.
bool IsWow64()
{
    typedef BOOL(WINAPI * IsWow64ProcessFunction)(HANDLE, PBOOL);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    IsWow64ProcessFunction isWow64Process = kernel ? reinterpret_cast<IsWow64ProcessFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process"))) : nullptr;
    BOOL wow64 = FALSE;
    return isWow64Process && isWow64Process(GetCurrentProcess(), &wow64) && wow64;
}
#endif

}  // namespace

bool HasRegistryViews()
{
#if defined(_WIN64)
    return true;
#else
    static const bool views = IsWow64();
    return views;
#endif
}

REGSAM PhysicalView()
{
#if defined(_WIN64)
    // The 64-bit view is a 64-bit program's own: the flag would change nothing,
    // and under Wine it makes every open take about twice as long.
    return 0;
#else
    return HasRegistryViews() ? KEY_WOW64_64KEY : 0;
#endif
}

std::vector<std::string> PathsInEveryView(HKEY root, const char* path)
{
    std::vector<std::string> paths(1, path);
    if (!HasRegistryViews())
        return paths;
    std::string redirected;
    if (root == HKEY_LOCAL_MACHINE && StartsWithKey(path, "SOFTWARE"))
        redirected = std::string(path, 8) + "\\" + kRedirectedNode + std::string(path + 8);
    else if (root == HKEY_CLASSES_ROOT)
        redirected = std::string(kRedirectedNode) + (*path ? "\\" : "") + path;
    else
        return paths;
#if defined(_WIN64)
    paths.push_back(redirected);
#else
    paths.insert(paths.begin(), redirected);
#endif
    return paths;
}

bool IsRedirectedPath(HKEY root, const char* path)
{
    if (root == HKEY_CLASSES_ROOT)
        return StartsWithKey(path, kRedirectedNode);
    return root == HKEY_LOCAL_MACHINE && StartsWithKey(path, "SOFTWARE") && path[8] == '\\' &&
           StartsWithKey(path + 9, kRedirectedNode);
}

std::vector<RegistryPlace> MachineAndUserPlaces(const char* softwarePath)
{
    std::vector<RegistryPlace> places;
    for (const std::string& path : PathsInEveryView(HKEY_LOCAL_MACHINE, softwarePath))
        places.push_back({HKEY_LOCAL_MACHINE, path});
    if (StartsWithKey(softwarePath, "SOFTWARE"))
        places.push_back({HKEY_CURRENT_USER, std::string("Software") + (softwarePath + 8)});
    return places;
}

LONG DeleteSubkeyInView(HKEY parent, const wchar_t* name)
{
    // RegDeleteKeyExW (Vista, and Windows XP x64) is looked up: 32-bit Windows XP has
    // no views and no such export.
    typedef LONG(WINAPI * DeleteKeyExFunction)(HKEY, LPCWSTR, REGSAM, DWORD);
    REGSAM view = PhysicalView();
    HMODULE advapi = view ? GetModuleHandleA("advapi32.dll") : nullptr;
    DeleteKeyExFunction deleteKeyEx = advapi ? reinterpret_cast<DeleteKeyExFunction>(
        reinterpret_cast<void*>(GetProcAddress(advapi, "RegDeleteKeyExW"))) : nullptr;
    if (deleteKeyEx)
        return deleteKeyEx(parent, name, view, 0);
    return RegDeleteKeyW(parent, name);
}
