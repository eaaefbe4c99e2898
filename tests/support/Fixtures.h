// Fixtures shared by every suite: real registry keys, files, shortcuts, links,
// snapshots and special folders inside the throwaway Wine prefix the tests run in.
// They are built by the machine library (machine/) and used here under fixtures::.
#pragma once
#include <windows.h>
#include <shlobj.h>

#include "machine/Files.h"
#include "machine/FolderLink.h"
#include "machine/Registry.h"
#include "machine/ScopedDir.h"
#include "machine/ScopedKey.h"
#include "machine/ShellFolders.h"
#include "machine/Shortcut.h"
#include "machine/Snapshot.h"
#include "machine/Text.h"

namespace fixtures {

using namespace machine;

// Kernel handles of this process (registry keys, files, find handles, ...); for GDI
// objects see GdiCount.h. Wine answers the handle count with 0, so there every
// handle value is probed.
inline DWORD KernelHandleCount()
{
    DWORD count = 0, flags = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count)
        return count;
    for (ULONG_PTR value = 4; value < 0x10000; value += 4)
        count += GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) ? 1 : 0;
    return count;
}

}  // namespace fixtures
