// Tables written for other programs: CSV read back by an RFC 4180 reader and HTML
// decoded back give every header and cell as it was, double-byte names (with a '\'
// as their second byte) intact; a file that cannot be written is reported and
// nothing is left behind.
#include "framework/TableExport.h"
#include "machine/TreeWalk.h"
#include "support/Fixtures.h"
#include "support/TableReaders.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

using tablereaders::ReadCsv;
using tablereaders::ReadHtml;
using tablereaders::Rows;

// Everything below folder, by its path.
std::set<std::string> Below(const std::string& folder)
{
    std::set<std::string> paths;
    machine::WalkFiles(folder, [&](const std::string& path, const WIN32_FIND_DATAA&) { paths.insert(path); });
    return paths;
}

const TextTable& SampleTable()
{
    static const TextTable table = {
        {"\xD3\xA6\xD3\xC3\xC8\xED\xBC\xFE\xC3\xFB\xB3\xC6", "Command, full", "\"Publisher\"", ""},  // 应用软件名称
        {
            {"Plain", "C:\\a.exe /S", "Acme", "1"},
            {"Acme, Inc", "\"C:\\Program Files\\A\\uninst.exe\" /S", "say \"hi\"", ""},
            {"Two\r\nlines", "LF\nonly", "CR\ronly", "tab\tinside"},
            {" leading", "trailing ", "\tat the start", "a  b"},
            // Second bytes that are '\\' (0x5C): 昞 in GBK, and one before a quote and a comma.
            {"\x95\x5C", "\xD5\x5C\"", "\x95\x5C,\xD5\x5C", "\xC8\xED\xBC\xFE\\"},
            {"<script>alert('x')</script>", "a & b", "1 > 0", "&amp;"},
            {"short row"},
        },
    };
    return table;
}

Rows AllRows(const TextTable& table)
{
    Rows all(1, table.headers);
    all.insert(all.end(), table.rows.begin(), table.rows.end());
    return all;
}

TEST(TableExport, CsvReadsBackAsWrittenAndQuotesOnlyWhatNeedsIt)
{
    fixtures::TempDir dir("umcsv");
    const std::string path = dir.Path() + "\\products.csv";
    ASSERT_TRUE(ExportTable(path.c_str(), SampleTable()));
    std::string csv;
    ASSERT_TRUE(fixtures::ReadFileText(path, &csv));
    EXPECT_EQ(AllRows(SampleTable()), ReadCsv(csv));
    // What needs no quotes has none (spreadsheet programs show the quotes of a field
    // that did not need them as they are); the code page's bytes are kept as they are.
    EXPECT_EQ(0u, csv.find("\xD3\xA6\xD3\xC3\xC8\xED\xBC\xFE\xC3\xFB\xB3\xC6,\"Command, full\",\"\"\"Publisher\"\"\",\r\n"
                           "Plain,C:\\a.exe /S,Acme,1\r\n"));
    EXPECT_NE(std::string::npos, csv.find("\r\n\" leading\",\"trailing \",\"\tat the start\",a  b\r\n"));
    EXPECT_NE(std::string::npos, csv.find("\r\n\x95\x5C,\"\xD5\x5C\"\"\",\"\x95\x5C,\xD5\x5C\",\xC8\xED\xBC\xFE\\\r\n"));

    // Rewritten in place: the file holds the new table alone, nothing else is left.
    const TextTable small = {{"a"}, {{"b"}}};
    ASSERT_TRUE(ExportTable(path.c_str(), small));
    ASSERT_TRUE(fixtures::ReadFileText(path, &csv));
    EXPECT_EQ("a\r\nb\r\n", csv);
    EXPECT_EQ(std::set<std::string>{path}, Below(dir.Path()));
}

TEST(TableExport, HtmlDecodesBackAsWrittenInOneTable)
{
    fixtures::TempDir dir("umhtml");
    for (const char* name : {"\\list.html", "\\list.HTM"}) {
        const std::string path = dir.Path() + name;
        ASSERT_TRUE(ExportTable(path.c_str(), SampleTable())) << name;
        std::string html;
        ASSERT_TRUE(fixtures::ReadFileText(path, &html));
        EXPECT_EQ(AllRows(SampleTable()), ReadHtml(html)) << name;
        EXPECT_NE(std::string::npos, html.find("<th>\xE5\xBA\x94\xE7\x94\xA8\xE8\xBD\xAF\xE4\xBB\xB6")) << "UTF-8";
        EXPECT_NE(std::string::npos, html.find("<td>\xE6\x98\x9E</td>")) << "0x95 0x5C in UTF-8";
    }
    const std::pair<const char*, TableForm> forms[] = {
        {"a.html", TABLE_HTML}, {"a.HtM", TABLE_HTML}, {"a.csv", TABLE_CSV}, {"a.txt", TABLE_CSV},
        {"a", TABLE_CSV}, {"a.html.csv", TABLE_CSV}, {"C:\\x.html\\a", TABLE_CSV}, {"a.htmlx", TABLE_CSV}};
    for (const auto& [path, form] : forms)
        EXPECT_EQ(form, TableFormOf(path)) << path;
}

TEST(TableExport, AFileThatCannotBeWrittenIsReportedAndNothingIsLeft)
{
    fixtures::TempDir dir("umexportfail");
    ASSERT_TRUE(fixtures::MakeDirs(dir.Path() + "\\folder.csv"));
    ASSERT_TRUE(fixtures::WriteFileText(dir.Path() + "\\folder.csv\\inside.txt", "kept"));
    for (const std::string& path : {dir.Path() + "\\folder.csv", dir.Path() + "\\missing\\out.csv",
                                    dir.Path() + "\\folder.csv\\", dir.Path() + "\\bad|name.html", std::string()}) {
        EXPECT_FALSE(ExportTable(path.c_str(), SampleTable())) << path;
    }
    EXPECT_FALSE(ExportTable(nullptr, SampleTable()));
    EXPECT_EQ((std::set<std::string>{dir.Path() + "\\folder.csv", dir.Path() + "\\folder.csv\\inside.txt"}),
              Below(dir.Path()));
}

}  // namespace
