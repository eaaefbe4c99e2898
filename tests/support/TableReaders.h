// Readers of exported tables for the tests: CSV as RFC 4180 reads it, and the one
// table of an HTML file decoded back to the code page's texts. Each checks the form
// as it reads (GoogleTest expectations).
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace tablereaders {

using Rows = std::vector<std::vector<std::string>>;

// Reads CSV as RFC 4180 says: fields split at commas, records at CR LF; a quoted
// field runs to its closing quote, taking commas and line breaks as they are and a
// doubled quote as one. Every record, the last too, must end in CR LF.
inline Rows ReadCsv(const std::string& csv)
{
    Rows records(1, std::vector<std::string>(1));
    for (size_t i = 0; i < csv.size(); ++i) {
        std::string& field = records.back().back();
        if (csv[i] == '"' && field.empty()) {
            size_t close = i + 1;
            for (; close < csv.size() && (csv[close] != '"' || csv[close + 1] == '"'); ++close) {
                field += csv[close];
                close += csv[close] == '"';
            }
            EXPECT_LT(close, csv.size()) << "a quote never closed";
            i = close;
        } else if (csv[i] == ',') {
            records.back().emplace_back();
        } else if (csv.compare(i, 2, "\r\n") == 0) {
            records.emplace_back(1);
            ++i;
        } else {
            EXPECT_TRUE(csv[i] != '"' && csv[i] != '\r' && csv[i] != '\n') << "unquoted " << csv.substr(i, 20);
            field += csv[i];
        }
    }
    EXPECT_EQ(records.back(), std::vector<std::string>(1)) << "the last record does not end in CR LF";
    records.pop_back();
    return records;
}

// UTF-8 to the code page's text (936).
inline std::string AnsiFromUtf8(const std::string& utf8)
{
    std::wstring wide(utf8.size(), L'\0');
    wide.resize(static_cast<size_t>(
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], static_cast<int>(wide.size()))));
    std::string ansi(wide.size() * 2, '\0');
    ansi.resize(static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &ansi[0],
                                                        static_cast<int>(ansi.size()), nullptr, nullptr)));
    return ansi;
}

inline std::string Unescaped(std::string text)
{
    const std::pair<std::string, std::string> entities[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}};
    for (size_t at = text.find('&'); at != std::string::npos; at = text.find('&', at + 1)) {
        bool known = false;
        for (const auto& [entity, ch] : entities) {
            if (text.compare(at, entity.size(), entity) == 0) {
                text.replace(at, entity.size(), ch);
                known = true;
                break;
            }
        }
        EXPECT_TRUE(known) << "a bare & at " << text.substr(at, 10);
    }
    return text;
}

// The rows of the one table of an HTML file: the text between each <th> or <td> and
// its end tag, unescaped and converted back to the code page.
inline Rows ReadHtml(const std::string& html)
{
    EXPECT_EQ(0u, html.find("\xEF\xBB\xBF<!DOCTYPE html>"));
    EXPECT_NE(std::string::npos, html.find("<meta charset=\"utf-8\">"));
    const size_t table = html.find("<table>"), end = html.find("</table>");
    EXPECT_TRUE(table != std::string::npos && end != std::string::npos && html.find("<table", table + 1) > end);
    Rows rows;
    for (size_t row = html.find("<tr>", table); row < end; row = html.find("<tr>", row + 1)) {
        rows.emplace_back();
        const size_t rowEnd = html.find("</tr>", row);
        for (size_t cell = html.find("<t", row + 4); cell < rowEnd; cell = html.find("<t", cell + 1)) {
            const std::string tag = html.substr(cell + 1, 2);  // th or td
            const size_t close = html.find("</" + tag + ">", cell);
            const std::string content = html.substr(cell + 4, close - cell - 4);
            EXPECT_EQ(std::string::npos, content.find_first_of("<>")) << content;
            rows.back().push_back(AnsiFromUtf8(Unescaped(content)));
            cell = close;
        }
    }
    return rows;
}

}  // namespace tablereaders
