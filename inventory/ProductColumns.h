// The quick page's columns of a product, shown, sorted, filtered and exported alike.
#pragma once
#include "inventory/InstalledSoftwareEntry.h"

#include <windows.h>

#include <string>

enum ProductColumn {
    COLUMN_NAME,
    COLUMN_COMMAND,
    COLUMN_PUBLISHER,
    COLUMN_VERSION,
    COLUMN_SIZE,
    COLUMN_INSTALL_DATE,
    COLUMN_SOURCE,
    PRODUCT_COLUMN_COUNT
};

// The product's size: "EstimatedSize" (KB) when the entry has one, else its folder's
// measured size; false while neither is known.
bool ProductSize(const InstalledSoftwareEntry& entry, ULONGLONG* bytes);
// "512 KB" below a megabyte (a started kilobyte counts whole), "12.3 MB" below a
// gigabyte, "1.25 GB" above.
std::string SizeText(ULONGLONG bytes);

// The text of a column as the list shows it; empty for a value that is not known.
std::string ProductColumnText(const InstalledSoftwareEntry& entry, int column);

// Orders two products by a column's value, ascending: texts as the user's locale
// collates them, versions part by part (numbers as numbers), sizes and dates as
// numbers, sources as HKLM, HKLM32, HKCU. A missing value comes after every value.
// Negative, zero or positive.
int CompareProducts(const InstalledSoftwareEntry& a, const InstalledSoftwareEntry& b, int column);

// Whether the product's name, publisher or key name holds text (ASCII letters in
// either case, double-byte characters as they are); an empty text matches any.
bool ProductMatches(const InstalledSoftwareEntry& entry, const char* text);
