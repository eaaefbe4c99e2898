// The registry half of the analysis: COM classes, uninstall entries, auto-start
// values and keys under "Software" that name the program (file types are in
// FileTypeTraceSearch.cpp), and what a registry text names.
#include "smart/TraceAnalyzer.h"

#include "framework/AnsiText.h"
#include "framework/RegKey.h"
#include "resource.h"
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
            PumpIfDue();
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

bool CTraceAnalyzer::ClassServerMatchesIn(const std::string& clsidPath, const char* classId)
{
    // The CLSID walk and the file-type walk ask about the same classes; the answer
    // cannot change within one analysis, so each class is read once.
    std::string cacheKey = clsidPath + '\\' + FoldNoCase(classId);
    auto cached = classServerMatches.find(cacheKey);
    if (cached != classServerMatches.end())
        return cached->second;
    // A class that the whole walk of this view did not meet is not there, as far as
    // its name compares as the cache does: ASCII letters in any case.
    if (walkedClsidPaths.count(clsidPath) && IsAsciiText(classId))
        return false;
    char serverKey[MAX_PATH];
    char server[MAX_PATH] = "";
    bool matches = false;
    if (FormatText(serverKey, MAX_PATH, "%s\\%s\\InprocServer32", clsidPath.c_str(), classId) &&
        ReadTextValue(HKEY_CLASSES_ROOT, serverKey, "", server, MAX_PATH))
        matches = NamesProgram(server);
    classServerMatches[cacheKey] = matches;
    return matches;
}

// A file type of either view may name a class that only one view registers.
bool CTraceAnalyzer::ClassServerMatches(const char* classId)
{
    for (const std::string& clsidPath : clsidPaths) {
        if (ClassServerMatchesIn(clsidPath, classId))
            return true;
    }
    return false;
}

void CTraceAnalyzer::CollectClass(const char* classId)
{
    char classKey[MAX_PATH];
    for (const std::string& clsidPath : clsidPaths) {
        if (ClassServerMatchesIn(clsidPath, classId) &&
            FormatText(classKey, MAX_PATH, "%s\\%s", clsidPath.c_str(), classId))
            CollectRegistryKey(HKEY_CLASSES_ROOT, classKey);
    }
}

void CTraceAnalyzer::SearchClsidKeys()
{
    if (NothingToMatch())
        return;
    for (const std::string& clsidPath : clsidPaths) {
        RegKey clsid;
        if (!clsid.Open(HKEY_CLASSES_ROOT, clsidPath.c_str()))
            continue;
        bool walked = clsid.ForEachSubkey([&](const char* name) {
            PumpIfDue();
            char classKey[MAX_PATH];
            if (ClassServerMatchesIn(clsidPath, name) &&
                FormatText(classKey, MAX_PATH, "%s\\%s", clsidPath.c_str(), name))
                CollectRegistryKey(HKEY_CLASSES_ROOT, classKey);
            return true;
        });
        if (walked)
            walkedClsidPaths.insert(clsidPath);
    }
}

bool CTraceAnalyzer::ValueNamesProgram(const RegValue& value) const
{
    return ValueAsText(value, false) && NamesProgram(value.data);
}

// Values of the key that name the program: the whole key when it is the program's
// own, else each such value alone, unticked, as another program's setting. True
// when the key was collected. mayHoldKeys, when given, is set false when the key
// was read and has no subkeys. A link is refused, as RegKey::Open refuses it; a
// walk that met every value tells one by its SymbolicLinkValue without asking.
bool CTraceAnalyzer::ExamineSettingsKey(HKEY root, const char* keyPath, bool ownKey, bool* mayHoldKeys)
{
    RegKey key;
    if (!key.OpenAsItself(root, keyPath))
        return false;
    DWORD subkeys = 0;
    DWORD values = 0;
    const bool counted = key.CountEntries(&subkeys, &values);
    bool namesProgram = false;
    std::vector<std::string> named;
    const bool notLink = key.ForEachValueOfNonLink([&](const RegValue& value) {
        if (ValueNamesProgram(value)) {
            namesProgram = true;
            if (!ownKey)
                named.push_back(value.name);
        }
        return true;
    }, RegKey::WITH_DATA, counted ? values : MAXDWORD);
    if (!notLink)
        return false;
    if (counted && mayHoldKeys)
        *mayHoldKeys = subkeys != 0;
    for (const std::string& name : named)
        AddTrace(TRACE_REGVALUE, keyPath, name.c_str(), root, IDS_WEAK_OTHER_SETTINGS);
    if (!ownKey || !namesProgram)
        return false;
    key.Close();
    CollectRegistryKey(root, keyPath);
    return true;
}

// An uninstall entry with a value that names the program is the program's own and
// is collected whole. The values are those read with the entries.
void CTraceAnalyzer::SearchUninstallEntries()
{
    if (NothingToMatch())
        return;
    LoadUninstallEntries();
    for (UninstallEntryPaths& entry : uninstallEntries) {
        PumpIfDue();
        for (const std::string& text : entry.plainTexts) {
            if (NamesProgram(text.c_str())) {
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

// The names the program's own keys under "Software" go by: the program folders'
// names, and the display name and publisher of its own uninstall entries (those
// whose install location, uninstall command or icon names a program folder).
std::vector<std::string> CTraceAnalyzer::OwnKeyNames()
{
    std::vector<std::string> names;
    auto add = [&names](const char* name) {
        if (!IsSingleKeyName(name))
            return;
        for (const std::string& known : names) {
            if (EqualsNoCaseDbcs(known.c_str(), name))
                return;
        }
        names.push_back(name);
    };
    for (const std::string& folder : programFolders)
        add(LeafName(folder.c_str()));
    LoadUninstallEntries();
    for (const UninstallEntryPaths& entry : uninstallEntries) {
        bool own = false;
        for (const std::string& text : entry.texts)
            own = own || NamesProgram(text.c_str());
        if (own) {
            add(entry.displayName.c_str());
            add(entry.publisher.c_str());
        }
    }
    return names;
}

// Keys directly under "Software" and product keys one level below a vendor key.
// A key named as the program's is collected whole when a value names the program;
// in any other key such a value is listed alone. Below a vendor key named as the
// program's every product key is examined, below any other only keys named as the
// program's, so the walk stays two levels deep. "Classes" is the file-type search's.
void CTraceAnalyzer::SearchSoftwareKeys(HKEY root, const char* softwarePath)
{
    if (NothingToMatch())
        return;
    std::vector<std::string> ownNames = OwnKeyNames();
    RegKey software;
    if (!software.Open(root, softwarePath))
        return;
    software.ForEachSubkey([&](const char* name) {
        PumpIfDue();
        char vendorPath[MAX_PATH];
        // The other view is searched as a place of its own.
        if (EqualsNoCaseDbcs(name, "Wow6432Node") || !FormatText(vendorPath, MAX_PATH, "%s\\%s", softwarePath, name))
            return true;
        bool ownVendor = false;
        for (const std::string& own : ownNames)
            ownVendor = ownVendor || EqualsNoCaseDbcs(own.c_str(), name);
        // A vendor key without subkeys has no product keys to look for.
        bool mayHoldKeys = true;
        if (!ExamineSettingsKey(root, vendorPath, ownVendor, &mayHoldKeys) && mayHoldKeys &&
            !EqualsNoCaseDbcs(name, "Classes"))
            SearchProductKeys(root, vendorPath, ownVendor, ownNames);
        return true;
    });
}

void CTraceAnalyzer::SearchProductKeys(HKEY root, const char* vendorPath, bool ownVendor,
                                       const std::vector<std::string>& ownNames)
{
    char productPath[MAX_PATH];
    if (!ownVendor) {
        for (const std::string& own : ownNames) {
            if (FormatText(productPath, MAX_PATH, "%s\\%s", vendorPath, own.c_str()))
                ExamineSettingsKey(root, productPath, true);
        }
        return;
    }
    RegKey vendor;
    if (!vendor.Open(root, vendorPath))
        return;
    vendor.ForEachSubkey([&](const char* name) {
        PumpIfDue();
        if (FormatText(productPath, MAX_PATH, "%s\\%s", vendorPath, name))
            ExamineSettingsKey(root, productPath, true);
        return true;
    });
}
