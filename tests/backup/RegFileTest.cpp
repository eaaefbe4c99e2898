// Registry keys saved as REGEDIT4 text and imported back: every type and byte, names
// the code page spells with a 0x5C trail byte, both views; refusals change nothing.
#include "backup/RegFile.h"
#include "framework/RegKey.h"
#include "framework/RegistryTree.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

// Every key and value below key as the wide API reads them: names, types, sizes, byte hashes.
void Dump(HKEY key, const std::wstring& below, std::set<std::wstring>* out)
{
    out->insert(L"key " + below);
    std::vector<wchar_t> name(16384);
    std::vector<BYTE> data(200000);
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = 16384, size = static_cast<DWORD>(data.size()), type = 0;
        if (RegEnumValueW(key, index, name.data(), &nameSize, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
            break;
        std::wstring bytes = std::to_wstring(std::hash<std::string>()(std::string(data.begin(), data.begin() + size)));
        out->insert(below + L"|" + name.data() + L"|" + std::to_wstring(type) + L"|" + std::to_wstring(size) + L"|" +
                    bytes);
    }
    for (DWORD index = 0; RegEnumKeyW(key, index, name.data(), 16384) == ERROR_SUCCESS; ++index) {
        OwnedKey child;
        if (RegOpenKeyExW(key, name.data(), 0, KEY_READ, child.Out()) == ERROR_SUCCESS)
            Dump(child, below + L"\\" + name.data(), out);
    }
}

std::set<std::wstring> Dump(HKEY root, const std::string& path)
{
    std::set<std::wstring> out;
    OwnedKey key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.Out()) == ERROR_SUCCESS)
        Dump(key, L"", &out);
    return out;
}

// A REG_SZ of exactly these characters made with the wide API, which counts a left-out
// terminator when a NUL follows the data: a guard follows it here.
bool SetWide(const std::string& path, const std::wstring& below, const wchar_t* name, const std::wstring& text)
{
    const std::wstring guarded = text + L'x';
    OwnedKey key;
    return RegCreateKeyExW(HKEY_CURRENT_USER, (std::wstring(path.begin(), path.end()) + below).c_str(), 0, nullptr, 0,
                           KEY_ALL_ACCESS, nullptr, key.Out(), nullptr) == ERROR_SUCCESS &&
           RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(guarded.c_str()),
                          static_cast<DWORD>(text.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
}

TEST(RegFile, RoundTripKeepsEveryTypeNameAndByte)
{
    const std::string name = fixtures::UniqueName("umregfile"), user = "Software\\" + name;
    const std::pair<HKEY, std::string> trees[] = {
        {HKEY_CURRENT_USER, user},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\" + name},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Wow6432Node\\" + name}};
    const std::string dbcs = "\x95\x5c\x81\x5c";  // two characters whose trail byte is '\'
    const std::string zh = fixtures::Ansi(u8"默认");
    const struct {
        std::string name;
        DWORD type;
        std::string data;
        std::string line;  // the entry as the file must spell it
    } rows[] = {
        {"", REG_SZ, zh + '\0', "@=\"" + zh + "\""},
        {"say \"hi\"\\x", REG_SZ, std::string("C:\\d\\\"q\"\\", 10), R"("say \"hi\"\\x"="C:\\d\\\"q\"\\")"},
        {dbcs, REG_SZ, "x" + dbcs + '\0', "\"" + dbcs + "\"=\"x" + dbcs + "\""},
        {"expand", REG_EXPAND_SZ, std::string("%A%\0", 4), "\"expand\"=hex(2):25,41,25,00"},
        {"multi", REG_MULTI_SZ, std::string("a\0b\0\0", 5), "\"multi\"=hex(7):61,00,62,00,00"},
        {"ten", REG_DWORD, std::string("\x0a\0\0\0", 4), "\"ten\"=dword:0000000a"},
        {"three", REG_DWORD, "\x01\x02\x03", "\"three\"=hex(4):01,02,03"},
        {"q", REG_QWORD, std::string("\xff\0\0\0\0\0\0\x80", 8), "\"q\"=hex(b):ff,00,00,00,00,00,00,80"},
        {"empty", REG_BINARY, "", "\"empty\"=hex:"},
        {"none", REG_NONE, "\x7f", "\"none\"=hex(0):7f"},
        {"t20", 0x20, "\xAB", "\"t20\"=hex(20):ab"},
        {"huge type", 0xffff0000, "", "\"huge type\"=hex(ffff0000):"},
        {"lines", REG_SZ, std::string("a\r\n\0", 4), "\"lines\"=hex(1):61,0d,0a,00"},
        {"nul", REG_SZ, std::string("a\0b\0", 4), "\"nul\"=hex(1):61,00,62,00"},
    };
    fixtures::ScopedKey keys[] = {
        {trees[0].first, trees[0].second}, {trees[1].first, trees[1].second}, {trees[2].first, trees[2].second}};
    for (const auto& row : rows)
        ASSERT_TRUE(fixtures::SetValue(HKEY_CURRENT_USER, user, row.name, row.type, row.data.data(),
                                       static_cast<DWORD>(row.data.size())));
    std::string big(100 * 1024, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7);
    ASSERT_TRUE(fixtures::SetValue(HKEY_CURRENT_USER, user, "big", REG_BINARY, big.data(), 100 * 1024));
    ASSERT_TRUE(fixtures::SetDword(HKEY_CURRENT_USER, user + "\\sub" + dbcs + "\\deeper", "d", 7));
    ASSERT_TRUE(fixtures::CreateKey(HKEY_CURRENT_USER, user + "\\bare"));
    // 255 double-byte characters (510 bytes), made with the wide API: the ANSI one stops at MAX_PATH.
    ASSERT_TRUE(SetWide(user, L"\\" + std::wstring(255, L'\x554A'), L"v", {L'1', 0}));
    ASSERT_TRUE(SetWide(user, L"", L"open", L"op"));  // no terminator
    ASSERT_TRUE(fixtures::SetString(trees[1].first, trees[1].second, "view", "native"));
    ASSERT_TRUE(fixtures::SetString(trees[2].first, trees[2].second, "view", "wow"));

    CRegFileWriter writer;
    std::vector<std::set<std::wstring>> before;
    for (const auto& tree : trees) {
        before.push_back(Dump(tree.first, tree.second));
        ASSERT_TRUE(writer.AddKeyTree(tree.first, tree.second.c_str()));
    }
    ASSERT_EQ(std::size(rows) + 9, before[0].size());
    const std::string& text = writer.Text();
    EXPECT_EQ(0u, text.find("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\" + user + "]\r\n"));
    for (const auto& row : rows)
        EXPECT_NE(std::string::npos, text.find("\r\n" + row.line + "\r\n")) << row.line;
    EXPECT_NE(std::string::npos, text.find("\r\n\"open\"=hex(1):6f,70\r\n"));
    EXPECT_NE(std::string::npos,
              text.find("\r\n[HKEY_LOCAL_MACHINE\\" + trees[2].second + "]\r\n\"view\"=\"wow\"\r\n\r\n"));
    size_t wrapped = 0;
    for (size_t at = text.find("\r\n  "); at != std::string::npos; at = text.find("\r\n  ", at + 2)) {
        size_t end = text.find("\r\n", at + 2);
        EXPECT_TRUE(text[end - 1] != '\\' || end - at - 2 == 78) << text.substr(at, end - at);
        wrapped += text[end - 1] == '\\';
    }
    EXPECT_EQ(big.size() / 25 - 1, wrapped);  // 25 bytes a line after the first
    fixtures::TempDir folder;
    const std::string file = folder.Path() + "\\backup.reg";
    ASSERT_TRUE(writer.Save(file.c_str()));

    for (const auto& tree : trees)
        ASSERT_EQ(ERROR_SUCCESS, DeleteKeyTree(tree.first, tree.second.c_str()));
    ASSERT_FALSE(fixtures::KeyExists(trees[2].first, trees[2].second));
    CRegFile backup;
    std::string reason;
    ASSERT_TRUE(backup.Read(file.c_str(), &reason)) << reason;
    RegImportTally tally = backup.Import();
    EXPECT_EQ(static_cast<int>(std::size(rows)) + 6, tally.written);
    EXPECT_EQ(0, tally.present + tally.failed);
    for (size_t i = 0; i < std::size(trees); ++i)
        EXPECT_EQ(before[i], Dump(trees[i].first, trees[i].second));
    DeleteKeyTree(HKEY_CURRENT_USER, user.c_str());
}

TEST(RegFile, ImportKeepsWhatIsThereAndNeverWritesThroughALink)
{
    fixtures::ScopedKey key(HKEY_CURRENT_USER, "Software\\" + fixtures::UniqueName("umregfile"));
    fixtures::ScopedKey target(HKEY_LOCAL_MACHINE, key.Path() + "Target");
    const std::string sub = key.Path() + "\\Sub";
    for (const char* value : {"keep", "gone", "other"})
        ASSERT_TRUE(fixtures::SetString(HKEY_CURRENT_USER, key.Path(), value, "before"));
    ASSERT_TRUE(fixtures::SetString(HKEY_CURRENT_USER, sub, "v", "1"));
    CRegFileWriter writer;
    ASSERT_TRUE(writer.AddValue(HKEY_CURRENT_USER, key.Path().c_str(), "keep"));
    ASSERT_TRUE(writer.AddValue(HKEY_CURRENT_USER, key.Path().c_str(), "gone"));
    ASSERT_FALSE(writer.AddValue(HKEY_CURRENT_USER, key.Path().c_str(), "missing"));
    ASSERT_TRUE(writer.AddKeyTree(HKEY_CURRENT_USER, sub.c_str()));
    EXPECT_EQ("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\" + key.Path() + "]\r\n\"keep\"=\"before\"\r\n" +
                  "\"gone\"=\"before\"\r\n\r\n[HKEY_CURRENT_USER\\" + sub + "]\r\n\"v\"=\"1\"\r\n\r\n",
              writer.Text());

    ASSERT_TRUE(fixtures::SetString(HKEY_CURRENT_USER, key.Path(), "keep", "after"));
    fixtures::DeleteValue(HKEY_CURRENT_USER, key.Path(), "gone");
    fixtures::DeleteKeyTree(HKEY_CURRENT_USER, sub);
    ASSERT_TRUE(fixtures::MakeRegistryLink(HKEY_CURRENT_USER, sub, target.Path()));
    CRegFile backup;
    ASSERT_TRUE(backup.Parse(writer.Text(), nullptr));
    RegImportTally tally = backup.Import();
    EXPECT_EQ(1, tally.written);
    EXPECT_EQ(1, tally.present);
    EXPECT_EQ(2, tally.failed);  // the link key and its value
    char data[16];
    for (const char* expected : {"keep=after", "gone=before"}) {
        EXPECT_TRUE(ReadTextValue(HKEY_CURRENT_USER, key.Path().c_str(), std::string(expected, 4).c_str(), data, 16));
        EXPECT_STREQ(expected + 5, data);
    }
    EXPECT_FALSE(fixtures::ValueExists(HKEY_LOCAL_MACHINE, target.Path(), "v"));
}

std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    return text.replace(text.find(from), from.size(), to);
}

TEST(RegFile, RefusesWholeWhatItDoesNotFullyUnderstand)
{
    const std::string path = "Software\\" + fixtures::UniqueName("umregfile");
    const std::string first = "[HKEY_CURRENT_USER\\" + path + "]\r\n\"a\"=\"1\"\r\n\r\n";
    const std::string second = "[HKEY_CURRENT_USER\\" + path + "\\sub]";
    const std::string good =
        "REGEDIT4\r\n\r\n" + first + second + "\r\n\"b\"=hex:01,02,\\\r\n  03\r\n\"c\"=dword:00000001\r\n\r\n";
    const std::pair<std::string, std::string> bad[] = {
        {good.substr(0, good.size() - 1), "line 10: the file ends inside a line"},
        {good.substr(0, good.size() - 2), "line 10: the file ends before the blank line"},
        {good.substr(0, good.find("  03")), "line 8: a hex list that is not closed"},
        {good.substr(0, good.find("02,")), "line 7: the file ends inside a line"},
        {"REGEDIT4\r\n", "line 2: the signature is not followed by a blank line"},
        {Replaced(good, "01,02", "01,0g"), "line 7: a bad hex byte"},
        {Replaced(good, "hex:", "hex(2:"), "line 7: a broken hex type"},
        {Replaced(good, "dword:00000001", "dword:0000001"), "line 9: a dword that is not eight hex digits"},
        {Replaced(good, "\"1\"", "\"1"), "line 4: a quote that is not closed"},
        {Replaced(good, "\"1\"", "\"1\\n\""), "line 4: an escape other than"},
        {Replaced(good, "\r\n  03", "\n  03"), "line 7: a broken line"},
        {Replaced(good, "REGEDIT4", "Windows Registry Editor Version 5.00"), "line 1: not a REGEDIT4 file"},
        {Replaced(good, second, "[HKEY_CURRENT_CONFIG\\" + path + "\\sub]"), "line 6: a root other than"},
        {Replaced(good, second, "[-" + second.substr(1)), "line 6: a key deletion"},
        {Replaced(good, "\"c\"=dword:00000001", "\"c\"=-"), "line 9: a value deletion"},
        {Replaced(good, second, "\"v\"=\"0\"\r\n\r\n" + second), "line 6: a value or text outside a key"},
        {Replaced(good, first, "\"v\"=\"0\"\r\n\r\n" + first), "line 3: a value or text outside a key"},
    };
    for (const auto& text : bad) {
        CRegFile file;
        std::string reason;
        ASSERT_TRUE(file.Parse(good, &reason)) << reason;
        EXPECT_FALSE(file.Parse(text.first, &reason)) << text.first;
        EXPECT_EQ(0u, reason.find(text.second)) << reason;
        RegImportTally tally = file.Import();
        EXPECT_EQ(0, tally.written + tally.present + tally.failed) << text.second;
        EXPECT_FALSE(fixtures::KeyExists(HKEY_CURRENT_USER, path)) << text.second;
    }
    CRegFile file;
    std::string reason;
    EXPECT_FALSE(file.Read("C:\\no such folder\\backup.reg", &reason));
    EXPECT_EQ("the file cannot be read", reason);
    ASSERT_TRUE(file.Parse(good, &reason));
    EXPECT_EQ(3, file.Import().written);
    fixtures::DeleteKeyTree(HKEY_CURRENT_USER, path);
}

TEST(RegFile, RefusesTreesItCannotRestore)
{
    fixtures::ScopedKey key(HKEY_CURRENT_USER, "Software\\" + fixtures::UniqueName("umregfile"));
    fixtures::ScopedKey target(HKEY_LOCAL_MACHINE, key.Path() + "Target");
    const std::string path = key.Path();
    ASSERT_TRUE(SetWide(path, L"\\name\\x\x0E01", L"v", {L'1', 0}));  // a Thai letter: code page 936 has none
    ASSERT_TRUE(SetWide(path, L"\\value", L"v\x0E01", {L'1', 0}));
    ASSERT_TRUE(SetWide(path, L"\\data", L"v", {L'\x0E01', 0}));
    OwnedKey odd;  // text of an odd byte count has no UTF-16 reading to save
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, (path + "\\odd").c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, odd.Out(), nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(odd, L"v", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3));
    ASSERT_TRUE(fixtures::CreateKey(HKEY_CURRENT_USER, path + "\\link"));
    ASSERT_TRUE(fixtures::MakeRegistryLink(HKEY_CURRENT_USER, path + "\\link\\inner", target.Path()));
    ASSERT_TRUE(fixtures::SetString(HKEY_CURRENT_USER, path + "\\fine", "v", "1"));
    CRegFileWriter writer;
    for (const char* child :
         {"\\name", "\\value", "\\data", "\\odd", "\\link", "\\link\\inner", "\\missing", "\\\\fine", ""})
        EXPECT_FALSE(writer.AddKeyTree(HKEY_CURRENT_USER, (path + child).c_str())) << child;
    EXPECT_FALSE(writer.AddValue(HKEY_CURRENT_USER, (path + "\\data").c_str(), "v"));
    EXPECT_FALSE(writer.AddKeyTree(HKEY_CURRENT_CONFIG, "Software"));
    EXPECT_EQ("REGEDIT4\r\n\r\n", writer.Text());
    EXPECT_FALSE(writer.Save("C:\\no such folder\\backup.reg"));
    EXPECT_TRUE(writer.AddKeyTree(HKEY_CURRENT_USER, (path + "\\fine").c_str()));
    DeleteKeyTree(HKEY_CURRENT_USER, path.c_str());
}

}  // namespace
