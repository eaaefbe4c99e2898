// Registry keys that are put back as they were when the object goes.
#pragma once
#include <windows.h>

#include <string>

namespace machine {

// Creates root\path and deletes it with its subtree when it goes out of scope.
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
// afterwards, so a caller sees only the subkeys it creates there.
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

}  // namespace machine
