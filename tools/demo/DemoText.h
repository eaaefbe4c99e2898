// Texts of the demo machine come from the machine library (machine/Text.h); this
// header keeps the names the end-to-end suite uses.
#pragma once
#include "machine/Text.h"

namespace demo {

using machine::Ansi;
using machine::JoinPath;
using machine::LastBackslash;
using machine::ParentFolder;

}  // namespace demo
