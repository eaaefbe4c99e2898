#include "framework/PlatformVersion.h"

namespace {

struct VersionOverride {
    bool active;
    DWORD platformId;
    DWORD majorVersion;
    DWORD minorVersion;
};

VersionOverride g_versionOverride = {false, 0, 0, 0};

// Fills version from the override when one is set, else from GetVersionExA.
bool QueryVersion(OSVERSIONINFOA* version)
{
    ZeroMemory(version, sizeof(*version));
    version->dwOSVersionInfoSize = sizeof(*version);
    if (g_versionOverride.active) {
        version->dwPlatformId = g_versionOverride.platformId;
        version->dwMajorVersion = g_versionOverride.majorVersion;
        version->dwMinorVersion = g_versionOverride.minorVersion;
        return true;
    }
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return GetVersionExA(version) != FALSE;
#pragma GCC diagnostic pop
}

}  // namespace

bool IsWindowsNT()
{
    OSVERSIONINFOA version;
    if (!QueryVersion(&version))
        return false;
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

bool IsWindowsXPFamily()
{
    OSVERSIONINFOA version;
    if (!QueryVersion(&version))
        return false;
    return version.dwMajorVersion == 5 && version.dwMinorVersion >= 1;
}

void SetPlatformVersionOverride(DWORD platformId, DWORD majorVersion, DWORD minorVersion)
{
    g_versionOverride = {true, platformId, majorVersion, minorVersion};
}

void ClearPlatformVersionOverride()
{
    g_versionOverride.active = false;
}
