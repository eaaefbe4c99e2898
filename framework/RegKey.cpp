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

// Queries a value of key, or of its subkey when one is named.
LONG QueryValue(HKEY key, const char* subKey, const char* valueName, DWORD* type, BYTE* data, DWORD* size)
{
    if (!subKey || !*subKey)
        return RegQueryValueExA(key, valueName, nullptr, type, data, size);
    HKEY opened = nullptr;
    LONG result = RegOpenKeyExA(key, subKey, 0, KEY_QUERY_VALUE, &opened);
    if (result != ERROR_SUCCESS)
        return result;
    result = RegQueryValueExA(opened, valueName, nullptr, type, data, size);
    RegCloseKey(opened);
    return result;
}

}  // namespace

bool RegKey::Open(HKEY root, const char* path, REGSAM view)
{
    Close();
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, path ? path : "", REG_OPTION_OPEN_LINK, KEY_READ | view, &opened) != ERROR_SUCCESS)
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
    DWORD type = 0;
    DWORD size = bufferSize;
    LONG result = QueryValue(key, subKey, valueName, &type, reinterpret_cast<BYTE*>(buffer), &size);
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
    DWORD data = 0;
    DWORD size = sizeof(data);
    LONG result = QueryValue(key, subKey, valueName, nullptr, reinterpret_cast<BYTE*>(&data), &size);
    *value = result == ERROR_SUCCESS ? data : 0;
    return result == ERROR_SUCCESS;
}
