// The registry key: links refused, subkeys and values walked; ASCII folded.
#include "framework/AnsiText.h"
#include "framework/RegKey.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

TEST(RegKey, LinksAreRefused)
{
    fixtures::ScopedKey key(HKEY_CURRENT_USER, "Software\\" + fixtures::UniqueName("umregkey"));
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
    // Opened as itself, a link is told by the walk over its values: by its
    // SymbolicLinkValue, or by asking when that value is too long to be met.
    fixtures::ScopedKey farTarget(HKEY_LOCAL_MACHINE, target.Path() + "\\" + std::string(150, 'f'));
    const std::string farLink = key.Path() + "\\FarLink";
    ASSERT_TRUE(fixtures::MakeRegistryLink(HKEY_CURRENT_USER, farLink, farTarget.Path()));
    for (const std::string& path : {link, farLink}) {
        ASSERT_TRUE(opened.OpenAsItself(HKEY_CURRENT_USER, path.c_str()));
        EXPECT_FALSE(opened.ForEachValueOfNonLink([](const RegValue&) { return true; })) << path;
    }
    ASSERT_TRUE(fixtures::SetString(HKEY_CURRENT_USER, key.Path(), "SymbolicLinkValue", "only a text"));
    ASSERT_TRUE(opened.OpenAsItself(HKEY_CURRENT_USER, key.Path().c_str()));
    EXPECT_TRUE(opened.ForEachValueOfNonLink([](const RegValue&) { return false; }));
}

TEST(RegKey, WalksWhatFitsInOrderAndStopsWhenAsked)
{
    fixtures::ScopedKey key(HKEY_CURRENT_USER, "Software\\" + fixtures::UniqueName("umregkey"));
    for (const char* name : {"b", "a", "c"})
        ASSERT_TRUE(fixtures::CreateKey(HKEY_CURRENT_USER, key.Path() + "\\" + name));
    const std::pair<std::string, std::string> values[] = {
        {"one", "1"}, {std::string(MAX_PATH + 40, 'n'), "long name"}, {"big", std::string(MAX_PATH, 'd')}, {"two", "22"}};
    for (const auto& value : values)
        ASSERT_TRUE(fixtures::SetString(HKEY_CURRENT_USER, key.Path(), value.first, value.second));
    RegKey walked;
    ASSERT_TRUE(walked.Open(HKEY_CURRENT_USER, key.Path().c_str()));
    std::vector<std::string> subkeys;
    std::set<std::string> withData, namesOnly;
    walked.ForEachSubkey([&](const char* name) { return subkeys.push_back(name), true; });
    // A walk that skipped a value does not claim to have met them all.
    EXPECT_FALSE(walked.ForEachValue([&](const RegValue& value) {
        EXPECT_TRUE(TerminateRead(value.data, MAX_PATH, value.size));
        return withData.insert(std::string(value.name) + "=" + value.data), true;
    }));
    EXPECT_FALSE(walked.ForEachValue([&](const RegValue& value) { return namesOnly.insert(value.name), !value.data; },
                                     RegKey::NAMES_ONLY));
    EXPECT_EQ(fixtures::SubkeyNames(HKEY_CURRENT_USER, key.Path()), subkeys);
    EXPECT_EQ((std::set<std::string>{"one=1", "two=22"}), withData);
    EXPECT_EQ((std::set<std::string>{"big", "one", "two"}), namesOnly);
    int visits = 0;
    walked.ForEachSubkey([&](const char*) { return ++visits < 2; });
    EXPECT_FALSE(walked.ForEachValue([&](const RegValue&) { return ++visits < 3; }));
    EXPECT_EQ(3, visits);
    // A walk over values that all fit, or up to a count, met them all.
    for (const char* name : {"x", "y"})
        ASSERT_TRUE(fixtures::SetString(HKEY_CURRENT_USER, key.Path() + "\\a", name, "1"));
    ASSERT_TRUE(walked.Open(HKEY_CURRENT_USER, (key.Path() + "\\a").c_str()));
    EXPECT_TRUE(walked.ForEachValue([](const RegValue&) { return true; }));
    EXPECT_TRUE(walked.ForEachValue([](const RegValue& value) { return value.name[0] == 'x'; }, RegKey::WITH_DATA, 1));
}

TEST(FoldAscii, LowersAsciiLettersOnly)
{
    std::string folded = "AZaz@[`{09\xB0\xC1";
    std::transform(folded.begin(), folded.end(), folded.begin(), FoldAscii);
    EXPECT_EQ("azaz@[`{09\xB0\xC1", folded);
}

}  // namespace
