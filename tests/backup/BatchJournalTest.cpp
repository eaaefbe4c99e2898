// The journal of a batch: written into the administrators-only store before each
// product runs, found at the next start with the products in the order they ran, and
// gone once finished. One that a standard user could have written, that is damaged,
// too large, or names a key or folder no journal names is refused whole.
#include "backup/BatchJournal.h"
#include "backup/SealedText.h"
#include "support/BackupStoreSupport.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <functional>

using namespace fixtures;

namespace {

UninstallClues Clues(const std::string& name, const std::string& folder)
{
    UninstallClues clues;
    clues.root = HKEY_LOCAL_MACHINE;
    clues.keyPath = std::string(kUninstallKey) + "\\" + name;
    clues.displayName = name + " 2.0";
    clues.publisher = "Maker\tLtd.";  // a tab is escaped
    clues.installLocation = folder;
    clues.uninstallCommand = "\"" + folder + "\\uninst.exe\" /S";
    clues.displayIcon = folder + "\\app.exe,0";
    clues.folders = {folder, folder + "\\\xB2\xE2\xCA\xD4"};
    clues.mainProgram = folder + "\\app.exe";
    return clues;
}

std::vector<std::string> Names(const std::vector<UninstallClues>& clues)
{
    std::vector<std::string> names;
    for (const UninstallClues& each : clues) {
        std::string line = each.keyPath + "|" + each.displayName + "|" + each.publisher + "|" + each.installLocation +
                           "|" + each.uninstallCommand + "|" + each.displayIcon + "|" + each.mainProgram;
        for (const std::string& folder : each.folders)
            line += "|" + folder;
        names.push_back(line);
    }
    return names;
}

class BatchJournalTest : public testing::Test {
protected:
    TempDir data{"umjournal"};
    CBackupStore store{data.Path()};
    std::vector<UninstallClues> planned = {Clues("First", "C:\\Program Files\\First"),
                                           Clues("Second", "C:\\Program Files\\Second"),
                                           Clues("Third", "D:\\Apps\\Third")};
};

// Before each product runs the batch tells the journal, which is then on disk with
// the products that ran so far; the next start reads them back; finished, it goes.
TEST_F(BatchJournalTest, WrittenBeforeEachRunReadAtTheNextStartGoneWhenFinished)
{
    CBatchJournal journal(store);
    std::vector<UninstallClues> read;
    EXPECT_EQ(JOURNAL_NONE, journal.ReadPending(&read));
    ASSERT_TRUE(journal.Begin(planned));
    EXPECT_EQ(JOURNAL_PENDING, journal.ReadPending(&read));
    EXPECT_TRUE(read.empty());
    EXPECT_EQ(FOLDER_SAFE, store.Trust().CheckFile(journal.Path()));

    // Products that start nothing: the batch still tells the journal before each.
    struct Recorder : BatchListener {
        Recorder(CBatchJournal& journal) : journal(journal) {}
        bool BeforeRun(size_t index, const BatchItem& item) override
        {
            std::vector<UninstallClues> before;
            journal.ReadPending(&before);
            seen.push_back(before.size());
            return journal.BeforeRun(index, item);
        }
        CBatchJournal& journal;
        std::vector<size_t> seen;
    } recorder(journal);
    CUninstallBatch batch(std::vector<BatchProduct>(3));
    batch.SetListener(&recorder);
    while (batch.Poll()) {
    }
    EXPECT_EQ((std::vector<size_t>{0, 1, 2}), recorder.seen);
    EXPECT_FALSE(batch.StoppedByListener());

    // Another program, after a crash: the same products in the order they ran.
    CBatchJournal nextStart(store);
    EXPECT_EQ(JOURNAL_PENDING, nextStart.ReadPending(&read));
    EXPECT_EQ(Names(planned), Names(read));
    EXPECT_TRUE(nextStart.Finish());
    EXPECT_EQ(JOURNAL_NONE, nextStart.ReadPending(&read));
    EXPECT_FALSE(FileExists(journal.Path()));
    EXPECT_TRUE(nextStart.Finish()) << "nothing left to finish";
    EXPECT_FALSE(journal.Add(3)) << "not planned";
}

// A store a standard user made is not written to, and a batch told so stops before
// its first product.
TEST_F(BatchJournalTest, AnUnsafeStoreTakesNoJournalAndStopsTheBatch)
{
    const MadeByStandardUser standardUser;
    CBatchJournal journal(CBackupStore(data.Path(), standardUser));
    EXPECT_FALSE(journal.Begin(planned));
    BatchProduct product;
    product.name = "First";
    CUninstallBatch batch({product});
    batch.SetListener(&journal);
    EXPECT_FALSE(batch.Poll());
    EXPECT_TRUE(batch.StoppedByListener());
    EXPECT_EQ(BATCH_STOPPED, batch.Item(0).state);
    EXPECT_FALSE(FileExists(journal.Path()));
}

// Journals spoilt or forged in each way, each with a valid end line where the forger
// could make one: all refused whole, none read.
TEST_F(BatchJournalTest, ADamagedOrForgedJournalIsRefusedWhole)
{
    CBatchJournal journal(store);
    ASSERT_TRUE(journal.Begin(planned));
    for (size_t i = 0; i < planned.size(); ++i)
        ASSERT_TRUE(journal.Add(i));
    std::string genuine;
    ASSERT_TRUE(ReadFileText(journal.Path(), &genuine));
    std::vector<std::string> lines;
    unsigned long long count = 0;
    ASSERT_TRUE(UnsealText(genuine, &lines, &count));
    // The genuine journal with its second product's line changed, sealed anew.
    auto forged = [&](const std::function<void(std::vector<std::string>*)>& change) {
        std::vector<std::string> fields = SplitFields(lines[2]);
        change(&fields);
        std::string line = fields[0];
        for (size_t i = 1; i < fields.size(); ++i)
            line += "\t" + fields[i];
        return SealText(lines[0] + "\r\n" + lines[1] + "\r\n" + line + "\r\n" + lines[3] + "\r\n", 3);
    };
    std::string flipped = genuine;
    flipped[genuine.size() / 2] ^= 1;
    const struct {
        const char* how;
        std::string text;
    } cases[] = {
        {"a byte changed", flipped},
        {"cut short", genuine.substr(0, genuine.size() - 10)},
        {"its end line gone", genuine.substr(0, genuine.find("end\t"))},
        {"a count that is not the lines'", SealText(lines[0] + "\r\n" + lines[1] + "\r\n", 2)},
        {"larger than a journal can be", SealText(lines[0] + "\r\n" + std::string(kLargestJournal, 'x') + "\r\n", 1)},
        {"another header", SealText("UninstallManager batch journal 9\r\n" + lines[1] + "\r\n", 1)},
        {"a class key for its entry", forged([](auto* f) { (*f)[2] = "SOFTWARE\\Classes\\CLSID\\x"; })},
        {"a key below an entry", forged([](auto* f) { (*f)[2] += "\\sub"; })},
        {"the Uninstall key itself", forged([](auto* f) { (*f)[2] = kUninstallKey; })},
        {"the classes root", forged([](auto* f) { (*f)[1] = "HKEY_CLASSES_ROOT"; })},
        {"a relative folder", forged([](auto* f) { f->back() = "Program Files\\x"; })},
        {"a folder going up", forged([](auto* f) { f->back() = "C:\\Program Files\\..\\Windows"; })},
        {"a server's folder", forged([](auto* f) { f->back() = "\\\\server\\share\\x"; })},
        {"a main program outside its folders", forged([](auto* f) { (*f)[8] = "C:\\Windows\\explorer.exe"; })},
        {"a name longer than an entry's", forged([](auto* f) { (*f)[3] = std::string(MAX_PATH, 'n'); })},
        {"a terminator in a name", forged([](auto* f) { (*f)[3] = "Second%00Name"; })},
        {"a broken escape", forged([](auto* f) { (*f)[3] = "Second%G1"; })},
        {"a field short", forged([](auto* f) { f->resize(8); })},
        {"too many folders", forged([](auto* f) { f->resize(f->size() + 17, "C:\\x"); })},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.how);
        ASSERT_TRUE(WriteFileText(journal.Path(), each.text));
        std::vector<UninstallClues> read = {Clues("Stale", "C:\\Stale")};
        EXPECT_EQ(JOURNAL_REFUSED, journal.ReadPending(&read));
        EXPECT_TRUE(read.empty());
    }
    // Only the genuine text passes, and only in a file and a store of the trusted.
    ASSERT_TRUE(WriteFileText(journal.Path(), genuine));
    std::vector<UninstallClues> read;
    ASSERT_EQ(JOURNAL_PENDING, journal.ReadPending(&read));
    ASSERT_TRUE(SetDacl(journal.Path(), kEveryoneMayWrite));
    EXPECT_EQ(JOURNAL_REFUSED, journal.ReadPending(&read));
    ASSERT_TRUE(SetDacl(journal.Path(), kAdministratorsOnly));
    ASSERT_EQ(JOURNAL_PENDING, journal.ReadPending(&read));
    const MadeByStandardUser standardUser;
    EXPECT_EQ(JOURNAL_REFUSED, CBatchJournal(CBackupStore(data.Path(), standardUser)).ReadPending(&read));
    EXPECT_FALSE(CBatchJournal(CBackupStore(data.Path(), standardUser)).Finish()) << "not through an unsafe store";
    // A folder where the journal should be is no journal.
    ASSERT_TRUE(DeleteFileA(journal.Path().c_str()) && MakeDirs(journal.Path()));
    EXPECT_EQ(JOURNAL_REFUSED, journal.ReadPending(&read));
    RemoveDirectoryA(journal.Path().c_str());
}

}  // namespace
