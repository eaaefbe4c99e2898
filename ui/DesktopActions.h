// Small things the pages do on the user's desktop: text on the clipboard, the
// registry editor pointed at a key.
#pragma once
#include <windows.h>

// Puts text on the clipboard as CF_TEXT; false when the clipboard would not take it.
bool CopyTextToClipboard(HWND owner, const char* text);

// Makes root\keyPath (physical) the key the registry editor shows when it next
// starts: its own setting, written without following a registry link on the way
// (the user's hive is the user's to shape). False when it could not be written.
bool SetRegistryEditorKey(HKEY root, const char* keyPath);
