// The registry half of the analysis: COM classes, uninstall entries, auto-start
// values and keys under "Software" that name the program (file types are in
// FileTypeTraceSearch.cpp), and what a registry text names.
#include "smart/TraceAnalyzer.h"

#include "framework/AnsiText.h"
#include "framework/RegKey.h"
#include "smart/FolderPaths.h"
#include "smart/NamedPath.h"

#include <cstring>

namespace {

enum NamedProgram { NAMES_NOTHING, NAMES_PROGRAM, NAMES_OTHER };

bool IsAsciiText(const char* text)
{
    for (; *text; ++text) {
        if (static_cast<unsigned char>(*text) >= 0x80)
            return false;
    }
    return true;
}

// Whose program a registry text names: one in the program folders (or one of the
// program's own files, when no folder could be adopted), another, or none.
NamedProgram ProgramNamedBy(const char* text, const std::vector<std::string>& folders,
                            const std::vector<std::string>& files)
{
    char named[MAX_PATH];
    if (!NamedPath(text, named, MAX_PATH))
        return NAMES_NOTHING;
    char full[MAX_PATH];
    if (!HasDriveColon(named) || named[2] != '\\')
        return NAMES_OTHER;
    DWORD length = GetFullPathNameA(named, MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH)
        return NAMES_OTHER;
    for (const std::string& folder : folders) {
        if (IsWithinFolder(full, folder.c_str()))
            return NAMES_PROGRAM;
    }
    for (const std::string& file : files) {
        if (EqualsNoCaseDbcs(full, file.c_str()))
            return NAMES_PROGRAM;
    }
    return NAMES_OTHER;
}

// The name a place goes by in the caches.
std::string PlaceKey(const RegistryPlace& place)
{
    return std::to_string(reinterpret_cast<ULONG_PTR>(place.root)) + ":" + place.path;
}

}  // namespace

void CTraceAnalyzer::CollectRegistryKey(HKEY root, const char* keyPath)
{
    if (!keyPath || !*keyPath)
        return;
    RegKey key;
    if (!key.Open(root, keyPath))
        return;
    AddTrace(TRACE_REGKEY, keyPath, nullptr, root);
    key.ForEachValue(
        [&](const RegValue& value) {
            KeepResponsiveIfDue();
            AddTrace(TRACE_REGVALUE, keyPath, value.name, root);
            return true;
        },
        RegKey::NAMES_ONLY);
    key.ForEachSubkey([&](const char* name) {
        char child[MAX_PATH];
        if (FormatText(child, MAX_PATH, "%s\\%s", keyPath, name))
            CollectRegistryKey(root, child);
        return true;
    });
}

bool CTraceAnalyzer::NamesProgram(const char* text) const
{
    return ProgramNamedBy(text, programFolders, programFiles) == NAMES_PROGRAM;
}

bool CTraceAnalyzer::NamesOtherProgram(const char* text) const
{
    return ProgramNamedBy(text, programFolders, programFiles) == NAMES_OTHER;
}

bool CTraceAnalyzer::ClassServerMatchesIn(const RegistryPlace& clsidPlace, const char* classId)
{
    // The CLSID walk and the file-type walk ask about the same classes; the answer
    // cannot change within one analysis, so each class is read once.
    const std::string placeKey = PlaceKey(clsidPlace);
    std::string cacheKey = placeKey + '\\' + FoldNoCase(classId);
    auto cached = classServerMatches.find(cacheKey);
    if (cached != classServerMatches.end())
        return cached->second;
    // A class that the whole walk of this place did not meet is not there, as far as
    // its name compares as the cache does: ASCII letters in any case.
    if (walkedClsidPaths.count(placeKey) && IsAsciiText(classId))
        return false;
    char serverKey[MAX_PATH];
    char server[MAX_PATH] = "";
    bool matches = false;
    if (FormatText(serverKey, MAX_PATH, "%s\\%s\\InprocServer32", clsidPlace.path.c_str(), classId) &&
        ReadTextValue(clsidPlace.root, serverKey, "", server, MAX_PATH))
        matches = NamesProgram(server);
    classServerMatches[cacheKey] = matches;
    return matches;
}

// A file type of either view, or the user's, may name a class that only one place registers.
bool CTraceAnalyzer::ClassServerMatches(const char* classId)
{
    for (const RegistryPlace& clsidPlace : clsidPlaces) {
        if (ClassServerMatchesIn(clsidPlace, classId))
            return true;
    }
    return false;
}

void CTraceAnalyzer::CollectClass(const char* classId)
{
    char classKey[MAX_PATH];
    for (const RegistryPlace& clsidPlace : clsidPlaces) {
        if (ClassServerMatchesIn(clsidPlace, classId) &&
            FormatText(classKey, MAX_PATH, "%s\\%s", clsidPlace.path.c_str(), classId))
            CollectRegistryKey(clsidPlace.root, classKey);
    }
}

void CTraceAnalyzer::SearchClsidKeys()
{
    if (NothingToMatch())
        return;
    for (const RegistryPlace& clsidPlace : clsidPlaces) {
        RegKey clsid;
        if (!clsid.Open(clsidPlace.root, clsidPlace.path.c_str()))
            continue;
        bool walked = clsid.ForEachSubkey([&](const char* name) {
            KeepResponsiveIfDue();
            char classKey[MAX_PATH];
            if (ClassServerMatchesIn(clsidPlace, name) &&
                FormatText(classKey, MAX_PATH, "%s\\%s", clsidPlace.path.c_str(), name))
                CollectRegistryKey(clsidPlace.root, classKey);
            return true;
        });
        if (walked)
            walkedClsidPaths.insert(PlaceKey(clsidPlace));
    }
}

bool CTraceAnalyzer::ValueNamesProgram(const RegValue& value) const
{
    return ValueAsText(value, false) && NamesProgram(value.data);
}

// An uninstall entry with a value that names the program is the program's own and
// is collected whole. The values are those read with the entries.
void CTraceAnalyzer::SearchUninstallEntries()
{
    if (NothingToMatch())
        return;
    LoadUninstallEntries();
    for (UninstallEntryPaths& entry : uninstallEntries) {
        KeepResponsiveIfDue();
        // After an uninstall, every entry left is another product's.
        const bool other = leftoverClues && !entry.own;
        for (const std::string& text : entry.plainTexts) {
            if (!other && NamesProgram(text.c_str())) {
                CollectRegistryKey(entry.root, entry.keyPath.c_str());
                break;
            }
        }
        // Nothing else reads the texts: their memory goes now.
        std::vector<std::string>().swap(entry.plainTexts);
    }
}

void CTraceAnalyzer::SearchRunValues(HKEY root, const char* keyPath)
{
    if (NothingToMatch())
        return;
    RegKey key;
    if (!key.Open(root, keyPath))
        return;
    key.ForEachValue([&](const RegValue& value) {
        if (ValueNamesProgram(value))
            AddTrace(TRACE_REGVALUE, keyPath, value.name, root);
        return true;
    });
}
