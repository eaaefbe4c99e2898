// The registry half of the analysis: COM classes, file types, uninstall entries,
// auto-start values and keys under "Software" that name a program folder.
#include "smart/TraceAnalyzer.h"

#include "framework/AnsiText.h"
#include "framework/RegKey.h"
#include "resource.h"
#include "smart/FolderPaths.h"
#include "smart/NamedPath.h"

#include <cstring>

namespace {

// Enumerates the subkey names of key; names that do not fit are skipped.
// Returns false at the end of the list.
bool NextSubkeyName(HKEY key, DWORD* index, char* name)
{
    for (;; ++*index) {
        DWORD nameSize = MAX_PATH;
        LONG status = RegEnumKeyExA(key, *index, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA)
            continue;
        return status == ERROR_SUCCESS;
    }
}

// A ProgID or class id read from a value may only name one key directly below its
// parent: an empty text would make the parent itself (all of it) the trace.
bool IsSingleKeyName(const char* name)
{
    return name[0] != '\0' && !FindCharDbcs(name, '\\');
}

// The data of a REG_SZ value read into a MAX_PATH buffer, terminated; false when
// it does not fit with its terminator.
bool TerminateText(char* data, DWORD dataSize)
{
    if (dataSize == 0) {
        data[0] = '\0';
        return true;
    }
    if (data[dataSize - 1] == '\0')
        return true;
    if (dataSize >= MAX_PATH)
        return false;
    data[dataSize] = '\0';
    return true;
}

// Classes and extensions that Windows itself ships: a program may take one of
// their verbs, never the whole type.
const char* const kWindowsClasses[] = {
    "*", "AllFilesystemObjects", "Directory", "Drive", "Folder", "Unknown", "SystemFileAssociations",
    "Applications", "CLSID", "exefile", "lnkfile", "batfile", "cmdfile", "comfile", "dllfile", "piffile",
    "scrfile", "regfile", "inifile", "inffile", "txtfile", "htmlfile", "mhtmlfile", "xmlfile", "jsfile",
    "VBSFile", "InternetShortcut", "jpegfile", "giffile", "pngfile", "Paint.Picture", "http", "https", "ftp",
    "mailto", "news", "nntp", "snews", "telnet", "file", ".htm", ".html", ".shtml", ".xht", ".xhtml", ".mht",
    ".mhtml", ".txt", ".log", ".ini", ".inf", ".xml", ".url", ".lnk", ".exe", ".com", ".bat", ".cmd", ".pif",
    ".scr", ".dll", ".reg", ".js", ".vbs", ".bmp", ".gif", ".jpg", ".jpeg", ".png", ".ico"};

// A class key is read this deep and this many keys at most to tell whether it is
// wholly the program's; a larger one is not.
const int kClassKeyDepth = 8;
const int kClassKeyBudget = 256;

bool IsWindowsClass(const char* name)
{
    for (const char* windowsClass : kWindowsClasses) {
        if (EqualsNoCaseDbcs(name, windowsClass))
            return true;
    }
    return false;
}

// The last component of a key path.
const char* LeafName(const char* keyPath)
{
    const char* slash = FindLastCharDbcs(keyPath, '\\');
    return slash ? slash + 1 : keyPath;
}

// A REG_SZ or REG_EXPAND_SZ value read into a MAX_PATH buffer as terminated text,
// references expanded; false for other types and texts that do not fit.
bool ValueText(DWORD type, char* data, DWORD dataSize)
{
    if ((type != REG_SZ && type != REG_EXPAND_SZ) || !TerminateText(data, dataSize))
        return false;
    if (type == REG_SZ)
        return true;
    char expanded[MAX_PATH];
    DWORD length = ExpandEnvironmentStringsA(data, expanded, MAX_PATH);
    return length != 0 && length <= MAX_PATH && CopyText(data, MAX_PATH, expanded);
}

enum NamedProgram { NAMES_NOTHING, NAMES_PROGRAM, NAMES_OTHER };

// Whose program a registry text names: one in the program folders, another, or none.
NamedProgram ProgramNamedBy(const char* text, const std::vector<std::string>& folders)
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
    return NAMES_OTHER;
}

void AsciiLower(std::string* text)
{
    for (char& ch : *text) {
        if (ch >= 'A' && ch <= 'Z')
            ch = static_cast<char>(ch - 'A' + 'a');
    }
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
    char name[MAX_PATH];
    for (DWORD index = 0;; ++index) {
        PumpIfDue();
        DWORD nameSize = MAX_PATH;
        DWORD type = 0;
        LONG status = RegEnumValueA(key.Get(), index, name, &nameSize, nullptr, &type, nullptr, nullptr);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            break;
        AddTrace(TRACE_REGVALUE, keyPath, name, root);
    }
    for (DWORD index = 0; NextSubkeyName(key.Get(), &index, name); ++index) {
        char child[MAX_PATH];
        if (FormatText(child, MAX_PATH, "%s\\%s", keyPath, name))
            CollectRegistryKey(root, child);
    }
}

bool CTraceAnalyzer::NamesProgram(const char* text) const
{
    return ProgramNamedBy(text, programFolders) == NAMES_PROGRAM;
}

bool CTraceAnalyzer::NamesOtherProgram(const char* text) const
{
    return ProgramNamedBy(text, programFolders) == NAMES_OTHER;
}

bool CTraceAnalyzer::ClassServerMatches(HKEY clsid, const char* classId)
{
    // The CLSID walk and the file-type walk ask about the same classes; the answer
    // cannot change within one analysis, so each class is read once.
    std::string cacheKey(classId);
    AsciiLower(&cacheKey);
    auto cached = classServerMatches.find(cacheKey);
    if (cached != classServerMatches.end())
        return cached->second;
    char serverKey[MAX_PATH];
    char server[MAX_PATH] = "";
    bool matches = false;
    if (clsid && FormatText(serverKey, MAX_PATH, "%s\\InprocServer32", classId) &&
        ReadTextValue(clsid, serverKey, "", server, MAX_PATH))
        matches = NamesProgram(server);
    classServerMatches[cacheKey] = matches;
    return matches;
}

void CTraceAnalyzer::SearchClsidKeys()
{
    if (programFolders.empty())
        return;
    RegKey clsid;
    if (!clsid.Open(HKEY_CLASSES_ROOT, "CLSID"))
        return;
    char name[MAX_PATH];
    for (DWORD index = 0; NextSubkeyName(clsid.Get(), &index, name); ++index) {
        PumpIfDue();
        char classKey[MAX_PATH];
        if (ClassServerMatches(clsid.Get(), name) && FormatText(classKey, MAX_PATH, "CLSID\\%s", name))
            CollectRegistryKey(HKEY_CLASSES_ROOT, classKey);
    }
}

void CTraceAnalyzer::SearchFileTypes()
{
    if (programFolders.empty())
        return;
    RegKey classes;
    if (!classes.Open(HKEY_CLASSES_ROOT, ""))
        return;
    RegKey clsid;
    clsid.Open(HKEY_CLASSES_ROOT, "CLSID");
    char name[MAX_PATH];
    for (DWORD index = 0; NextSubkeyName(classes.Get(), &index, name); ++index) {
        PumpIfDue();
        ExamineClassKey(classes.Get(), clsid.Get(), name);
    }
}

// A class key is listed whole when something in it names the program and nothing
// names another; otherwise only its verbs that run the program are. An extension
// goes whole only with its ProgID, when that is whole and the extension holds
// nothing of another program. Types that Windows ships never go whole.
void CTraceAnalyzer::ExamineClassKey(HKEY classes, HKEY clsid, const char* name)
{
    auto collectWhole = [this](const char* className, const ClassRoute& route) {
        CollectRegistryKey(HKEY_CLASSES_ROOT, className);
        char classKey[MAX_PATH];
        if (!route.classId.empty() && FormatText(classKey, MAX_PATH, "CLSID\\%s", route.classId.c_str()))
            CollectRegistryKey(HKEY_CLASSES_ROOT, classKey);
    };
    auto collectVerbs = [this](const char* className, const std::vector<std::string>& verbs) {
        for (const std::string& verb : verbs) {
            char verbKey[MAX_PATH];
            if (FormatText(verbKey, MAX_PATH, "%s\\shell\\%s", className, verb.c_str()))
                CollectRegistryKey(HKEY_CLASSES_ROOT, verbKey);
        }
    };
    if (name[0] == '.') {
        char progId[MAX_PATH];
        if (!IsWindowsClass(name) && ReadTextValue(classes, name, "", progId, MAX_PATH) && IsSingleKeyName(progId)) {
            const ClassRoute& owner = CachedClassRoute(classes, clsid, progId);
            int budget = kClassKeyBudget;
            if (owner.whole && !KeyNamesOtherProgram(classes, clsid, name, progId, 0, &budget)) {
                CollectRegistryKey(HKEY_CLASSES_ROOT, name);
                collectWhole(progId, owner);
                return;
            }
        }
        std::vector<std::string> verbs;
        ReadOwnVerbs(classes, name, &verbs);
        collectVerbs(name, verbs);
        return;
    }
    ClassRoute read;
    auto cached = classRoutes.find(name);
    if (cached == classRoutes.end())
        ReadClassRoute(classes, clsid, name, &read);
    const ClassRoute& route = cached != classRoutes.end() ? cached->second : read;
    if (route.whole)
        collectWhole(name, route);
    else
        collectVerbs(name, route.ownVerbs);
}

void CTraceAnalyzer::ReadClassRoute(HKEY classes, HKEY clsid, const char* name, ClassRoute* route)
{
    ReadOwnVerbs(classes, name, &route->ownVerbs);
    bool namesProgram = !route->ownVerbs.empty();
    char keyPath[MAX_PATH];
    char text[MAX_PATH];
    if (FormatText(keyPath, MAX_PATH, "%s\\DefaultIcon", name) && ReadTextValue(classes, keyPath, "", text, MAX_PATH))
        namesProgram = NamesProgram(text) || namesProgram;
    if (FormatText(keyPath, MAX_PATH, "%s\\CLSID", name) && ReadTextValue(classes, keyPath, "", text, MAX_PATH) &&
        IsSingleKeyName(text) && ClassServerMatches(clsid, text)) {
        route->classId = text;
        namesProgram = true;
    }
    if (!namesProgram || IsWindowsClass(name))
        return;
    int budget = kClassKeyBudget;
    route->whole = !KeyNamesOtherProgram(classes, clsid, name, nullptr, 0, &budget);
}

// Extensions come before the classes in the walk and usually name one of them:
// a class already read for an extension is not read again. Only the routes read
// for extensions are kept, so the cache stays as large as the extensions' classes.
const CTraceAnalyzer::ClassRoute& CTraceAnalyzer::CachedClassRoute(HKEY classes, HKEY clsid, const char* name)
{
    auto cached = classRoutes.find(name);
    if (cached != classRoutes.end())
        return cached->second;
    ClassRoute& route = classRoutes[name];
    ReadClassRoute(classes, clsid, name, &route);
    return route;
}

void CTraceAnalyzer::ReadOwnVerbs(HKEY classes, const char* name, std::vector<std::string>* verbs) const
{
    char shellPath[MAX_PATH];
    RegKey shell;
    if (!FormatText(shellPath, MAX_PATH, "%s\\shell", name) || !shell.Open(classes, shellPath))
        return;
    char verb[MAX_PATH];
    for (DWORD index = 0; NextSubkeyName(shell.Get(), &index, verb); ++index) {
        char commandPath[MAX_PATH];
        char command[MAX_PATH];
        if (FormatText(commandPath, MAX_PATH, "%s\\command", verb) &&
            ReadTextValue(shell.Get(), commandPath, "", command, MAX_PATH) && NamesProgram(command))
            verbs->push_back(verb);
    }
}

// Whether anything in the key names a program other than ours: a path outside the
// program folders (a command's program, a module or an icon), a class that the
// program does not serve, another type in an "open with" list. A key that cannot
// be read whole (a link, a value too long, too deep, too many keys) counts as one
// that does: it is not known to be the program's alone.
bool CTraceAnalyzer::KeyNamesOtherProgram(HKEY classes, HKEY clsid, const char* keyPath, const char* progId,
                                          int depth, int* budget)
{
    if (depth > kClassKeyDepth || --*budget < 0)
        return true;
    RegKey key;
    if (!key.Open(classes, keyPath))
        return true;
    const char* leaf = LeafName(keyPath);
    bool openWithTypes = EqualsNoCaseDbcs(leaf, "OpenWithProgids");
    bool openWithPrograms = EqualsNoCaseDbcs(leaf, "OpenWithList");
    for (DWORD index = 0;; ++index) {
        char valueName[MAX_PATH];
        char data[MAX_PATH];
        DWORD nameSize = MAX_PATH;
        DWORD dataSize = MAX_PATH;
        DWORD type = 0;
        LONG status = RegEnumValueA(key.Get(), index, valueName, &nameSize, nullptr, &type,
                                    reinterpret_cast<BYTE*>(data), &dataSize);
        if (status == ERROR_MORE_DATA)
            return true;
        if (status != ERROR_SUCCESS)
            break;
        if (openWithTypes && !(progId && EqualsNoCaseDbcs(valueName, progId)))
            return true;
        if (openWithPrograms && valueName[0])
            return true;
        if (!ValueText(type, data, dataSize))
            continue;
        if (IsClassId(data) ? !ClassServerMatches(clsid, data) : NamesOtherProgram(data))
            return true;
    }
    char name[MAX_PATH];
    for (DWORD index = 0; NextSubkeyName(key.Get(), &index, name); ++index) {
        char child[MAX_PATH];
        if (openWithPrograms || (IsClassId(name) && !ClassServerMatches(clsid, name)) ||
            !FormatText(child, MAX_PATH, "%s\\%s", keyPath, name) ||
            KeyNamesOtherProgram(classes, clsid, child, progId, depth + 1, budget))
            return true;
    }
    return false;
}

bool CTraceAnalyzer::ValueNamesProgram(DWORD type, char* data, DWORD dataSize) const
{
    return type == REG_SZ && TerminateText(data, dataSize) && NamesProgram(data);
}

// Values of the key that name the program: the whole key when it is the program's
// own, else each such value alone, unticked, as another program's setting. True
// when the key was collected.
bool CTraceAnalyzer::ExamineSettingsKey(HKEY root, const char* keyPath, bool ownKey)
{
    RegKey key;
    if (!key.Open(root, keyPath))
        return false;
    for (DWORD index = 0;; ++index) {
        char valueName[MAX_PATH];
        char data[MAX_PATH];
        DWORD nameSize = MAX_PATH;
        DWORD dataSize = MAX_PATH;
        DWORD type = 0;
        LONG status = RegEnumValueA(key.Get(), index, valueName, &nameSize, nullptr, &type,
                                    reinterpret_cast<BYTE*>(data), &dataSize);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            break;
        if (!ValueNamesProgram(type, data, dataSize))
            continue;
        if (ownKey) {
            key.Close();
            CollectRegistryKey(root, keyPath);
            return true;
        }
        AddTrace(TRACE_REGVALUE, keyPath, valueName, root, IDS_WEAK_OTHER_SETTINGS);
    }
    return false;
}

void CTraceAnalyzer::SearchSubkeysByValue(HKEY root, const char* keyPath)
{
    if (programFolders.empty())
        return;
    RegKey parent;
    if (!parent.Open(root, keyPath))
        return;
    char name[MAX_PATH];
    for (DWORD index = 0; NextSubkeyName(parent.Get(), &index, name); ++index) {
        PumpIfDue();
        char subkeyPath[MAX_PATH];
        if (FormatText(subkeyPath, MAX_PATH, "%s\\%s", keyPath, name))
            ExamineSettingsKey(root, subkeyPath, true);
    }
}

void CTraceAnalyzer::SearchRunValues(HKEY root, const char* keyPath)
{
    if (programFolders.empty())
        return;
    RegKey key;
    if (!key.Open(root, keyPath))
        return;
    for (DWORD index = 0;; ++index) {
        char valueName[MAX_PATH];
        char data[MAX_PATH];
        DWORD nameSize = MAX_PATH;
        DWORD dataSize = MAX_PATH;
        DWORD type = 0;
        LONG status = RegEnumValueA(key.Get(), index, valueName, &nameSize, nullptr, &type,
                                    reinterpret_cast<BYTE*>(data), &dataSize);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            break;
        if (ValueNamesProgram(type, data, dataSize))
            AddTrace(TRACE_REGVALUE, keyPath, valueName, root);
    }
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
void CTraceAnalyzer::SearchSoftwareKeys(HKEY root)
{
    if (programFolders.empty())
        return;
    std::vector<std::string> ownNames = OwnKeyNames();
    RegKey software;
    if (!software.Open(root, "Software"))
        return;
    char name[MAX_PATH];
    for (DWORD index = 0; NextSubkeyName(software.Get(), &index, name); ++index) {
        PumpIfDue();
        char vendorPath[MAX_PATH];
        if (!FormatText(vendorPath, MAX_PATH, "Software\\%s", name))
            continue;
        bool ownVendor = false;
        for (const std::string& own : ownNames)
            ownVendor = ownVendor || EqualsNoCaseDbcs(own.c_str(), name);
        if (!ExamineSettingsKey(root, vendorPath, ownVendor) && !EqualsNoCaseDbcs(name, "Classes"))
            SearchProductKeys(root, vendorPath, ownVendor, ownNames);
    }
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
    char name[MAX_PATH];
    for (DWORD index = 0; NextSubkeyName(vendor.Get(), &index, name); ++index) {
        if (FormatText(productPath, MAX_PATH, "%s\\%s", vendorPath, name))
            ExamineSettingsKey(root, productPath, true);
    }
}
