// The install log a demo product keeps in its folder: what its setup put there,
// so that its uninstaller knows what to take away and how to behave. One "kind=text"
// per line; a log without the behaviour lines gets an uninstaller that works in
// place and exits at once.
#pragma once
#include <string>
#include <vector>

namespace demo {

struct InstallLog {
    std::string displayName;
    std::string uninstallKey;           // under HKLM ...\CurrentVersion\Uninstall
    std::vector<std::string> files;     // relative to the product folder
    std::vector<std::string> folders;   // relative; parents before their subfolders
    bool relaunch = false;              // the uninstaller works from a copy in the temporary folder
    int lingerMs = 0;                   // how long the uninstaller stays after its work
    int exitCode = 0;                   // what the uninstaller returns after its work (3010: restart needed)
};

bool WriteInstallLog(const std::string& path, const InstallLog& log);
bool ReadInstallLog(const std::string& path, InstallLog* log);

}  // namespace demo
