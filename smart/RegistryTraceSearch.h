// The uninstall entries and auto-start values that name the program.
#pragma once
#include <windows.h>

#include "smart/AnalysisContext.h"

class CRegistryTraceSearch {
public:
    explicit CRegistryTraceSearch(CAnalysisContext& context) : context(context) {}

    // The entries, then the Run values of the machine (both views) and the user.
    void Run();
    // An uninstall entry with a value that names the program is the program's own and
    // is listed whole (after an uninstall, only the product's own entry).
    void SearchUninstallEntries();
    void SearchRunValues(HKEY root, const char* keyPath);

private:
    CAnalysisContext& context;
};
