// The context menu of a row of the quick page: the page's actions as its buttons name
// them, then what else can be done with the product.
#pragma once
#include <windows.h>

struct ProductMenuState {
    bool product;     // a row is selected
    bool broken;      // its uninstaller is missing: forced removal comes first, the default
    bool idle;        // the page's actions may run
    bool helpLink;    // it has a help link
    bool folder;      // its install folder exists
};

// A new popup menu for the caller to destroy; null when none can be made.
HMENU CreateProductMenu(const ProductMenuState& state);
