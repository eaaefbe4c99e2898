// The products' icons of one load, looked up once per file and icon index: products
// that share an uninstaller share its icons. The cache owns every icon it hands out.
#pragma once
#include "framework/Handles.h"

#include <map>
#include <string>
#include <utility>

struct ProductIcons {
    OwnedIcon small;
    OwnedIcon large;
};

class CIconCache {
public:
    // The icons of path's icon at index (below 0: a resource id), looked up on the
    // first request; either handle is null when there is none. Stays valid until Clear.
    const ProductIcons& Find(const char* path, int index);
    void Clear() { icons.clear(); }
    size_t GetCount() const { return icons.size(); }

private:
    std::map<std::pair<std::string, int>, ProductIcons> icons;
};
