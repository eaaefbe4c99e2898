// Opening a key to write into without following a registry link on the way: each
// key from the root down is opened as itself, and a missing one is made new.
#pragma once
#include "framework/Handles.h"

#include <windows.h>

#include <string>

// Opens root\path (physical view) for access, making the keys that are missing one
// by one. False when a key on the way, or the key itself, is a registry link, or when
// a key that was missing appears while it is made. HKEY_CURRENT_USER\Software\Classes,
// which Windows makes a link to the user's classes, is not followed: the walk goes on
// from HKEY_USERS\<the user's SID>_Classes itself.
bool OpenKeyWithoutLinks(HKEY root, const std::wstring& path, REGSAM access, OwnedKey* opened);
