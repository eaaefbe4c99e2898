#include "inventory/UninstallBatch.h"

CUninstallBatch::CUninstallBatch(const std::vector<BatchProduct>& products, const BatchLimits& limits)
    : limits(limits)
{
    for (const BatchProduct& product : products) {
        items.emplace_back();
        items.back().product = product;
    }
    watch.SetBreakawayGrace(limits.breakawayGraceMs);
}

bool CUninstallBatch::Poll()
{
    if (over)
        return false;
    if (current >= 0) {
        BatchItem& item = items[current];
        if (item.state == BATCH_RUNNING) {
            if (watch.IsRunning()) {
                // Asked only past the limit: a window search costs a trip per window.
                item.waitingForUser = item.product.choice.mode == UNINSTALL_QUIET &&
                                      CurrentElapsedMs() >= limits.userWaitMs && watch.ShowsWindow();
                return true;
            }
            Finish(item);
        }
        if (item.state == BATCH_RETRY_WAIT && !stopping) {
            if (GetTickCount() - retryTick < limits.retryDelayMs)
                return true;
            Start(item);
            if (item.state == BATCH_RUNNING)
                return true;
        }
        if (item.state == BATCH_RETRY_WAIT)
            item.state = BATCH_STOPPED;
        current = -1;
    }
    if (!stopping && StartNext())
        return true;
    StopWaiting();
    over = true;
    return false;
}

DWORD CUninstallBatch::CurrentElapsedMs() const
{
    return current >= 0 ? GetTickCount() - currentStartTick : 0;
}

// The first product waiting whose command starts; those that cannot start are
// passed over.
bool CUninstallBatch::StartNext()
{
    for (size_t index = 0; index < items.size(); ++index) {
        BatchItem& item = items[index];
        if (item.state != BATCH_WAITING)
            continue;
        if (listener && !listener->BeforeRun(index, item)) {
            listenerRefused = stopping = true;
            return false;
        }
        current = static_cast<int>(index);
        currentStartTick = GetTickCount();
        Start(item);
        if (item.state == BATCH_RUNNING)
            return true;
        current = -1;
    }
    return false;
}

void CUninstallBatch::Start(BatchItem& item)
{
    ++item.attempts;
    item.waitingForUser = false;
    const BatchProduct& product = item.product;
    item.start = watch.Start(product.choice.command.c_str(), product.root, product.keyPath, product.folder);
    item.state = item.start == COMMAND_STARTED ? BATCH_RUNNING : BATCH_NOT_STARTED;
}

// The exit code of the uninstaller's own process says how it went.
void CUninstallBatch::Finish(BatchItem& item)
{
    item.waitingForUser = false;
    const bool known = watch.ExitCode(&item.exitCode);
    item.outcome = watch.Outcome();
    watch.Stop();
    if (!known) {
        item.state = BATCH_FAILED;
        return;
    }
    switch (MeaningOfExitCode(item.exitCode)) {
    case EXIT_DONE:
        item.state = BATCH_DONE;
        break;
    case EXIT_RESTART_NEEDED:
        item.state = BATCH_RESTART_NEEDED;
        break;
    case EXIT_NOT_INSTALLED:
        item.state = BATCH_NOT_INSTALLED;
        break;
    case EXIT_INSTALLER_BUSY:
        item.state = item.attempts <= limits.retries ? BATCH_RETRY_WAIT : BATCH_FAILED;
        retryTick = GetTickCount();
        break;
    default:
        item.state = BATCH_FAILED;
    }
}

void CUninstallBatch::StopWaiting()
{
    for (BatchItem& item : items) {
        if (item.state == BATCH_WAITING)
            item.state = BATCH_STOPPED;
    }
}
