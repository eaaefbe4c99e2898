// The one reading of a command line: the program it runs and the arguments after
// it. Uninstall commands, the commands of file types and auto-start values, and the
// analysis's reading of any registry text that is a command all come here.
#pragma once
#include <string>

// What a command line names as its program.
enum CommandProgram {
    PROGRAM_NONE,        // no program: empty, or nothing that ends in a program's extension
    PROGRAM_UNRESOLVED,  // a name that is never looked up: a path that is not full
                         // (sub\u.exe, C:u.exe, \u.exe), one with wildcards, or a bare
                         // name that neither the system folder nor the Windows folder holds
    PROGRAM_PATH,        // a full path (drive or network), existing or not
};

// Reads command: the program is the quoted first item (a quote never closed runs to
// the end); unquoted, the shortest start that ends in a program's extension (.exe,
// .com, .bat, .cmd, .pif, .scr) before a blank or the end, and when several such
// starts exist, the shortest that names an existing file (else the shortest), so
// "C:\Program Files\A B\uninst.exe /S" never reads as C:\Program.exe. Environment
// references in the program are expanded. A bare name (MsiExec.exe) is the system's:
// the file in the system folder, then in the Windows folder, never one in the
// current folder, beside this program or on PATH. The disk is asked only for bare
// names and to choose among several starts, so reading a registry's worth of texts
// stays cheap. program is empty for PROGRAM_NONE; arguments never hold the blanks
// around them.
CommandProgram ParseCommandLine(const char* command, std::string* program, std::string* arguments);

// The program command starts: its full path when an existing file stands there;
// false when the command names none, or only a name that is never looked up.
bool FindStartableProgram(const char* command, std::string* program, std::string* arguments);
