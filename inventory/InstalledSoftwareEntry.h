// One product registered for removal under the Uninstall key.
#pragma once
#include <windows.h>

#include "framework/Handles.h"

struct InstalledSoftwareEntry {
    char displayName[MAX_PATH];
    char uninstallString[MAX_PATH];
    char publisher[MAX_PATH];
    char helpLink[MAX_PATH];
    char keyPath[MAX_PATH];     // below HKEY_LOCAL_MACHINE
    DWORD windowsInstaller;
    OwnedIcon smallIcon;
    OwnedIcon largeIcon;
};
