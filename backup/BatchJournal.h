// The journal of a batch of uninstalls: before each product's uninstaller runs, what
// the search for its leftovers needs (UninstallClues) is written into the store of
// backups, so that after a crash or a restart the next start can offer to finish
// that search. The journal lives in the store's administrators-only folder and is
// checked whole at each read: a journal that a standard user could have written or
// changed, one too large, damaged, or naming a key or folder it cannot name, is
// refused as a whole. Its products only feed a search whose rows the user ticks.
#pragma once
#include "backup/BackupStore.h"
#include "inventory/UninstallBatch.h"
#include "smart/UninstallClues.h"

#include <string>
#include <vector>

enum JournalState {
    JOURNAL_NONE,     // no journal: no batch was cut short
    JOURNAL_PENDING,  // a batch was cut short: its products' clues are read
    JOURNAL_REFUSED,  // a journal is there but is not one to use (see above)
};

class CBatchJournal : public BatchListener {
public:
    explicit CBatchJournal(const CBackupStore& store);
    CBatchJournal(const CBatchJournal&) = delete;
    CBatchJournal& operator=(const CBatchJournal&) = delete;

    // Starts the journal of a batch whose products' clues, in the batch's order, are
    // planned (noted before any uninstaller runs): an empty journal replaces any
    // earlier one. False when the store is not safe or it cannot be written.
    bool Begin(const std::vector<UninstallClues>& planned);
    // Adds the clues of planned product index and writes the journal whole; false when
    // it cannot be written (or index is not planned).
    bool Add(size_t index);
    // The batch's call before each product runs: Add.
    bool BeforeRun(size_t index, const BatchItem& item) override;

    // The journal in the store as it is now; for JOURNAL_PENDING, clues receives the
    // products in the order they ran.
    JournalState ReadPending(std::vector<UninstallClues>* clues) const;
    // The batch and its leftovers search are done: the journal goes. True when no
    // journal is left.
    bool Finish() const;

    // The journal's file.
    std::string Path() const;

private:
    bool Write() const;

    CBackupStore store;
    std::vector<UninstallClues> planned;
    std::vector<size_t> written;  // the planned products in the journal, in order
};

// The largest journal read, and the most products it holds.
const DWORD kLargestJournal = 1024 * 1024;
const size_t kMostJournalProducts = 1000;
