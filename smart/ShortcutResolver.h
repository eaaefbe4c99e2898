// A shortcut file's target through the shell-link object. COM must be initialised
// on the calling thread. A file that is not a shortcut simply has no target.
#pragma once
#include <string>

// The stored target, never resolved or tracked: target holds its path, MAX_PATH
// bytes. False and an empty target when there is none, when it does not fit (it is
// never cut) or when the code page cannot spell it.
bool ResolveShortcut(const char* shortcutPath, char* target);

// Without link tracking: the stored target (UNC form preferred), empty when none.
std::string ReadShortcutTarget(const char* shortcutPath);
