#include "framework/RegKey.h"

#include "framework/AnsiText.h"
#include "framework/RegistryView.h"

#include <string>

namespace {

// Queries a value of key, or of its subkey when one is named.
LONG QueryValue(HKEY key, const char* subKey, const char* valueName, DWORD* type, BYTE* data, DWORD* size)
{
    if (!subKey || !*subKey)
        return RegQueryValueExA(key, valueName, nullptr, type, data, size);
    OwnedKey opened;
    LONG result = RegOpenKeyExA(key, subKey, 0, KEY_QUERY_VALUE | PhysicalView(), opened.Out());
    if (result != ERROR_SUCCESS)
        return result;
    return RegQueryValueExA(opened, valueName, nullptr, type, data, size);
}

}  // namespace

bool RegKey::Open(HKEY root, const char* path)
{
    if (!OpenAsItself(root, path))
        return false;
    if (!IsRegistryLink(Get()))
        return true;
    Reset();
    return false;
}

bool RegKey::OpenAsItself(HKEY root, const char* path)
{
    Reset();
    return RegOpenKeyExA(root, path ? path : "", REG_OPTION_OPEN_LINK, KEY_READ | PhysicalView(), Out()) == ERROR_SUCCESS;
}

bool RegKey::ForEachSubkey(const std::function<bool(const char* name)>& visit) const
{
    char name[MAX_PATH];
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = MAX_PATH;
        LONG status = RegEnumKeyExA(Get(), index, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            return status == ERROR_NO_MORE_ITEMS;
        if (!visit(name))
            return false;
    }
}

bool RegKey::ForEachValue(const std::function<bool(const RegValue& value)>& visit, ValueData data, DWORD count) const
{
    char name[MAX_PATH];
    char bytes[MAX_PATH];
    bool metAll = true;
    for (DWORD index = 0; index < count; ++index) {
        DWORD nameSize = MAX_PATH;
        RegValue value = {name, 0, data == WITH_DATA ? bytes : nullptr, MAX_PATH};
        LONG status = RegEnumValueA(Get(), index, name, &nameSize, nullptr, &value.type,
                                    reinterpret_cast<BYTE*>(value.data), value.data ? &value.size : nullptr);
        if (status == ERROR_MORE_DATA) {
            metAll = false;
            continue;
        }
        if (status != ERROR_SUCCESS)
            return metAll && status == ERROR_NO_MORE_ITEMS;
        if (!value.data)
            value.size = 0;
        if (!visit(value))
            return false;
    }
    return metAll;
}

bool RegKey::ForEachValueOfNonLink(const std::function<bool(const RegValue& value)>& visit, ValueData data,
                                   DWORD count) const
{
    bool link = false;
    const bool metAll = ForEachValue([&](const RegValue& value) {
        link = link || IsRegistryLinkValue(value);
        return visit(value);
    }, data, count);
    return !link && (metAll || !IsRegistryLink(Get()));
}

bool RegKey::CountEntries(DWORD* subkeys, DWORD* values) const
{
    return RegQueryInfoKeyA(Get(), nullptr, nullptr, nullptr, subkeys, nullptr, nullptr, values, nullptr, nullptr,
                            nullptr, nullptr) == ERROR_SUCCESS;
}

bool RegKey::LastWriteTime(FILETIME* time) const
{
    return RegQueryInfoKeyA(Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, time) == ERROR_SUCCESS;
}

bool IsRegistryLink(HKEY key)
{
    DWORD type = 0;
    LONG result = RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr);
    return result == ERROR_SUCCESS && type == REG_LINK;
}

bool IsRegistryLinkValue(const RegValue& value)
{
    return value.type == REG_LINK && _stricmp(value.name, "SymbolicLinkValue") == 0;
}

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

bool ValueAsText(const RegValue& value, bool expandable)
{
    if (value.type != REG_SZ && !(expandable && value.type == REG_EXPAND_SZ))
        return false;
    if (!TerminateRead(value.data, MAX_PATH, value.size))
        return false;
    if (value.type == REG_SZ)
        return true;
    char expanded[MAX_PATH];
    DWORD length = ExpandEnvironmentStringsA(value.data, expanded, MAX_PATH);
    return length != 0 && length <= MAX_PATH && CopyText(value.data, MAX_PATH, expanded);
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
