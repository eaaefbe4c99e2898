// The sample products of the demo machine. Texts are UTF-8 here; the installer
// converts them to the system's code page (see Ansi).
#pragma once
#include <windows.h>

#include "machine/InstallerRegistration.h"

#include <string>
#include <vector>

namespace demo {

struct DemoProduct {
    const char* uninstallKey;   // subkey name under ...\CurrentVersion\Uninstall
    const char* displayName;
    const char* publisher;
    const char* helpLink;
    const char* version;
    const char* folder;         // below Program Files; may hold a vendor level
    const char* exeName;        // the product's main program (a copy of DemoApp.exe)
    const char* dllName;        // in-process COM server in the product folder
    const char* clsid;
    const char* extension;      // file type opened by the program, with its dot
    const char* progId;
    const char* typeName;
    HKEY runRoot;               // HKLM or HKCU ...\CurrentVersion\Run
    const char* runValue;
    const char* runArguments;
    const char* softwareKey;    // under HKLM\Software and HKCU\Software, named as installers
                                // name them: the product, or vendor\product
    int desktopFolder;          // CSIDL_DESKTOPDIRECTORY or CSIDL_COMMON_DESKTOPDIRECTORY
    const char* shortcutName;   // desktop and Start-menu shortcut, without ".lnk"
    const char* groupName;      // Start-menu group in the user's Programs folder
    bool windowsInstaller;      // registered as a Windows Installer package
    bool iconIndex;             // DisplayIcon carries ",0" after the path
    const char* uninstallerName;  // nullptr when the product brings no uninstaller
    bool uninstallerRelaunches;   // it copies itself to the temporary folder, starts the copy and exits
    bool uninstallerData;         // it keeps its .dat beside it (an unins000.exe: quiet with /VERYSILENT)
    bool uninstallerMissing;      // the entry names it, but it is not there
    int uninstallerExitCode;      // what it returns after its work (3010: restart needed)
    const char* quietSwitch;      // the entry's QuietUninstallString: the uninstaller with this; nullptr: none
    // A Windows Installer product the Installer knows: registered as the Installer does
    // it, its entry's command "MsiExec.exe /I{code}". nullptr: none (an Installer product
    // the Installer does not know has "/X").
    const char* upgradeCode;
};

const std::vector<DemoProduct>& DemoProducts();

// Where the pieces of a product land, in the system's code page.
std::string ProductFolder(const DemoProduct& product);
std::string ProductFile(const DemoProduct& product, const char* name);
std::string UninstallKeyPath(const DemoProduct& product);
std::string RunKeyPath();
std::string SoftwareKeyPath(const DemoProduct& product);
std::string DesktopShortcutPath(const DemoProduct& product);
std::string GroupFolder(const DemoProduct& product);
std::string GroupShortcutPath(const DemoProduct& product, const char* utf8Name);
std::string UninstallCommand(const DemoProduct& product);
// The product's registration with Windows Installer, when it has one.
bool HasInstallerRegistration(const DemoProduct& product);
machine::InstallerProduct InstallerRegistrationOf(const DemoProduct& product);

// Folders the uninstaller leaves behind and the files it removes.
extern const char* const DEMO_DATA_FOLDER;
extern const char* const DEMO_PLUGIN_FOLDER;
extern const char* const DEMO_INSTALL_LOG;

}  // namespace demo
