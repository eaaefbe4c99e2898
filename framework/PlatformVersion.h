// Platform-family and version tests: how deletions at restart are scheduled
// (NT family or the 95/98/Me family) and whether themed drawing is tried (5.1, 5.2).
#pragma once
#include <windows.h>

// True on the NT family (VER_PLATFORM_WIN32_NT); the 95/98/Me family gives false.
bool IsWindowsNT();

// True on Windows 5.1 and 5.2; 6.0 and later, and 5.0 and earlier, give false.
bool IsWindowsXPFamily();

// The platform id and version numbers both tests use. Tests may replace them:
// SetPlatformVersionOverride(VER_PLATFORM_WIN32_WINDOWS, 4, 90) acts as Windows Me,
// SetPlatformVersionOverride(VER_PLATFORM_WIN32_NT, 5, 1) as 5.1.
// ClearPlatformVersionOverride returns to what GetVersionExA reports.
void SetPlatformVersionOverride(DWORD platformId, DWORD majorVersion, DWORD minorVersion);
void ClearPlatformVersionOverride();
