// Registry values of any type and keys under the real roots. Every writer
// creates the key when it is missing and reports failure as false.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace machine {

const char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// The 32-bit view of the machine's keys, by its physical path.
const char kWowRunKey[] = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kWowUninstallKey[] = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// The user's keys as the registry spells them (the machine's are upper case).
const char kUserRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kUserUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

bool CreateKey(HKEY root, const std::string& path);
bool SetValue(HKEY root, const std::string& path, const std::string& name, DWORD type, const void* data,
              DWORD size);
bool SetString(HKEY root, const std::string& path, const std::string& name, const std::string& value,
               DWORD type = REG_SZ);
// A string stored without its terminator.
bool SetStringUnterminated(HKEY root, const std::string& path, const std::string& name, const std::string& value);
bool SetDword(HKEY root, const std::string& path, const std::string& name, DWORD value);

// Deletes root\path with everything under it; a missing key is no error.
void DeleteKeyTree(HKEY root, const std::string& path);
// root\path becomes a registry link to HKEY_LOCAL_MACHINE\machineTarget.
bool MakeRegistryLink(HKEY root, const std::string& path, const std::string& machineTarget);
// root\path becomes a registry link to the key the registry's own path names
// ("\Registry\User\<SID>_Classes").
bool MakeRegistryLinkTo(HKEY root, const std::string& path, const std::string& target);
// The string form of the user SID this process runs as ("S-1-5-21-...").
std::string UserSid();
void DeleteValue(HKEY root, const std::string& path, const std::string& name);

bool KeyExists(HKEY root, const std::string& path);
bool ValueExists(HKEY root, const std::string& path, const std::string& name);
std::vector<std::string> SubkeyNames(HKEY root, const std::string& path);

}  // namespace machine
