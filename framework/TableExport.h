// A table written to a file for other programs: CSV, as spreadsheet programs read it,
// or one self-contained HTML table, as browsers show it.
#pragma once
#include <string>
#include <vector>

// Texts in the window's code page (936): the column headers, then the rows.
struct TextTable {
    std::vector<std::string> headers;
    std::vector<std::vector<std::string>> rows;
};

enum TableForm {
    TABLE_CSV,   // the code page's bytes as they are; lines end in CR LF; a field that
                 // holds a comma, quote or line break or begins or ends with a blank is
                 // quoted, its quotes doubled
    TABLE_HTML,  // UTF-8 with a byte-order mark and a charset meta; & < > " ' escaped
};

// HTML for a path ending in .htm or .html (any case), else CSV.
TableForm TableFormOf(const char* path);

// Writes table to path in the form its name asks for: whole, through a temporary file
// beside it that then replaces the file, or not at all (false, nothing left behind).
bool ExportTable(const char* path, const TextTable& table);
