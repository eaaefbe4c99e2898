#include "framework/RegistryTree.h"

#include "framework/AnsiText.h"
#include "framework/Handles.h"
#include "framework/RegKey.h"
#include "framework/RegistryView.h"

#include <sddl.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const REGSAM kTreeAccess = KEY_READ | KEY_SET_VALUE | DELETE;
const size_t kLongestName = 32768;

// What NtDeleteKey answers for a key that someone else deleted meanwhile.
const LONG kStatusKeyDeleted = static_cast<LONG>(0xC000017C);

// Deletes the very key the handle holds: a link itself, never what it points to, and
// an emptied key itself, never what its name may lead to by now (a link the user
// put there meanwhile). ERROR_CALL_NOT_IMPLEMENTED where the system has no NtDeleteKey.
LONG DeleteOpenedKey(HKEY key)
{
    typedef LONG(NTAPI * NtDeleteKeyFunction)(HANDLE);
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    FARPROC proc = ntdll ? GetProcAddress(ntdll, "NtDeleteKey") : nullptr;
    if (!proc)
        return ERROR_CALL_NOT_IMPLEMENTED;
    auto deleteKey = reinterpret_cast<NtDeleteKeyFunction>(reinterpret_cast<void (*)()>(proc));
    const LONG status = deleteKey(key);
    return status >= 0 || status == kStatusKeyDeleted ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
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
        return keepsBelow ? ERROR_SUCCESS : DeleteOpenedKey(key.Get());
    status = EmptyKey(key.Get(), path, keep);
    if (status != ERROR_SUCCESS || keepsBelow)
        return status;
    status = DeleteOpenedKey(key.Get());
    if (status != ERROR_CALL_NOT_IMPLEMENTED)
        return status;
    // Without NtDeleteKey (the 95/98/Me family) there are no registry links either.
    key.Reset();
    status = DeleteSubkeyInView(parent, name.c_str());
    return IsNotFoundError(status) ? ERROR_SUCCESS : status;
}

// A key opened as itself that is a link, or whose link value cannot be read (then
// it may be one).
bool IsLinkOrUnknown(HKEY key)
{
    DWORD type = 0;
    const LONG result = RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr);
    if (result == ERROR_FILE_NOT_FOUND)
        return false;
    return result != ERROR_SUCCESS || type == REG_LINK;
}

// The name under HKEY_USERS of the user's own classes hive, "<SID>_Classes"; empty
// when the token cannot tell.
std::wstring UserClassesHive()
{
    const std::wstring sid = ProcessUserSid();
    return sid.empty() ? sid : sid + L"_Classes";
}

bool LinksTo(HKEY link, const std::wstring& target)
{
    wchar_t value[MAX_PATH] = L"";
    DWORD type = 0;
    DWORD size = sizeof(value) - sizeof(wchar_t);
    return RegQueryValueExW(link, L"SymbolicLinkValue", nullptr, &type, reinterpret_cast<BYTE*>(value), &size) ==
               ERROR_SUCCESS &&
           type == REG_LINK && lstrcmpiW(std::wstring(value, size / sizeof(wchar_t)).c_str(), target.c_str()) == 0;
}

}  // namespace

std::wstring ProcessUserSid()
{
    OwnedKernel token;
    alignas(TOKEN_USER) BYTE user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    wchar_t* sid = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Out()) ||
        !GetTokenInformation(token, TokenUser, user, sizeof(user), &size) ||
        !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &sid))
        return std::wstring();
    const std::wstring text = sid;
    LocalFree(sid);
    return text;
}

LONG OpenUserClassesInstead(HKEY root, const char* walked, HKEY link, REGSAM access, OwnedKey* key)
{
    if (root != HKEY_CURRENT_USER || !EqualsNoCaseDbcs(walked, "Software\\Classes"))
        return ERROR_CANT_RESOLVE_FILENAME;
    const std::wstring hive = UserClassesHive();
    if (hive.empty() || !LinksTo(link, L"\\REGISTRY\\USER\\" + hive))
        return ERROR_CANT_RESOLVE_FILENAME;
    const LONG status = RegOpenKeyExW(HKEY_USERS, hive.c_str(), REG_OPTION_OPEN_LINK, access, key->Out());
    if (status != ERROR_SUCCESS)
        return status;
    return IsLinkOrUnknown(*key) ? ERROR_CANT_RESOLVE_FILENAME : ERROR_SUCCESS;
}

namespace {

// Opens the key step below parent as itself (walked: the path up to it); a link is
// refused, but for the user's classes link.
LONG OpenStep(HKEY root, HKEY parent, const std::string& step, const std::string& walked, REGSAM access,
              OwnedKey* key)
{
    const LONG status = RegOpenKeyExA(parent, step.c_str(), REG_OPTION_OPEN_LINK, access, key->Out());
    if (status != ERROR_SUCCESS || !IsLinkOrUnknown(*key))
        return status;
    OwnedKey link(key->Release());
    return OpenUserClassesInstead(root, walked.c_str(), link, access, key);
}

}  // namespace

LONG OpenKeyWithoutLinks(HKEY root, const char* path, REGSAM access, OwnedKey* key)
{
    key->Reset();
    if (!path || !*path)
        return ERROR_INVALID_NAME;
    OwnedKey reached;
    for (const char* name = path;;) {
        const char* separator = FindCharDbcs(name, '\\');
        const char* end = separator ? separator : name + strlen(name);
        if (end == name)
            return ERROR_INVALID_NAME;
        // Each step opens below the key the one before reached, never by the whole path again.
        const REGSAM stepAccess = (separator ? KEY_QUERY_VALUE : access | KEY_QUERY_VALUE) | PhysicalView();
        OwnedKey next;
        const LONG status = OpenStep(root, reached ? reached.Get() : root, std::string(name, end),
                                     std::string(path, end), stepAccess, &next);
        if (status != ERROR_SUCCESS)
            return status;
        reached = std::move(next);
        if (!separator)
            break;
        name = separator + 1;
    }
    *key = std::move(reached);
    return ERROR_SUCCESS;
}

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
        LONG status = OpenKeyWithoutLinks(root, parentPath.c_str(), KEY_READ, &parent);
        if (status != ERROR_SUCCESS)
            return IsNotFoundError(status) ? ERROR_SUCCESS : status;
    }
    return DeleteSubkey(slash ? parent.Get() : root, WideText(slash ? slash + 1 : path), path, keep);
}
