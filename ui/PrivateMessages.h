// The program's own window messages, all in one place so that no two share a number.
#pragma once
#include <windows.h>

// Sent by the trace analyzer to its notify window once for every new trace, right
// after it was appended: wParam TRACE_NOTIFY_CODE, lParam the new TraceItem (valid
// until the next Clear).
const UINT WM_TRACE_NOTIFY = WM_USER + 888;
const WPARAM TRACE_NOTIFY_CODE = 360;

// Sent by the smart page to its parent when an analysis starts (wParam TRUE) and when
// it ends (FALSE), so what else could change the machine meanwhile waits for it.
const UINT WM_ANALYSIS_RUNNING = WM_USER + 889;

// From the quick page to its parent, lParam its UninstallClues: sent before the
// uninstaller starts, to screen the folders (the parent keeps those that may be a
// program's own); posted when the wait ends (or the uninstaller could not start),
// wParam TRUE when what the uninstaller left is to be looked for (only when the
// entry went: not when it stays, nor when the user stopped waiting).
const UINT WM_UNINSTALL_STARTING = WM_USER + 890;
const UINT WM_UNINSTALL_ENDED = WM_USER + 891;
