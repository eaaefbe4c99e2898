#include "framework/RegistryTree.h"

#include "framework/AnsiText.h"
#include "framework/Handles.h"
#include "framework/RegKey.h"
#include "framework/RegistryView.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

const REGSAM kTreeAccess = KEY_READ | KEY_SET_VALUE | DELETE;
const size_t kLongestName = 32768;

// Removes a registry link key itself, never what it points to.
LONG DeleteLinkKey(HKEY link)
{
    typedef LONG(NTAPI * NtDeleteKeyFunction)(HANDLE);
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    FARPROC proc = ntdll ? GetProcAddress(ntdll, "NtDeleteKey") : nullptr;
    if (!proc)
        return ERROR_CALL_NOT_IMPLEMENTED;
    auto deleteKey = reinterpret_cast<NtDeleteKeyFunction>(reinterpret_cast<void (*)()>(proc));
    return deleteKey(link) >= 0 ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

std::string Narrow(const wchar_t* text)
{
    int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, &result[0], size, nullptr, nullptr);
    result.resize(static_cast<size_t>(size) - 1);
    return result;
}

std::wstring Widen(const char* text)
{
    int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (size <= 0)
        return std::wstring();
    std::wstring result(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &result[0], size);
    result.resize(static_cast<size_t>(size) - 1);
    return result;
}

// The names of key's values (subkeys when ofSubkeys), read before any is deleted.
std::vector<std::wstring> Names(HKEY key, bool ofSubkeys)
{
    DWORD subkeyLength = 0;
    DWORD valueLength = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &subkeyLength, nullptr, nullptr, &valueLength, nullptr,
                     nullptr, nullptr);
    std::vector<wchar_t> name((ofSubkeys ? subkeyLength : valueLength) + 2);
    std::vector<std::wstring> names;
    DWORD index = 0;
    for (;;) {
        DWORD size = static_cast<DWORD>(name.size());
        LONG status = ofSubkeys ? RegEnumKeyExW(key, index, name.data(), &size, nullptr, nullptr, nullptr, nullptr)
                                : RegEnumValueW(key, index, name.data(), &size, nullptr, nullptr, nullptr, nullptr);
        // A name longer than the key said (it changed meanwhile): read it again.
        if (status == ERROR_MORE_DATA && name.size() < kLongestName) {
            name.resize(name.size() * 2);
            continue;
        }
        if (status != ERROR_SUCCESS)
            break;
        names.emplace_back(name.data(), size);
        ++index;
    }
    return names;
}

LONG FirstFailure(LONG sofar, LONG status)
{
    return sofar != ERROR_SUCCESS || IsNotFoundError(status) ? sofar : status;
}

LONG DeleteSubkey(HKEY parent, const std::wstring& name, const std::string& path, const RegistryKeep* keep);

// Deletes what key holds, but for what keep names.
LONG EmptyKey(HKEY key, const std::string& path, const RegistryKeep* keep)
{
    LONG result = ERROR_SUCCESS;
    for (const std::wstring& value : Names(key, false)) {
        if (!keep || !keep->KeepsValue(path.c_str(), Narrow(value.c_str()).c_str()))
            result = FirstFailure(result, RegDeleteValueW(key, value.c_str()));
    }
    for (const std::wstring& child : Names(key, true)) {
        std::string childPath = path + "\\" + Narrow(child.c_str());
        if (!keep || !keep->KeepsKey(childPath.c_str()))
            result = FirstFailure(result, DeleteSubkey(key, child, childPath, keep));
    }
    return result;
}

LONG DeleteSubkey(HKEY parent, const std::wstring& name, const std::string& path, const RegistryKeep* keep)
{
    OwnedKey key;
    LONG status = RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK, kTreeAccess | PhysicalView(), key.Out());
    if (status != ERROR_SUCCESS)
        return IsNotFoundError(status) ? ERROR_SUCCESS : status;
    bool keepsBelow = keep && keep->KeepsBelow(path.c_str());
    if (IsRegistryLink(key))
        return keepsBelow ? ERROR_SUCCESS : DeleteLinkKey(key.Get());
    status = EmptyKey(key.Get(), path, keep);
    if (status != ERROR_SUCCESS || keepsBelow)
        return status;
    key.Reset();
    status = DeleteSubkeyInView(parent, name.c_str());
    return IsNotFoundError(status) ? ERROR_SUCCESS : status;
}

}  // namespace

bool IsNotFoundError(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

LONG DeleteKeyTree(HKEY root, const char* path, const RegistryKeep* keep)
{
    if (!path || !*path || strchr(path, '?') || EndsWithBackslash(path))
        return ERROR_INVALID_NAME;
    const char* slash = FindLastCharDbcs(path, '\\');
    OwnedKey parent;
    if (slash) {
        std::string parentPath(path, static_cast<size_t>(slash - path));
        LONG status = RegOpenKeyExA(root, parentPath.c_str(), 0, KEY_READ | PhysicalView(), parent.Out());
        if (status != ERROR_SUCCESS)
            return IsNotFoundError(status) ? ERROR_SUCCESS : status;
    }
    return DeleteSubkey(slash ? parent.Get() : root, Widen(slash ? slash + 1 : path), path, keep);
}
