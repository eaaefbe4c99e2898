// Starting a product's uninstall command with an explicit program, never by
// letting the platform guess where an unquoted path with spaces ends.
#pragma once
#include <windows.h>

#include <string>

// What came of starting an uninstall command.
enum CommandStart {
    COMMAND_STARTED,
    COMMAND_NOT_FOUND,        // it names no existing program
    COMMAND_FAILED,           // the system would not start the program
    COMMAND_NO_DESKTOP_USER,  // a user's command, refused: no desktop user to run it as
};

// Starts the command's program (FindStartableProgram) with its arguments, in the
// program's own folder.
// entryRoot is where the product is registered: a command from anywhere but HKLM is
// the user's own data, which while the program runs elevated starts with the
// desktop user's token (CDesktopUser), never the program's; with no desktop user it
// is refused. With a job, the program starts inside it (so the processes it starts
// are in it too) where the system lets it; process then receives its process.
CommandStart StartUninstallCommand(const char* command, HKEY entryRoot, HANDLE job = nullptr,
                                   HANDLE* process = nullptr);

// Opens a product's help link. While this program runs elevated the link (a
// standard user may have written it, and the user's own classes choose what opens
// it) goes to Explorer started with the desktop user's token; with no desktop user
// it is refused (COMMAND_NO_DESKTOP_USER). A link holding a quote is no link.
CommandStart OpenLinkAsDesktopUser(const char* link);

// Shows a product's folder in Explorer (the one in the Windows folder). Only a folder
// that exists and is no link (a junction or symbolic link) is opened, named with a
// trailing backslash so that nothing but a folder opens. A user's product (anything
// not registered under HKLM) chose that folder: while this program runs elevated it
// opens with the desktop user's token, or not at all (COMMAND_NO_DESKTOP_USER).
CommandStart OpenFolderInExplorer(const char* folder, HKEY entryRoot);
