// The few system operations an installer needs: registry values, folders,
// file copies and shell links. Every function reports failure as false.
#pragma once
#include <windows.h>

#include <string>

namespace demo {

bool WriteString(HKEY root, const std::string& key, const std::string& name, const std::string& value);
bool WriteDword(HKEY root, const std::string& key, const std::string& name, DWORD value);
// Deletes root\key with everything under it; a missing key is no error.
void DeleteKeyTree(HKEY root, const std::string& key);
void DeleteValue(HKEY root, const std::string& key, const std::string& name);

// Creates the folder and any missing parents.
bool MakeFolders(const std::string& path);
bool WriteTextFile(const std::string& path, const std::string& text);
bool CopyOneFile(const std::string& from, const std::string& to);
// Removes a file or a folder tree; never follows a link.
void RemoveTree(const std::string& path);

// A shell link at linkPath to target; the folder of the link is created.
bool MakeShortcut(const std::string& linkPath, const std::string& target, const std::string& arguments,
                  const std::string& description);

// A special folder (CSIDL_*), created when missing; empty on failure.
std::string SpecialFolder(int csidl);

// The folder of the running executable, without a trailing backslash, in a
// form that the file functions accept.
std::string ExecutableFolder();

}  // namespace demo
