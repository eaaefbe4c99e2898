// The machine helpers own their handles with the program's own owners.
#pragma once
#include "framework/Handles.h"

namespace machine {

using KeyHandle = OwnedKey;
using FindHandle = OwnedFind;

}  // namespace machine
