// File types, ProgIDs and protocols of the program: the class keys under
// HKEY_CLASSES_ROOT that it owns whole, and the verbs it added to other types.
#include "smart/TraceAnalyzer.h"

#include "framework/AnsiText.h"
#include "framework/RegKey.h"
#include "smart/NamedPath.h"

namespace {

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

}  // namespace

void CTraceAnalyzer::SearchFileTypes()
{
    if (NothingToMatch())
        return;
    RegKey classes;
    if (!classes.Open(HKEY_CLASSES_ROOT, ""))
        return;
    RegKey clsid;
    clsid.Open(HKEY_CLASSES_ROOT, "CLSID");
    classes.ForEachSubkey([&](const char* name) {
        PumpIfDue();
        ExamineClassKey(classes, clsid, name);
        return true;
    });
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
    shell.ForEachSubkey([&](const char* verb) {
        char commandPath[MAX_PATH];
        char command[MAX_PATH];
        if (FormatText(commandPath, MAX_PATH, "%s\\command", verb) &&
            ReadTextValue(shell, commandPath, "", command, MAX_PATH) && NamesProgram(command))
            verbs->push_back(verb);
        return true;
    });
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
    // A value skipped for its length leaves fewer values read than the key holds.
    DWORD valueCount = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &valueCount, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
        return true;
    DWORD valuesRead = 0;
    bool other = false;
    key.ForEachValue([&](const RegValue& value) {
        ++valuesRead;
        if (openWithTypes && !(progId && EqualsNoCaseDbcs(value.name, progId)))
            other = true;
        else if (ValueAsText(value, true))
            other = IsClassId(value.data) ? !ClassServerMatches(clsid, value.data) : NamesOtherProgram(value.data);
        return !other;
    });
    if (other || valuesRead < valueCount)
        return true;
    key.ForEachSubkey([&](const char* name) {
        char child[MAX_PATH];
        other = openWithPrograms || (IsClassId(name) && !ClassServerMatches(clsid, name)) ||
                !FormatText(child, MAX_PATH, "%s\\%s", keyPath, name) ||
                KeyNamesOtherProgram(classes, clsid, child, progId, depth + 1, budget);
        return !other;
    });
    return other;
}
