// Every trace a demo product's setup made, named as the smart page names them, and
// whether a registry row is there. Shared by the end-to-end tests.
#pragma once
#include <windows.h>

#include <set>
#include <string>

#include "DemoCatalog.h"
#include "machine/Registry.h"
#include "machine/Text.h"
#include "machine/TreeWalk.h"

namespace e2e {

inline std::string RootName(HKEY root)
{
    return root == HKEY_CURRENT_USER ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

// Everything the product's setup made, as the smart page names it.
struct ProductTraces {
    std::set<std::string> files;    // files and folders, shortcuts included
    std::set<std::string> keys;
    std::set<std::string> values;
    std::set<std::string> All() const
    {
        std::set<std::string> all = files;
        all.insert(keys.begin(), keys.end());
        all.insert(values.begin(), values.end());
        return all;
    }
};

// The product's key under "Software", or its vendor's when that is named as the
// vendor folder the product is installed in and so holds only this product.
inline std::string OwnSoftwareKeyPath(const demo::DemoProduct& product)
{
    const std::string software = machine::Ansi(product.softwareKey), folder = machine::Ansi(product.folder);
    const size_t slash = software.find('\\');
    if (slash != std::string::npos && folder.compare(0, slash + 1, software, 0, slash + 1) == 0)
        return "Software\\" + software.substr(0, slash);
    return demo::SoftwareKeyPath(product);
}

inline ProductTraces TracesOf(const demo::DemoProduct& product)
{
    ProductTraces traces;
    // The product folder with all it holds (the vendor level above it may be shared
    // with other products of the vendor and is not the product's), the desktop
    // shortcut and the Start-menu group.
    machine::FileTreeRows(demo::ProductFolder(product), &traces.files);
    machine::FileTreeRows(demo::DesktopShortcutPath(product), &traces.files);
    machine::FileTreeRows(demo::GroupFolder(product), &traces.files);
    machine::RegistryTreeRows(HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", demo::UninstallKeyPath(product),
                              &traces.keys, &traces.values);
    machine::RegistryTreeRows(HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT", std::string("CLSID\\") + product.clsid,
                              &traces.keys, &traces.values);
    machine::RegistryTreeRows(HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT", product.extension, &traces.keys,
                              &traces.values);
    machine::RegistryTreeRows(HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT", product.progId, &traces.keys, &traces.values);
    machine::RegistryTreeRows(HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", OwnSoftwareKeyPath(product), &traces.keys,
                              &traces.values);
    machine::RegistryTreeRows(HKEY_CURRENT_USER, "HKEY_CURRENT_USER", OwnSoftwareKeyPath(product), &traces.keys,
                              &traces.values);
    traces.values.insert(RootName(product.runRoot) + "\\" + demo::RunKeyPath() + "\\" + product.runValue);
    return traces;
}

inline std::set<std::string> Lower(const std::set<std::string>& texts)
{
    std::set<std::string> lower;
    for (const std::string& text : texts)
        lower.insert(machine::LowerAscii(text));
    return lower;
}

// A registry row ("HKEY_...\\key" or "HKEY_...\\key\\value") as the smart page names it.
inline HKEY RowRoot(const std::string& row)
{
    std::string name = row.substr(0, row.find('\\'));
    return name == "HKEY_CURRENT_USER"   ? HKEY_CURRENT_USER
           : name == "HKEY_CLASSES_ROOT" ? HKEY_CLASSES_ROOT
                                         : HKEY_LOCAL_MACHINE;
}

inline bool KeyRowExists(const std::string& row)
{
    return machine::KeyExists(RowRoot(row), row.substr(row.find('\\') + 1));
}

inline bool ValueRowExists(const std::string& row)
{
    size_t slash = row.find('\\');
    size_t last = row.rfind('\\');
    return machine::ValueExists(RowRoot(row), row.substr(slash + 1, last - slash - 1), row.substr(last + 1));
}

}  // namespace e2e
