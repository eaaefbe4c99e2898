// Starting a product's uninstall command with an explicit program, never by
// letting the platform guess where an unquoted path with spaces ends.
#pragma once
#include <windows.h>

#include <string>

// The program an uninstall command runs and the arguments after it. A quoted
// program is taken as quoted. Unquoted, the program is the shortest start of the
// command that ends in ".exe" (before a space or the end) and names an existing
// file, so "C:\Program Files\A B\uninst.exe /S" never runs C:\Program.exe. A bare
// name such as MsiExec.exe is the system's: looked for in the system folder, then
// the Windows folder, never in the current folder, the program's own or PATH. A
// path that is neither bare nor full (relative, or on the current drive) names
// nothing. False when no existing program is named.
bool SplitUninstallCommand(const char* command, std::string* program, std::string* arguments);

// Starts the command's program with its arguments; false when nothing was started.
// With a job, the program starts inside it (so the processes it starts are in it
// too) where the system lets it; process then receives the program's process.
bool StartUninstallCommand(const char* command, HANDLE job = nullptr, HANDLE* process = nullptr);
