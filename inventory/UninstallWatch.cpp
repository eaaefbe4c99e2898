#include "inventory/UninstallWatch.h"

#include "framework/RegistryView.h"

namespace {

// How long an entry that is still there is watched after the uninstaller's processes
// ended, when the folder shows that something is at work: a copy that broke away.
const DWORD kBreakawayGraceMs = 30000;

}  // namespace

CUninstallWatch::CUninstallWatch() : breakawayGraceMs(kBreakawayGraceMs) {}

CommandStart CUninstallWatch::Start(const char* command, HKEY root, const std::string& key,
                                   const std::string& mainFolder)
{
    Stop();
    entryRoot = root;
    entryKey = key;
    folder = mainFolder;
    folderNames = FolderNames();
    endedTick = 0;
    job.Reset(CreateJobObjectA(nullptr, nullptr));
    if (job) {
        // A process that asks to leave the job may; the entry then tells when it is done.
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_BREAKAWAY_OK;
        SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
    }
    HANDLE started = nullptr;
    const CommandStart outcome = StartUninstallCommand(command, root, job, &started);
    if (outcome != COMMAND_STARTED)
        return outcome;
    process.Reset(started);
    BOOL inJob = FALSE;
    jobHoldsTree = job && IsProcessInJob(process, job, &inJob) && inJob;
    return COMMAND_STARTED;
}

bool CUninstallWatch::IsRunning()
{
    if (!process)
        return false;
    if (jobHoldsTree) {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
        if (QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting, sizeof(accounting),
                                      nullptr) &&
            accounting.ActiveProcesses > 0)
            return true;
    } else if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
        return true;
    }
    if (!endedTick)
        endedTick = GetTickCount();
    if (GetTickCount() - endedTick < breakawayGraceMs && EntryExists() && FolderNames() != folderNames)
        return true;
    return false;
}

void CUninstallWatch::Stop()
{
    process.Reset();
    job.Reset();
}

// A product whose entry stays is installed whatever happened in its folder: what an
// uninstaller "left" is then the product itself.
UninstallOutcome CUninstallWatch::Outcome() const
{
    if (!EntryExists())
        return UNINSTALL_REMOVED;
    return FolderNames() == folderNames ? UNINSTALL_CANCELLED : UNINSTALL_STILL_INSTALLED;
}

bool CUninstallWatch::EntryExists() const
{
    OwnedKey key;
    return !entryKey.empty() &&
           RegOpenKeyExA(entryRoot, entryKey.c_str(), 0, KEY_QUERY_VALUE | PhysicalView(), key.Out()) == ERROR_SUCCESS;
}

// The names in the main folder: an uninstaller at work changes them.
std::set<std::string> CUninstallWatch::FolderNames() const
{
    std::set<std::string> names;
    if (folder.empty())
        return names;
    WIN32_FIND_DATAA data;
    OwnedFind find(FindFirstFileA((folder + "\\*").c_str(), &data));
    if (!find)
        return names;
    do {
        names.insert(data.cFileName);
    } while (FindNextFileA(find, &data));
    return names;
}
