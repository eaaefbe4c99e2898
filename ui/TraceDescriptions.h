// The description a trace's row shows: a file's or folder's type as the shell names
// it, a registry key or value, and for weak evidence why it is only that. Shared by
// the smart page and the command line, so both say the same.
#pragma once
#include "smart/TraceItem.h"

#include <map>
#include <string>

class CTraceDescriptions {
public:
    std::string Describe(const TraceItem& trace);
    // Forgets the type names asked for (a new analysis may meet other types).
    void Clear() { typeNames.clear(); }

private:
    std::string FileTypeName(const char* path, bool isFolder);

    // Type names of files by extension, for the current analysis.
    std::map<std::string, std::string> typeNames;
};
