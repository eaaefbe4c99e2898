#include "inventory/IconCache.h"

#include "framework/AnsiText.h"

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

// Both sizes from the file's own icon resources (executables, libraries, .ico
// files); what they do not give comes from the shell, which also knows the icons
// of documents and of files without icons of their own.
void LookUp(const char* path, int index, ProductIcons* icons)
{
    HICON large = nullptr, small = nullptr;
    // Only a count means the handles were written: on failure (0 or UINT_MAX) Wine
    // leaves whatever it likes in them.
    UINT extracted = ExtractIconExA(path, index, &large, &small, 1);
    if (extracted != 0 && extracted != UINT_MAX) {
        icons->large.Reset(large);
        icons->small.Reset(small);
    }
    if (!icons->small)
        icons->small.Reset(ShellIcon(path, SHGFI_SMALLICON));
    if (!icons->large)
        icons->large.Reset(ShellIcon(path, SHGFI_LARGEICON));
}

}  // namespace

const ProductIcons& CIconCache::Find(const char* path, int index)
{
    auto [place, added] = icons.try_emplace(std::make_pair(FoldedText(path), index));
    if (added)
        LookUp(path, index, &place->second);
    return place->second;
}
