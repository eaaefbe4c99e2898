// Deleting a registry key with what it holds, never following a registry link.
#pragma once
#include "framework/Handles.h"

#include <windows.h>

#include <string>

// What a deletion leaves in place. Paths are key paths below the deletion's root.
class RegistryKeep {
public:
    virtual ~RegistryKeep() = default;
    // The key stays with all it holds.
    virtual bool KeepsKey(const char* path) const = 0;
    // Something below the key stays, so the key stays as the way to it.
    virtual bool KeepsBelow(const char* path) const = 0;
    virtual bool KeepsValue(const char* path, const char* valueName) const = 0;
};

// Deletes root\path with its values and subkeys, except what keep names and the keys
// on the way to it. A link key is removed as a link and never followed; a link on
// the way to root\path leaves everything in place (ERROR_CANT_RESOLVE_FILENAME). Subkeys and
// values are addressed by their real (wide) names, so names the code page cannot
// spell go too; a path with '?' could stand for such a name and is refused.
// ERROR_SUCCESS when all else is gone (a key already gone counts), else the first error.
LONG DeleteKeyTree(HKEY root, const char* path, const RegistryKeep* keep = nullptr);

// Opens root\path (physical) with access, one key at a time, each as itself: a
// registry link anywhere on the path, the key itself included, is never followed.
// The one exception is the link Windows makes from HKCU\Software\Classes to the
// user's own classes hive: seen to lead there, that hive is opened by its own name.
// ERROR_SUCCESS; a not-found error when a key on the way is missing;
// ERROR_CANT_RESOLVE_FILENAME when one is a link or cannot be told from one;
// ERROR_INVALID_NAME for an empty path or an empty name in it.
LONG OpenKeyWithoutLinks(HKEY root, const char* path, REGSAM access, OwnedKey* key);

// The SID of the user this process runs as, as text ("S-1-5-21-..."), which names
// the user's hives and the Installer's keys of the user; empty when the token cannot tell.
std::wstring ProcessUserSid();

// The one registry link a walk goes on past is the one Windows makes from
// HKCU\Software\Classes to the user's own classes hive: when walked (the path the
// walk reached, below root) is that key and link, opened as itself, leads to that
// hive, the hive is opened by its own name into key, never through the link.
// ERROR_CANT_RESOLVE_FILENAME for any other link.
LONG OpenUserClassesInstead(HKEY root, const char* walked, HKEY link, REGSAM access, OwnedKey* key);

// True for the errors that say a file, folder, key or value is not there.
bool IsNotFoundError(DWORD error);
