// Reading the Uninstall key into records: which subkeys qualify, what each field
// holds, the order of the records and the walk over them.
#include "InventoryTestSupport.h"

#include <climits>
#include <vector>

using namespace inventory_test;

TEST_F(InventoryTest, RecordFieldsComeFromTheProductKey)
{
    const std::string chineseName = "\xB2\xE2\xCA\xD4\xC8\xED\xBC\xFE 2.0";  // code page 936
    AddProduct("full", chineseName, "\"C:\\Program Files\\Full\\uninst.exe\" /S");
    SetText("full", "Publisher", "Full Soft");
    SetText("full", "HelpLink", "http://example.com/help");
    ASSERT_TRUE(fixtures::SetDword(HKEY_LOCAL_MACHINE, ProductPath("full"), "WindowsInstaller", 0x12345678));
    AddProduct("bare", "", "x");

    list.Load();
    ASSERT_EQ(list.GetCount(), 2u);
    const InstalledSoftwareEntry* full = Find("full");
    ASSERT_NE(full, nullptr);
    EXPECT_STREQ(full->displayName, chineseName.c_str());
    EXPECT_STREQ(full->uninstallString, "\"C:\\Program Files\\Full\\uninst.exe\" /S");
    EXPECT_STREQ(full->publisher, "Full Soft");
    EXPECT_STREQ(full->helpLink, "http://example.com/help");
    EXPECT_STREQ(full->keyPath, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\full");
    EXPECT_EQ(full->windowsInstaller, 0x12345678u);

    // An empty name still qualifies; absent optional values leave empty fields and 0.
    const InstalledSoftwareEntry* bare = Find("bare");
    ASSERT_NE(bare, nullptr);
    EXPECT_STREQ(bare->displayName, "");
    EXPECT_STREQ(bare->uninstallString, "x");
    EXPECT_STREQ(bare->publisher, "");
    EXPECT_STREQ(bare->helpLink, "");
    EXPECT_EQ(bare->windowsInstaller, 0u);
}

TEST_F(InventoryTest, MissingOrOverLongValues)
{
    // 259 characters and the terminator fit the 260-byte fields; one more does not.
    const std::string fits(259, 'n');
    const std::string tooLong(260, 'n');
    SetText("noName", "UninstallString", "C:\\a.exe");
    SetText("noCommand", "DisplayName", "No command");
    AddProduct("name259", fits, "C:\\a.exe");
    AddProduct("name260", tooLong, "C:\\a.exe");
    AddProduct("name4000", std::string(4000, 'n'), "C:\\a.exe");
    AddProduct("command259", "Command 259", fits);
    AddProduct("command260", "Command 260", tooLong);
    // Optional values that don't fit leave their field empty; the product stays.
    SetText("command259", "Publisher", tooLong);
    SetText("command259", "HelpLink", fits);
    SetText("name259", "Publisher", fits);
    SetText("name259", "HelpLink", std::string(1000, 'h'));

    list.Load();
    EXPECT_EQ(list.GetCount(), 2u);
    for (const char* skipped : {"noName", "noCommand", "name260", "name4000", "command260"})
        EXPECT_EQ(Find(skipped), nullptr) << skipped;
    const InstalledSoftwareEntry* name = Find("name259");
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(std::string(name->displayName), fits);
    EXPECT_EQ(std::string(name->publisher), fits);
    EXPECT_STREQ(name->helpLink, "");
    const InstalledSoftwareEntry* command = Find("command259");
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(std::string(command->uninstallString), fits);
    EXPECT_STREQ(command->publisher, "");
    EXPECT_EQ(std::string(command->helpLink), fits);
}

TEST_F(InventoryTest, ValuesOfOtherTypesCountAsAbsent)
{
    const std::string noZero(40, 'b');
    const std::string noZeroFull(260, 'b');
    AddProduct("dwordName", "x", "C:\\a.exe");
    ASSERT_TRUE(fixtures::SetDword(HKEY_LOCAL_MACHINE, ProductPath("dwordName"), "DisplayName", 0x41414141));
    AddProduct("binaryCommand", "Binary", "x");
    SetRaw("binaryCommand", "UninstallString", REG_BINARY, noZero);
    AddProduct("binaryFull", "Binary full", "x");
    SetRaw("binaryFull", "UninstallString", REG_BINARY, noZeroFull);
    AddProduct("multiName", "x", "C:\\a.exe");
    SetRaw("multiName", "DisplayName", REG_MULTI_SZ, std::string("Multi\0Name\0\0", 12));
    AddProduct("optional", "Optional", "C:\\a.exe");
    SetRaw("optional", "Publisher", REG_BINARY, noZero);
    SetRaw("optional", "HelpLink", REG_MULTI_SZ, std::string("http://a\0\0", 10));

    list.Load();
    EXPECT_EQ(list.GetCount(), 1u);
    EXPECT_EQ(Find("dwordName"), nullptr);
    EXPECT_EQ(Find("binaryCommand"), nullptr);
    EXPECT_EQ(Find("binaryFull"), nullptr);
    EXPECT_EQ(Find("multiName"), nullptr);
    const InstalledSoftwareEntry* optional = Find("optional");
    ASSERT_NE(optional, nullptr);
    EXPECT_STREQ(optional->publisher, "");
    EXPECT_STREQ(optional->helpLink, "");
}

TEST_F(InventoryTest, UnterminatedAndExpandableStrings)
{
    AddProduct("unterminated", "x", "x");
    ASSERT_TRUE(fixtures::SetStringUnterminated(HKEY_LOCAL_MACHINE, ProductPath("unterminated"), "DisplayName", "Raw"));
    ASSERT_TRUE(fixtures::SetStringUnterminated(HKEY_LOCAL_MACHINE, ProductPath("unterminated"), "Publisher",
                                                std::string(259, 'u')));
    AddProduct("unterminated260", "x", "x");
    ASSERT_TRUE(fixtures::SetStringUnterminated(HKEY_LOCAL_MACHINE, ProductPath("unterminated260"),
                                                "UninstallString", std::string(260, 'u')));

    ASSERT_TRUE(SetEnvironmentVariableA("UM_INVENTORY_LONG", std::string(250, 'e').c_str()));
    AddProduct("expand", "x", "x");
    SetText("expand", "UninstallString", "%SystemRoot%\\uninst.exe /S", REG_EXPAND_SZ);
    SetText("expand", "Publisher", "%UM_INVENTORY_LONG%123456789", REG_EXPAND_SZ);  // 259 expanded
    SetText("expand", "HelpLink", "%UM_INVENTORY_LONG%1234567890", REG_EXPAND_SZ);  // 260 expanded
    AddProduct("expandLong", "x", "x");
    SetText("expandLong", "DisplayName", "%UM_INVENTORY_LONG%%UM_INVENTORY_LONG%", REG_EXPAND_SZ);

    list.Load();
    SetEnvironmentVariableA("UM_INVENTORY_LONG", nullptr);
    EXPECT_EQ(list.GetCount(), 2u);
    const InstalledSoftwareEntry* raw = Find("unterminated");
    ASSERT_NE(raw, nullptr);
    EXPECT_STREQ(raw->displayName, "Raw");
    EXPECT_EQ(std::string(raw->publisher), std::string(259, 'u'));
    EXPECT_EQ(Find("unterminated260"), nullptr);

    const InstalledSoftwareEntry* expand = Find("expand");
    ASSERT_NE(expand, nullptr);
    EXPECT_EQ(std::string(expand->uninstallString), fixtures::WindowsFolder() + "\\uninst.exe /S");
    EXPECT_EQ(std::string(expand->publisher), std::string(250, 'e') + "123456789");
    EXPECT_STREQ(expand->helpLink, "");
    EXPECT_EQ(Find("expandLong"), nullptr);
}

TEST_F(InventoryTest, KeyPathLongerThan259IsSkippedNotCut)
{
    // The Uninstall path, a backslash and 207 characters make 259.
    const std::string fits(259 - strlen(UNINSTALL_KEY_PATH) - 1, 'k');
    const std::string tooLong = fits + "k";
    AddProduct(fits, "Fits", "C:\\a.exe");
    AddProduct(tooLong, "Too long", "C:\\a.exe");
    ASSERT_TRUE(fixtures::KeyExists(HKEY_LOCAL_MACHINE, ProductPath(tooLong)));

    list.Load();
    ASSERT_EQ(list.GetCount(), 1u);
    EXPECT_STREQ(list.GetAt(0)->displayName, "Fits");
    EXPECT_EQ(strlen(list.GetAt(0)->keyPath), 259u);
    EXPECT_EQ(std::string(list.GetAt(0)->keyPath), ProductPath(fits));
}

TEST_F(InventoryTest, RecordsKeepTheRegistryOrderAndTheWalkStopsAtItsEdges)
{
    // Key names and display names sort in opposite directions, and the mixed case
    // of the key names sorts differently byte-wise than the registry sorts it.
    const char* subkeys[] = {"delta", "Charlie", "bravo", "Alpha", "echo"};
    for (int i = 0; i < 5; ++i)
        AddProduct(subkeys[i], std::string(1, static_cast<char>('A' + i)), "C:\\a.exe");
    list.Load();
    list.Load();  // Load appends; only Reload starts over
    EXPECT_EQ(list.GetCount(), 10u);
    list.Reload();
    std::vector<std::string> loaded, expected;
    int position = 7;
    InstalledSoftwareEntry* entry = nullptr;
    for (bool more = list.GetFirst(position, entry); more; more = list.GetNext(position, entry)) {
        EXPECT_EQ(entry, list.GetAt(position));
        loaded.push_back(entry->keyPath);
    }
    EXPECT_EQ(position, 5);
    for (const std::string& name : fixtures::SubkeyNames(HKEY_LOCAL_MACHINE, UNINSTALL_KEY_PATH))
        expected.push_back(ProductPath(name));
    EXPECT_EQ(loaded, expected);

    // Indexes out of range change nothing; removing a record keeps the order of the rest.
    for (int outside : {-1, 5, INT_MIN, INT_MAX}) {
        EXPECT_EQ(list.GetAt(outside), nullptr);
        list.RemoveAt(outside);
    }
    ASSERT_EQ(list.GetCount(), 5u);
    const InstalledSoftwareEntry* third = list.GetAt(2);
    list.RemoveAt(1);
    EXPECT_EQ(list.GetAt(1), third);
    EXPECT_EQ(list.GetCount(), 4u);

    // Without the Uninstall key the list is empty.
    fixtures::DeleteKeyTree(HKEY_LOCAL_MACHINE, UNINSTALL_KEY_PATH);
    list.Reload();
    EXPECT_FALSE(list.GetFirst(position, entry));
    EXPECT_EQ(position, -1);
    EXPECT_FALSE(list.GetNext(position, entry));
    EXPECT_EQ(list.GetCount(), 0u);
}

TEST(InventoryIsExistingFile, OnlyAnExistingFileCounts)
{
    fixtures::TempDir dir("uminv");
    ASSERT_TRUE(fixtures::WriteFileText(dir.Path() + "\\setup.exe"));
    ASSERT_TRUE(fixtures::MakeDirs(dir.Path() + "\\sub.dir"));
    const std::pair<std::string, bool> cases[] = {
        {"\\setup.exe", true}, {"", false}, {"\\sub.dir", false}, {"\\missing.exe", false},
        {"\\missing\\setup.exe", false},
        // A pattern: the first match decides.
        {"\\*.exe", true}, {"\\set??.exe", true}, {"\\sub*", false}, {"\\*.txt", false}};
    for (const auto& c : cases)
        EXPECT_EQ(IsExistingFile((dir.Path() + c.first).c_str()), c.second) << c.first;
    EXPECT_FALSE(IsExistingFile(nullptr));
    EXPECT_FALSE(IsExistingFile(""));
}
