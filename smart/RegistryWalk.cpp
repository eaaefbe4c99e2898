#include "smart/RegistryWalk.h"

#include "framework/AnsiText.h"

bool NextSubkeyName(HKEY key, DWORD* index, char* name)
{
    for (;; ++*index) {
        DWORD nameSize = MAX_PATH;
        LONG status = RegEnumKeyExA(key, *index, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA)
            continue;
        return status == ERROR_SUCCESS;
    }
}

LONG ReadValueAt(HKEY key, DWORD index, ValueEntry* value)
{
    DWORD nameSize = MAX_PATH;
    value->type = 0;
    value->dataSize = MAX_PATH;
    return RegEnumValueA(key, index, value->name, &nameSize, nullptr, &value->type,
                         reinterpret_cast<BYTE*>(value->data), &value->dataSize);
}

bool ValueAsText(ValueEntry* value, bool expandable)
{
    if (value->type != REG_SZ && !(expandable && value->type == REG_EXPAND_SZ))
        return false;
    DWORD size = value->dataSize;
    if (size == 0)
        value->data[0] = '\0';
    else if (value->data[size - 1] != '\0') {
        if (size >= MAX_PATH)
            return false;
        value->data[size] = '\0';
    }
    if (value->type == REG_SZ)
        return true;
    char expanded[MAX_PATH];
    DWORD length = ExpandEnvironmentStringsA(value->data, expanded, MAX_PATH);
    return length != 0 && length <= MAX_PATH && CopyText(value->data, MAX_PATH, expanded);
}

bool IsSingleKeyName(const char* name)
{
    return name[0] != '\0' && !FindCharDbcs(name, '\\');
}

const char* LeafName(const char* keyPath)
{
    const char* slash = FindLastCharDbcs(keyPath, '\\');
    return slash ? slash + 1 : keyPath;
}
