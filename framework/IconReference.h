// The one reading of an icon reference ("path,index", quoted or not), as uninstall
// entries store it in DisplayIcon: folder names may hold commas.
#pragma once
#include <cstddef>

// The file an icon reference names and the icon's index in it. A trailing
// ",<integer>" is the index and is dropped, unless the whole text names an existing
// file (the disk is asked only then); quotes are removed (a quote never closed runs
// to the end) and environment references expanded. False, with an empty path, when
// nothing is named or the path does not fit.
bool ReadIconReference(const char* text, char* path, size_t pathSize, int* index);
