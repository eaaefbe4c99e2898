// Snapshots of the registry and the file tree, to prove that an operation changed
// nothing but what it was meant to.
#pragma once
#include <windows.h>

#include <set>
#include <string>
#include <vector>

namespace machine {

// Every key below root\path and every value with its type and a hash of its data,
// one line each: "K|key", "L|link key", "K|key|unreadable", "V|key|name|type|hash".
// Link keys are never followed; "Perflib" subtrees are listed by name only.
std::set<std::string> RegistrySnapshot(HKEY root, const std::string& path);

// Every file and folder below folder with its attributes and size, one line each
// ("path|attributes|size"); links are listed and never followed.
std::set<std::string> FileSnapshot(const std::string& folder);

// Lines of a that are not in b.
std::vector<std::string> Missing(const std::set<std::string>& a, const std::set<std::string>& b);

}  // namespace machine
