#include "machine/ScopedKey.h"

#include "machine/Handle.h"
#include "machine/Registry.h"
#include "machine/Text.h"

#include <shlwapi.h>

namespace machine {

namespace {

// Copies the contents of one key into another (both must exist).
void CopyKey(HKEY fromRoot, const std::string& from, HKEY toRoot, const std::string& to)
{
    KeyHandle source;
    KeyHandle target;
    if (RegOpenKeyExA(fromRoot, from.c_str(), 0, KEY_ALL_ACCESS, source.Out()) == ERROR_SUCCESS &&
        RegOpenKeyExA(toRoot, to.c_str(), 0, KEY_ALL_ACCESS, target.Out()) == ERROR_SUCCESS)
        SHCopyKeyA(source.Get(), nullptr, target.Get(), 0);
}

}  // namespace

ScopedKey::ScopedKey(HKEY root, std::string path) : root(root), path(std::move(path))
{
    CreateKey(this->root, this->path);
}

ScopedKey::~ScopedKey()
{
    DeleteKeyTree(root, path);
}

ScopedKeyIsolation::ScopedKeyIsolation(HKEY root, std::string path)
    : root(root), path(std::move(path)), backup("Software\\UmTestBackup\\" + UniqueName("key"))
{
    CreateKey(HKEY_CURRENT_USER, backup);
    CopyKey(this->root, this->path, HKEY_CURRENT_USER, backup);
    DeleteKeyTree(this->root, this->path);
    CreateKey(this->root, this->path);
}

ScopedKeyIsolation::~ScopedKeyIsolation()
{
    DeleteKeyTree(root, path);
    CreateKey(root, path);
    CopyKey(HKEY_CURRENT_USER, backup, root, path);
    DeleteKeyTree(HKEY_CURRENT_USER, backup);
}

}  // namespace machine
