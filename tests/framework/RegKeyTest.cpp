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

TEST(Owned, ReleasesOnScopeResetAndMoveButNotWhatWasGivenUp)
{
    HBRUSH brushes[4];
    for (HBRUSH& brush : brushes)
        brush = CreateSolidBrush(RGB(1, 2, 3));
    {
        OwnedGdi<HBRUSH> scoped(brushes[0]), replaced(brushes[1]), given(brushes[2]);
        replaced.Reset(brushes[3]);
        EXPECT_EQ(0u, GetObjectType(brushes[1]));
        EXPECT_EQ(brushes[2], given.Release());
        OwnedGdi<HBRUSH> moved(std::move(replaced));
        EXPECT_FALSE(replaced);
        EXPECT_NE(0u, GetObjectType(brushes[3]));
    }
    EXPECT_EQ(0u, GetObjectType(brushes[0]) + GetObjectType(brushes[3]));
    EXPECT_TRUE(DeleteObject(brushes[2])) << "given up, yet deleted";
    // Handles that fail with INVALID_HANDLE_VALUE are empty then.
    WIN32_FIND_DATAA data;
    EXPECT_FALSE(OwnedFind(FindFirstFileA("C:\\no such folder\\*", &data)));
}

class RegKeyTest : public testing::Test {
protected:
    fixtures::ScopedKey key{HKEY_CURRENT_USER, "Software\\" + fixtures::UniqueName("umregkey")};
};

TEST_F(RegKeyTest, LinksAreRefused)
{
    fixtures::ScopedKey target(HKEY_LOCAL_MACHINE, key.Path() + "Target");
    const std::string link = key.Path() + "\\Link";
    ASSERT_TRUE(fixtures::SetString(HKEY_LOCAL_MACHINE, target.Path(), "inside", "1"));
    ASSERT_TRUE(fixtures::MakeRegistryLink(HKEY_CURRENT_USER, link, target.Path()));
    ASSERT_TRUE(fixtures::ValueExists(HKEY_CURRENT_USER, link, "inside"));
    OwnedKey raw;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, link.c_str(), REG_OPTION_OPEN_LINK, KEY_READ, raw.Out()));
    EXPECT_TRUE(IsRegistryLink(raw));
    RegKey opened;
    EXPECT_FALSE(opened.Open(HKEY_CURRENT_USER, link.c_str()));
    ASSERT_TRUE(opened.Open(HKEY_CURRENT_USER, key.Path().c_str()));
    EXPECT_FALSE(IsRegistryLink(opened));
}

TEST_F(RegKeyTest, WalksWhatFitsInOrderAndStopsWhenAsked)
{
    for (const char* name : {"b", "a", "c"})
        ASSERT_TRUE(fixtures::CreateKey(HKEY_CURRENT_USER, key.Path() + "\\" + name));
    const std::pair<std::string, std::string> values[] = {
        {"one", "1"}, {std::string(MAX_PATH + 40, 'n'), "long name"}, {"big", std::string(MAX_PATH, 'd')}, {"two", "22"}};
    for (const auto& value : values)
        ASSERT_TRUE(fixtures::SetString(HKEY_CURRENT_USER, key.Path(), value.first, value.second));
    RegKey walked;
    ASSERT_TRUE(walked.Open(HKEY_CURRENT_USER, key.Path().c_str()));
    std::vector<std::string> subkeys, withData, namesOnly;
    walked.ForEachSubkey([&](const char* name) { return subkeys.push_back(name), true; });
    walked.ForEachValue([&](const RegValue& value) {
        EXPECT_TRUE(TerminateRead(value.data, MAX_PATH, value.size));
        return withData.push_back(std::string(value.name) + "=" + value.data), true;
    });
    walked.ForEachValue([&](const RegValue& value) { return namesOnly.push_back(value.name), !value.data; },
                        RegKey::NAMES_ONLY);
    std::sort(withData.begin(), withData.end());
    std::sort(namesOnly.begin(), namesOnly.end());
    EXPECT_EQ(fixtures::SubkeyNames(HKEY_CURRENT_USER, key.Path()), subkeys);
    EXPECT_EQ((std::vector<std::string>{"one=1", "two=22"}), withData);
    EXPECT_EQ((std::vector<std::string>{"big", "one", "two"}), namesOnly);
    int visits = 0;
    walked.ForEachSubkey([&](const char*) { return ++visits < 2; });
    walked.ForEachValue([&](const RegValue&) { return ++visits < 3; });
    EXPECT_EQ(3, visits);
}

TEST(RegKeyText, TerminateReadAndFoldAscii)
{
    const struct {
        char bytes[4];
        DWORD size;
        bool fits;
        const char* text;
    } reads[] = {{"abc", 4, true, "abc"}, {{'a', 'b', 'c', 'X'}, 3, true, "abc"}, {{'a', 'b', 'c', 'd'}, 4, false, ""},
                 {{'a', 'b', 'c', 'd'}, 0, true, ""}};
    for (const auto& read : reads) {
        char buffer[5] = {};  // a terminator beyond the four bytes TerminateRead may use
        std::copy(read.bytes, read.bytes + 4, buffer);
        EXPECT_EQ(read.fits, TerminateRead(buffer, 4, read.size)) << read.size;
        EXPECT_EQ(read.text, read.fits ? std::string(buffer) : "") << read.size;
    }
    std::string folded = "AZaz@[`{09\xB0\xC1";
    std::transform(folded.begin(), folded.end(), folded.begin(), FoldAscii);
    EXPECT_EQ("azaz@[`{09\xB0\xC1", folded);
}

}  // namespace
