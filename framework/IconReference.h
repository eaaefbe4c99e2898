// The one reading of an icon reference ("path,index", quoted or not), as uninstall
// entries store it in DisplayIcon: folder names may hold commas.
#pragma once
#include <cstddef>

// The file an icon reference names and the icon's index in it. The whole text is
// the file when it names an existing one; otherwise a trailing ",<integer>" is the
// index and is dropped, quotes are removed and environment references expanded.
// False, with an empty path, when nothing is named or the path does not fit.
bool ReadIconReference(const char* text, char* path, size_t pathSize, int* index);
