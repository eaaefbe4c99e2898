// Walks of the registry and of the file tree that never follow a link (the
// registry's Wow6432Node links and folder links lead back up).
#pragma once
#include <windows.h>

#include <functional>
#include <set>
#include <string>

namespace machine {

enum class KeyKind { Key, Link, Unreadable };
using KeyVisitor = std::function<void(const std::string& path, KeyKind kind)>;
using ValueVisitor =
    std::function<void(const std::string& path, const std::string& name, DWORD type, const std::string& data)>;

// Visits root\path and every key below it, each key with its values before its
// subkeys. A link key is visited as a link and never entered; a "Perflib" key is
// visited, its values and subkeys are not read (reading them hangs).
void WalkRegistry(HKEY root, const std::string& path, const KeyVisitor& onKey, const ValueVisitor& onValue);

using FileVisitor = std::function<void(const std::string& path, const WIN32_FIND_DATAA& data)>;

// Visits every file and folder below folder (not folder itself), each folder
// before its contents; a link to a folder is visited and never entered.
void WalkFiles(const std::string& folder, const FileVisitor& visit);

// Every key and value at and below root\path as the smart page names them
// ("HKEY_...\key", "HKEY_...\key\value"); nothing for a missing key.
void RegistryTreeRows(HKEY root, const std::string& rootName, const std::string& path, std::set<std::string>* keys,
                      std::set<std::string>* values);

// The file or folder and everything below it; nothing when it is missing.
void FileTreeRows(const std::string& folder, std::set<std::string>* rows);

}  // namespace machine
