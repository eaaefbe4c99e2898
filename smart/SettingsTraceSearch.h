// The program's own settings, found by its names: keys under "Software" named as
// the product or its vendor, and the values of other programs' settings that name
// the program.
#pragma once
#include <windows.h>

#include "smart/AnalysisContext.h"

class CSettingsTraceSearch {
public:
    explicit CSettingsTraceSearch(CAnalysisContext& context) : context(context) {}

    // "Software" of the machine (both views) and the user.
    void Run();
    void SearchSoftwareKeys(HKEY root, const char* softwarePath);

private:
    struct KeyVerdict {
        bool namesProgram = false;  // a value names the program
        bool namesOther = false;    // a value names another registered product
        bool complete = true;       // the whole key was read
    };

    KeyVerdict JudgeKey(HKEY root, const char* keyPath);
    void JudgeKeyTree(HKEY root, const char* keyPath, int depth, int* budget, KeyVerdict* verdict);
    bool ExamineNamedKey(HKEY root, const char* keyPath, bool needsProgramValue);
    void ExamineVendorKey(HKEY root, const char* vendorPath);
    void ProbeProductKeys(HKEY root, const char* vendorPath);
    bool ListOtherSettings(HKEY root, const char* keyPath, bool* mayHoldKeys = nullptr);

    CAnalysisContext& context;
};
