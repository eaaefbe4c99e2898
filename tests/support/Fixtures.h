// Fixtures shared by every suite: real registry keys, files, shortcuts and special
// folders inside the throwaway Wine prefix the tests run in. They are built by the
// machine library (machine/); this header keeps the names the suites use.
#pragma once
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "machine/Files.h"
#include "machine/Registry.h"
#include "machine/ScopedDir.h"
#include "machine/ScopedKey.h"
#include "machine/Shortcut.h"
#include "machine/SpecialFolders.h"
#include "machine/Text.h"

namespace fixtures {

using machine::Ansi;
using machine::UniqueName;

using machine::CreateKey;
using machine::DeleteKeyTree;
using machine::KeyExists;
using machine::MakeRegistryLink;
using machine::ScopedKey;
using machine::ScopedKeyIsolation;
using machine::SetDword;
using machine::SetString;
using machine::SetStringUnterminated;
using machine::SetValue;
using machine::SubkeyNames;
using machine::ValueExists;

using machine::CopyFileTo;
using machine::DirExists;
using machine::FileExists;
using machine::MakeDirs;
using machine::RemoveTree;
using machine::ScopedDir;
using machine::TempDir;
using machine::WriteFileText;

using machine::IconExecutable;
using machine::MakeShortcut;
using machine::SpecialFolder;
using machine::SystemFolder;
using machine::WindowsFolder;

// Kernel handles of this process (registry keys, files, find handles, ...); for
// GDI objects see GdiCount.h (GetGuiResources is a stub under Wine).
DWORD KernelHandleCount();

}  // namespace fixtures
