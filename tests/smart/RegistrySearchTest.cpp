#include <gtest/gtest.h>

#include <shlwapi.h>

#include <set>

#include "SampleProgram.h"
#include "TraceTestSupport.h"
#include "resource.h"
#include "smart/NamedPath.h"
#include "support/Fixtures.h"

using namespace fixtures;
using namespace smarttest;

namespace {

const HKEY cr = HKEY_CLASSES_ROOT;

struct Program {
    TempDir base{"umreg"};
    std::string folder = base.Path() + "\\App";
    std::string exe = folder + "\\app.exe";
    std::string id = UniqueName("umreg");
    Program() { WriteFileText(exe); }
    std::set<std::string> Registry(CTraceAnalyzer& analyzer)
    {
        std::set<std::string> registry;
        for (const std::string& trace : Analyze(analyzer, folder)) {
            if (trace[0] == 'K' || trace[0] == 'V')
                registry.insert(trace);
        }
        return registry;
    }
};

// A key with its subtree as listed: the key, its values, its subkeys.
void AddTree(std::set<std::string>* traces, HKEY root, const std::string& path)
{
    traces->insert(KeyTrace(root, path));
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    char name[MAX_PATH];
    for (DWORD i = 0;; ++i) {
        DWORD size = MAX_PATH;
        if (RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        traces->insert(ValueTrace(root, path, name));
    }
    for (const std::string& child : SubkeyNames(root, path))
        AddTree(traces, root, path + "\\" + child);
    RegCloseKey(key);
}

}  // namespace

// ---- Classes: file types, ProgIDs, protocols and their verbs ------------------

TEST(RegistrySearch, ClassKeysGoWholeOnlyWhenAllTheyNameIsTheProgram)
{
    Program program;
    const std::string& id = program.id;
    std::string runApp = "\"" + program.exe + "\" \"%1\"";
    std::string runOther = "\"C:\\Other\\other.exe\" \"%1\"";
    ScopedKeyIsolation htmlfile(cr, "htmlfile"), htm(cr, ".htm"), html(cr, ".html");
    // Windows' html type, whose open verb the program took: only that verb is its.
    SetString(cr, ".htm", "", "htmlfile");
    SetString(cr, ".htm\\PersistentHandler", "", "{eec97550-47a9-11cf-b952-00aa0051fe20}");
    SetString(cr, "htmlfile\\DefaultIcon", "", SystemFolder() + "\\ieframe.dll,-1");
    SetString(cr, "htmlfile\\shell\\open\\command", "", runApp);
    SetString(cr, "htmlfile\\shell\\edit\\command", "", WindowsFolder() + "\\notepad.exe %1");
    // The program's own type for .html, as a browser makes it: the type goes, .html stays.
    std::string htmlType = "Q" + id + ".HTML";
    ScopedKey htmlTypeKey(cr, htmlType);
    SetString(cr, ".html", "", htmlType);
    SetString(cr, htmlType + "\\DefaultIcon", "", program.exe + ",1");
    SetString(cr, htmlType + "\\shell\\open\\command", "", runApp);
    // A type wholly the program's goes whole with its extension; a second extension
    // of it that another program also opens stays.
    std::string extension = ".q" + id, shared = ".s" + id, progId = "Q" + id + ".Doc";
    ScopedKey extensionKey(cr, extension), sharedKey(cr, shared), progIdKey(cr, progId);
    SetString(cr, extension, "", progId);
    SetString(cr, extension + "\\OpenWithProgids", progId, "");
    SetString(cr, shared, "", progId);
    SetString(cr, shared + "\\OpenWithProgids", "Other.Doc", "");
    SetString(cr, progId + "\\DefaultIcon", "", program.exe + ",0");
    SetString(cr, progId + "\\shell\\open\\command", "", runApp);
    SetString(cr, progId + "\\shell\\print\\command", "", program.exe + " /p \"%1\"");
    // Another program's type with a verb the program added, a verb on all files, and
    // a type that borrows the program's class but is opened by another program.
    std::string foreign = "Q" + id + ".Foreign", borrowing = "Q" + id + ".Borrow";
    std::string classKey = "CLSID\\{Q" + id + "}";
    ScopedKey foreignKey(cr, foreign), borrowingKey(cr, borrowing), classCleanup(cr, classKey);
    ScopedKey allFilesVerb(cr, "*\\shell\\Q" + id);
    SetString(cr, foreign + "\\shell\\open\\command", "", runOther);
    SetString(cr, foreign + "\\shell\\QApp\\command", "", runApp);
    SetString(cr, allFilesVerb.Path() + "\\command", "", runApp);
    SetString(cr, classKey + "\\InprocServer32", "", program.folder + "\\q.dll");
    SetString(cr, borrowing + "\\shell\\open\\command", "", runOther);
    SetString(cr, borrowing + "\\CLSID", "", "{Q" + id + "}");
    // A type of the program's that cannot be read whole (an over-long value): only its verb.
    std::string unread = "Q" + id + ".Long";
    ScopedKey unreadKey(cr, unread);
    SetString(cr, unread + "\\shell\\open\\command", "", runApp);
    SetString(cr, unread, "Note", std::string(300, 'n'));

    std::set<std::string> expected;
    for (const std::string& tree : {std::string("htmlfile\\shell\\open"), htmlType, extension, progId,
                                    foreign + "\\shell\\QApp", allFilesVerb.Path(), classKey,
                                    unread + "\\shell\\open"})
        AddTree(&expected, cr, tree);
    CTraceAnalyzer analyzer;
    EXPECT_EQ(expected, program.Registry(analyzer));
}

// ---- Registry data: what a path in a value names --------------------------------

TEST(RegistrySearch, NamedPathIsTheProgramACommandRunsOrThePathItself)
{
    const std::pair<const char*, const char*> cases[] = {
        {"\"C:\\A b\\x.exe\" -q \"C:\\App\"", "C:\\A b\\x.exe"},
        {"C:\\A b\\x.exe /watch C:\\App\\y.exe", "C:\\A b\\x.exe"},
        {"notepad.EXE %1", "notepad.EXE"},
        {"  C:\\App\\x.dll,-101", "C:\\App\\x.dll"},
        {"\"C:\\App\\x.exe\",0", "C:\\App\\x.exe"},
        {"C:\\Program Files\\App\\", "C:\\Program Files\\App\\"},
        {"\\\\server\\share\\x.exe", "\\\\server\\share\\x.exe"},
        {"C:\\\x95\\x.cmd", "C:\\\x95\\x.cmd"},  // trail bytes 0x5C and 0x7C
        {"C:\\\x95|\\data", "C:\\\x95|\\data"},
        {"\"%1\"", ""},
        {"\"C:\\App\\x.exe", ""},  // the quote is never closed
        {"@shell32.dll,-5", ""},
        {"Apartment", ""},
        {"C:\\Tools\\tool.dll /dir C:\\App", ""},  // no program, and not one path
    };
    for (const auto& test : cases) {
        char path[MAX_PATH] = "junk";
        EXPECT_EQ(test.second[0] != '\0', NamedPath(test.first, path, MAX_PATH)) << test.first;
        EXPECT_STREQ(test.second, path) << test.first;
    }
    char tiny[8];
    EXPECT_FALSE(NamedPath("C:\\App\\x.exe", tiny, sizeof(tiny)));
    EXPECT_TRUE(IsClassId("{00000000-0000-0000-C000-000000000046}"));
    EXPECT_FALSE(IsClassId("{a\\b}"));
}

TEST(RegistrySearch, RunValuesAndUninstallEntriesNameTheProgramOnlyAsTheProgramTheyRun)
{
    Program program;
    std::string prefix = program.id;
    std::vector<std::string> names;
    for (char c = 'a'; c <= 'k'; ++c)
        names.push_back(prefix + c);
    SetString(HKEY_CURRENT_USER, kRunKey, names[0], std::string(300, 'x'));  // over-long: skipped
    SetString(HKEY_CURRENT_USER, kRunKey, names[1], "\"" + program.exe + "\" -q");
    SetString(HKEY_CURRENT_USER, kRunKey, names[2], program.exe, REG_EXPAND_SZ);
    SetValue(HKEY_CURRENT_USER, kRunKey, names[3], REG_BINARY, program.exe.c_str(),
             static_cast<DWORD>(program.exe.size() + 1));
    SetString(HKEY_CURRENT_USER, kRunKey, names[4], "run " + program.exe);
    SetStringUnterminated(HKEY_CURRENT_USER, kRunKey, names[5], program.exe);
    SetStringUnterminated(HKEY_CURRENT_USER, kRunKey, names[6], program.folder + std::string(260, 'y'));
    // Another tool that watches the program's folder or files runs that tool.
    SetString(HKEY_CURRENT_USER, kRunKey, names[7], "\"C:\\Tools\\watch.exe\" \"" + program.folder + "\"");
    SetString(HKEY_CURRENT_USER, kRunKey, names[8], "C:\\Tools\\watch.exe /file " + program.exe);
    SetString(HKEY_CURRENT_USER, kRunKey, names[9], program.folder + "\\..\\Elsewhere\\x.exe");
    SetString(HKEY_CURRENT_USER, kRunKey, names[10], program.exe + " /background");
    // Another product's entry names the folder as an argument; the program's own
    // entry names it only through its icon.
    ScopedKey other(HKEY_LOCAL_MACHINE, std::string(kUninstallKey) + "\\O" + prefix);
    ScopedKey own(HKEY_LOCAL_MACHINE, std::string(kUninstallKey) + "\\P" + prefix);
    SetString(HKEY_LOCAL_MACHINE, other.Path(), "UninstallString",
              "\"C:\\Other\\uninst.exe\" /plugin \"" + program.folder + "\"");
    SetString(HKEY_LOCAL_MACHINE, other.Path(), "DisplayIcon", "C:\\Other\\other.exe,0");
    SetString(HKEY_LOCAL_MACHINE, own.Path(), "DisplayIcon", program.exe + ",0");

    CTraceAnalyzer analyzer;
    std::set<std::string> registry = program.Registry(analyzer);
    for (const std::string& name : names)
        SHDeleteValueA(HKEY_CURRENT_USER, kRunKey, name.c_str());
    std::set<std::string> expected = {ValueTrace(HKEY_CURRENT_USER, kRunKey, names[1]),
                                      ValueTrace(HKEY_CURRENT_USER, kRunKey, names[5]),
                                      ValueTrace(HKEY_CURRENT_USER, kRunKey, names[10]),
                                      KeyTrace(HKEY_LOCAL_MACHINE, own.Path()),
                                      ValueTrace(HKEY_LOCAL_MACHINE, own.Path(), "DisplayIcon")};
    EXPECT_EQ(expected, registry);
}

TEST(RegistrySearch, SoftwareKeysGoWholeOnlyWhenNamedAsTheProgram)
{
    Program program;
    std::string id = program.id;
    const HKEY cu = HKEY_CURRENT_USER, lm = HKEY_LOCAL_MACHINE;
    ScopedKey entry(lm, std::string(kUninstallKey) + "\\" + id);
    SetString(lm, entry.Path(), "DisplayName", "E" + id);
    SetString(lm, entry.Path(), "Publisher", "V" + id);
    SetString(lm, entry.Path(), "InstallLocation", program.folder);
    // Another tool's settings name the program: that value alone, unticked.
    ScopedKey tool(cu, "Software\\T" + id);
    SetString(cu, tool.Path(), "Theme", "dark");
    SetString(cu, tool.Path(), "DiffTool", "\"" + program.exe + "\" -diff");
    // The publisher's vendor key: each product key below it that names the program.
    ScopedKey vendor(cu, "Software\\V" + id);
    SetString(cu, vendor.Path() + "\\Editor", "Path", program.folder);
    // Under another vendor: keys named after the product or its folder, and no others.
    ScopedKey otherVendor(lm, "Software\\W" + id);
    SetString(lm, otherVendor.Path() + "\\E" + id, "InstallDir", program.folder);
    SetString(lm, otherVendor.Path() + "\\App", "Exe", program.exe);
    SetString(lm, otherVendor.Path() + "\\Unrelated", "Exe", program.exe);
    // The product's key directly under Software; a subkey whose path would not fit is left out.
    ScopedKey product(cu, "Software\\E" + id);
    SetString(cu, product.Path(), "Path", program.folder);
    SetString(cu, product.Path() + "\\" + std::string(240, 'k'), "v", "1");
    SetString(cu, product.Path() + "\\Short", "v", "1");

    std::set<std::string> expected = {
        WeakTrace(ValueTrace(cu, tool.Path(), "DiffTool"), IDS_WEAK_OTHER_SETTINGS),
        KeyTrace(cu, product.Path()), ValueTrace(cu, product.Path(), "Path"),
        KeyTrace(cu, product.Path() + "\\Short"), ValueTrace(cu, product.Path() + "\\Short", "v")};
    AddTree(&expected, lm, entry.Path());
    AddTree(&expected, cu, vendor.Path() + "\\Editor");
    AddTree(&expected, lm, otherVendor.Path() + "\\E" + id);
    AddTree(&expected, lm, otherVendor.Path() + "\\App");
    CTraceAnalyzer analyzer;
    EXPECT_EQ(expected, program.Registry(analyzer));
}
