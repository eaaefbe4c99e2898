// Fixtures shared by every suite: real registry keys, files, shortcuts, links,
// snapshots and special folders inside the throwaway Wine prefix the tests run in.
// They are built by the machine library (machine/) and used here under fixtures::.
#pragma once
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "machine/Files.h"
#include "machine/FolderLink.h"
#include "machine/Registry.h"
#include "machine/ScopedDir.h"
#include "machine/ScopedKey.h"
#include "machine/Shortcut.h"
#include "machine/Snapshot.h"
#include "machine/ShellFolders.h"
#include "machine/Text.h"

namespace fixtures {

using namespace machine;

// Kernel handles of this process (registry keys, files, find handles, ...); for
// GDI objects see GdiCount.h (GetGuiResources is a stub under Wine).
DWORD KernelHandleCount();

}  // namespace fixtures
