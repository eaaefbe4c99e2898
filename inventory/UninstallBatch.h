// A queue of uninstalls run one after another, each in a job of its own, driven by
// the window's timer: Poll never waits, and no thread of its own runs.
#pragma once
#include "inventory/UninstallChoice.h"
#include "inventory/UninstallWatch.h"

#include <windows.h>

#include <string>
#include <vector>

enum BatchState {
    BATCH_WAITING,         // its turn has not come
    BATCH_RUNNING,         // its uninstaller runs
    BATCH_RETRY_WAIT,      // another installation was running (1618): it starts again after a delay
    BATCH_DONE,            // exit code 0
    BATCH_RESTART_NEEDED,  // 3010 or 1641: done once the machine restarts
    BATCH_NOT_INSTALLED,   // 1605: the Installer does not know it (forced removal is left)
    BATCH_FAILED,          // any other exit code, or still 1618 after the last retry
    BATCH_NOT_STARTED,     // its command could not start (a missing uninstaller, a refused user's command)
    BATCH_STOPPED,         // the batch was stopped before its turn
};

// One product of a batch as the caller picked it.
struct BatchProduct {
    std::string name;
    HKEY root = nullptr;
    std::string keyPath;  // its uninstall entry, below root
    std::string folder;   // its main folder; may be empty
    UninstallChoice choice;
};

// A product of the batch and what became of it.
struct BatchItem {
    BatchProduct product;
    BatchState state = BATCH_WAITING;
    CommandStart start = COMMAND_STARTED;  // BATCH_NOT_STARTED: why
    DWORD exitCode = 0;                    // once ended
    UninstallOutcome outcome = UNINSTALL_CANCELLED;  // once ended: whether the entry went
    int attempts = 0;
    // A quiet uninstall that shows a window past the limit: it waits for the user.
    bool waitingForUser = false;
};

// Told before each product's first start; returning false stops the batch there (the
// product and those after it are not run).
class BatchListener {
public:
    virtual bool BeforeRun(size_t index, const BatchItem& item) = 0;

protected:
    ~BatchListener() = default;
};

struct BatchLimits {
    DWORD retryDelayMs = 30000;    // before another try after 1618
    int retries = 5;               // tries after the first
    DWORD userWaitMs = 120000;     // a quiet uninstaller showing a window longer waits for the user
    DWORD breakawayGraceMs = 30000;  // see CUninstallWatch::SetBreakawayGrace
};

class CUninstallBatch {
public:
    explicit CUninstallBatch(const std::vector<BatchProduct>& products, const BatchLimits& limits = BatchLimits());
    CUninstallBatch(const CUninstallBatch&) = delete;
    CUninstallBatch& operator=(const CUninstallBatch&) = delete;

    void SetListener(BatchListener* listener) { this->listener = listener; }
    // Moves the batch on: notes how the running product ended, starts the next one
    // when none runs (passing over those that cannot start). Never waits. False once
    // the batch is over.
    bool Poll();
    // Ends the batch after the running product: those waiting are not started.
    void Stop() { stopping = true; }
    bool IsOver() const { return over; }
    // The listener refused a product: the batch stopped there.
    bool StoppedByListener() const { return listenerRefused; }

    size_t Count() const { return items.size(); }
    const BatchItem& Item(size_t index) const { return items[index]; }
    // The product running or waiting to try again; -1 when none.
    int Current() const { return current; }
    // How long the current product has been at it, retries included.
    DWORD CurrentElapsedMs() const;

private:
    bool StartNext();
    void Start(BatchItem& item);
    void Finish(BatchItem& item);
    void StopWaiting();

    std::vector<BatchItem> items;
    BatchLimits limits;
    CUninstallWatch watch;
    BatchListener* listener = nullptr;
    int current = -1;
    DWORD currentStartTick = 0;
    DWORD retryTick = 0;
    bool stopping = false;
    bool over = false;
    bool listenerRefused = false;
};
