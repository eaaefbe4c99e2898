// The sizes of install folders measured in this session, one folder at a time in
// steps (CFolderSizeMeter), each folder once: a folder the analysis' screening does
// not take for a program's own (CFolderScreen) is never measured.
#pragma once
#include "smart/FolderSizeMeter.h"

#include <windows.h>

#include <map>
#include <string>

class CFolderSizes {
public:
    // The folder's size once measured; false before, and for a folder refused.
    bool Known(const std::string& folder, ULONGLONG* bytes) const;
    // True while the folder is neither measured nor refused.
    bool Wanted(const std::string& folder) const;
    // Measures folder for about budget seconds, going on with the measurement under
    // way when it is that folder's (another one under way starts over later); true
    // when the folder is done with: measured, or refused.
    bool Measure(const std::string& folder, double budget);

private:
    // One spelling per folder: ASCII letters folded, no trailing backslash.
    static std::string Key(const std::string& folder);

    struct Size {
        bool measured;
        ULONGLONG bytes;
    };
    std::map<std::string, Size> done;
    CFolderScreen screen;  // the machine's folders read once a session
    CFolderSizeMeter meter;
    std::string measuring;  // the key of the folder the meter measures
};
