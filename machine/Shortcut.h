// Shell links made with the shell-link object, as installers make them. Needs COM
// initialised on the calling thread. The folder of the link is created.
#pragma once
#include <string>

namespace machine {

// A link to target with optional arguments and nothing else.
bool MakeShortcut(const std::string& linkPath, const std::string& target, const std::string& arguments = "");

// A link as a setup program makes it: with a description, the target's folder as
// the working folder and the target's first icon.
bool MakeAppShortcut(const std::string& linkPath, const std::string& target, const std::string& description);

}  // namespace machine
