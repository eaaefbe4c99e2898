#include "machine/Registry.h"

#include "machine/Handle.h"

#include <sddl.h>
#include <shlwapi.h>

namespace machine {

bool CreateKey(HKEY root, const std::string& path)
{
    KeyHandle key;
    return RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Out(), nullptr) ==
           ERROR_SUCCESS;
}

bool SetValue(HKEY root, const std::string& path, const std::string& name, DWORD type, const void* data, DWORD size)
{
    KeyHandle key;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Out(), nullptr) !=
        ERROR_SUCCESS)
        return false;
    return RegSetValueExA(key.Get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
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

bool MakeRegistryLink(HKEY root, const std::string& path, const std::string& machineTarget)
{
    return MakeRegistryLinkTo(root, path, "\\Registry\\Machine\\" + machineTarget);
}

bool MakeRegistryLinkTo(HKEY root, const std::string& path, const std::string& target)
{
    KeyHandle link;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS, nullptr,
                        link.Out(), nullptr) != ERROR_SUCCESS)
        return false;
    wchar_t wide[1024] = L"";
    int length = MultiByteToWideChar(CP_ACP, 0, target.c_str(), -1, wide, 1024);
    if (length <= 1)
        return false;
    return RegSetValueExW(link.Get(), L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(wide),
                          static_cast<DWORD>((length - 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

std::string UserSid()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return std::string();
    alignas(TOKEN_USER) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    char* text = nullptr;
    const bool ok = GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &size) &&
                    ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text);
    CloseHandle(token);
    std::string sid = ok ? text : "";
    if (text)
        LocalFree(text);
    return sid;
}

void DeleteKeyTree(HKEY root, const std::string& path)
{
    SHDeleteKeyA(root, path.c_str());
}

void DeleteValue(HKEY root, const std::string& path, const std::string& name)
{
    SHDeleteValueA(root, path.c_str(), name.c_str());
}

bool KeyExists(HKEY root, const std::string& path)
{
    KeyHandle key;
    return RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.Out()) == ERROR_SUCCESS;
}

bool ValueExists(HKEY root, const std::string& path, const std::string& name)
{
    KeyHandle key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.Out()) != ERROR_SUCCESS)
        return false;
    return RegQueryValueExA(key.Get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::vector<std::string> SubkeyNames(HKEY root, const std::string& path)
{
    std::vector<std::string> names;
    KeyHandle key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.Out()) != ERROR_SUCCESS)
        return names;
    char name[MAX_PATH];
    for (DWORD index = 0; RegEnumKeyA(key.Get(), index, name, sizeof(name)) == ERROR_SUCCESS; ++index)
        names.push_back(name);
    return names;
}

}  // namespace machine
