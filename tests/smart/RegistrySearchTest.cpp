#include "TraceTestSupport.h"
#include "smart/NamedPath.h"

using namespace smarttest;
using RegistrySearch = ProgramTest;

// Classes: file types, ProgIDs, protocols and their verbs.
TEST_F(RegistrySearch, ClassKeysGoWholeOnlyWhenAllTheyNameIsTheProgram)
{
    const HKEY cr = HKEY_CLASSES_ROOT;
    std::string runApp = "\"" + exe + "\" \"%1\"";
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
    SetString(cr, htmlType + "\\DefaultIcon", "", exe + ",1");
    SetString(cr, htmlType + "\\shell\\open\\command", "", runApp);
    // A type wholly the program's goes whole with its extension; a second extension
    // of it that another program also opens stays.
    std::string extension = ".q" + id, shared = ".s" + id, progId = "Q" + id + ".Doc";
    ScopedKey extensionKey(cr, extension), sharedKey(cr, shared), progIdKey(cr, progId);
    SetString(cr, extension, "", progId);
    SetString(cr, extension + "\\OpenWithProgids", progId, "");
    SetString(cr, shared, "", progId);
    SetString(cr, shared + "\\OpenWithProgids", "Other.Doc", "");
    SetString(cr, progId + "\\DefaultIcon", "", exe + ",0");
    SetString(cr, progId + "\\shell\\open\\command", "", runApp);
    SetString(cr, progId + "\\shell\\print\\command", "", exe + " /p \"%1\"");
    // Another program's type with a verb the program added, a verb on all files, and
    // a type that borrows the program's class but is opened by another program.
    std::string foreign = "Q" + id + ".Foreign", borrowing = "Q" + id + ".Borrow";
    std::string classKey = "CLSID\\{Q" + id + "}";
    ScopedKey foreignKey(cr, foreign), borrowingKey(cr, borrowing), classCleanup(cr, classKey);
    ScopedKey allFilesVerb(cr, "*\\shell\\Q" + id);
    SetString(cr, foreign + "\\shell\\open\\command", "", runOther);
    SetString(cr, foreign + "\\shell\\QApp\\command", "", runApp);
    SetString(cr, allFilesVerb.Path() + "\\command", "", runApp);
    SetString(cr, classKey + "\\InprocServer32", "", app + "\\q.dll");
    SetString(cr, borrowing + "\\shell\\open\\command", "", runOther);
    SetString(cr, borrowing + "\\CLSID", "", "{Q" + id + "}");
    // A type of the program's that cannot be read whole (an over-long value): only its verb.
    std::string unread = "Q" + id + ".Long";
    ScopedKey unreadKey(cr, unread);
    SetString(cr, unread + "\\shell\\open\\command", "", runApp);
    SetString(cr, unread, "Note", std::string(300, 'n'));
    // Nor one that holds a registry link, whatever the link leads to.
    std::string linked = "Q" + id + ".Linked";
    ScopedKey linkedKey(cr, linked), linkTarget(HKEY_LOCAL_MACHINE, "SOFTWARE\\Q" + id + "Target");
    SetString(cr, linked + "\\shell\\open\\command", "", runApp);
    ASSERT_TRUE(MakeRegistryLink(cr, linked + "\\Shared", linkTarget.Path()));

    std::vector<std::string> expected =
        KeyTree(cr, {"htmlfile\\shell\\open", htmlType, extension, progId, foreign + "\\shell\\QApp",
                     allFilesVerb.Path(), classKey, unread + "\\shell\\open", linked + "\\shell\\open"});
    EXPECT_EQ(std::set<std::string>(expected.begin(), expected.end()), RegistryTraces());
}

TEST_F(RegistrySearch, NamedPathIsTheProgramACommandRunsOrThePathItself)
{
    const std::pair<const char*, const char*> cases[] = {
        {"\"C:\\A b\\x.exe\" -q \"C:\\App\"", "C:\\A b\\x.exe"},
        {"C:\\A b\\x.exe /watch C:\\App\\y.exe", "C:\\A b\\x.exe"},
        {"UmNoSuchTool.EXE %1", "UmNoSuchTool.EXE"},  // a bare name the system folders lack
        {"  C:\\App\\x.dll,-101", "C:\\App\\x.dll"},
        {"\"C:\\App\\x.exe\",0", "C:\\App\\x.exe"},
        {"C:\\Program Files\\App\\", "C:\\Program Files\\App\\"},
        {"\\\\server\\share\\x.exe", "\\\\server\\share\\x.exe"},
        {"C:\\\x95\\x.cmd", "C:\\\x95\\x.cmd"},  // trail bytes 0x5C and 0x7C
        {"C:\\\x95|\\data", "C:\\\x95|\\data"},
        {"\"%1\"", ""},
        {"\"C:\\App\\x.exe", "C:\\App\\x.exe"},  // a quote never closed runs to the end
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

TEST_F(RegistrySearch, RunValuesAndUninstallEntriesNameTheProgramOnlyAsTheProgramTheyRun)
{
    // Listed: the program run with arguments, stored without its terminator, run in
    // the background. Not: over-long, expandable, binary, behind another word, another
    // tool that watches the program's folder or files, a path that leaves the folder.
    const struct { DWORD type; std::string data; bool terminated, listed; } runs[] = {
        {REG_SZ, std::string(300, 'x'), true, false}, {REG_SZ, "\"" + exe + "\" -q", true, true},
        {REG_EXPAND_SZ, exe, true, false}, {REG_BINARY, exe, true, false}, {REG_SZ, "run " + exe, true, false},
        {REG_SZ, exe, false, true}, {REG_SZ, app + std::string(260, 'y'), false, false},
        {REG_SZ, "\"C:\\Tools\\watch.exe\" \"" + app + "\"", true, false},
        {REG_SZ, "C:\\Tools\\watch.exe /file " + exe, true, false},
        {REG_SZ, app + "\\..\\Elsewhere\\x.exe", true, false}, {REG_SZ, exe + " /background", true, true}};
    ScopedKeyIsolation runKey(HKEY_CURRENT_USER, kUserRunKey);
    std::set<std::string> expected;
    for (const auto& run : runs) {
        std::string name = id + char('a' + (&run - runs));
        SetValue(HKEY_CURRENT_USER, kUserRunKey, name, run.type, run.data.c_str(), DWORD(run.data.size() + run.terminated));
        if (run.listed)
            expected.insert(ValueTrace(HKEY_CURRENT_USER, kUserRunKey, name));
    }
    // Another product's entry names the folder as an argument; the program's own
    // entry names it only through its icon.
    ScopedKey other(HKEY_LOCAL_MACHINE, std::string(kUninstallKey) + "\\O" + id);
    ScopedKey own(HKEY_LOCAL_MACHINE, std::string(kUninstallKey) + "\\P" + id);
    SetString(HKEY_LOCAL_MACHINE, other.Path(), "UninstallString", "\"C:\\Other\\uninst.exe\" /plugin \"" + app + "\"");
    SetString(HKEY_LOCAL_MACHINE, other.Path(), "DisplayIcon", "C:\\Other\\other.exe,0");
    SetString(HKEY_LOCAL_MACHINE, own.Path(), "DisplayIcon", exe + ",0");
    expected.insert(
        {KeyTrace(HKEY_LOCAL_MACHINE, own.Path()), ValueTrace(HKEY_LOCAL_MACHINE, own.Path(), "DisplayIcon")});
    EXPECT_EQ(expected, RegistryTraces());
}

TEST_F(RegistrySearch, SoftwareKeysGoWholeOnlyWhenNamedAsTheProgram)
{
    const HKEY cu = HKEY_CURRENT_USER, lm = HKEY_LOCAL_MACHINE;
    ScopedKey entry(lm, std::string(kUninstallKey) + "\\" + id);
    SetString(lm, entry.Path(), "DisplayName", "E" + id);
    SetString(lm, entry.Path(), "Publisher", "V" + id);
    SetString(lm, entry.Path(), "InstallLocation", app);
    // Another tool's settings name the program: that value alone, unticked.
    ScopedKey tool(cu, "Software\\T" + id);
    SetString(cu, tool.Path(), "Theme", "dark");
    SetString(cu, tool.Path(), "DiffTool", "\"" + exe + "\" -diff");
    // The publisher's vendor key: each product key below it that names the program.
    ScopedKey vendor(cu, "Software\\V" + id);
    SetString(cu, vendor.Path() + "\\Editor", "Path", app);
    // Under another vendor: keys named after the product that name it, and no others
    // ("App", the folder's name, says nothing of whose it is).
    ScopedKey otherVendor(lm, "SOFTWARE\\W" + id);
    SetString(lm, otherVendor.Path() + "\\E" + id, "InstallDir", app);
    SetString(lm, otherVendor.Path() + "\\App", "Exe", exe);
    SetString(lm, otherVendor.Path() + "\\Unrelated", "Exe", exe);
    // The product's key directly under Software; a subkey whose path would not fit is left out.
    ScopedKey product(cu, "Software\\E" + id);
    SetString(cu, product.Path(), "Path", app);
    SetString(cu, product.Path() + "\\" + std::string(240, 'k'), "v", "1");
    SetString(cu, product.Path() + "\\Short", "v", "1");

    std::vector<std::string> expected =
        Concat({{WeakTrace(ValueTrace(cu, tool.Path(), "DiffTool"), WEAK_OTHER_SETTINGS),
                 KeyTrace(cu, product.Path()), ValueTrace(cu, product.Path(), "Path"),
                 KeyTrace(cu, product.Path() + "\\Short"), ValueTrace(cu, product.Path() + "\\Short", "v")},
                KeyTree(lm, {entry.Path(), otherVendor.Path() + "\\E" + id}),
                KeyTree(cu, {vendor.Path() + "\\Editor"})});
    EXPECT_EQ(std::set<std::string>(expected.begin(), expected.end()), RegistryTraces());
}

// Settings as installers keep them: Software\<vendor>\<product>, the vendor key
// named by the publisher's short name, the product key by the executable's name,
// InstallPath in the vendor key. One vendor holds two products, another one.
TEST_F(RegistrySearch, VendorAndProductKeysAreKnownByTheirNames)
{
    const HKEY lm = HKEY_LOCAL_MACHINE, cu = HKEY_CURRENT_USER;
    const std::string acme = UniqueWord("Acme"), bolt = UniqueWord("Bolt");
    struct Product {
        std::string vendor, name, folder, exe, entry;
    };
    auto install = [&](const std::string& vendor, const std::string& publisher, const std::string& product,
                       const std::string& displayName) {
        Product p{vendor, product, base.Path() + "\\" + displayName, "", std::string(kUninstallKey) + "\\" + product};
        p.exe = p.folder + "\\" + product + ".exe";
        EXPECT_TRUE(WriteFileText(p.exe));
        WriteEntry(lm, p.entry, displayName, publisher, p.folder, "\"" + p.folder + "\\uninst.exe\"", p.exe + ",0");
        EXPECT_TRUE(SetString(lm, "SOFTWARE\\" + vendor + "\\" + product, "Version", "2.1"));
        EXPECT_TRUE(SetString(cu, "Software\\" + vendor + "\\" + product, "Theme", "dark"));
        return p;
    };
    ScopedKey acmeKey(lm, "SOFTWARE\\" + acme), boltKey(lm, "SOFTWARE\\" + bolt);
    ScopedKey acmeUser(cu, "Software\\" + acme), boltUser(cu, "Software\\" + bolt);
    const Product writer = install(acme, acme + " Software Ltd.", acme + "Writer", acme + " Writer");
    const Product paint = install(acme, acme + " Software Ltd.", acme + "Paint", acme + " Paint 3");
    const Product viewer = install(bolt, bolt + " Inc.", bolt + "Viewer", bolt + " Viewer (x64)");
    ScopedKey entries[] = {{lm, writer.entry}, {lm, paint.entry}, {lm, viewer.entry}};
    SetString(lm, acmeKey.Path(), "InstallPath", writer.folder);
    SetString(lm, boltKey.Path(), "InstallPath", viewer.folder);
    SetString(cu, acmeUser.Path() + "\\" + writer.name + "\\Recent", "File1", "C:\\Docs\\letter.txt");
    SetString(cu, boltUser.Path(), "Backups", "C:\\Docs\\Backups");  // not the program's: the vendor key stays

    // Each product's keys go whole; of a vendor key holding two products, only the
    // value that names the analysed one, as its own (ticked); a vendor key holding
    // one product goes whole, unless a value of its names something else.
    std::vector<std::string> expected = Concat(
        {KeyTree(lm, {writer.entry, acmeKey.Path() + "\\" + writer.name}), KeyTree(cu, {acmeUser.Path() + "\\" + writer.name}),
         {ValueTrace(lm, acmeKey.Path(), "InstallPath")}});
    EXPECT_EQ(std::set<std::string>(expected.begin(), expected.end()), RegistryRows(Analyze(analyzer, writer.exe)));
    expected = Concat({KeyTree(lm, {paint.entry, acmeKey.Path() + "\\" + paint.name}),
                       KeyTree(cu, {acmeUser.Path() + "\\" + paint.name})});
    EXPECT_EQ(std::set<std::string>(expected.begin(), expected.end()), RegistryRows(Analyze(analyzer, paint.exe)));
    expected = Concat({KeyTree(lm, {viewer.entry, boltKey.Path()}), KeyTree(cu, {boltUser.Path() + "\\" + viewer.name})});
    EXPECT_EQ(std::set<std::string>(expected.begin(), expected.end()), RegistryRows(Analyze(analyzer, viewer.exe)));

    // Removing the writer takes its rows and nothing of the other product of its vendor.
    Analyze(analyzer, writer.exe);
    const std::vector<std::string> unlisted = RemoveAllListed(analyzer, {base.Path()});
    EXPECT_TRUE(unlisted.empty()) << JoinLines(unlisted);
    EXPECT_FALSE(KeyExists(cu, acmeUser.Path() + "\\" + writer.name) || ValueExists(lm, acmeKey.Path(), "InstallPath"));
    EXPECT_TRUE(KeyExists(lm, acmeKey.Path() + "\\" + paint.name) && KeyExists(cu, acmeUser.Path() + "\\" + paint.name));
    EXPECT_TRUE(KeyExists(lm, paint.entry));
}

// Document types of two products that name one class served from a shared folder:
// each product's type and extension go with it, the class stays. A per-user
// program's types and class, kept in the user's classes, are its own too.
TEST_F(RegistrySearch, TypesOfASharedClassAndTheUsersOwnTypes)
{
    const HKEY cr = HKEY_CLASSES_ROOT, cu = HKEY_CURRENT_USER;
    const std::string word = UniqueWord("t"), classId = "{S" + word + "}";
    ScopedKey sharedClass(cr, "CLSID\\" + classId);
    SetString(cr, sharedClass.Path() + "\\InprocServer32", "", "C:\\Shared" + word + "\\preview.dll");
    std::vector<std::unique_ptr<ScopedKey>> keys;
    auto type = [&](HKEY root, const std::string& classes, const std::string& letter, const std::string& exe,
                    const std::string& typeClass) {
        const std::string extension = classes + "." + letter + word, progId = classes + letter + word + ".Document";
        keys.push_back(std::make_unique<ScopedKey>(root, extension));
        keys.push_back(std::make_unique<ScopedKey>(root, progId));
        SetString(root, extension, "", letter + word + ".Document");
        SetString(root, progId + "\\DefaultIcon", "", exe + ",1");
        SetString(root, progId + "\\shell\\open\\command", "", "\"" + exe + "\" \"%1\"");
        if (!typeClass.empty())
            SetString(root, progId + "\\CLSID", "", typeClass);
        return std::vector<std::string>{extension, progId};
    };
    const std::string a = base.Path() + "\\A\\a.exe", b = base.Path() + "\\B\\b.exe", c = base.Path() + "\\C\\c.exe";
    for (const std::string& exe : {a, b, c})
        ASSERT_TRUE(WriteFileText(exe));
    const std::vector<std::string> typesA = type(cr, "", "a", a, classId), typesB = type(cr, "", "b", b, classId);
    const std::vector<std::string> typesC = type(cu, "Software\\Classes\\", "c", c, "{C" + word + "}");
    ScopedKey userClass(cu, "Software\\Classes\\CLSID\\{C" + word + "}");
    SetString(cu, userClass.Path() + "\\InprocServer32", "", base.Path() + "\\C\\c.dll");

    std::vector<std::string> expected = KeyTree(cr, {typesA[0], typesA[1]});
    EXPECT_EQ(std::set<std::string>(expected.begin(), expected.end()), RegistryRows(Analyze(analyzer, a)));
    std::vector<std::string> unlisted = RemoveAllListed(analyzer, {base.Path()});
    EXPECT_TRUE(unlisted.empty()) << JoinLines(unlisted);
    EXPECT_TRUE(KeyExists(cr, sharedClass.Path() + "\\InprocServer32") && KeyExists(cr, typesB[1] + "\\CLSID"));

    expected = KeyTree(cu, {userClass.Path(), typesC[0], typesC[1]});
    EXPECT_EQ(std::set<std::string>(expected.begin(), expected.end()), RegistryRows(Analyze(analyzer, c)));
    unlisted = RemoveAllListed(analyzer, {base.Path()});
    EXPECT_TRUE(unlisted.empty()) << JoinLines(unlisted);
    EXPECT_FALSE(KeyExists(cu, typesC[0]) || KeyExists(cu, typesC[1]) || KeyExists(cu, userClass.Path()));
}
