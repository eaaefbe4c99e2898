// Files and folders. Writers create the missing parent folders.
#pragma once
#include <string>

namespace machine {

// Creates the folder and any missing parents; true when the folder is there.
bool MakeDirs(const std::string& path);
bool WriteFileText(const std::string& path, const std::string& content = "x");
// The whole file; false when it cannot be read.
bool ReadFileText(const std::string& path, std::string* content);
// Copies an existing file over any file at the target.
bool CopyFileTo(const std::string& from, const std::string& to);
bool FileExists(const std::string& path);
bool DirExists(const std::string& path);
// Removes a file or a folder with everything below it (attributes reset first;
// a link is removed as a link and never followed).
void RemoveTree(const std::string& path);

}  // namespace machine
