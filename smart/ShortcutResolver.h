// A shortcut file's target through the shell-link object. COM must be initialised
// on the calling thread. A file that is not a shortcut simply has no target.
#pragma once
#include <string>

// With link tracking (no user interface): target holds the long path of the target,
// MAX_PATH bytes. False and an empty target when there is none.
bool ResolveShortcut(const char* shortcutPath, char* target);

// Without link tracking: the stored target (UNC form preferred), empty when none.
std::string ReadShortcutTarget(const char* shortcutPath);
