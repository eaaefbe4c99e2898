// Which command uninstalls a product: quietly where the kind of its uninstaller is
// known for certain, otherwise through the uninstaller's own dialogs. Whatever is
// chosen is started by StartUninstallCommand with the entry's root, so a user's
// entry runs as the desktop user (or is refused) whichever of its commands it is.
#pragma once
#include "inventory/InstalledSoftwareEntry.h"

#include <string>

enum UninstallMode {
    UNINSTALL_INTERACTIVE,  // the uninstaller asks and shows what it does
    UNINSTALL_QUIET,        // no questions
};

// How the quiet command was found.
enum QuietKind {
    QUIET_NONE,               // no quiet command is known: the interactive one is used
    QUIET_ENTRY,              // the entry's own QuietUninstallString
    QUIET_WINDOWS_INSTALLER,  // msiexec /x{code} /qb REBOOT=ReallySuppress
    QUIET_UNINS_PAIR,         // an unins*.exe with its unins*.dat: /VERYSILENT /SUPPRESSMSGBOXES /NORESTART
    QUIET_NULLSOFT,           // a Nullsoft uninstaller, by the marker in its file: /S
};

struct UninstallChoice {
    std::string command;  // empty when the entry gives nothing to run
    UninstallMode mode = UNINSTALL_INTERACTIVE;
    QuietKind kind = QUIET_NONE;
    std::string productCode;  // a Windows Installer product's code
};

// The command that uninstalls entry in the mode wanted, where it has one. Quiet:
// its QuietUninstallString; else for a Windows Installer product the system
// folder's msiexec.exe /x{code} /qb REBOOT=ReallySuppress; else the switches of an
// uninstaller whose kind its files tell (placed right after the program, before the
// entry's own arguments); else the interactive command (mode says so). Interactive:
// msiexec.exe /x{code} for an Installer product (its entry's command often says /I,
// which opens the repair dialog), else the entry's UninstallString.
UninstallChoice ChooseUninstallCommand(const InstalledSoftwareEntry& entry, UninstallMode wanted);

// Whether the file at path is a Nullsoft uninstaller: its first megabyte holds, at a
// 512-byte boundary, the header Nullsoft's setups find themselves by, flagged as an
// uninstaller's (a setup's own is not: /S would install).
bool IsNullsoftUninstaller(const char* path);
