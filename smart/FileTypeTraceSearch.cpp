#include "smart/FileTypeTraceSearch.h"

#include "framework/AnsiText.h"
#include "framework/RegKey.h"
#include "framework/RegistryView.h"
#include "smart/NamedPath.h"
#include "smart/TraceList.h"

namespace {

// Classes and extensions that Windows itself ships: a program may take one of
// their verbs, never the whole type.
const char* const kWindowsClasses[] = {
    "*", "AllFilesystemObjects", "Directory", "Drive", "Folder", "Unknown", "SystemFileAssociations",
    "Applications", "CLSID", "exefile", "lnkfile", "batfile", "cmdfile", "comfile", "dllfile", "piffile",
    "scrfile", "regfile", "Wow6432Node", "inifile", "inffile", "txtfile", "htmlfile", "mhtmlfile", "xmlfile", "jsfile",
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

const char kUserClassesPath[] = "Software\\Classes";

}  // namespace

void CFileTypeTraceSearch::Run()
{
    if (context.NothingToMatch())
        return;
    // The user's own types, which per-user installs write: Windows shows them through
    // HKEY_CLASSES_ROOT too, where they are not listed a second time.
    const RegistryPlace userClasses = {HKEY_CURRENT_USER, kUserClassesPath};
    userClassNames.clear();
    RegKey user;
    if (user.Open(userClasses.root, userClasses.path.c_str())) {
        user.ForEachSubkey([&](const char* name) {
            userClassNames.insert(FoldNoCase(name));
            return true;
        });
    }
    // Windows 7 and later share the file types between the views; Vista keeps the
    // 32-bit ones apart, below Wow6432Node.
    for (const std::string& path : PathsInEveryView(HKEY_CLASSES_ROOT, ""))
        SearchClassKeys({HKEY_CLASSES_ROOT, path}, path.empty());
    SearchClassKeys(userClasses, false);
    classesPlace = RegistryPlace();
}

void CFileTypeTraceSearch::SearchClassKeys(const RegistryPlace& place, bool skipUserClasses)
{
    RegKey classes;
    if (!classes.Open(place.root, place.path.c_str()))
        return;
    classesPlace = place;
    classRoutes.clear();
    classes.ForEachSubkey([&](const char* name) {
        context.KeepResponsiveIfDue();
        if (skipUserClasses && IsUserClassSeenAsMachine(name))
            return true;
        ExamineClassKey(classes, name);
        return true;
    });
}

// A name of the user's classes that the machine does not have is the user's key
// itself, where HKEY_CLASSES_ROOT shows the user's classes.
bool CFileTypeTraceSearch::IsUserClassSeenAsMachine(const char* name) const
{
    if (!userClassNames.count(FoldNoCase(name)))
        return false;
    char machinePath[MAX_PATH];
    RegKey machine;
    return !FormatText(machinePath, MAX_PATH, "SOFTWARE\\Classes\\%s", name) ||
           !machine.OpenAsItself(HKEY_LOCAL_MACHINE, machinePath);
}

// A class key is listed whole when something in it names the program and nothing
// names another; otherwise only its verbs that run the program are. An extension
// goes whole only with its ProgID, when that is whole and the extension holds
// nothing of another program. Types that Windows ships never go whole.
void CFileTypeTraceSearch::ExamineClassKey(HKEY classes, const char* name)
{
    auto collectWhole = [&](const char* className, const ClassRoute& route) {
        CollectClassKey("%s%s", className, "");
        if (!route.classId.empty())
            comClasses.CollectClass(route.classId.c_str());
    };
    auto collectVerbs = [&](const char* className, const std::vector<std::string>& verbs) {
        for (const std::string& verb : verbs)
            CollectClassKey("%s\\shell\\%s", className, verb.c_str());
    };
    if (name[0] == '.') {
        char progId[MAX_PATH];
        if (!IsWindowsClass(name) && ReadTextValue(classes, name, "", progId, MAX_PATH) && IsSingleKeyName(progId)) {
            const ClassRoute& owner = CachedClassRoute(classes, progId);
            int budget = kClassKeyBudget;
            if (owner.whole && !KeyNamesOtherProgram(classes, name, progId, 0, &budget)) {
                CollectClassKey("%s%s", name, "");
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
        ReadClassRoute(classes, name, &read);
    const ClassRoute& route = cached != classRoutes.end() ? cached->second : read;
    if (route.whole)
        collectWhole(name, route);
    else
        collectVerbs(name, route.ownVerbs);
}

// Lists a key of the walked classes, named by its physical path.
void CFileTypeTraceSearch::CollectClassKey(const char* format, const char* className, const char* subkey)
{
    const char* separator = classesPlace.path.empty() ? "" : "\\";
    char classKey[MAX_PATH];
    char keyPath[MAX_PATH];
    if (FormatText(classKey, MAX_PATH, format, className, subkey) &&
        FormatText(keyPath, MAX_PATH, "%s%s%s", classesPlace.path.c_str(), separator, classKey))
        context.CollectRegistryKey(classesPlace.root, keyPath);
}

// A verb that runs another program keeps the key from being wholly the program's,
// whatever its icon and class say, so those are then not read; nor is the icon
// once a verb runs the program.
void CFileTypeTraceSearch::ReadClassRoute(HKEY classes, const char* name, ClassRoute* route)
{
    if (!ReadOwnVerbs(classes, name, &route->ownVerbs) || IsWindowsClass(name))
        return;
    bool namesProgram = !route->ownVerbs.empty();
    char keyPath[MAX_PATH];
    char text[MAX_PATH];
    if (!namesProgram && FormatText(keyPath, MAX_PATH, "%s\\DefaultIcon", name) &&
        ReadTextValue(classes, keyPath, "", text, MAX_PATH))
        namesProgram = context.NamesProgram(text);
    if (FormatText(keyPath, MAX_PATH, "%s\\CLSID", name) && ReadTextValue(classes, keyPath, "", text, MAX_PATH) &&
        IsSingleKeyName(text) && comClasses.ServerMatches(text)) {
        route->classId = text;
        namesProgram = true;
    }
    if (!namesProgram)
        return;
    int budget = kClassKeyBudget;
    route->whole = !KeyNamesOtherProgram(classes, name, nullptr, 0, &budget);
}

// Extensions come before the classes in the walk and usually name one of them:
// a class already read for an extension is not read again. Only the routes read
// for extensions are kept, so the cache stays as large as the extensions' classes.
const CFileTypeTraceSearch::ClassRoute& CFileTypeTraceSearch::CachedClassRoute(HKEY classes, const char* name)
{
    auto cached = classRoutes.find(name);
    if (cached != classRoutes.end())
        return cached->second;
    ClassRoute& route = classRoutes[name];
    ReadClassRoute(classes, name, &route);
    return route;
}

// False when a verb's command names another program (and is no class id, which the
// key's walk judges by its server): the walk would find it, so the key cannot be
// wholly the program's. A link opened as itself has no verbs.
bool CFileTypeTraceSearch::ReadOwnVerbs(HKEY classes, const char* name, std::vector<std::string>* verbs) const
{
    char shellPath[MAX_PATH];
    RegKey shell;
    if (!FormatText(shellPath, MAX_PATH, "%s\\shell", name) || !shell.OpenAsItself(classes, shellPath))
        return true;
    bool onlyOwn = true;
    shell.ForEachSubkey([&](const char* verb) {
        char commandPath[MAX_PATH];
        char command[MAX_PATH];
        if (!FormatText(commandPath, MAX_PATH, "%s\\command", verb) ||
            !ReadTextValue(shell, commandPath, "", command, MAX_PATH))
            return true;
        if (context.NamesProgram(command))
            verbs->push_back(verb);
        else if (!IsClassId(command) && context.NamesOtherProgram(command))
            onlyOwn = false;
        return true;
    });
    return onlyOwn;
}

// Whether anything in the key names a program other than ours: a path outside the
// program folders (a command's program, a module or an icon), a class that the
// program does not serve, another type in an "open with" list. A key that cannot
// be read whole (a link, a value too long, too deep, too many keys) counts as one
// that does: it is not known to be the program's alone.
bool CFileTypeTraceSearch::KeyNamesOtherProgram(HKEY classes, const char* keyPath, const char* progId, int depth,
                                          int* budget)
{
    if (depth > kClassKeyDepth || --*budget < 0)
        return true;
    RegKey key;
    if (!key.OpenAsItself(classes, keyPath))
        return true;
    const char* leaf = LeafName(keyPath);
    bool openWithTypes = EqualsNoCaseDbcs(leaf, "OpenWithProgids");
    bool openWithPrograms = EqualsNoCaseDbcs(leaf, "OpenWithList");
    // The class a type names as its own may be another's, shared by several types:
    // that class stays, and the type can still be wholly the program's.
    bool namedClass = depth == 1 && EqualsNoCaseDbcs(leaf, "CLSID");
    // A link, opened as itself, shows its SymbolicLinkValue. A value skipped for its
    // length leaves the walk short of the whole key.
    bool other = false;
    const bool readWhole = key.ForEachValue([&](const RegValue& value) {
        if (IsRegistryLinkValue(value) || (openWithTypes && !(progId && EqualsNoCaseDbcs(value.name, progId))))
            other = true;
        else if (ValueAsText(value, true) && !(namedClass && value.name[0] == '\0' && IsClassId(value.data)))
            other = IsClassId(value.data) ? !comClasses.ServerMatches(value.data) : context.NamesOtherProgram(value.data);
        return !other;
    });
    if (!readWhole)
        return true;
    key.ForEachSubkey([&](const char* name) {
        char child[MAX_PATH];
        other = openWithPrograms || (IsClassId(name) && !comClasses.ServerMatches(name)) ||
                !FormatText(child, MAX_PATH, "%s\\%s", keyPath, name) ||
                KeyNamesOtherProgram(classes, child, progId, depth + 1, budget);
        return !other;
    });
    return other;
}
