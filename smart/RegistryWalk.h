// Steps the registry searches share: walking a key's subkeys and values by index
// into MAX_PATH buffers, and taking a value's data as text.
#pragma once
#include <windows.h>

// The next subkey name at or after *index (names that do not fit are skipped).
// False at the end of the list.
bool NextSubkeyName(HKEY key, DWORD* index, char* name);

// One value of a key, read by index.
struct ValueEntry {
    char name[MAX_PATH];
    char data[MAX_PATH];
    DWORD type;
    DWORD dataSize;
};

// Reads value number index: ERROR_SUCCESS, ERROR_MORE_DATA when its name or data
// does not fit (nothing is read), or another code at the end of the values.
LONG ReadValueAt(HKEY key, DWORD index, ValueEntry* value);

// Makes the value's data terminated text: a REG_SZ value, or with expandable also a
// REG_EXPAND_SZ one (references expanded). False for other types and for texts
// that do not fit.
bool ValueAsText(ValueEntry* value, bool expandable);

// A ProgID or class id read from a value may only name one key directly below its
// parent: an empty text would make the parent itself (all of it) the trace.
bool IsSingleKeyName(const char* name);

// The last component of a key path.
const char* LeafName(const char* keyPath);
