#include "smart/ProductGroups.h"

#include "framework/AnsiText.h"
#include "framework/RegKey.h"
#include "smart/FolderPaths.h"
#include "smart/NamedPath.h"
#include "smart/TraceList.h"

namespace {

bool IsRegistry(const TraceItem& item)
{
    return item.kind == TRACE_REGKEY || item.kind == TRACE_REGVALUE;
}

std::string ContainerKey(bool registry, HKEY root, const std::string& path)
{
    const std::string place = registry ? "k" + std::to_string(reinterpret_cast<ULONG_PTR>(root)) : "f";
    return place + ":" + FoldNoCase(path.c_str());
}

// The path without its last component; empty when there is none above it.
std::string ParentOf(const std::string& path)
{
    const char* last = FindLastCharDbcs(path.c_str(), '\\');
    return last ? path.substr(0, static_cast<size_t>(last - path.c_str())) : std::string();
}

std::vector<std::string> Components(const char* path)
{
    std::vector<std::string> parts;
    const char* start = path;
    for (const char* p = path;; p = NextCharDbcs(p)) {
        if (*p && *p != '\\')
            continue;
        if (p > start)
            parts.emplace_back(start, p);
        if (!*p)
            return parts;
        start = p + 1;
    }
}

// The full path a registry text names; empty when it names none.
std::string FullPathNamedBy(const char* text)
{
    char named[MAX_PATH];
    char full[MAX_PATH];
    if (!NamedPath(text, named, MAX_PATH) || !HasDriveColon(named))
        return std::string();
    const DWORD length = GetFullPathNameA(named, MAX_PATH, full, nullptr);
    return length && length < MAX_PATH ? std::string(full) : std::string();
}

// The text of a listed value; empty when it has none.
std::string ValueText(const TraceItem& item)
{
    char text[MAX_PATH];
    return ReadTextValue(item.rootKey, item.path, item.valueName, text, MAX_PATH) ? std::string(text) : std::string();
}

}  // namespace

CProductGroups::CProductGroups(const CAnalysisContext& context, const std::vector<const UninstallClues*>& clues)
    : context(context)
{
    for (const UninstallClues* product : clues) {
        products.push_back(Product{product, ProgramNames()});
        ProgramNames& names = products.back().names;
        context.AddFolderNames(product->folders, &names);
        AddCluesNames(*product, &names);
        if (!product->mainProgram.empty())
            names.AddProgramFile(product->mainProgram.c_str());
    }
    for (size_t index = 0; index < context.traces.Count(); ++index) {
        const TraceItem& item = *context.traces.At(index);
        if (item.kind == TRACE_FOLDER || item.kind == TRACE_REGKEY)
            containerIndex.emplace(ContainerKey(IsRegistry(item), item.rootKey, item.path), static_cast<int>(index));
    }
}

std::vector<int> CProductGroups::Assign()
{
    const size_t count = context.traces.Count();
    if (products.size() == 1)
        return std::vector<int>(count, 0);
    std::vector<int> groups(count, -1);
    for (size_t index = 0; index < count; ++index)
        groups[index] = ShownProduct(*context.traces.At(index));
    // A folder or key that shows none: the first trace below it that does.
    const std::vector<int> shown = groups;
    for (size_t index = 0; index < count; ++index) {
        if (shown[index] >= 0)
            GiveContainers(*context.traces.At(index), shown[index], &groups);
    }
    for (size_t index = 0; index < count; ++index) {
        if (groups[index] < 0)
            groups[index] = NamedKeyProduct(*context.traces.At(index), groups);
        if (groups[index] >= 0)
            GiveContainers(*context.traces.At(index), groups[index], &groups);
    }
    // Any other: the folder or key it lies in, else the trace before it.
    for (size_t index = 0; index < count; ++index) {
        for (int container : groups[index] < 0 ? Containers(*context.traces.At(index)) : std::vector<int>()) {
            if (groups[container] >= 0) {
                groups[index] = groups[container];
                break;
            }
        }
        if (groups[index] < 0)
            groups[index] = index ? groups[index - 1] : 0;
    }
    return groups;
}

void CProductGroups::GiveContainers(const TraceItem& item, int product, std::vector<int>* groups) const
{
    for (int container : Containers(item)) {
        if ((*groups)[container] < 0)
            (*groups)[container] = product;
    }
}

// A value naming a listed key beside its own (an extension its type): that key's.
int CProductGroups::NamedKeyProduct(const TraceItem& item, const std::vector<int>& groups) const
{
    if (item.kind != TRACE_REGVALUE)
        return -1;
    const std::string parent = ParentOf(item.path), text = ValueText(item);
    const std::string sibling = parent.empty() ? text : parent + "\\" + text;
    const auto named = containerIndex.find(ContainerKey(true, item.rootKey, sibling));
    return text.empty() || named == containerIndex.end() ? -1 : groups[named->second];
}

int CProductGroups::ShownProduct(const TraceItem& item) const
{
    const std::string named = LeadsTo(item);
    for (Evidence evidence : {SHOWS_PLACE, SHOWS_PRODUCT_NAME, SHOWS_VENDOR_NAME}) {
        for (size_t index = 0; index < products.size(); ++index) {
            if (Shows(products[index], evidence, item, named))
                return static_cast<int>(index);
        }
    }
    return -1;
}

bool CProductGroups::Shows(const Product& product, Evidence evidence, const TraceItem& item,
                           const std::string& named) const
{
    if (evidence == SHOWS_PLACE) {
        for (const std::string& folder : product.clues->folders) {
            if ((!IsRegistry(item) && IsWithinFolder(item.path, folder.c_str())) ||
                (!named.empty() && IsWithinFolder(named.c_str(), folder.c_str())))
                return true;
        }
        return IsRegistry(item) && item.rootKey == product.clues->root &&
               EqualsNoCaseDbcs(item.path, product.clues->keyPath.c_str());
    }
    std::vector<std::string> names = Components(item.path);
    if (item.kind == TRACE_REGVALUE)
        names.push_back(item.valueName);
    for (const std::string& name : names) {
        if (evidence == SHOWS_PRODUCT_NAME ? product.names.IsProduct(name.c_str())
                                           : product.names.IsVendor(name.c_str()))
            return true;
    }
    return false;
}

std::string CProductGroups::LeadsTo(const TraceItem& item) const
{
    char target[MAX_PATH];
    if (item.kind == TRACE_FILE && HasExtension(item.path, ".lnk") &&
        context.machine.ReadTargetPath(item.path, target))
        return target;
    return item.kind == TRACE_REGVALUE ? FullPathNamedBy(ValueText(item).c_str()) : std::string();
}

std::vector<int> CProductGroups::Containers(const TraceItem& item) const
{
    std::vector<int> containers;
    const bool registry = IsRegistry(item);
    // A value lies in the key of its path; any other trace in the one above its path.
    std::string path = item.kind == TRACE_REGVALUE ? std::string(item.path) : ParentOf(item.path);
    for (; !path.empty(); path = ParentOf(path)) {
        const auto found = containerIndex.find(ContainerKey(registry, item.rootKey, path));
        if (found != containerIndex.end())
            containers.push_back(found->second);
    }
    return containers;
}
