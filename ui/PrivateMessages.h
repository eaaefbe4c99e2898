// The program's own window messages, all in one place so that no two share a number.
#pragma once
#include <windows.h>

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

// The quick page to itself: go on with the work it does between messages (reading
// the entries, looking up icons).
const UINT WM_QUICK_PAGE_WORK = WM_USER + 892;
// From the quick page to its parent, lParam its UninstallClues for one product: show
// the smart page analysing that product's folder. Posted, so the menu that asked is
// closed before the analysis runs.
const UINT WM_ANALYZE_PRODUCT = WM_USER + 893;
