// What a piece of registry data names as a program. A path counts only as the
// program a command runs (the first item of the command line), as a module or icon
// path, or as a plain path value: a path that is only an argument of another
// program's command names that other program, not the one in the argument.
#pragma once
#include "framework/RegKey.h"

#include <cstddef>

// The path text names: the program when it is a command (ParseCommandLine, a name
// that is never looked up included), else the file of a module or icon reference
// ("path,index": ReadIconReference) or the text itself, when that is a drive-letter
// or network path. False, with an empty path, when the text names no path or the
// path does not fit pathSize.
bool NamedPath(const char* text, char* path, size_t pathSize);

// A name in braces with no backslash: how class keys refer to a class id.
bool IsClassId(const char* text);

// A ProgID or class id read from a value may only name one key directly below its
// parent: an empty text would make the parent itself (all of it) the trace.
bool IsSingleKeyName(const char* name);

// The last component of a key path.
const char* LeafName(const char* keyPath);

// The values of an uninstall entry that name its folders.
enum EntryValue { ENTRY_INSTALL_LOCATION, ENTRY_UNINSTALLER, ENTRY_ICON };

// The folder an uninstall entry's value names: the install location itself, the
// folder of the program its uninstall command runs (named in full), or of its icon
// (the one reading of an icon reference); full and normalized, drive paths only.
bool EntryFolder(EntryValue which, const char* text, char* folder);
