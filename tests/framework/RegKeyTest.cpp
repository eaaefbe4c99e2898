// Owned handles and the registry key built on them: links refused, subkeys and
// values walked, texts terminated, ASCII folded.
#include "framework/AnsiText.h"
#include "framework/RegKey.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace {

using fixtures::ScopedKey;

bool Alive(HGDIOBJ object)
{
    return GetObjectType(object) != 0;
}

TEST(Owned, ReleasesOnScopeResetAndMoveButNotWhatWasGivenUp)
{
    HBRUSH scoped = CreateSolidBrush(RGB(1, 1, 1));
    HBRUSH replaced = CreateSolidBrush(RGB(2, 2, 2));
    HBRUSH given = CreateSolidBrush(RGB(3, 3, 3));
    HBRUSH moved = CreateSolidBrush(RGB(4, 4, 4));
    {
        OwnedGdi<HBRUSH> a(scoped), b(replaced), c(given);
        b.Reset(moved);
        EXPECT_FALSE(Alive(replaced));
        EXPECT_EQ(given, c.Release());
        OwnedGdi<HBRUSH> d(std::move(b));
        EXPECT_FALSE(b);
        EXPECT_TRUE(Alive(moved));
    }
    EXPECT_FALSE(Alive(scoped));
    EXPECT_FALSE(Alive(moved));
    EXPECT_TRUE(Alive(given));
    DeleteObject(given);
    // Handles whose failure value is INVALID_HANDLE_VALUE are empty then.
    WIN32_FIND_DATAA data;
    EXPECT_FALSE(OwnedFind(FindFirstFileA("C:\\no such folder\\*", &data)));
}

class RegKeyTest : public testing::Test {
protected:
    ScopedKey key{HKEY_CURRENT_USER, "Software\\" + fixtures::UniqueName("umregkey")};
};

TEST_F(RegKeyTest, LinksAreRefused)
{
    ScopedKey target(HKEY_LOCAL_MACHINE, key.Path() + "Target");
    ASSERT_TRUE(fixtures::SetString(HKEY_LOCAL_MACHINE, target.Path(), "inside", "1"));
    OwnedKey link;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, (key.Path() + "\\Link").c_str(), 0, nullptr,
                                             REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS, nullptr, link.Out(), nullptr));
    const std::string path = "\\Registry\\Machine\\" + target.Path();
    const std::wstring wide(path.begin(), path.end());
    RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(wide.c_str()),
                   static_cast<DWORD>(wide.size() * sizeof(wchar_t)));
    ASSERT_TRUE(fixtures::ValueExists(HKEY_CURRENT_USER, key.Path() + "\\Link", "inside"));

    EXPECT_TRUE(IsRegistryLink(link));
    RegKey opened;
    EXPECT_FALSE(opened.Open(HKEY_CURRENT_USER, (key.Path() + "\\Link").c_str()));
    ASSERT_TRUE(opened.Open(HKEY_CURRENT_USER, key.Path().c_str()));
    EXPECT_FALSE(IsRegistryLink(opened));
}

TEST_F(RegKeyTest, WalksWhatFitsInOrderAndStopsWhenAsked)
{
    for (const char* name : {"b", "a", "c"})
        ASSERT_TRUE(fixtures::CreateKey(HKEY_CURRENT_USER, key.Path() + "\\" + name));
    const std::string longName(MAX_PATH + 40, 'n');
    for (const auto& value : std::vector<std::pair<std::string, std::string>>{
             {"one", "1"}, {longName, "x"}, {"big", std::string(MAX_PATH, 'd')}, {"two", "22"}})
        ASSERT_TRUE(fixtures::SetString(HKEY_CURRENT_USER, key.Path(), value.first, value.second));
    RegKey walked;
    ASSERT_TRUE(walked.Open(HKEY_CURRENT_USER, key.Path().c_str()));

    std::vector<std::string> subkeys, withData, namesOnly;
    walked.ForEachSubkey([&](const char* name) {
        subkeys.push_back(name);
        return true;
    });
    EXPECT_EQ(fixtures::SubkeyNames(HKEY_CURRENT_USER, key.Path()), subkeys);
    walked.ForEachValue([&](const RegValue& value) {
        EXPECT_TRUE(TerminateRead(value.data, MAX_PATH, value.size));
        withData.push_back(std::string(value.name) + "=" + value.data);
        return true;
    });
    walked.ForEachValue(
        [&](const RegValue& value) {
            EXPECT_EQ(nullptr, value.data);
            namesOnly.push_back(value.name);
            return true;
        },
        RegKey::NAMES_ONLY);
    std::sort(withData.begin(), withData.end());
    std::sort(namesOnly.begin(), namesOnly.end());
    EXPECT_EQ((std::vector<std::string>{"one=1", "two=22"}), withData);
    EXPECT_EQ((std::vector<std::string>{"big", "one", "two"}), namesOnly);

    int visits = 0;
    walked.ForEachSubkey([&](const char*) { return ++visits < 2; });
    walked.ForEachValue([&](const RegValue&) { return ++visits < 3; });
    EXPECT_EQ(3, visits);
}

TEST(RegKeyText, TerminateReadAndFoldAscii)
{
    struct Case {
        const char* bytes;
        DWORD size;
        bool fits;
        const char* text;
    } cases[] = {
        {"abc", 4, true, "abc"},  // terminated by the writer
        {"abcX", 3, true, "abc"},  // unterminated, room for the terminator
        {"abcd", 4, false, ""},  // unterminated and the buffer is full
        {"abcd", 0, true, ""},
    };
    for (const Case& c : cases) {
        char buffer[4] = {c.bytes[0], c.bytes[1], c.bytes[2], c.bytes[3]};
        EXPECT_EQ(c.fits, TerminateRead(buffer, sizeof(buffer), c.size)) << c.bytes << c.size;
        if (c.fits) {
            EXPECT_STREQ(c.text, buffer) << c.bytes << c.size;
        }
    }
    std::string folded;
    for (char ch : std::string("AZaz@[`{09\xB0\xC1"))
        folded += FoldAscii(ch);
    EXPECT_EQ("azaz@[`{09\xB0\xC1", folded);
}

}  // namespace
