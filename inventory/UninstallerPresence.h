// Whether an entry's uninstaller is still there: the quick page marks the entries
// whose is not (forced removal is what is left for them), and /list prints it.
#pragma once
#include <windows.h>

#include <string>

// Tells whether entries' uninstallers are there, asking each drive's type once over
// the entries of one load.
class CUninstallerPresence {
public:
    CUninstallerPresence();

    // True when the program the uninstall command names (after the one command
    // parser's reading) exists. A Windows Installer command (MsiExec.exe) is judged
    // by the product's registration instead: the product code after its /X or /I (or
    // /uninstall, /package), else, for an entry the Installer made (windowsInstaller),
    // the entry's key name. Programs on a server, a network, removable or CD drive
    // are not probed and count as present: the elevated program neither waits for a
    // network nor asks for a disk. A command that names no program, or only one that
    // is never looked up (a relative path, a bare name outside the system folders),
    // has no uninstaller that can run.
    bool Exists(const char* uninstallString, DWORD windowsInstaller, const char* keyName);

private:
    bool IsProbedPlace(const std::string& program);

    UINT driveTypes[26];  // by drive letter; kNotAsked until asked
};

// CUninstallerPresence::Exists for one entry.
bool UninstallerExists(const char* uninstallString, DWORD windowsInstaller, const char* keyName);

// Whether Windows Installer knows the product (installed, advertised or installed
// for another user): asked of msi.dll, loaded from the system folder when first
// needed; where it cannot be loaded or cannot tell, by HasInstallerProductKey.
bool IsInstallerProductRegistered(const char* productCode);

// Whether the product's packed code names a key under the machine's
// SOFTWARE\Classes\Installer\Products or the user's Software\Microsoft\Installer\Products.
bool HasInstallerProductKey(const char* productCode);
