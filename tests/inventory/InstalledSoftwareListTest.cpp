// Reading the Uninstall key into records: which subkeys qualify, what each field
// and icon holds, the order of the records and the walk over them, and that a
// large inventory shares its icons and, loaded and cleared, leaves no objects behind.
#include "InventoryTestIcons.h"
#include "framework/Handles.h"
#include "framework/RegistryTree.h"
#include "inventory/InstallDate.h"
#include "inventory/InstalledSoftwareList.h"
#include "support/AppTestSupport.h"
#include "support/Fixtures.h"
#include "support/GdiCount.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <iterator>
#include <vector>

using namespace fixtures;

namespace {

std::string ProductPath(const std::string& subkey)
{
    return std::string(UNINSTALL_KEY_PATH) + "\\" + subkey;
}

// Width of a live icon; 0 for null or for a handle that is no longer an icon.
int IconWidth(HICON icon)
{
    ICONINFO info = {};
    if (!icon || !GetIconInfo(icon, &info))
        return 0;
    OwnedGdi<HBITMAP> mask(info.hbmMask), color(info.hbmColor);
    BITMAP bitmap = {};
    GetObjectA(mask, sizeof(bitmap), &bitmap);
    return bitmap.bmWidth;
}

// Each test sees the Uninstall key emptied of everything but its own products.
class InventoryTest : public testing::Test {
protected:
    // A product with both required values stored as plain strings.
    static void AddProduct(const std::string& subkey, const std::string& name, const std::string& command)
    {
        ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, ProductPath(subkey), "DisplayName", name));
        ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, ProductPath(subkey), "UninstallString", command));
    }

    // The loaded record of a subkey, or null when the subkey gave none.
    const InstalledSoftwareEntry* Find(const std::string& subkey) const
    {
        const InstalledSoftwareEntry* found = nullptr;
        for (int i = 0; list.GetAt(i); ++i) {
            if (ProductPath(subkey) == list.GetAt(i)->keyPath) {
                EXPECT_EQ(found, nullptr) << "two records for " << subkey;
                found = list.GetAt(i);
            }
        }
        return found;
    }

    ScopedKeyIsolation isolation{HKEY_LOCAL_MACHINE, UNINSTALL_KEY_PATH};
    CInstalledSoftwareList list;
};

// Every field from its value, and values that are missing, of another type,
// unterminated, expandable or too long for the 260-byte fields (259 characters and
// the terminator fit, one more does not): a required one skips the product, an
// optional one leaves its field empty. A key path too long for its field skips the
// product rather than being cut (a cut one would name the other product's key).
// A key with more values than the load wants is read value by value, the others
// with one walk: both read the same.
TEST_F(InventoryTest, FieldsComeFromTheProductKeyAndBadValuesAreRefused)
{
    const std::string keyFits(259 - strlen(UNINSTALL_KEY_PATH) - 1, 'k'), keyTooLong = keyFits + "k";
    const std::string chinese = "\xB2\xE2\xCA\xD4\xC8\xED\xBC\xFE 2.0";  // code page 936
    const std::string fits(259, 'n'), tooLong(260, 'n'), noZero(40, 'b');
    ASSERT_TRUE(SetEnvironmentVariableA("UM_INVENTORY_LONG", std::string(250, 'e').c_str()));
    const std::string longVar = "%UM_INVENTORY_LONG%", longValue(250, 'e');
    const DWORD kUnterminated = 0xFFFF, kAbsent = 0xFFFE;  // an unterminated REG_SZ; no value
    struct Value { const char* name; DWORD type; std::string data; };  // type: or kUnterminated, kAbsent
    auto many = [](std::vector<Value> values) {
        for (const char* filler : {"Size", "Version", "Date", "Source", "Language", "Contact", "Comments", "Readme"})
            values.push_back({filler, REG_SZ, "f"});
        return values;
    };
    const struct {
        const char* subkey;
        std::vector<Value> values;  // over the name "x" and the command "C:\a.exe"
        const char* name;           // the fields loaded; nullptr: no record
        std::string command, publisher, helpLink;
        DWORD windowsInstaller = 0;
    } cases[] = {
        {"full", {{"DisplayName", REG_SZ, chinese}, {"Publisher", REG_SZ, "Full Soft"},
                  {"HelpLink", REG_SZ, "http://example.com/help"}, {"WindowsInstaller", REG_DWORD, "\x78\x56\x34\x12"}},
         chinese.c_str(), "C:\\a.exe", "Full Soft", "http://example.com/help", 0x12345678},
        {"emptyName", {{"DisplayName", REG_SZ, ""}}, "", "C:\\a.exe", "", ""},
        {keyFits.c_str(), {}, "x", "C:\\a.exe", "", ""},
        {keyTooLong.c_str(), {}, nullptr, "", "", ""},
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
         "x", WindowsFolder() + "\\uninst.exe /S", longValue + "123456789", ""},
        {"expandLong", {{"DisplayName", REG_EXPAND_SZ, longVar + longVar}}, nullptr, "", "", ""},
        {"many", many({{"DisplayName", REG_EXPAND_SZ, longVar}, {"Publisher", REG_SZ, tooLong},
                       {"HelpLink", REG_SZ, "http://h"}, {"WindowsInstaller", REG_DWORD, "\x01\0\0\0"}}),
         longValue.c_str(), "C:\\a.exe", "", "http://h", 1},
        {"manyUpdate", many({{"ReleaseType", REG_SZ, "Security Update"}}), nullptr, "", "", ""},
    };
    for (const auto& c : cases) {
        AddProduct(c.subkey, "x", "C:\\a.exe");
        for (const Value& value : c.values) {
            const bool text = value.type == REG_SZ || value.type == REG_EXPAND_SZ;  // stored with the terminator
            if (value.type == kAbsent)
                DeleteValue(HKEY_LOCAL_MACHINE, ProductPath(c.subkey), value.name);
            else
                ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, ProductPath(c.subkey), value.name,
                                     value.type == kUnterminated ? REG_SZ : value.type, value.data.c_str(),
                                     static_cast<DWORD>(value.data.size() + text)));
        }
    }
    list.Load();
    SetEnvironmentVariableA("UM_INVENTORY_LONG", nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.subkey);
        const InstalledSoftwareEntry* entry = Find(c.subkey);
        EXPECT_EQ(c.name != nullptr, entry != nullptr);
        if (!entry || !c.name)
            continue;
        EXPECT_EQ(c.name, std::string(entry->displayName));
        EXPECT_EQ(c.command, entry->uninstallString);
        EXPECT_EQ(c.publisher, entry->publisher);
        EXPECT_EQ(c.helpLink, entry->helpLink);
        EXPECT_EQ(c.windowsInstaller, entry->windowsInstaller);
    }
}

// "EstimatedSize" counts only as a REG_DWORD. "InstallDate" is a real day of 1980 to
// 2100 written yyyymmdd, yyyy-mm-dd or yyyy/m/d (a REG_SZ); any other reads as the
// day the key was last written, in local time.
TEST_F(InventoryTest, SizeIsAnEstimatedSizeNumberAndTheInstallDateAValidDayOrTheKeysLastWrite)
{
    const struct {
        const char* text;
        DWORD date;  // 0: not a date
    } texts[] = {
        {"20240315", 20240315}, {"19800101", 19800101}, {"21001231", 21001231}, {"20000229", 20000229},
        {"2024-03-15", 20240315}, {"2024/3/5", 20240305}, {"2024/03/5", 20240305}, {"2024-12-31", 20241231},
        {"19791231", 0}, {"21010101", 0}, {"21000229", 0}, {"20230229", 0}, {"20241301", 0}, {"20240100", 0},
        {"20240431", 0}, {"2024031", 0}, {"202403150", 0}, {" 20240315", 0}, {"20240315 ", 0}, {"2024-3/5", 0},
        {"2024-003-05", 0}, {"2024--3-5", 0}, {"24-03-15", 0}, {"2024.03.15", 0}, {"2024-03-", 0}, {"", 0},
        {"\xB6\xFE\xC1\xE3\xB6\xFE\xCB\xC4", 0},  // double-byte digits
    };
    for (const auto& t : texts)
        EXPECT_EQ(t.date, ParseInstallDate(t.text)) << t.text;
    EXPECT_EQ(0u, ParseInstallDate(nullptr));
    EXPECT_EQ("2024-03-05", InstallDateText(20240305));
    EXPECT_EQ("", InstallDateText(0));

    const std::string dword("\x39\x30\0\0", 4);  // 12345
    const DWORD kToday = 1;                     // stands for the day the key is written
    const struct {
        const char* subkey;
        DWORD sizeType;
        std::string size;  // the "EstimatedSize" value; no value when sizeType is 0
        bool hasSize;
        DWORD sizeKb;
        DWORD dateType;
        std::string date;  // likewise for "InstallDate"
        DWORD installDate;
    } cases[] = {
        {"both", REG_DWORD, dword, true, 12345, REG_SZ, "20240315", 20240315},
        {"zeroSize", REG_DWORD, std::string(4, '\0'), true, 0, REG_SZ, "2024/3/5", 20240305},
        {"maxSize", REG_DWORD, std::string(4, '\xFF'), true, 0xFFFFFFFF, REG_SZ, "1999-12-31", 19991231},
        {"neither", 0, "", false, 0, 0, "", kToday},
        {"textSize", REG_SZ, std::string("12345", 6), false, 0, REG_SZ, "20230229", kToday},
        {"qwordSize", REG_QWORD, dword + std::string(4, '\0'), false, 0, REG_EXPAND_SZ, "20240315", kToday},
        {"shortDword", REG_DWORD, std::string("\x39\x30", 2), false, 0, REG_DWORD, "\x1F\xD6\x34\x01", kToday},
        {"binarySize", REG_BINARY, dword, false, 0, REG_BINARY, "20240315", kToday},
    };
    SYSTEMTIME now;
    GetLocalTime(&now);
    const DWORD before = now.wYear * 10000 + now.wMonth * 100 + now.wDay;
    for (const auto& c : cases) {
        AddProduct(c.subkey, c.subkey, "C:\\a.exe");
        ASSERT_TRUE(!c.sizeType || SetValue(HKEY_LOCAL_MACHINE, ProductPath(c.subkey), "EstimatedSize", c.sizeType,
                                            c.size.data(), static_cast<DWORD>(c.size.size())));
        ASSERT_TRUE(!c.dateType || SetValue(HKEY_LOCAL_MACHINE, ProductPath(c.subkey), "InstallDate", c.dateType,
                                            c.date.c_str(), static_cast<DWORD>(c.date.size() + (c.dateType != REG_DWORD))));
    }
    list.Load();
    GetLocalTime(&now);
    const DWORD after = now.wYear * 10000 + now.wMonth * 100 + now.wDay;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.subkey);
        const InstalledSoftwareEntry* entry = Find(c.subkey);
        ASSERT_NE(nullptr, entry);
        EXPECT_EQ(c.hasSize, entry->hasEstimatedSize);
        EXPECT_EQ(c.sizeKb, entry->estimatedSizeKb);
        if (c.installDate == kToday)
            EXPECT_TRUE(entry->installDate == before || entry->installDate == after) << entry->installDate;
        else
            EXPECT_EQ(c.installDate, entry->installDate);
    }
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
    for (const std::string& name : SubkeyNames(HKEY_LOCAL_MACHINE, UNINSTALL_KEY_PATH))
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
    DeleteKeyTree(HKEY_LOCAL_MACHINE, UNINSTALL_KEY_PATH);
    list.Reload();
    EXPECT_FALSE(list.GetFirst(position, entry));
    EXPECT_EQ(position, -1);
    EXPECT_FALSE(list.GetNext(position, entry));
    EXPECT_EQ(list.GetCount(), 0u);
}

// The one reader of the entries: every place in order (the machine's native view, its
// 32-bit view, the user's) and the registry's order within each; each entry with its
// view and version, the entries Windows hides and those without a name too, which the
// analysis needs; the quick page lists the rest. A registry link is no entry.
TEST_F(InventoryTest, ReaderGivesEveryEntryWithItsViewAndVersionAndTheListTakesWhatWindowsLists)
{
    const std::string userKey = kUserUninstallKey;
    ScopedKeyIsolation wowIsolation{HKEY_LOCAL_MACHINE, kWowUninstallKey}, userIsolation{HKEY_CURRENT_USER, userKey};
    const struct {
        HKEY root;
        std::string place, subkey, version;
        UninstallView view;
        bool hidden, named;
    } entries[] = {
        {HKEY_LOCAL_MACHINE, UNINSTALL_KEY_PATH, "Native", "2.0.5", VIEW_HKLM, false, true},
        {HKEY_LOCAL_MACHINE, UNINSTALL_KEY_PATH, "Component", "", VIEW_HKLM, true, true},
        {HKEY_LOCAL_MACHINE, UNINSTALL_KEY_PATH, "Nameless", "1", VIEW_HKLM, false, false},
        {HKEY_LOCAL_MACHINE, kWowUninstallKey, "Wow", "", VIEW_HKLM32, false, true},  // a number is no version
        {HKEY_CURRENT_USER, userKey, "User", std::string(259, 'v'), VIEW_HKCU, false, true},
        {HKEY_CURRENT_USER, userKey, "Fix", "", VIEW_HKCU, true, true},
    };
    for (const auto& e : entries) {
        const std::string path = e.place + "\\" + e.subkey;
        ASSERT_TRUE(SetString(e.root, path, "UninstallString", "C:\\a.exe"));
        ASSERT_TRUE(!e.named || SetString(e.root, path, "DisplayName", e.subkey));
        ASSERT_TRUE(e.version.empty() ? SetDword(e.root, path, "DisplayVersion", 2) :
                                        SetString(e.root, path, "DisplayVersion", e.version));
    }
    SetDword(HKEY_LOCAL_MACHINE, ProductPath("Component"), "SystemComponent", 1);
    SetString(HKEY_CURRENT_USER, userKey + "\\Fix", "ReleaseType", "Update");
    // Removed as a link (the fixture's tools would follow it), whatever the outcome.
    const struct LinkEntry {
        ~LinkEntry() { ::DeleteKeyTree(HKEY_LOCAL_MACHINE, ProductPath("Link").c_str()); }
    } linkEntry;
    ASSERT_TRUE(MakeRegistryLink(HKEY_LOCAL_MACHINE, ProductPath("Link"), ProductPath("Native")));

    std::vector<std::string> expected, read;
    for (const auto& place : {std::make_pair(HKEY_LOCAL_MACHINE, std::string(UNINSTALL_KEY_PATH)),
                              std::make_pair(HKEY_LOCAL_MACHINE, std::string(kWowUninstallKey)),
                              std::make_pair(HKEY_CURRENT_USER, userKey)}) {
        for (const std::string& name : SubkeyNames(place.first, place.second))
            if (name != "Link")
                expected.push_back(place.second + "\\" + name);
    }
    ReadUninstallEntries([&](UninstallEntry& entry) {
        read.push_back(entry.keyPath);
        const auto* e = std::find_if(std::begin(entries), std::end(entries), [&](const auto& c) {
            return c.root == entry.root && c.place + "\\" + c.subkey == entry.keyPath;
        });
        EXPECT_NE(std::end(entries), e) << entry.keyPath;
        if (e == std::end(entries))
            return true;
        EXPECT_EQ(e->view, entry.view) << entry.keyPath;
        EXPECT_EQ(e->version, entry.version) << entry.keyPath;
        EXPECT_EQ(e->hidden, entry.hiddenByWindows) << entry.keyPath;
        EXPECT_EQ(e->named, entry.hasDisplayName) << entry.keyPath;
        EXPECT_TRUE(entry.hasUninstallString && entry.uninstallString == "C:\\a.exe") << entry.keyPath;
        return true;
    });
    EXPECT_EQ(expected, read);
    int visited = 0;
    ReadUninstallEntries([&](UninstallEntry&) { return ++visited < 2; });
    EXPECT_EQ(2, visited);

    list.Load();
    std::vector<std::string> listed;
    for (int i = 0; list.GetAt(i); ++i)
        listed.push_back(std::string(list.GetAt(i)->keyPath) + "|" + list.GetAt(i)->version);
    EXPECT_EQ((std::vector<std::string>{ProductPath("Native") + "|2.0.5", std::string(kWowUninstallKey) + "\\Wow|",
                                        userKey + "\\User|" + std::string(259, 'v')}),
              listed);
    ASSERT_EQ(3u, list.GetCount());
    EXPECT_EQ(VIEW_HKLM32, list.GetAt(1)->view);
    EXPECT_EQ(VIEW_HKCU, list.GetAt(2)->view);

    // In steps, one entry each, across the places: the same entries in the same order,
    // and the same records.
    CUninstallEntryWalk walk;
    std::vector<std::string> stepped;
    size_t steps = 0;
    for (bool ended = false; !ended && steps < 100; ++steps)
        ended = walk.Read([&](UninstallEntry& entry) { return stepped.push_back(entry.keyPath), false; });
    EXPECT_EQ(expected, stepped);
    EXPECT_TRUE(walk.Finished());
    EXPECT_EQ(expected.size() + 1, steps);  // the last step finds the end
    list.BeginLoad();
    EXPECT_TRUE(list.IsLoading());
    EXPECT_EQ(0u, list.GetCount());
    for (steps = 0; !list.LoadFor(0) && steps < 100; ++steps)
        EXPECT_LE(list.GetCount(), steps + 1);  // at least one entry a step, and no more here
    EXPECT_FALSE(list.IsLoading());
    std::vector<std::string> loaded;
    for (int i = 0; list.GetAt(i); ++i)
        loaded.push_back(std::string(list.GetAt(i)->keyPath) + "|" + list.GetAt(i)->version);
    EXPECT_EQ(listed, loaded);
}

// Icons are looked up when asked for, not by the load: from "DisplayIcon" with its
// icon index (the n-th icon, or below 0 a resource id), else from the command.
TEST_F(InventoryTest, IconsFollowDisplayIconOrTheUninstallCommand)
{
    TempDir dir("uminvicon");
    const std::string exe = dir.Path() + "\\app.exe";
    const std::string dotted = dir.Path() + "\\my.folder\\app.exe";
    const std::string comma = dir.Path() + "\\Acme, 2\\app.exe", commaIndex = comma + ",0";
    const std::string icons = dir.Path() + "\\icons.exe";
    ASSERT_TRUE(CopyFileTo(IconExecutable(), exe));
    ASSERT_TRUE(CopyFileTo(IconExecutable(), dotted) && CopyFileTo(IconExecutable(), comma));
    ASSERT_TRUE(CopyFileTo(apptest::ThisProgram(), icons));
    const std::string third = icons + ",2", byId = "\"" + icons + "\",-" + std::to_string(TEST_ICON_BY_ID),
                      notANumber = icons + ",abc", outOfRange = icons + ",99999999999", pastTheLast = icons + ",8";
    const std::string quoted = "\"" + exe + "\"";
    const std::string missing = dir.Path() + "\\missing.exe";
    const std::string withIndex = exe + ",3";
    const std::string quotedWithIndex = quoted + ",0";
    const std::string tooLong = dir.Path() + "\\" + std::string(260, 'i') + ".exe";
    static const char kDwordIcon[] = "";  // stands for a "DisplayIcon" stored as a number

    const struct {
        const char* subkey;
        const char* displayIcon;  // null: no such value
        std::string command;
        DWORD windowsInstaller;
        bool expectIcons;
    } cases[] = {
        // "DisplayIcon" decides whenever it holds a path; the command is not consulted.
        {"iconIndex", withIndex.c_str(), "C:\\nothing.exe", 0, true},
        {"iconQuoted", quotedWithIndex.c_str(), "C:\\nothing.exe", 0, true},
        // A comma in a folder's name is part of the path, with an index or without.
        {"iconCommaFolder", commaIndex.c_str(), "C:\\nothing.exe", 0, true},
        {"iconCommaWhole", comma.c_str(), "C:\\nothing.exe", 0, true},
        {"iconMissing", missing.c_str(), quoted, 0, false},
        {"iconWithInstaller", exe.c_str(), "MsiExec.exe /X{0}", 1, true},
        // An unusable "DisplayIcon" (too long, empty, not text) sends the lookup to the command.
        {"iconTooLong", tooLong.c_str(), quoted, 0, true},
        {"iconEmpty", "", quoted, 0, true},
        {"iconDword", kDwordIcon, quoted, 0, true},
        // Windows Installer products without a "DisplayIcon" get no icon at all.
        {"installerEmptyIcon", "", quoted, 1, false},
        {"installerNoIcon", nullptr, quoted, 1, false},
        {"quotedCommand", nullptr, quoted, 0, true},
        {"quotedWithArguments", nullptr, quoted + " /uninstall \"C:\\x y\"", 0, true},
        {"quoteNotClosed", nullptr, "\"" + exe, 0, true},
        {"unquotedCommand", nullptr, exe, 0, true},
        {"unquotedWithArguments", nullptr, exe + " /S", 0, true},
        // The program the command starts: a dot in a folder's name ends nothing; a bare
        // name is the system's, one the system folders lack names no file.
        {"dotInFolder", nullptr, dotted + " /S", 0, true},
        {"systemProgram", nullptr, "MsiExec.exe /X{0}", 0, true},
        {"bareElsewhere", nullptr, "app.exe /S", 0, false},
        {"dotInFolderQuoted", nullptr, "\"" + dotted + "\" /S", 0, true},
        {"commandNoFile", nullptr, "\"" + missing + "\" /S", 0, false},
        // A file's icon by position or id; an index out of range or naming no icon gives
        // the file's own icon, one that is no number is part of a name that names
        // nothing; what has no icons of its own gets the shell's.
        {"iconThird", third.c_str(), "C:\\nothing.exe", 0, true},
        {"iconById", byId.c_str(), "C:\\nothing.exe", 0, true},
        {"iconNotANumber", notANumber.c_str(), "C:\\nothing.exe", 0, false},
        {"iconOutOfRange", outOfRange.c_str(), "C:\\nothing.exe", 0, true},
        {"iconPastTheLast", pastTheLast.c_str(), "C:\\nothing.exe", 0, true},
        {"iconFolder", dir.Path().c_str(), "C:\\nothing.exe", 0, true},
    };
    for (const auto& c : cases) {
        const std::string path = ProductPath(c.subkey);
        AddProduct(c.subkey, c.subkey, c.command);
        ASSERT_TRUE(!c.displayIcon || (c.displayIcon == kDwordIcon
                                           ? SetDword(HKEY_LOCAL_MACHINE, path, "DisplayIcon", 0x31)
                                           : SetString(HKEY_LOCAL_MACHINE, path, "DisplayIcon", c.displayIcon)));
        ASSERT_TRUE(!c.windowsInstaller || SetDword(HKEY_LOCAL_MACHINE, path, "WindowsInstaller", c.windowsInstaller));
    }

    list.Load();
    ASSERT_EQ(list.GetCount(), std::size(cases));
    for (int i = 0; list.GetAt(i); ++i) {
        EXPECT_FALSE(list.GetAt(i)->iconsResolved || list.GetAt(i)->smallIcon || list.GetAt(i)->largeIcon);
        list.ResolveIcons(list.GetAt(i));
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.subkey);
        const InstalledSoftwareEntry* entry = Find(c.subkey);
        ASSERT_NE(entry, nullptr);
        EXPECT_TRUE(entry->iconsResolved);
        EXPECT_EQ(IconWidth(entry->smallIcon), c.expectIcons ? GetSystemMetrics(SM_CXSMICON) : 0);
        EXPECT_EQ(IconWidth(entry->largeIcon), c.expectIcons ? GetSystemMetrics(SM_CXICON) : 0);
        EXPECT_EQ(entry->smallIcon || entry->largeIcon, c.expectIcons);
        EXPECT_EQ(c.command, entry->uninstallString);  // the command itself is kept
    }
    // Both sizes are the icon the index names (the icons in id order).
    const HMODULE module = GetModuleHandleA(nullptr);
    const std::pair<const char*, int> picks[] = {{"iconThird", TEST_ICON_THIRD}, {"iconById", TEST_ICON_BY_ID}};
    for (const auto& [subkey, id] : picks) {
        SCOPED_TRACE(subkey);
        for (const int size : {GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CXICON)}) {
            OwnedIcon expected(static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0)));
            const std::vector<COLORREF> pixels = apptest::IconPixels(expected, size);
            ASSERT_FALSE(pixels.empty());
            const InstalledSoftwareEntry* entry = Find(subkey);
            const HICON loaded = size < GetSystemMetrics(SM_CXICON) ? entry->smallIcon : entry->largeIcon;
            EXPECT_EQ(pixels, apptest::IconPixels(loaded, size));
        }
    }
}

// A thousand products over fifty programs: products sharing a program (however its
// path is spelled) share one looked-up icon; the icons live as long as the load.
TEST_F(InventoryTest, ThousandProductsShareIconsAndReloadedRemovedAndClearedLeaveNothingBehind)
{
    const int count = 1000, programs = 50;
    TempDir dir("uminvleak");
    auto exe = [&](int i) { return dir.Path() + "\\app" + std::to_string(i % programs) + ".exe"; };
    for (int i = 0; i < programs; ++i)
        ASSERT_TRUE(CopyFileTo(IconExecutable(), exe(i)));
    for (int i = 0; i < count; ++i) {  // each program spelled two ways
        const std::string command = i / programs % 2 ? "\"" + exe(i) + "\" /remove" : LowerAscii(exe(i));
        AddProduct("product" + std::to_string(i), "product", command);
    }
    auto icons = [&] {
        std::vector<HICON> all;
        for (int i = 0; list.GetAt(i); ++i) {
            list.ResolveIcons(list.GetAt(i));
            all.insert(all.end(), {list.GetAt(i)->smallIcon, list.GetAt(i)->largeIcon});
        }
        return all;
    };
    auto alive = [](const std::vector<HICON>& all) { return std::count_if(all.begin(), all.end(), IconWidth); };
    auto distinct = [](std::vector<HICON> all) {
        std::sort(all.begin(), all.end());
        return std::unique(all.begin(), all.end()) - all.begin();
    };
    // The first load warms the shell's caches (its system image list).
    list.Load();
    icons();
    list.Clear();
    const DWORD gdiBefore = LiveGdiObjectCount();
    const DWORD handlesBefore = KernelHandleCount();
    ASSERT_NE(handlesBefore, 0u);
    list.Load();
    const std::vector<HICON> first = icons();
    ASSERT_EQ(alive(first), 2 * count);
    EXPECT_EQ(distinct(first), 2 * programs);  // one small and one large icon per program
    EXPECT_GE(LiveGdiObjectCount(), gdiBefore + 2 * programs);  // the count sees icons
    list.Reload();
    const std::vector<HICON> second = icons();
    EXPECT_EQ(alive(first), 0) << "icons of the first load are still alive";
    EXPECT_EQ(alive(second), 2 * count);
    // A record's removal leaves the icons that other records share.
    list.RemoveAt(0);
    EXPECT_EQ(alive(second), 2 * count);
    list.Clear();
    EXPECT_EQ(alive(second), 0);
    // A few objects of one-time caches may remain; a leak per product would not fit.
    // (Icons are USER objects; the handles checked above stand for them, as Wine
    // counts no USER objects. Their bitmaps show in the GDI count.)
    EXPECT_LE(LiveGdiObjectCount(), gdiBefore + 10);
    EXPECT_LE(KernelHandleCount(), handlesBefore + 10);
}

}  // namespace
