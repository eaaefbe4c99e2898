// File types, ProgIDs and protocols of the program: the class keys under
// HKEY_CLASSES_ROOT (every view) and the user's classes that it owns whole, and the
// verbs it added to other types.
#pragma once
#include <windows.h>

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "framework/RegistryView.h"
#include "smart/AnalysisContext.h"
#include "smart/ComClassSearch.h"

class CFileTypeTraceSearch {
public:
    CFileTypeTraceSearch(CAnalysisContext& context, CComClassSearch& classes)
        : context(context), comClasses(classes)
    {
    }

    void Run();

private:
    // What a class key holds of the program: the verbs whose command runs it and
    // whether the whole key is its own. Read once per name, since extensions and the
    // class walk both ask.
    struct ClassRoute {
        bool whole = false;
        std::string classId;                // its class, when the program serves it
        std::vector<std::string> ownVerbs;  // shell\<verb> keys that run the program
    };

    void SearchClassKeys(const RegistryPlace& place, bool skipUserClasses);
    bool IsUserClassSeenAsMachine(const char* name) const;
    void ExamineClassKey(HKEY classes, const char* name);
    void CollectClassKey(const char* format, const char* className, const char* subkey);
    void ReadClassRoute(HKEY classes, const char* name, ClassRoute* route);
    const ClassRoute& CachedClassRoute(HKEY classes, const char* name);
    bool ReadOwnVerbs(HKEY classes, const char* name, std::vector<std::string>* verbs) const;
    bool KeyNamesOtherProgram(HKEY classes, const char* keyPath, const char* progId, int depth, int* budget);

    CAnalysisContext& context;
    CComClassSearch& comClasses;
    std::unordered_map<std::string, ClassRoute> classRoutes;  // by the exact name
    RegistryPlace classesPlace;                     // the classes the walk is in
    std::unordered_set<std::string> userClassNames;  // folded names of the user's own classes
};
