// Reads the text of a REGEDIT4 file into its keys and values, all or nothing: the
// first thing it does not fully understand refuses the whole text with a reason.
#pragma once
#include "backup/RegFileFormat.h"

#include <string>
#include <vector>

class RegFileParser {
public:
    // The keys of text; false with reason ("line N: what") when it is not exactly
    // what the writer writes.
    bool Parse(const std::string& text, std::vector<RegFileKey>* keys, std::string* reason);

private:
    bool ParseAll(const std::string& text, std::vector<RegFileKey>* keys);
    bool Fail(const char* what);
    bool SplitLines(const std::string& text);
    bool ParseKey(RegFileKey* key);
    bool ParseValue(RegFileValue* value);
    bool ParseData(const char* data, RegFileValue* value);
    bool ParseQuoted(const char** cursor, std::string* text);
    bool ParseHexList(const char* list, std::vector<BYTE>* bytes);
    bool Widen(const std::string& ansi, std::wstring* wide);

    std::vector<std::string> lines;
    size_t next = 0;  // index of the line being read
    std::string failure;
};
