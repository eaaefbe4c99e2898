// Links as Wine makes them (machine/FolderLink.h), under the names the suites use.
#pragma once
#include "machine/FolderLink.h"

namespace fixtures {

using machine::MakeFileLink;
using machine::MakeFolderLink;
using machine::RemoveFolderLink;

}  // namespace fixtures
