// The registry half of the analysis: COM classes, file types, uninstall entries,
// auto-start values and keys under "Software" that name a program folder.
#include "smart/TraceAnalyzer.h"

#include "framework/AnsiText.h"
#include "framework/RegKey.h"

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
        matches = MatchesProgramFolder(server);
    classServerMatches[cacheKey] = matches;
    return matches;
}

void CTraceAnalyzer::SearchClsidKeys()
{
    if (NothingToMatch())
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
    if (NothingToMatch())
        return;
    RegKey classes;
    if (!classes.Open(HKEY_CLASSES_ROOT, ""))
        return;
    RegKey clsid;
    clsid.Open(HKEY_CLASSES_ROOT, "CLSID");
    char name[MAX_PATH];
    for (DWORD index = 0; NextSubkeyName(classes.Get(), &index, name); ++index) {
        PumpIfDue();
        if (name[0] == '.')
            ExamineExtension(classes.Get(), clsid.Get(), name);
        else
            ExamineClass(classes.Get(), clsid.Get(), name);
    }
}

void CTraceAnalyzer::ReadClassRoute(HKEY classes, const char* name, ClassRoute* route) const
{
    char keyPath[MAX_PATH];
    char text[MAX_PATH];
    if (!FormatText(keyPath, MAX_PATH, "%s\\shell\\open\\command", name))
        return;
    route->formatted = true;
    if (ReadTextValue(classes, keyPath, "", text, MAX_PATH)) {
        route->hasCommand = true;
        route->command = text;
        return;
    }
    if (FormatText(keyPath, MAX_PATH, "%s\\CLSID", name) && ReadTextValue(classes, keyPath, "", text, MAX_PATH)) {
        route->hasClassId = true;
        route->classId = text;
    }
}

// Extensions come before the classes in the walk and usually name one of them:
// a class already read for an extension is not read again. Only the routes read
// for extensions are kept, so the cache stays as large as the extensions' classes.
const CTraceAnalyzer::ClassRoute& CTraceAnalyzer::CachedClassRoute(HKEY classes, const char* name)
{
    auto cached = classRoutes.find(name);
    if (cached != classRoutes.end())
        return cached->second;
    ClassRoute& route = classRoutes[name];
    ReadClassRoute(classes, name, &route);
    return route;
}

void CTraceAnalyzer::ExamineExtension(HKEY classes, HKEY clsid, const char* name)
{
    char progId[MAX_PATH];
    if (!ReadTextValue(classes, name, "", progId, MAX_PATH) || !IsSingleKeyName(progId))
        return;
    const ClassRoute& route = CachedClassRoute(classes, progId);
    if (!route.formatted)
        return;
    if (route.hasCommand) {
        if (MatchesProgramFolder(route.command.c_str())) {
            CollectRegistryKey(HKEY_CLASSES_ROOT, name);
            CollectRegistryKey(HKEY_CLASSES_ROOT, progId);
        }
        return;
    }
    const char* text = route.classId.c_str();
    if (!route.hasClassId || !IsSingleKeyName(text) || !ClassServerMatches(clsid, text))
        return;
    CollectRegistryKey(HKEY_CLASSES_ROOT, name);
    CollectRegistryKey(HKEY_CLASSES_ROOT, progId);
    char keyPath[MAX_PATH];
    if (FormatText(keyPath, MAX_PATH, "CLSID\\%s", text))
        CollectRegistryKey(HKEY_CLASSES_ROOT, keyPath);
}

void CTraceAnalyzer::ExamineClass(HKEY classes, HKEY clsid, const char* name)
{
    ClassRoute read;
    auto cached = classRoutes.find(name);
    if (cached == classRoutes.end())
        ReadClassRoute(classes, name, &read);
    const ClassRoute& route = cached != classRoutes.end() ? cached->second : read;
    if (!route.formatted)
        return;
    if (route.hasCommand) {
        if (MatchesProgramFolder(route.command.c_str()))
            CollectRegistryKey(HKEY_CLASSES_ROOT, name);
        return;
    }
    const char* text = route.classId.c_str();
    if (!route.hasClassId || !IsSingleKeyName(text) || !ClassServerMatches(clsid, text))
        return;
    CollectRegistryKey(HKEY_CLASSES_ROOT, name);
    char keyPath[MAX_PATH];
    if (FormatText(keyPath, MAX_PATH, "CLSID\\%s", text))
        CollectRegistryKey(HKEY_CLASSES_ROOT, keyPath);
}

bool CTraceAnalyzer::ValueNamesProgram(DWORD type, char* data, DWORD dataSize) const
{
    if (type != REG_SZ || !TerminateText(data, dataSize))
        return false;
    // A drive-letter path, possibly behind one leading character such as a quote.
    const char* second = CharAtDbcs(data, 1);
    const char* third = second ? CharAtDbcs(second, 1) : nullptr;
    if (!(second && *second == ':') && !(third && *third == ':'))
        return false;
    return MatchesProgramFolder(data);
}

void CTraceAnalyzer::SearchSubkeysByValue(HKEY root, const char* keyPath)
{
    if (NothingToMatch())
        return;
    RegKey parent;
    if (!parent.Open(root, keyPath))
        return;
    char name[MAX_PATH];
    for (DWORD index = 0; NextSubkeyName(parent.Get(), &index, name); ++index) {
        PumpIfDue();
        char subkeyPath[MAX_PATH];
        RegKey subkey;
        if (!FormatText(subkeyPath, MAX_PATH, "%s\\%s", keyPath, name) || !subkey.Open(parent.Get(), name))
            continue;
        for (DWORD valueIndex = 0;; ++valueIndex) {
            char valueName[MAX_PATH];
            char data[MAX_PATH];
            DWORD nameSize = MAX_PATH;
            DWORD dataSize = MAX_PATH;
            DWORD type = 0;
            LONG status = RegEnumValueA(subkey.Get(), valueIndex, valueName, &nameSize, nullptr, &type,
                                        reinterpret_cast<BYTE*>(data), &dataSize);
            if (status == ERROR_MORE_DATA)
                continue;
            if (status != ERROR_SUCCESS)
                break;
            if (ValueNamesProgram(type, data, dataSize)) {
                subkey.Close();
                CollectRegistryKey(root, subkeyPath);
                break;
            }
        }
    }
}

void CTraceAnalyzer::SearchRunValues(HKEY root, const char* keyPath)
{
    if (NothingToMatch())
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
