// The program started from a command line to list or analyse, for people who script
// their machines: the same engine as the window, no window, nothing deleted.
//   UninstallManager.exe /list [/out <file>]
//   UninstallManager.exe /analyze <target> [/out <file>]
// Lines go to the console the program was started from (or where its output was
// redirected), or to the /out file, in the window's code page. /list into a .csv,
// .htm or .html file writes the table the quick page exports instead.
#pragma once

// Runs what args (argv[0] the program) ask for and sets exitCode: 0 when done, 2
// with the page's message when the target is refused, 1 with the usage when the
// arguments make no sense, 1 when an export's file cannot be written. False, with nothing done, when neither /list nor
// /analyze is asked for: then the window opens.
bool RunCommandLine(int argc, char** argv, int* exitCode);
