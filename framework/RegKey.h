// An owned registry key handle and the value reads the system makes.
#pragma once
#include <windows.h>

class RegKey {
public:
    RegKey() = default;
    ~RegKey() { Close(); }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    // Opens root\path for reading. A link key is opened as itself and refused,
    // so a recursive walk never follows a registry link back up the tree. view may
    // name a registry view (KEY_WOW64_64KEY or KEY_WOW64_32KEY).
    bool Open(HKEY root, const char* path, REGSAM view = 0);
    void Close();
    HKEY Get() const { return key; }
    explicit operator bool() const { return key != nullptr; }

private:
    HKEY key = nullptr;
};

// Reads a text value (REG_SZ, or REG_EXPAND_SZ with its references expanded) of
// key\subKey into buffer. Any other type, a value that does not fit with its
// terminator, or a missing value gives false and an empty buffer.
bool ReadTextValue(HKEY key, const char* subKey, const char* valueName, char* buffer, DWORD bufferSize);

// Reads a 32-bit value stored in at most four bytes (little-endian); false when absent.
bool ReadDwordValue(HKEY key, const char* subKey, const char* valueName, DWORD* value);
