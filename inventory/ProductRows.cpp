#include "inventory/ProductRows.h"

#include "inventory/ProductColumns.h"

#include <algorithm>

void CProductRows::SetFilter(const std::string& text, bool onlyBrokenEntries)
{
    filter = text;
    onlyBroken = onlyBrokenEntries;
}

void CProductRows::SetOrder(int column, bool ascendingOrder)
{
    sortColumn = column;
    ascending = ascendingOrder;
}

bool CProductRows::Shows(const InstalledSoftwareEntry& entry) const
{
    return (!onlyBroken || entry.uninstallerMissing) && ProductMatches(entry, filter.c_str());
}

bool CProductRows::Before(const InstalledSoftwareEntry* a, const InstalledSoftwareEntry* b) const
{
    const int order = sortColumn < 0 ? 0 : CompareProducts(*a, *b, sortColumn);
    if (order == 0)
        return a->loadIndex < b->loadIndex;
    return ascending ? order < 0 : order > 0;
}

void CProductRows::Rebuild(const CInstalledSoftwareList& list)
{
    rows.clear();
    AddFrom(list, 0);
}

// The new rows are sorted among themselves and merged in: a load's every step costs
// the rows it adds, not the whole list.
void CProductRows::AddFrom(const CInstalledSoftwareList& list, size_t first)
{
    const size_t before = rows.size();
    for (size_t index = first; index < list.GetCount(); ++index) {
        InstalledSoftwareEntry* entry = list.GetAt(static_cast<int>(index));
        if (Shows(*entry))
            rows.push_back(entry);
    }
    auto order = [this](const InstalledSoftwareEntry* a, const InstalledSoftwareEntry* b) { return Before(a, b); };
    std::sort(rows.begin() + before, rows.end(), order);
    std::inplace_merge(rows.begin(), rows.begin() + before, rows.end(), order);
}

void CProductRows::Resort()
{
    std::sort(rows.begin(), rows.end(),
              [this](const InstalledSoftwareEntry* a, const InstalledSoftwareEntry* b) { return Before(a, b); });
}

InstalledSoftwareEntry* CProductRows::At(int row) const
{
    return row >= 0 && static_cast<size_t>(row) < rows.size() ? rows[static_cast<size_t>(row)] : nullptr;
}

int CProductRows::RowOf(const InstalledSoftwareEntry* entry) const
{
    const auto found = std::find(rows.begin(), rows.end(), entry);
    return found == rows.end() ? -1 : static_cast<int>(found - rows.begin());
}

std::vector<std::vector<std::string>> CProductRows::Texts() const
{
    std::vector<std::vector<std::string>> texts;
    for (const InstalledSoftwareEntry* entry : rows) {
        std::vector<std::string> row;
        for (int column = 0; column < PRODUCT_COLUMN_COUNT; ++column)
            row.push_back(ProductColumnText(*entry, column));
        texts.push_back(std::move(row));
    }
    return texts;
}
