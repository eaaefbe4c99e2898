// Removals saved in a backup and put back: the machine after a restore is the
// machine before the removal.
#include "SampleProgram.h"
#include "backup/BackupStore.h"
#include "backup/PendingDeletions.h"
#include "backup/RemovalBackup.h"
#include "backup/RestoreRun.h"
#include "machine/PendingRenames.h"
#include "support/TraceCoverage.h"

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

}  // namespace
