// Folders removed with everything in them when the object goes.
#pragma once
#include <string>

namespace machine {

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

// A fresh folder C:\<unique name>.
class TempDir : public ScopedDir {
public:
    explicit TempDir(const std::string& prefix = "umtest");
};

}  // namespace machine
