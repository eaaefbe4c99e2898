// Snapshots of the registry and the file tree (machine/Snapshot.h), under the
// names the suites use.
#pragma once
#include "machine/Snapshot.h"

namespace fixtures {

using machine::FileSnapshot;
using machine::Missing;
using machine::RegistrySnapshot;

}  // namespace fixtures
