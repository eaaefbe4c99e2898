// The system operations of the demo machine come from the machine library
// (machine/); this header keeps the names the end-to-end suite uses.
#pragma once
#include "machine/Files.h"
#include "machine/Registry.h"
#include "machine/SpecialFolders.h"

namespace demo {

using machine::DeleteKeyTree;
using machine::DeleteValue;
using machine::ExecutableFolder;
using machine::RemoveTree;
using machine::SpecialFolder;

}  // namespace demo
