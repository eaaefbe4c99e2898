// Removals saved in a backup and put back: the machine after a restore is the
// machine before the removal.
#include "SampleProgram.h"
#include "backup/BackupStore.h"
#include "backup/PendingDeletions.h"
#include "backup/RemovalBackup.h"
#include "backup/RestoreRun.h"
#include "backup/Sha256.h"
#include "framework/AnsiText.h"
#include "framework/RegistryTree.h"
#include "machine/PendingRenames.h"
#include "support/BackupStoreSupport.h"
#include "support/TraceCoverage.h"

#include <functional>

using namespace smarttest;

namespace {

class UndoTest : public testing::Test {
protected:
    UndoTest() { WriteFileText(backups.Path() + "\\file", "x"); }

    // Analyses the sample program and removes the ticked rows (all when ticks is
    // empty) with a backup.
    RemovalTally Remove(std::vector<bool> ticks = {})
    {
        Analyze(analyzer, sample.exe);
        if (ticks.empty())
            ticks.assign(analyzer.GetItemCount(), true);
        CRemovalBackup backup(store, "Sample");
        RemovalTally tally = analyzer.RemoveChecked(ticks, &backup);
        folder = backup.Folder();
        runName = backup.RunName();
        analyzer.Clear();
        return tally;
    }
    RestoreTally Restore()
    {
        CRestoreRun run(store, runName);
        std::string reason;
        EXPECT_TRUE(run.Load(&reason)) << reason;
        return run.Run();
    }
    void ExpectMachine(const fixtures::MachineState& expected)
    {
        std::vector<std::string> differences = fixtures::MachineDifferences(expected, fixtures::MachineState());
        EXPECT_TRUE(differences.empty()) << fixtures::JoinLines(differences);
    }

    machine::ScopedPendingRenames pendingRenames;
    SampleProgram sample;
    TempDir backups{"umbackups"};
    CBackupStore store{backups.Path()};
    CTraceAnalyzer analyzer;
    std::string folder;
    std::string runName;
};

TEST_F(UndoTest, RestoringARemovalGivesTheMachineBackWithAllOrSomeRowsTicked)
{
    const fixtures::MachineState before;
    // Every other row unticked first, then everything.
    std::vector<bool> everyOther;
    Analyze(analyzer, sample.exe);
    for (size_t i = 0; i < analyzer.GetItemCount(); ++i)
        everyOther.push_back(i % 2 == 0);
    for (const std::vector<bool>& ticks : {everyOther, std::vector<bool>()}) {
        RemovalTally tally = Remove(ticks);
        EXPECT_FALSE(tally.notSaved);
        EXPECT_EQ(0, tally.Count(REMOVAL_FAILED));
        EXPECT_GT(tally.Count(REMOVAL_DONE), 10);
        EXPECT_EQ(0, Restore().failed);
        ExpectMachine(before);
    }
    EXPECT_FALSE(fixtures::FileExists(sample.exe + ".new"));
    std::vector<BackupSummary> listed = store.List();
    ASSERT_EQ(2u, listed.size());
    EXPECT_EQ(BACKUP_RESTORED, listed[0].state);
    EXPECT_EQ(folder, listed[0].folder);  // newest first
}

// A file held open by a running program is copied, scheduled, and taken out of
// the pending deletions again by the restore, which leaves the others there.
TEST_F(UndoTest, AFileInUseIsCopiedScheduledAndUnscheduledByTheRestore)
{
    TempDir other("umother");
    const std::string otherFile = other.Path() + "\\other.dat";
    WriteFileText(otherFile, "other");
    ASSERT_TRUE(MoveFileExA(otherFile.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    const fixtures::MachineState before;
    OwnedFile running(CreateFileA(sample.exe.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(running);
    RemovalTally tally = Remove();
    EXPECT_EQ(2, tally.Count(REMOVAL_SCHEDULED));  // the file, and its folder after it
    EXPECT_TRUE(fixtures::PendingDeletions().count(fixtures::LowerAscii(sample.exe)));
    running.Reset();
    EXPECT_EQ(0, Restore().failed);
    std::set<std::string> pending = fixtures::PendingDeletions();
    EXPECT_FALSE(pending.count(fixtures::LowerAscii(sample.exe)));
    EXPECT_TRUE(pending.count(fixtures::LowerAscii(otherFile)));
    ExpectMachine(before);
}

// Nothing is removed when the backup cannot be written; a damaged or edited backup
// is refused whole; a restore never writes over what stands in a place now, and a
// second one fills in only what is missing.
TEST_F(UndoTest, BadBackupsChangeNothingAndRestoresNeverOverwrite)
{
    const fixtures::MachineState before;
    store = CBackupStore(backups.Path() + "\\file");
    RemovalTally refused = Remove();
    EXPECT_TRUE(refused.notSaved);
    EXPECT_EQ(0, refused.Count(REMOVAL_DONE));
    ExpectMachine(before);

    store = CBackupStore(backups.Path());
    Remove();
    const std::string list = folder + "\\" + kBackupListName, registry = folder + "\\" + kBackupRegistryName;
    std::string listText, registryText;
    ASSERT_TRUE(ReadFileText(list, &listText) && ReadFileText(registry, &registryText));
    std::string edited = registryText;
    edited[edited.find("InstallDir")] = 'J';
    for (const auto& damage : {std::make_pair(registry, edited), std::make_pair(list, listText.substr(0, 200)),
                               std::make_pair(list, listText + "item\t1\r\n")}) {
        WriteFileText(damage.first, damage.second);
        std::string reason;
        EXPECT_FALSE(CRestoreRun(store, runName).Load(&reason)) << damage.first;
        EXPECT_FALSE(reason.empty());
        WriteFileText(list, listText);
        WriteFileText(registry, registryText);
    }
    EXPECT_FALSE(fixtures::FileExists(sample.exe));

    WriteFileText(sample.exe, "another program's file");
    RestoreTally first = Restore();
    EXPECT_EQ(1, first.failed);
    std::string text;
    EXPECT_TRUE(ReadFileText(sample.exe, &text));
    EXPECT_EQ("another program's file", text);
    DeleteFileA(sample.exe.c_str());
    SetFileAttributesA((sample.folder + "\\hidden.dat").c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA((sample.folder + "\\hidden.dat").c_str());  // restored, then lost again
    RestoreTally second = Restore();
    EXPECT_EQ(0, second.failed);  // the saved files stay in the backup: both come back
    EXPECT_EQ(first.restored + first.failed, second.restored);
    ExpectMachine(before);
    EXPECT_EQ(BACKUP_RESTORED, store.List().at(0).state);
}

// A genuine backup changed in one place, and signed again as anyone can sign it, is
// refused whole: nothing of it is restored.
TEST_F(UndoTest, AGenuineBackupChangedInOnePlaceIsRefusedWhole)
{
    const fixtures::MachineState before;
    Remove();
    const fixtures::MachineState removed;
    const std::string listFile = folder + "\\" + kBackupListName, registryFile = folder + "\\" + kBackupRegistryName;
    BackupList genuine;
    std::string registryText, reason;
    ASSERT_TRUE(genuine.Read(listFile.c_str(), &reason)) << reason;
    ASSERT_TRUE(ReadFileText(registryFile, &registryText));
    size_t moved = 0, value = 0;
    while (moved < genuine.entries.size() && genuine.entries[moved].hold != HOLD_MOVED)
        ++moved;
    while (value < genuine.entries.size() && genuine.entries[value].kind != TRACE_REGVALUE)
        ++value;
    ASSERT_LT(moved, genuine.entries.size());
    ASSERT_LT(value, genuine.entries.size());
    const std::string savedFile = folder + "\\" + genuine.entries[moved].stored;
    std::string savedText;
    ASSERT_TRUE(ReadFileText(savedFile, &savedText));
    // The section of the machine's Run key, which holds the program's Run value.
    const std::string runHeader = "[HKEY_LOCAL_MACHINE\\" + std::string(kRunKey) + "]\r\n";
    const size_t runSection = LowerAscii(registryText).find(LowerAscii(runHeader));
    ASSERT_NE(std::string::npos, runSection);
    const std::string evil = "\"C:\\\\evil.exe\"";
    auto signRegistry = [&](const std::string& text) {
        BackupList list = genuine;
        list.regSize = static_cast<DWORD>(text.size());
        list.regHash = Sha256Hex(text);
        WriteFileText(registryFile, text);
        list.Write(listFile.c_str());
    };
    auto signEntry = [&](size_t index, std::function<void(BackupEntry*)> edit) {
        BackupList list = genuine;
        edit(&list.entries[index]);
        list.Write(listFile.c_str());
    };
    std::string withValue = registryText;
    withValue.insert(runSection + runHeader.size(), "\"Evil" + sample.id + "\"=" + evil + "\r\n");
    const std::pair<const char*, std::function<void()>> edits[] = {
        {"a saved file exchanged", [&] { WriteFileText(savedFile, "MZ another program"); }},
        {"a key outside the traces",
         [&] {
             signRegistry(registryText + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image "
                                         "File Execution Options\\" + sample.id + ".exe]\r\n\"Debugger\"=" + evil +
                          "\r\n\r\n");
         }},
        {"a value beside the saved value", [&] { signRegistry(withValue); }},
        {"a moved file named a key", [&] { signEntry(moved, [](BackupEntry* e) { e->kind = TRACE_REGKEY; }); }},
        {"a value held as a moved file",
         [&] {
             signEntry(value, [&](BackupEntry* e) {
                 e->hold = HOLD_MOVED;
                 e->stored = genuine.entries[moved].stored;
                 e->hash = genuine.entries[moved].hash;
             });
         }},
        {"another entry's saved file",
         [&] { signEntry(moved, [&](BackupEntry* e) { e->stored = StoredNameOf(moved == 0 ? 1 : 0); }); }},
        {"a moved file scheduled", [&] { signEntry(moved, [](BackupEntry* e) { e->outcome = REMOVAL_SCHEDULED; }); }},
        {"a file of no drive",
         [&] { signEntry(moved, [](BackupEntry* e) { e->path = "\\\\server\\share\\app.exe"; }); }},
    };
    for (const auto& edit : edits) {
        edit.second();
        CRestoreRun run(store, runName);
        EXPECT_FALSE(run.Load(&reason)) << edit.first;
        EXPECT_EQ(0, run.Run().restored) << edit.first;
        genuine.Write(listFile.c_str());
        WriteFileText(registryFile, registryText);
        WriteFileText(savedFile, savedText);
    }
    EXPECT_FALSE(fixtures::KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File "
                                                         "Execution Options\\" + sample.id + ".exe"));
    ExpectMachine(removed);
    // Put together again, it restores.
    EXPECT_EQ(0, Restore().failed);
    ExpectMachine(before);
}

// The restore writes nothing through a folder or key that became a link since the
// removal: what lies below one is counted as not restored. A restored file takes the
// permissions its folder gives a new file, never the store's.
TEST_F(UndoTest, TheRestoreWritesNothingThroughALinkAndFilesTakeTheirFoldersPermissions)
{
    TempDir elsewhere("umelsewhere");
    ScopedKey elsewhereKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\" + UniqueName("umelsewhere"));
    CreateKey(HKEY_LOCAL_MACHINE, elsewhereKey.Path());
    const fixtures::MachineState before;
    Remove();
    ASSERT_TRUE(MakeFolderLink(sample.folder, elsewhere.Path()));
    ASSERT_TRUE(MakeRegistryLink(HKEY_LOCAL_MACHINE, sample.vendorKey.Path(), elsewhereKey.Path()));
    // The saved program only administrators may open, as a file made in the store is.
    BackupList list;
    ASSERT_TRUE(list.Read((folder + "\\" + kBackupListName).c_str(), nullptr));
    std::string stored;
    for (const BackupEntry& entry : list.entries)
        stored = EqualsNoCaseDbcs(entry.path.c_str(), sample.exe.c_str()) ? entry.stored : stored;
    ASSERT_FALSE(stored.empty());
    ASSERT_TRUE(SetDacl(folder + "\\" + stored, kAdministratorsOnly));

    const std::set<std::string> elsewhereFiles = FileSnapshot(elsewhere.Path());
    const std::set<std::string> elsewhereKeys = RegistrySnapshot(HKEY_LOCAL_MACHINE, elsewhereKey.Path());
    RestoreTally through = Restore();
    EXPECT_GT(through.failed, 3);
    EXPECT_EQ(elsewhereFiles, FileSnapshot(elsewhere.Path()));
    EXPECT_EQ(elsewhereKeys, RegistrySnapshot(HKEY_LOCAL_MACHINE, elsewhereKey.Path()));
    RemoveFolderLink(sample.folder);
    ::DeleteKeyTree(HKEY_LOCAL_MACHINE, sample.vendorKey.Path().c_str());  // the link, as a link
    ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, sample.vendorKey.Path()));

    EXPECT_EQ(0, Restore().failed);
    ExpectMachine(before);
    const std::string fresh = sample.folder + "\\fresh.txt";
    WriteFileText(fresh, "x");
    EXPECT_EQ(DaclText(fresh), DaclText(sample.exe));
    DeleteFileA(fresh.c_str());
}

}  // namespace
