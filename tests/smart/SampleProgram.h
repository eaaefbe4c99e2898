// A program installed the way installers do it: a folder with nested, read-only and
// hidden files, a shortcut to a second folder, desktop and Start-menu shortcuts, a
// COM class, file types, an uninstall entry, Run values and its vendor's key under
// "Software". Plus things that must not be claimed: a sibling folder whose name
// begins with the program folder's name, an out-of-process class, an expandable Run
// value, and another tool's key whose setting names the program (listed alone, weak).
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "support/Fixtures.h"

namespace smarttest {

class SampleProgram {
public:
    SampleProgram();
    ~SampleProgram();
    SampleProgram(const SampleProgram&) = delete;
    SampleProgram& operator=(const SampleProgram&) = delete;

    // The exact list an analysis of Executable() yields, in order.
    std::vector<std::string> ExpectedTraces() const;

    std::string Executable() const { return folder + "\\app.exe"; }
    std::string Id() const { return id; }
    std::string folder;       // C:\...\App
    std::string toolsFolder;  // C:\...\Tools, reached through App\Tools.lnk
    std::string siblingFolder;  // C:\...\AppBar
    std::string desktopLink;
    std::string commonDesktopLink;
    std::string directMenuLink;
    std::string group;
    std::string classA;
    std::string classB;
    std::string classOutOfProcess;
    std::string extension;
    std::string extension2;
    std::string progId;
    std::string progId2;
    std::string uninstallKey;
    std::string vendorKey;
    std::string userKey;
    std::string siblingKey;
    std::string runValue;
    std::string expandRunValue;

private:
    std::string id;
    fixtures::TempDir base;
};

using machine::kRunKey;
using machine::kUninstallKey;

}  // namespace smarttest
