// Uninstall entries as the inventory tests make and load them, and the batch tests'
// uninstaller (BatchChild, built next to the tests) copied where a test wants it.
#pragma once
#include "inventory/InstalledSoftwareList.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace inventorytest {

using namespace fixtures;

// An entry under root's Uninstall key, named name, with the given text values
// (DisplayName is the subkey's name unless given); each number value a REG_DWORD.
inline std::string RegisterEntry(HKEY root, const std::string& subkey, const std::map<std::string, std::string>& texts,
                                 const std::map<std::string, DWORD>& numbers = {})
{
    const std::string path = std::string(root == HKEY_CURRENT_USER ? kUserUninstallKey : kUninstallKey) + "\\" + subkey;
    EXPECT_TRUE(SetString(root, path, "DisplayName", subkey));
    for (const auto& [name, text] : texts)
        EXPECT_TRUE(SetString(root, path, name, text));
    for (const auto& [name, number] : numbers)
        EXPECT_TRUE(SetDword(root, path, name, number));
    return path;
}

// The record the quick page's load makes of the entry at root\path.
inline InstalledSoftwareEntry LoadEntry(HKEY root, const std::string& path)
{
    CInstalledSoftwareList list;
    list.Load();
    for (int i = 0; list.GetAt(i); ++i) {
        if (list.GetAt(i)->root == root && path == list.GetAt(i)->keyPath)
            return *list.GetAt(i);
    }
    ADD_FAILURE() << "no record of " << path;
    return InstalledSoftwareEntry();
}

// The batch tests' uninstaller, as built.
inline std::string BuiltChild()
{
    return JoinPath(ExecutableFolder(), "BatchChild.exe");
}

// What a copy of BatchChild noted of its runs ("start <name> <arguments>", "end <name>").
inline std::string ChildLog(const std::string& copy)
{
    std::string text;
    ReadFileText(copy + ".log", &text);
    return text;
}

}  // namespace inventorytest
