// Text for building machine state: the sources are UTF-8, the registry, the file
// system and shell links take ANSI text in the system's code page (936).
#pragma once
#include <string>

namespace machine {

// The UTF-8 text in the system's ANSI code page; empty when it cannot be converted.
std::string Ansi(const char* utf8);

// A name no other caller uses in this run (prefix + process id + counter).
std::string UniqueName(const std::string& prefix);

// Lower-case ASCII copy (registry and file names compare without case).
std::string LowerAscii(std::string text);

// Position of the last real backslash (never a trail byte of a double-byte
// character), or std::string::npos.
size_t LastBackslash(const std::string& path);

// The text before the last backslash; the whole text when there is none.
std::string ParentFolder(const std::string& path);

// Joins a folder and a name with one backslash.
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace machine
