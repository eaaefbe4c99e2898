// What the searches of one analysis share: the list they add traces to, the
// machine's folders, the registered entries, and the program being analysed (its
// folders, its files and its names), with the tests every search applies to a path
// or a registry text. Each search is a class of its own over one context.
#pragma once
#include <windows.h>

#include <string>
#include <unordered_set>
#include <vector>

#include "framework/RegKey.h"
#include "smart/MachineFolders.h"
#include "smart/ProgramNames.h"
#include "smart/RegisteredEntries.h"
#include "smart/TraceList.h"
#include "smart/UninstallClues.h"

class CAnalysisContext {
public:
    // Reads the machine's folders anew and forgets the entries read before.
    void LoadMachine();
    // Forgets the program of an earlier analysis: its folders must not claim
    // traces of the next one.
    void ForgetProgram();
    // The registered entries, read on first use after LoadMachine.
    CRegisteredEntries& Entries();
    // Fills names (and otherProductNames) from the program's folders and files, its
    // own entries (marked own: those that name the program, or the clues' entry) and
    // the clues of a product whose leftovers are searched.
    void LoadProgramNames(const UninstallClues* clues);

    void AddTrace(int kind, const char* path, const char* valueName, HKEY root, WeakReason weakReason = WEAK_NONE)
    {
        traces.Add(kind, path, valueName, root, weakReason);
    }
    bool IsListed(int kind, const char* path) const { return traces.IsListed(kind, path); }
    void KeepResponsiveIfDue() { traces.KeepResponsiveIfDue(); }
    // Lists a registry key with every value and subkey below it.
    void CollectRegistryKey(HKEY root, const char* keyPath);

    // No folder or file of the program is known: no path can name it.
    bool NothingToMatch() const { return programFolders.empty() && programFiles.empty(); }
    bool IsInProgramFolders(const char* path) const;
    // In the program's folders, or one of its own files.
    bool PointsIntoProgram(const char* target) const;
    // Whose program a registry text names (NamedPath): the program's, or another.
    bool NamesProgram(const char* text) const;
    bool NamesOtherProgram(const char* text) const;
    bool ValueNamesProgram(const RegValue& value) const;
    // A path in the text lies in another registered product's folder (not the program's).
    bool NamesOtherProduct(const char* text) const;

    CTraceList traces;
    CMachineFolders machine;
    std::vector<std::string> programFolders;  // the folders taken for the program's
    std::vector<std::string> programFiles;    // its own files when its folder is too wide
    std::vector<std::string> namedPrograms;   // the program files the user named (the target, a shortcut's)
    ProgramNames names;
    std::unordered_set<std::string> otherProductNames;  // name keys of the other registered products
    const UninstallClues* leftoverClues = nullptr;      // while the leftovers of a product are searched

private:
    bool IsOwnEntry(const RegisteredEntry& entry, const UninstallClues* clues) const;

    CRegisteredEntries entries;
    bool entriesLoaded = false;
};
