#include "framework/TableExport.h"

#include "framework/AnsiText.h"
#include "framework/Handles.h"

#include <windows.h>

namespace {

bool IsBlank(char ch)
{
    return ch == ' ' || ch == '\t';
}

// Stepped character by character: a trail byte is never taken for a quote.
std::string CsvField(const std::string& text)
{
    bool quoted = !text.empty() && (IsBlank(text.front()) || IsBlank(text.back()));
    std::string doubled;
    for (const char* p = text.c_str(); *p;) {
        const char* next = NextCharDbcs(p);
        if (next == p + 1) {
            quoted = quoted || *p == ',' || *p == '"' || *p == '\r' || *p == '\n';
            if (*p == '"')
                doubled += '"';
        }
        doubled.append(p, next);
        p = next;
    }
    return quoted ? "\"" + doubled + "\"" : doubled;
}

void AppendCsvLine(const std::vector<std::string>& fields, std::string* csv)
{
    for (size_t i = 0; i < fields.size(); ++i)
        *csv += (i ? "," : "") + CsvField(fields[i]);
    *csv += "\r\n";
}

std::string TableAsCsv(const TextTable& table)
{
    std::string csv;
    AppendCsvLine(table.headers, &csv);
    for (const std::vector<std::string>& row : table.rows)
        AppendCsvLine(row, &csv);
    return csv;
}

std::string Utf8Text(const std::wstring& wide)
{
    if (wide.empty())
        return std::string();
    const int length = static_cast<int>(wide.size());
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, &utf8[0], size, nullptr, nullptr);
    return utf8;
}

// The characters HTML gives a meaning, and how a text spells them.
const struct {
    wchar_t ch;
    const wchar_t* entity;
} kHtmlEntities[] = {{L'&', L"&amp;"}, {L'<', L"&lt;"}, {L'>', L"&gt;"}, {L'"', L"&quot;"}, {L'\'', L"&#39;"}};

// The text in UTF-8 with those characters escaped.
std::string HtmlText(const std::string& text)
{
    std::wstring escaped;
    for (const wchar_t ch : WideText(text.c_str())) {
        const wchar_t* entity = nullptr;
        for (const auto& special : kHtmlEntities)
            entity = special.ch == ch ? special.entity : entity;
        if (entity)
            escaped += entity;
        else
            escaped += ch;
    }
    return Utf8Text(escaped);
}

void AppendHtmlRow(const std::vector<std::string>& cells, const char* tag, std::string* html)
{
    *html += "<tr>";
    for (const std::string& cell : cells)
        *html += std::string("<") + tag + ">" + HtmlText(cell) + "</" + tag + ">";
    *html += "</tr>\r\n";
}

std::string TableAsHtml(const TextTable& table)
{
    // Line breaks and runs of blanks inside a text are shown as they are.
    std::string html = "\xEF\xBB\xBF<!DOCTYPE html>\r\n<html><head><meta charset=\"utf-8\"><title></title>"
                       "<style>table{border-collapse:collapse}th,td{border:1px solid #999;padding:2px 6px;"
                       "white-space:pre-wrap;text-align:left}</style></head><body>\r\n<table>\r\n<thead>";
    AppendHtmlRow(table.headers, "th", &html);
    html += "</thead>\r\n<tbody>\r\n";
    for (const std::vector<std::string>& row : table.rows)
        AppendHtmlRow(row, "td", &html);
    html += "</tbody>\r\n</table>\r\n</body></html>\r\n";
    return html;
}

// The folder a path lies in, for a temporary file beside it; "." for a bare name.
std::string FolderOf(const char* path)
{
    const char* backslash = FindLastCharDbcs(path, '\\');
    const char* slash = FindLastCharDbcs(path, '/');
    const char* last = backslash > slash ? backslash : slash;
    if (!last)
        return ".";
    return std::string(path, last == path || last[-1] == ':' ? last + 1 : last);
}

// A temporary file that is deleted unless it has been moved into its place.
class CTemporaryFile {
public:
    bool Create(const char* beside)
    {
        return GetTempFileNameA(FolderOf(beside).c_str(), "umx", 0, path) != 0;
    }
    ~CTemporaryFile()
    {
        if (path[0])
            DeleteFileA(path);
    }
    bool Write(const std::string& bytes) const
    {
        OwnedFile file(CreateFileA(path, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        return file && WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
               written == bytes.size() && FlushFileBuffers(file);
    }
    bool MoveTo(const char* target)
    {
        if (!MoveFileExA(path, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return false;
        path[0] = '\0';
        return true;
    }

private:
    char path[MAX_PATH] = "";
};

}  // namespace

TableForm TableFormOf(const char* path)
{
    return path && (HasExtension(path, ".htm") || HasExtension(path, ".html")) ? TABLE_HTML : TABLE_CSV;
}

bool ExportTable(const char* path, const TextTable& table)
{
    if (!path || !*path)
        return false;
    const std::string bytes = TableFormOf(path) == TABLE_HTML ? TableAsHtml(table) : TableAsCsv(table);
    CTemporaryFile temporary;
    return temporary.Create(path) && temporary.Write(bytes) && temporary.MoveTo(path);
}
