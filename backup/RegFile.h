// Registry keys and values saved as text in the REGEDIT4 format (ANSI, CR LF), and
// read back. Key paths are physical (see RegistryView.h): "[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\X]".
#pragma once
#include "backup/RegFileFormat.h"

#include <windows.h>

#include <string>
#include <vector>

class CRegFileWriter {
public:
    CRegFileWriter();  // text starts with "REGEDIT4\r\n"
    // root\path with every value (every type, exact bytes) and every subkey, depth first.
    // False, and nothing added, when the key is missing, is a registry link, or holds a
    // key or value name (or text data) that the code page cannot spell: such a tree
    // cannot be restored as it was, so the caller must not delete it. Text data of an
    // odd byte count and a key that cannot be read refuse it too, and so does a link
    // below it unless links is given: then the link's path below root is added to
    // links and the link is not followed.
    bool AddKeyTree(HKEY root, const char* path, std::vector<std::string>* links = nullptr);
    // One value of root\path under its key's header; false as above or when missing.
    bool AddValue(HKEY root, const char* path, const char* valueName);
    const std::string& Text() const { return text; }
    bool Save(const char* file) const;  // written whole or reported failed

private:
    std::string text;
    // The header of the section the last AddValue ended, which the next one may join.
    std::string openHeader;
};

struct RegImportTally {
    int written = 0;
    int present = 0;
    int failed = 0;  // values not written, and keys that could not be created
};

// The keys and values of a file, read whole before anything is changed.
class CRegFile {
public:
    // False with a reason (for a message) when the file is not exactly what the writer
    // writes: not REGEDIT4, a root other than the four below, a broken line, a quote or
    // hex list not closed, a value line before any key, a file cut short (it must end
    // with the blank line that ends every key), a deletion line ("[-key]", "=-").
    // A refused file leaves nothing to import.
    bool Read(const char* file, std::string* reason);
    bool Parse(const std::string& text, std::string* reason);
    // Creates each key (physical view) and writes each value that is not there now; a
    // value that exists is left as it is (counted present). Never deletes anything,
    // and never writes through a key that has become a registry link.
    RegImportTally Import() const;
    const std::vector<RegFileKey>& Keys() const { return keys; }

private:
    std::vector<RegFileKey> keys;
};
