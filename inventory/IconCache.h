// The products' icons of one load, looked up once per file and icon index: products
// that share an uninstaller share its icons. The cache owns every icon it hands out.
#pragma once
#include "framework/Handles.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

struct ProductIcons {
    OwnedIcon small;
    OwnedIcon large;
    bool largeLookedUp = false;
};

class CIconCache {
public:
    // The icons of path's icon at index (below 0: a resource id), looked up on the
    // first request; either handle is null when there is none. Stays valid until Clear.
    // Without withLarge only the small icon is looked up (a list needs no more); the
    // large one then waits for a request that asks for it.
    const ProductIcons& Find(const char* path, int index, bool withLarge = true);
    void Clear()
    {
        icons.clear();
        retired.clear();
    }
    size_t GetCount() const { return icons.size(); }
    // Empties the cache but keeps its icons alive for ReleaseRetired: a thousand icons
    // take a window's whole answer time to destroy at once.
    void Retire();
    // Destroys retired icons for about that many seconds; true when none is left.
    bool ReleaseRetired(double seconds);

private:
    std::map<std::pair<std::string, int>, ProductIcons> icons;
    std::vector<ProductIcons> retired;
};
