#include "machine/ScopedDir.h"

#include "machine/Files.h"
#include "machine/Text.h"

namespace machine {

ScopedDir::ScopedDir(std::string path) : path(std::move(path))
{
}

ScopedDir::~ScopedDir()
{
    RemoveTree(path);
}

TempDir::TempDir(const std::string& prefix) : ScopedDir("C:\\" + UniqueName(prefix))
{
    MakeDirs(Path());
}

}  // namespace machine
