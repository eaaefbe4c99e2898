#include "inventory/IconCache.h"

#include "framework/AnsiText.h"
#include "framework/SteadyClock.h"

#include <shellapi.h>

#include <climits>

namespace {

HICON ShellIcon(const char* path, UINT sizeFlag)
{
    SHFILEINFOA info = {};
    if (!SHGetFileInfoA(path, FILE_ATTRIBUTE_NORMAL, &info, sizeof(info), SHGFI_ICON | sizeFlag))
        return nullptr;
    return info.hIcon;
}

// One size from the file's own icon resources (executables, libraries, .ico files);
// when they do not give it, from the shell, which also knows the icons of documents
// and of files without icons of their own.
HICON LookUp(const char* path, int index, bool large)
{
    HICON icon = nullptr;
    // Only a count means the handle was written: on failure (0 or UINT_MAX) Wine
    // leaves whatever it likes in it.
    const UINT extracted = ExtractIconExA(path, index, large ? &icon : nullptr, large ? nullptr : &icon, 1);
    if (extracted != 0 && extracted != UINT_MAX && icon)
        return icon;
    return ShellIcon(path, large ? SHGFI_LARGEICON : SHGFI_SMALLICON);
}

}  // namespace

const ProductIcons& CIconCache::Find(const char* path, int index, bool withLarge)
{
    auto [place, added] = icons.try_emplace(std::make_pair(FoldedText(path), index));
    ProductIcons& found = place->second;
    if (added)
        found.small.Reset(LookUp(path, index, false));
    if (withLarge && !found.largeLookedUp) {
        found.large.Reset(LookUp(path, index, true));
        found.largeLookedUp = true;
    }
    return found;
}

void CIconCache::Retire()
{
    for (auto& entry : icons)
        retired.push_back(std::move(entry.second));
    icons.clear();
}

bool CIconCache::ReleaseRetired(double seconds)
{
    const double deadline = SteadySeconds() + seconds;
    while (!retired.empty() && SteadySeconds() < deadline)
        retired.pop_back();
    return retired.empty();
}
