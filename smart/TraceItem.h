// One trace of an analysed program, as listed on the smart-uninstall page.
#pragma once
#include <windows.h>

#include <string>

enum TraceKind {
    TRACE_FILE = 1,      // a file (program file or shortcut)
    TRACE_FOLDER = 2,    // a folder, listed after its contents
    TRACE_REGKEY = 3,    // a registry key with everything below it
    TRACE_REGVALUE = 4,  // one value of a registry key
};

struct TraceItem {
    int kind;                   // one of TraceKind; anything else is ignored by removal
    char path[MAX_PATH];        // file-system path, or key path relative to rootKey
    char valueName[MAX_PATH];   // TRACE_REGVALUE: the value name ("" for the default value)
    HKEY rootKey;               // registry traces: HKEY_CLASSES_ROOT, _CURRENT_USER or _LOCAL_MACHINE
    // 0 when the trace is certainly the program's (its row starts ticked); otherwise
    // the string id that says why it is only weak evidence (its row starts unticked).
    UINT weakReason;
};

// The display name of a registry root ("" for any other value).
const char* GetRootKeyName(HKEY rootKey);
// The root that GetRootKeyName names so; null for any other text.
HKEY GetRootKeyByName(const char* name);

// The trace as its row names it: the path, a key's full path, or a value's key and name.
std::string TraceDisplayName(const TraceItem& item);
