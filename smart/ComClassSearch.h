// COM classes of the program: the CLSID keys, in every view of the classes and the
// user's, whose in-process server lies in the program. The file-type search asks it
// about the classes its types name, so each class is read once per analysis.
#pragma once
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "framework/RegistryView.h"
#include "smart/AnalysisContext.h"

class CComClassSearch {
public:
    explicit CComClassSearch(CAnalysisContext& context);

    // Lists every class whose server is the program.
    void Run();
    // The class's server is the program, in any place that registers it.
    bool ServerMatches(const char* classId);
    // Lists the class's key in every place whose server is the program.
    void CollectClass(const char* classId);

private:
    bool ServerMatchesIn(const RegistryPlace& clsidPlace, const char* classId);

    CAnalysisContext& context;
    std::vector<RegistryPlace> clsidPlaces;  // the CLSID key of each view of the classes, and the user's
    std::unordered_set<std::string> walkedClsidPaths;  // those whose every class the walk met
    std::unordered_map<std::string, bool> serverMatches;
};
