// An owned registry key that walks its subkeys and values for the caller, and the
// value reads the system makes.
#pragma once
#include "framework/Handles.h"

#include <functional>

// One value met by RegKey::ForEachValue. data holds size bytes (capacity MAX_PATH,
// not terminated: see TerminateRead); it is null when only names are read.
struct RegValue {
    const char* name;
    DWORD type;
    char* data;
    DWORD size;
};

class RegKey : public OwnedKey {
public:
    enum ValueData { WITH_DATA, NAMES_ONLY };

    // Opens root\path for reading. A link key is opened as itself and refused,
    // so a recursive walk never follows a registry link back up the tree. path is
    // physical (see RegistryView.h).
    bool Open(HKEY root, const char* path);
    // Opens root\path as itself without asking whether it is a link, for a caller
    // that tells a link otherwise: a walk of the subkeys alone (a link has none of
    // its own), or of every value (see ForEachValueOfNonLink).
    bool OpenAsItself(HKEY root, const char* path);
    void Close() { Reset(); }

    // Calls visit with each subkey name in the registry's order until it returns
    // false. A name that does not fit MAX_PATH is skipped and the walk goes on.
    // True when the walk met every subkey: visit never stopped it, no read failed.
    bool ForEachSubkey(const std::function<bool(const char* name)>& visit) const;
    // The same over the values; a value whose name or (WITH_DATA) data does not
    // fit MAX_PATH is skipped. With a count (from CountEntries) the walk stops there
    // instead of asking once more for the end. True when the walk met every value:
    // none skipped, visit never stopped it, no read failed.
    bool ForEachValue(const std::function<bool(const RegValue& value)>& visit, ValueData data = WITH_DATA,
                      DWORD count = MAXDWORD) const;
    // ForEachValue over a key opened with OpenAsItself, whose caller must drop what
    // visit gathered when this returns false: the key is a registry link. A walk that
    // met every value tells one by its SymbolicLinkValue; otherwise the key is asked.
    bool ForEachValueOfNonLink(const std::function<bool(const RegValue& value)>& visit, ValueData data = WITH_DATA,
                               DWORD count = MAXDWORD) const;
    // The numbers of subkeys and values the key holds; false when it cannot tell.
    bool CountEntries(DWORD* subkeys, DWORD* values) const;
    // When the key or one of its values was last written; false when it cannot tell.
    bool LastWriteTime(FILETIME* time) const;
};

// True when key (opened with REG_OPTION_OPEN_LINK) is a registry link.
bool IsRegistryLink(HKEY key);
// True when value is the one that makes its key a registry link.
bool IsRegistryLinkValue(const RegValue& value);

// Makes buffer (bufferSize bytes) a terminated text after a read of size bytes;
// false when the text and its terminator do not fit.
bool TerminateRead(char* buffer, DWORD bufferSize, DWORD size);

// Makes the data of a value read by RegKey::ForEachValue terminated text: a REG_SZ
// value, or with expandable also a REG_EXPAND_SZ one (references expanded), as
// ReadTextValue reads them. False for other types and for texts that do not fit.
bool ValueAsText(const RegValue& value, bool expandable);

// Reads a text value (REG_SZ, or REG_EXPAND_SZ with its references expanded) of
// key\subKey into buffer. Any other type, a value that does not fit with its
// terminator, or a missing value gives false and an empty buffer.
bool ReadTextValue(HKEY key, const char* subKey, const char* valueName, char* buffer, DWORD bufferSize);

// Reads a 32-bit value stored in at most four bytes (little-endian); false when absent.
bool ReadDwordValue(HKEY key, const char* subKey, const char* valueName, DWORD* value);
