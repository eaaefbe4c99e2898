#include "SampleProgram.h"
#include "backup/PendingDeletions.h"
#include "framework/AnsiText.h"
#include "framework/PlatformVersion.h"
#include "framework/RegKey.h"
#include "framework/RegistryTree.h"
#include "smart/TraceRemoval.h"

using namespace smarttest;

namespace {

// A character code page 936 cannot spell: ANSI listings show it as '?'.
const wchar_t kUnspellable[] = L"\x0e01";

bool OpenWideKey(HKEY root, const std::string& parent, bool create)
{
    OwnedKey key;
    std::wstring path = std::wstring(parent.begin(), parent.end()) + L"\\x" + kUnspellable;  // ASCII parent
    return (create ? RegCreateKeyW(root, path.c_str(), key.Out()) : RegOpenKeyW(root, path.c_str(), key.Out())) ==
           ERROR_SUCCESS;
}

TraceItem MakeTrace(int kind, const std::string& path, HKEY root = nullptr)
{
    TraceItem item = {};
    item.kind = kind;
    CopyText(item.path, MAX_PATH, path.c_str());
    item.rootKey = root;
    return item;
}

TraceItem MakeValueTrace(const std::string& key, const std::string& name, HKEY root)
{
    TraceItem item = MakeTrace(TRACE_REGVALUE, key, root);
    CopyText(item.valueName, MAX_PATH, name.c_str());
    return item;
}

}  // namespace

TEST(Removal, TickedRowsGoWithAllTheyHoldButTheUntickedOnes)
{
    SampleProgram sample;
    const std::string vendor = sample.vendorKey.Path() + "\\Sample";
    const HKEY lm = HKEY_LOCAL_MACHINE;
    // More below the program's keys: a subkey the user keeps, a value kept among
    // others that go, a subkey the code page cannot spell, a link to another key.
    SetString(lm, vendor + "\\Keep", "k", "1");
    SetString(lm, vendor + "\\Settings", "y", "2");
    ASSERT_TRUE(OpenWideKey(lm, vendor, true));
    ScopedKey victim(lm, "SOFTWARE\\" + sample.id + "Victim");
    SetString(lm, victim.Path(), "precious", "1");
    ASSERT_TRUE(MakeRegistryLink(lm, vendor + "\\Link", victim.Path()));

    CTraceAnalyzer analyzer;
    std::vector<std::string> traces = Analyze(analyzer, sample.exe);
    const std::string config = sample.folder + "\\data\\config.ini";
    std::set<std::string> unticked = {FileTrace(config), KeyTrace(lm, vendor + "\\Keep"),
                                      ValueTrace(lm, vendor + "\\Settings", "x")};
    std::vector<bool> ticks;
    ListedTraces ticked;
    std::vector<std::string>* lists[] = {nullptr, &ticked.paths, &ticked.paths, &ticked.keys, &ticked.values};
    for (size_t i = 0; i < traces.size(); ++i) {
        ticks.push_back(!unticked.count(traces[i]));
        const TraceItem* item = analyzer.GetItem(i);
        if (ticks[i])
            lists[item->kind]->push_back(TraceRowText(item->kind, item->path, item->valueName, item->rootKey));
    }
    ASSERT_EQ(traces.size() - unticked.size(), static_cast<size_t>(std::count(ticks.begin(), ticks.end(), true)));
    // Written after the analysis, never listed: inside a ticked key, and inside an unticked one.
    SetString(lm, vendor, "Late", "1");
    SetString(lm, vendor + "\\Late\\Sub", "z", "1");
    SetString(lm, vendor + "\\Keep", "Late", "1");
    MachineState before;

    RemovalTally tally = analyzer.RemoveChecked(ticks);
    ASSERT_EQ(traces.size(), analyzer.GetItemCount());
    std::vector<std::string> unlisted = UnlistedChanges(before, MachineState(), ticked);
    EXPECT_TRUE(unlisted.empty()) << "changed but not ticked:\n" << JoinLines(unlisted);
    // The unticked rows stay, with the folders and keys on the way to them.
    EXPECT_TRUE(FileExists(config));
    EXPECT_TRUE(ValueExists(lm, vendor + "\\Keep", "Late"));
    EXPECT_FALSE(ValueExists(lm, vendor + "\\Keep", "k"));  // its own row was ticked
    EXPECT_TRUE(ValueExists(lm, vendor + "\\Settings", "x"));
    // All else inside the ticked folders and keys went, listed or not.
    EXPECT_FALSE(DirExists(sample.folder + "\\data\\deep"));
    EXPECT_FALSE(FileExists(sample.folder + "\\readme.txt"));  // read-only
    EXPECT_FALSE(FileExists(sample.folder + "\\hidden.dat"));
    EXPECT_FALSE(ValueExists(lm, vendor, "InstallDir"));
    EXPECT_FALSE(ValueExists(lm, vendor, "Late"));
    EXPECT_FALSE(ValueExists(lm, vendor + "\\Settings", "y"));
    EXPECT_EQ((std::vector<std::string>{"Keep", "Settings"}), SubkeyNames(lm, vendor));
    EXPECT_FALSE(OpenWideKey(lm, vendor, false));
    EXPECT_FALSE(DirExists(sample.toolsFolder));
    EXPECT_FALSE(FileExists(sample.desktopLink.Path()));
    EXPECT_FALSE(DirExists(sample.group.Path()));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, sample.classA.Path()));
    EXPECT_FALSE(KeyExists(lm, sample.uninstallKey.Path()));
    EXPECT_FALSE(
        ValueExists(HKEY_CURRENT_USER, sample.userKey.Path(), "InstallDir"));  // another tool's setting, ticked here
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kUserRunKey, sample.runValue));
    // The link's target stays (what else the program does not own is never listed,
    // so the snapshots above cover it).
    EXPECT_TRUE(ValueExists(lm, victim.Path(), "precious"));

    // Every ticked row went, but the folders and keys that stay for unticked rows.
    std::set<std::string> holders = {FolderTrace(sample.folder), FolderTrace(sample.folder + "\\data"),
                                     KeyTrace(lm, vendor), KeyTrace(lm, vendor + "\\Settings")};
    ASSERT_EQ(traces.size(), tally.outcomes.size());
    for (size_t i = 0; i < traces.size(); ++i) {
        RemovalOutcome expected = !ticks[i] ? REMOVAL_IGNORED : holders.count(traces[i]) ? REMOVAL_KEPT : REMOVAL_DONE;
        EXPECT_EQ(expected, tally.outcomes[i]) << traces[i];
    }
}

TEST(Removal, OnlyWhatIsGoneCountsAsRemoved)
{
    ASSERT_TRUE(IsWindowsNT());
    machine::ScopedPendingRenames restore;
    TempDir base("umgone");
    const std::string held = base.Path() + "\\Held", other = base.Path() + "\\Other", bad = base.Path() + "\\Bad";
    WriteFileText(held + "\\sub\\held.dll");
    WriteFileText(other + "\\shared.txt");
    SetFileAttributesA((other + "\\shared.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    MakeDirs(bad);
    ASSERT_TRUE(OwnedFile(CreateFileW((std::wstring(bad.begin(), bad.end()) + L"\\a" + kUnspellable + L".txt").c_str(),
                                      GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr)));
    ASSERT_TRUE(MakeFileLink(bad + "\\link.txt", other + "\\shared.txt"));
    ScopedKey keys(HKEY_CURRENT_USER, "Software\\" + UniqueName("umgone"));
    ASSERT_TRUE(OpenWideKey(HKEY_CURRENT_USER, keys.Path(), true));
    ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, keys.Path() + "\\x?y"));  // another program's

    std::vector<TraceItem> rows = {
        MakeTrace(TRACE_FILE, held + "\\sub\\held.dll"), MakeTrace(TRACE_FOLDER, held + "\\sub"),
        MakeTrace(TRACE_FOLDER, held),
        MakeTrace(TRACE_FILE, bad + "\\a?.txt"),  // how an ANSI listing names it
        MakeTrace(TRACE_FILE, bad + "\\link.txt"), MakeTrace(TRACE_FILE, bad + "\\gone.txt"),
        MakeTrace(TRACE_FOLDER, bad), MakeTrace(TRACE_REGKEY, keys.Path() + "\\x?y", HKEY_CURRENT_USER),
        MakeTrace(7, keys.Path(), HKEY_CURRENT_USER), MakeTrace(TRACE_REGKEY, "", HKEY_CURRENT_USER)};
    std::vector<const TraceItem*> items;
    for (const TraceItem& row : rows)
        items.push_back(&row);
    MachineState before;
    RemovalTally tally;
    {
        // Opened without FILE_SHARE_DELETE, so it cannot be deleted while open.
        OwnedFile holder(CreateFileA((held + "\\sub\\held.dll").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder);
        tally = RemoveTraces(items, std::vector<bool>(items.size(), true));
    }

    std::vector<RemovalOutcome> expected = {
        REMOVAL_SCHEDULED, REMOVAL_SCHEDULED, REMOVAL_SCHEDULED,  // in use: the file, then its folders
        REMOVAL_FAILED,    REMOVAL_FAILED,    REMOVAL_DONE,       // unspellable, a link, already gone
        REMOVAL_FAILED,    REMOVAL_FAILED,                        // holds what stays; unspellable key
        REMOVAL_IGNORED,   REMOVAL_IGNORED};                      // no such kind; no whole root
    EXPECT_EQ(expected, tally.outcomes);
    // Nothing went yet, and nothing else changed: the link's target keeps its
    // attributes, the key spelt like the unspellable one stays.
    std::vector<std::string> changes = UnlistedChanges(before, MachineState(), ListedTraces());
    EXPECT_TRUE(changes.empty()) << JoinLines(changes);
    // The folders wait for the next start right after the file, inner one first.
    std::string pending;
    for (const std::string& entry : machine::PendingRenameEntries())
        pending += entry + "|";
    size_t file = pending.find("\\??\\" + held + "\\sub\\held.dll|");
    size_t sub = pending.find("\\??\\" + held + "\\sub|");
    size_t top = pending.find("\\??\\" + held + "|");
    EXPECT_TRUE(file != std::string::npos && file < sub && sub < top && top != std::string::npos) << pending;
    EXPECT_EQ(std::string::npos, pending.find("gone.txt"));
    EXPECT_TRUE(CTraceAnalyzer().RemoveChecked({true, true}).outcomes.empty());
}

// A key on the way to a trace that is a registry link (the user made HKCU\Software\X
// a link to a machine key after the analysis, or a link points nowhere) leads
// nowhere: nothing of what it points to goes, and the row could not be removed.
// Traces on plain paths still go, and one already gone counts as removed.
TEST(Removal, NothingGoesThroughARegistryLinkOnTheWay)
{
    const HKEY cu = HKEY_CURRENT_USER, lm = HKEY_LOCAL_MACHINE;
    const std::string id = UniqueName("umlinkway");
    ScopedKey victim(lm, "SOFTWARE\\" + id + "Victim");
    ASSERT_TRUE(SetString(lm, victim.Path(), "v", "1") && SetString(lm, victim.Path() + "\\Y", "w", "2") &&
                SetString(lm, victim.Path() + "\\Y\\Z", "z", "3"));
    ScopedKey user(cu, "Software\\" + id), host(lm, "SOFTWARE\\" + id + "Host");
    ASSERT_TRUE(MakeRegistryLink(cu, user.Path() + "\\X", victim.Path()));
    ASSERT_TRUE(MakeRegistryLink(lm, host.Path() + "\\L", victim.Path()));
    ASSERT_TRUE(MakeRegistryLink(cu, user.Path() + "\\Nowhere", victim.Path() + "Gone"));
    ASSERT_TRUE(SetString(cu, user.Path() + "\\Plain\\Y", "w", "2"));
    const std::set<std::string> victimBefore = RegistrySnapshot(lm, victim.Path());
    ASSERT_EQ(6u, victimBefore.size());  // three keys, a value in each

    const std::string x = user.Path() + "\\X";
    const std::pair<TraceItem, RemovalOutcome> cases[] = {
        {MakeTrace(TRACE_REGKEY, x + "\\Y", cu), REMOVAL_FAILED},
        {MakeTrace(TRACE_REGKEY, x + "\\Y\\Z", cu), REMOVAL_FAILED},
        {MakeValueTrace(x + "\\Y", "w", cu), REMOVAL_FAILED},
        {MakeValueTrace(x, "v", cu), REMOVAL_FAILED},  // the link's own key: its values are the target's
        {MakeTrace(TRACE_REGKEY, host.Path() + "\\L\\Y", lm), REMOVAL_FAILED},
        {MakeValueTrace(host.Path() + "\\L\\Y\\Z", "z", lm), REMOVAL_FAILED},
        {MakeTrace(TRACE_REGKEY, user.Path() + "\\Nowhere\\Y", cu), REMOVAL_FAILED},
        {MakeTrace(TRACE_REGKEY, user.Path() + "\\Plain\\Y", cu), REMOVAL_DONE},
        {MakeTrace(TRACE_REGKEY, user.Path() + "\\Gone\\Y", cu), REMOVAL_DONE},
        {MakeValueTrace(user.Path() + "\\Gone", "w", cu), REMOVAL_DONE},
    };
    std::vector<const TraceItem*> items;
    std::vector<RemovalOutcome> expected;
    for (const auto& [item, outcome] : cases) {
        items.push_back(&item);
        expected.push_back(outcome);
    }
    EXPECT_EQ(expected, RemoveTraces(items, std::vector<bool>(items.size(), true)).outcomes);
    EXPECT_EQ(victimBefore, RegistrySnapshot(lm, victim.Path()));
    EXPECT_FALSE(KeyExists(cu, user.Path() + "\\Plain\\Y"));
    // The links stay as they were: no row named them.
    for (const auto& [root, link] : {std::make_pair(cu, x), std::make_pair(lm, host.Path() + "\\L"),
                                     std::make_pair(cu, user.Path() + "\\Nowhere")}) {
        OwnedKey key;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(root, link.c_str(), REG_OPTION_OPEN_LINK, KEY_READ, key.Out())) << link;
        EXPECT_TRUE(IsRegistryLink(key)) << link;
        key.Reset();
        EXPECT_EQ(ERROR_SUCCESS, ::DeleteKeyTree(root, link.c_str()));  // as a link, before the keys go
    }
    EXPECT_EQ(victimBefore, RegistrySnapshot(lm, victim.Path()));
}

// Windows makes HKCU\Software\Classes a link to the user's own classes hive,
// HKEY_USERS\<SID>_Classes: the one link a removal goes on past, opening that hive
// by its own name. The same link leading anywhere else leads nowhere.
TEST(Removal, TheUsersClassesLinkLeadsOnlyToTheUsersOwnHive)
{
    const HKEY cu = HKEY_CURRENT_USER, lm = HKEY_LOCAL_MACHINE;
    const std::string hive = UserSid() + "_Classes", classId = "CLSID\\{" + UniqueName("umclasses") + "}";
    ASSERT_NE("_Classes", hive);
    ScopedKeyIsolation classes(cu, "Software\\Classes");
    ScopedKey userHive(HKEY_USERS, hive), victim(lm, "SOFTWARE\\" + UniqueName("umclassesVictim"));
    ASSERT_TRUE(CreateKey(HKEY_USERS, hive + "\\" + classId) && CreateKey(lm, victim.Path() + "\\" + classId));
    const TraceItem row = MakeTrace(TRACE_REGKEY, "Software\\Classes\\" + classId, cu);
    const std::pair<std::string, RemovalOutcome> links[] = {{"\\Registry\\Machine\\" + victim.Path(), REMOVAL_FAILED},
                                                            {"\\REGISTRY\\USER\\" + hive, REMOVAL_DONE}};
    for (const auto& [target, outcome] : links) {
        SCOPED_TRACE(target);
        ASSERT_EQ(ERROR_SUCCESS, ::DeleteKeyTree(cu, "Software\\Classes"));  // a link goes as a link
        ASSERT_TRUE(MakeRegistryLinkTo(cu, "Software\\Classes", target));
        EXPECT_EQ(std::vector<RemovalOutcome>{outcome}, RemoveTraces({&row}, {true}).outcomes);
    }
    EXPECT_TRUE(KeyExists(lm, victim.Path() + "\\" + classId));
    EXPECT_FALSE(KeyExists(HKEY_USERS, hive + "\\" + classId));
    EXPECT_EQ(ERROR_SUCCESS, ::DeleteKeyTree(cu, "Software\\Classes"));  // before the key comes back
}

// The user may swap a key for a link while it is being emptied: the key that goes at
// the end is the one that was emptied, never what its name leads to by then.
TEST(Removal, AKeySwappedForALinkWhileItIsEmptiedTakesNothingAlong)
{
    const HKEY cu = HKEY_CURRENT_USER, lm = HKEY_LOCAL_MACHINE;
    const std::string id = UniqueName("umswap");
    ScopedKey victim(lm, "SOFTWARE\\" + id + "Victim"), user(cu, "Software\\" + id);
    ASSERT_TRUE(SetString(lm, victim.Path(), "precious", "1"));
    const std::string swapped = user.Path() + "\\Swapped";
    ASSERT_TRUE(CreateKey(cu, swapped + "\\Last"));
    // Asked about the key's last subkey, the last thing before the key itself goes,
    // it swaps the key for a link (and says the subkey stays, as it is gone anyway).
    class Swapper : public RegistryKeep {
    public:
        Swapper(const std::string& key, const std::string& target) : key(key), target(target) {}
        bool KeepsKey(const char*) const override
        {
            machine::DeleteKeyTree(HKEY_CURRENT_USER, key);
            return swappedIn = MakeRegistryLink(HKEY_CURRENT_USER, key, target);
        }
        bool KeepsBelow(const char*) const override { return false; }
        bool KeepsValue(const char*, const char*) const override { return false; }
        mutable bool swappedIn = false;

    private:
        std::string key, target;
    } swapper(swapped, victim.Path());
    ::DeleteKeyTree(cu, swapped.c_str(), &swapper);
    ASSERT_TRUE(swapper.swappedIn);
    EXPECT_TRUE(ValueExists(lm, victim.Path(), "precious"));
    EXPECT_EQ(ERROR_SUCCESS, ::DeleteKeyTree(cu, swapped.c_str()));  // the link, as a link
    EXPECT_TRUE(ValueExists(lm, victim.Path(), "precious"));
}

// Where the platform cannot give a file's final path (Windows XP), a path passes
// through a link when a folder on it, from the drive root down, is a reparse point.
// A folder name with trail bytes 0x5C is stepped over whole; what is no full
// path, or too long to hold, counts as passing through one.
TEST(Removal, WithoutFinalPathsAFolderLinkOnThePathIsToldByItsAttributes)
{
    TempDir base("umthrough");
    const std::string dbcs = "\x95\x5c\x81\x5c";  // two characters whose trail byte is 0x5C
    const std::string target = base.Path() + "\\target", link = base.Path() + "\\link";
    ASSERT_TRUE(WriteFileText(target + "\\top.txt") && WriteFileText(target + "\\" + dbcs + "\\deep.txt"));
    ASSERT_TRUE(WriteFileText(base.Path() + "\\" + dbcs + "\\plain.txt"));
    ASSERT_TRUE(MakeFolderLink(link, target));
    const std::pair<std::string, bool> cases[] = {
        {target + "\\top.txt", false},
        {target + "\\" + dbcs + "\\deep.txt", false},
        {base.Path() + "\\" + dbcs + "\\plain.txt", false},
        {target + "\\missing\\gone.txt", false},
        {link + "\\top.txt", true},
        {link + "\\" + dbcs + "\\deep.txt", true},
        {link + "\\" + dbcs + "\\", true},
        {"top.txt", true},
        {"\\top.txt", true},
        {"C:top.txt", true},
        {"C:\\" + std::string(MAX_PATH, 'a') + "\\top.txt", true},
    };
    for (const auto& [path, through] : cases) {
        SCOPED_TRACE(path);
        EXPECT_EQ(through, PassesThroughFolderLink(path.c_str()));
        if (path.find(base.Path()) == 0 && FileExists(path)) {  // the platform's own answer agrees
            EXPECT_EQ(through, ReachesAnotherFile(path.c_str()));
        }
    }
    EXPECT_TRUE(PassesThroughFolderLink(nullptr));
    EXPECT_TRUE(RemoveFolderLink(link));
}

// On the 95/98/Me family a held file is scheduled in wininit.ini: the [rename]
// section is made, or found in any capitals, and the entry goes at its end.
TEST(Removal, HeldFilesAreScheduledInWininitOnThe9xFamily)
{
    std::string wininit = WindowsFolder() + "\\wininit.ini", original;
    bool existed = ReadFileText(wininit, &original);
    SetPlatformVersionOverride(VER_PLATFORM_WIN32_WINDOWS, 4, 90);
    EXPECT_FALSE(IsWindowsNT());
    char path[MAX_PATH];
    EXPECT_TRUE(GetWininitPath(path, MAX_PATH));
    EXPECT_EQ(wininit, path);
    TempDir base("umwininit");
    std::string file = base.Path() + "\\f.dll";
    WriteFileText(file);
    std::string entry = "NUL=" + ShortPath(file) + "\r\n";
    OwnedFile held(CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    const struct { const char* before; std::string after; } cases[] = {
        {nullptr, "[rename]\r\n" + entry},
        {"[rename]\r\nNUL=C:\\OLD.DLL\r\n", "[rename]\r\nNUL=C:\\OLD.DLL\r\n" + entry},
        {"[RENAME]\r\nNUL=C:\\OLD.DLL", "[RENAME]\r\nNUL=C:\\OLD.DLL\r\n" + entry},
        {"[other]\r\na=b", "[other]\r\na=b\r\n[rename]\r\n" + entry},
        {"[Rename]\r\nNUL=C:\\OLD.DLL\r\n[other]\r\na=b\r\n",
         "[Rename]\r\nNUL=C:\\OLD.DLL\r\n" + entry + "[other]\r\na=b\r\n"},
    };
    for (const auto& c : cases) {
        DeleteFileA(wininit.c_str());
        if (c.before)
            WriteFileText(wininit, c.before);
        DeleteFileOrSchedule(file.c_str());
        std::string after;
        ReadFileText(wininit, &after);
        EXPECT_EQ(c.after, after) << (c.before ? c.before : "(none)");
        // A restore takes the entry out again, and only it.
        EXPECT_TRUE(CancelPendingDeletion(file.c_str()));
        ReadFileText(wininit, &after);
        EXPECT_EQ(std::string(c.after).erase(c.after.find(entry), entry.size()), after);
    }
    EXPECT_TRUE(FileExists(file));
    EXPECT_FALSE(ScheduleDeleteViaWininit((base.Path() + "\\missing.dll").c_str()));
    char tiny[8];
    EXPECT_FALSE(GetWininitPath(tiny, sizeof(tiny)));
    EXPECT_EQ('\0', tiny[0]);
    ClearPlatformVersionOverride();
    DeleteFileA(wininit.c_str());
    if (existed)
        WriteFileText(wininit, original);
}
