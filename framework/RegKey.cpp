#include "framework/RegKey.h"

#include <string>

namespace {

bool IsLinkKey(HKEY key)
{
    DWORD type = 0;
    LONG result = RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr);
    return result == ERROR_SUCCESS && type == REG_LINK;
}

// Makes sure buffer holds a terminated text after a read of size bytes.
bool TerminateRead(char* buffer, DWORD bufferSize, DWORD size)
{
    if (size == 0) {
        buffer[0] = '\0';
        return true;
    }
    if (buffer[size - 1] == '\0')
        return true;
    if (size >= bufferSize)
        return false;
    buffer[size] = '\0';
    return true;
}

}  // namespace

bool RegKey::Open(HKEY root, const char* path)
{
    Close();
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, path ? path : "", REG_OPTION_OPEN_LINK, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    if (IsLinkKey(opened)) {
        RegCloseKey(opened);
        return false;
    }
    key = opened;
    return true;
}

void RegKey::Close()
{
    if (key) {
        RegCloseKey(key);
        key = nullptr;
    }
}

bool ReadTextValue(HKEY key, const char* subKey, const char* valueName, char* buffer, DWORD bufferSize)
{
    if (!buffer || bufferSize == 0)
        return false;
    buffer[0] = '\0';
    HKEY source = key;
    HKEY opened = nullptr;
    if (subKey && *subKey) {
        if (RegOpenKeyExA(key, subKey, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
            return false;
        source = opened;
    }
    DWORD type = 0;
    DWORD size = bufferSize;
    LONG result = RegQueryValueExA(source, valueName, nullptr, &type,
                                   reinterpret_cast<BYTE*>(buffer), &size);
    if (opened)
        RegCloseKey(opened);
    bool ok = result == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) &&
              TerminateRead(buffer, bufferSize, size);
    if (ok && type == REG_EXPAND_SZ) {
        std::string raw(buffer);
        DWORD needed = ExpandEnvironmentStringsA(raw.c_str(), buffer, bufferSize);
        ok = needed != 0 && needed <= bufferSize;
    }
    if (!ok)
        buffer[0] = '\0';
    return ok;
}

bool ReadDwordValue(HKEY key, const char* subKey, const char* valueName, DWORD* value)
{
    *value = 0;
    HKEY source = key;
    HKEY opened = nullptr;
    if (subKey && *subKey) {
        if (RegOpenKeyExA(key, subKey, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
            return false;
        source = opened;
    }
    DWORD data = 0;
    DWORD size = sizeof(data);
    LONG result = RegQueryValueExA(source, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(&data), &size);
    if (opened)
        RegCloseKey(opened);
    if (result != ERROR_SUCCESS)
        return false;
    *value = data;
    return true;
}
