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

// Values that are missing, of another type, unterminated, expandable or too long
// for the 260-byte fields (259 characters and the terminator fit, one more does
// not): a required one skips the product, an optional one leaves its field empty.
TEST_F(InventoryTest, MissingOverLongAndStrangeValues)
{
    const std::string fits(259, 'n'), tooLong(260, 'n'), noZero(40, 'b');
    ASSERT_TRUE(SetEnvironmentVariableA("UM_INVENTORY_LONG", std::string(250, 'e').c_str()));
    const std::string longVar = "%UM_INVENTORY_LONG%";
    const DWORD kUnterminated = 0xFFFF, kAbsent = 0xFFFE;  // an unterminated REG_SZ; no value
    const struct Value {
        const char* name;
        DWORD type;  // or kUnterminated, kAbsent
        std::string data;
    } sz[] = {{"DisplayName", REG_SZ, "x"}, {"UninstallString", REG_SZ, "C:\\a.exe"}};
    const struct {
        const char* subkey;
        std::vector<Value> values;  // over the two plain required ones
        const char* name;           // the fields loaded; nullptr: no record
        std::string command, publisher, helpLink;
    } cases[] = {
        {"noName", {{"DisplayName", kAbsent, ""}}, nullptr, "", "", ""},
        {"noCommand", {{"UninstallString", kAbsent, ""}}, nullptr, "", "", ""},
        {"name259", {{"DisplayName", REG_SZ, fits}, {"Publisher", REG_SZ, fits}, {"HelpLink", REG_SZ, std::string(1000, 'h')}},
         fits.c_str(), "C:\\a.exe", fits, ""},
        {"name260", {{"DisplayName", REG_SZ, tooLong}}, nullptr, "", "", ""},
        {"name4000", {{"DisplayName", REG_SZ, std::string(4000, 'n')}}, nullptr, "", "", ""},
        {"command259", {{"UninstallString", REG_SZ, fits}, {"Publisher", REG_SZ, tooLong}, {"HelpLink", REG_SZ, fits}},
         "x", fits, "", fits},
        {"command260", {{"UninstallString", REG_SZ, tooLong}}, nullptr, "", "", ""},
        {"dwordName", {{"DisplayName", REG_DWORD, "AAAA"}}, nullptr, "", "", ""},
        {"binaryCommand", {{"UninstallString", REG_BINARY, noZero}}, nullptr, "", "", ""},
        {"binaryFull", {{"UninstallString", REG_BINARY, std::string(260, 'b')}}, nullptr, "", "", ""},
        {"multiName", {{"DisplayName", REG_MULTI_SZ, std::string("Multi\0Name\0\0", 12)}}, nullptr, "", "", ""},
        {"optional", {{"Publisher", REG_BINARY, noZero}, {"HelpLink", REG_MULTI_SZ, std::string("http://a\0\0", 10)}},
         "x", "C:\\a.exe", "", ""},
        {"unterminated", {{"DisplayName", kUnterminated, "Raw"}, {"Publisher", kUnterminated, std::string(259, 'u')}},
         "Raw", "C:\\a.exe", std::string(259, 'u'), ""},
        {"unterminated260", {{"UninstallString", kUnterminated, std::string(260, 'u')}}, nullptr, "", "", ""},
        {"expand", {{"UninstallString", REG_EXPAND_SZ, "%SystemRoot%\\uninst.exe /S"},
                    {"Publisher", REG_EXPAND_SZ, longVar + "123456789"},      // 259 expanded
                    {"HelpLink", REG_EXPAND_SZ, longVar + "1234567890"}},   // 260 expanded
         "x", fixtures::WindowsFolder() + "\\uninst.exe /S", std::string(250, 'e') + "123456789", ""},
        {"expandLong", {{"DisplayName", REG_EXPAND_SZ, longVar + longVar}}, nullptr, "", "", ""},
    };
    for (const auto& c : cases) {
        for (const Value& value : sz)
            SetText(c.subkey, value.name, value.data);
        for (const Value& value : c.values) {
            if (value.type == kUnterminated)
                ASSERT_TRUE(fixtures::SetStringUnterminated(HKEY_LOCAL_MACHINE, ProductPath(c.subkey), value.name, value.data));
            else if (value.type == REG_SZ || value.type == REG_EXPAND_SZ)
                SetText(c.subkey, value.name, value.data, value.type);
            else if (value.type == kAbsent)
                fixtures::DeleteValue(HKEY_LOCAL_MACHINE, ProductPath(c.subkey), value.name);
            else
                SetRaw(c.subkey, value.name, value.type, value.data);
        }
    }
    list.Load();
    SetEnvironmentVariableA("UM_INVENTORY_LONG", nullptr);
    for (const auto& c : cases) {
        const InstalledSoftwareEntry* entry = Find(c.subkey);
        ASSERT_EQ(c.name != nullptr, entry != nullptr) << c.subkey;
        if (!entry)
            continue;
        EXPECT_EQ(c.name, std::string(entry->displayName)) << c.subkey;
        EXPECT_EQ(c.command, entry->uninstallString) << c.subkey;
        EXPECT_EQ(c.publisher, entry->publisher) << c.subkey;
        EXPECT_EQ(c.helpLink, entry->helpLink) << c.subkey;
    }
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
