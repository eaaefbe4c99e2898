// Folders of the system and of the running program.
#pragma once
#include <string>

namespace machine {

// A special folder (CSIDL_*), created when missing; empty on failure.
std::string SpecialFolder(int csidl);
std::string ProgramFilesFolder();
std::string WindowsFolder();
std::string SystemFolder();

// The folder of the running executable, without a trailing backslash, in a form
// that the file functions accept.
std::string ExecutableFolder();

// Path of an executable that has icons (the system's notepad).
std::string IconExecutable();

}  // namespace machine
