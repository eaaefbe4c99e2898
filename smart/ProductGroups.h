// Which product each trace of a search of several products' leftovers belongs to.
// A trace shows its product by where it is or what it names: first a path in the
// product's folders (a file there, a shortcut leading there, a value naming a path
// there), then a folder or key named as the product, then one named as its vendor;
// among products, the first to show wins. A folder or key that shows none takes the
// product of the first trace below it that shows one; any other trace that of the
// listed folder or key it lies in, else that of the trace before it.
#pragma once
#include "smart/AnalysisContext.h"
#include "smart/ProgramNames.h"
#include "smart/UninstallClues.h"

#include <string>
#include <unordered_map>
#include <vector>

class CProductGroups {
public:
    // The context's list is the search's; products are those it searched for.
    CProductGroups(const CAnalysisContext& context, const std::vector<const UninstallClues*>& products);

    // Each trace's product, as an index into products.
    std::vector<int> Assign();

private:
    struct Product {
        const UninstallClues* clues;
        ProgramNames names;
    };
    // How strongly a trace shows a product.
    enum Evidence { SHOWS_PLACE, SHOWS_PRODUCT_NAME, SHOWS_VENDOR_NAME };

    int ShownProduct(const TraceItem& item) const;
    // The folders and keys that hold item and have no product yet take product.
    void GiveContainers(const TraceItem& item, int product, std::vector<int>* groups) const;
    int NamedKeyProduct(const TraceItem& item, const std::vector<int>& groups) const;
    bool Shows(const Product& product, Evidence evidence, const TraceItem& item, const std::string& named) const;
    // The path a trace leads to besides its own: a shortcut's target, a value's named path.
    std::string LeadsTo(const TraceItem& item) const;
    // The listed folders and keys that hold the trace, nearest first.
    std::vector<int> Containers(const TraceItem& item) const;

    const CAnalysisContext& context;
    std::vector<Product> products;
    std::unordered_map<std::string, int> containerIndex;  // listed folders and keys by ContainerKey
};
