// Fixtures shared by every suite: real registry keys, files, shortcuts and special
// folders inside the throwaway Wine prefix the tests run in.
#pragma once
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

namespace fixtures {

// Text of the program's code page (936 in the tests) from a UTF-8 literal of the sources.
std::string Ansi(const char* utf8);

// A name no other test uses in this run (prefix + counter + process id).
std::string UniqueName(const std::string& prefix);

// ---- Registry -------------------------------------------------------------
bool CreateKey(HKEY root, const std::string& path);
bool SetValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
              const void* data, DWORD size);
bool SetString(HKEY root, const std::string& path, const std::string& name, const std::string& value,
               DWORD type = REG_SZ);
// A string stored without its terminator.
bool SetStringUnterminated(HKEY root, const std::string& path, const std::string& name, const std::string& value);
bool SetDword(HKEY root, const std::string& path, const std::string& name, DWORD value);
void DeleteKeyTree(HKEY root, const std::string& path);
// root\path becomes a registry link to HKEY_LOCAL_MACHINE\machineTarget.
bool MakeRegistryLink(HKEY root, const std::string& path, const std::string& machineTarget);
bool KeyExists(HKEY root, const std::string& path);
bool ValueExists(HKEY root, const std::string& path, const std::string& name);
std::vector<std::string> SubkeyNames(HKEY root, const std::string& path);

// Deletes root\path with its subtree when it goes out of scope.
class ScopedKey {
public:
    ScopedKey(HKEY root, std::string path);
    ~ScopedKey();
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;
    const std::string& Path() const { return path; }

private:
    HKEY root;
    std::string path;
};

// Moves the whole contents of root\path aside while it lives and puts them back
// afterwards, so a test sees only the subkeys it creates there.
class ScopedKeyIsolation {
public:
    ScopedKeyIsolation(HKEY root, std::string path);
    ~ScopedKeyIsolation();
    ScopedKeyIsolation(const ScopedKeyIsolation&) = delete;
    ScopedKeyIsolation& operator=(const ScopedKeyIsolation&) = delete;

private:
    HKEY root;
    std::string path;
    std::string backup;
};

// ---- Files ----------------------------------------------------------------
bool MakeDirs(const std::string& path);
bool WriteFileText(const std::string& path, const std::string& content = "x");
bool FileExists(const std::string& path);
bool DirExists(const std::string& path);
// Removes a file or a folder with everything below it (attributes reset first,
// links removed as links and never followed).
void RemoveTree(const std::string& path);
// Copies an existing file (for instance a system executable that carries an icon).
bool CopyFileTo(const std::string& from, const std::string& to);

// Removes the folder tree when it goes out of scope.
class ScopedDir {
public:
    explicit ScopedDir(std::string path);
    ~ScopedDir();
    ScopedDir(const ScopedDir&) = delete;
    ScopedDir& operator=(const ScopedDir&) = delete;
    const std::string& Path() const { return path; }

private:
    std::string path;
};

// A fresh folder C:\<unique name> that is removed with the object.
class TempDir : public ScopedDir {
public:
    explicit TempDir(const std::string& prefix = "umtest");
};

// ---- Shortcuts and special folders ----------------------------------------
bool MakeShortcut(const std::string& linkPath, const std::string& targetPath,
                  const std::string& arguments = "");
std::string SpecialFolder(int csidl);
std::string WindowsFolder();
std::string SystemFolder();

// ---- Objects (GetGuiResources is a stub under Wine: see GdiCount.h) -------
// Kernel handles of this process (registry keys, files, find handles, ...).
DWORD KernelHandleCount();

// Path of an executable that has icons (the system's notepad).
std::string IconExecutable();

}  // namespace fixtures
