// Links as Wine makes them: a Unix symbolic link inside the prefix's drive,
// which Wine reports as a reparse point (junction-like). Made and removed with the
// Unix ln and rm, because the Windows calls either do nothing or follow the link.
#pragma once
#include <string>

namespace machine {

// Creates linkPath as a symbolic link to the folder targetPath; true when Windows
// then sees a reparse point there.
bool MakeFolderLink(const std::string& linkPath, const std::string& targetPath);

// Creates linkPath as a symbolic link to the file targetPath. Wine shows it as a
// plain file (no reparse point), with its target's attributes.
bool MakeFileLink(const std::string& linkPath, const std::string& targetPath);

// Removes the link itself (never its target); true when it is gone.
bool RemoveFolderLink(const std::string& linkPath);

}  // namespace machine
