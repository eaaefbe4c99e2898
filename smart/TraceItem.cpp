#include "smart/TraceItem.h"

const char* GetRootKeyName(HKEY rootKey)
{
    if (rootKey == HKEY_CLASSES_ROOT)
        return "HKEY_CLASSES_ROOT";
    if (rootKey == HKEY_LOCAL_MACHINE)
        return "HKEY_LOCAL_MACHINE";
    if (rootKey == HKEY_CURRENT_USER)
        return "HKEY_CURRENT_USER";
    return "";
}

HKEY GetRootKeyByName(const char* name)
{
    for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        if (lstrcmpA(name, GetRootKeyName(root)) == 0)
            return root;
    }
    return nullptr;
}

std::string TraceDisplayName(const TraceItem& item)
{
    switch (item.kind) {
    case TRACE_FILE:
    case TRACE_FOLDER:
        return item.path;
    case TRACE_REGKEY:
        return std::string(GetRootKeyName(item.rootKey)) + "\\" + item.path;
    case TRACE_REGVALUE:
        return std::string(GetRootKeyName(item.rootKey)) + "\\" + item.path + "\\" + item.valueName;
    default:
        return std::string();
    }
}
