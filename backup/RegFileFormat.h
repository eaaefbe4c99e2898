// What the REGEDIT4 reader and writer share: the roots a file may name, the keys and
// values it holds, and the code-page spelling of names and text.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// One value as the registry holds it: wide name, type and exact bytes (text types
// as UTF-16, the way the wide API stores them).
struct RegFileValue {
    std::wstring name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// One key section of a file: the key's root, its physical path and its values.
struct RegFileKey {
    HKEY root = nullptr;
    std::wstring path;
    std::vector<RegFileValue> values;
};

namespace regfile {

// "HKEY_LOCAL_MACHINE" and the other three roots a file may name; nullptr for any other.
const char* RootName(HKEY root);
// The root named name exactly; nullptr when it is not one of the four.
HKEY RootNamed(const std::string& name);

// True for the types whose data is text: REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ.
bool IsTextType(DWORD type);

// The code page's spelling of length wide characters (NULs included); false when a
// character has none that reads back as itself.
bool SpellWide(const wchar_t* text, size_t length, std::string* ansi);
// The wide form of length bytes of code-page text; false when they are not valid text.
bool WidenAnsi(const char* text, size_t length, std::wstring* wide);

// True when path ("" for the root itself) is key names joined by single backslashes,
// with no empty name and no line break.
bool IsKeyPath(const char* path);

}  // namespace regfile
