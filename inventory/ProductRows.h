// The rows the quick page shows: the records of the inventory that pass the filter
// (a text, and perhaps only those whose uninstaller is missing), in the chosen order.
// Rows point to the records: rebuild them whenever the inventory changes.
#pragma once
#include "inventory/InstalledSoftwareList.h"

#include <string>
#include <vector>

class CProductRows {
public:
    void SetFilter(const std::string& text, bool onlyBroken);
    // The column to sort by (ProductColumn; -1: the registry's order), ascending or not.
    // Descending is ascending reversed, so missing values come first then; equal
    // values keep the registry's order either way.
    void SetOrder(int column, bool ascending);

    // No rows, before the records go.
    void Clear() { rows.clear(); }
    // Every shown record of list, in order.
    void Rebuild(const CInstalledSoftwareList& list);
    // Adds list's records from index first on (those a load just read), in order.
    void AddFrom(const CInstalledSoftwareList& list, size_t first);
    // Sorts again, for values that changed (a folder's size arrived).
    void Resort();

    size_t Count() const { return rows.size(); }
    // The record of a row, or null.
    InstalledSoftwareEntry* At(int row) const;
    // The row of a record, or -1 when it is not shown.
    int RowOf(const InstalledSoftwareEntry* entry) const;
    // Every row's every column as the list shows it (ProductColumnText), in order.
    std::vector<std::vector<std::string>> Texts() const;

private:
    bool Shows(const InstalledSoftwareEntry& entry) const;
    bool Before(const InstalledSoftwareEntry* a, const InstalledSoftwareEntry* b) const;

    std::string filter;
    bool onlyBroken = false;
    int sortColumn = -1;
    bool ascending = true;
    std::vector<InstalledSoftwareEntry*> rows;
};
