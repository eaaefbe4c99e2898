#include "inventory/UninstallWatch.h"

#include "framework/RegistryView.h"

#include <algorithm>
#include <vector>

namespace {

// How long an entry that is still there is watched after the uninstaller's processes
// ended, when the folder shows that something is at work: a copy that broke away.
const DWORD kBreakawayGraceMs = 30000;

// The most processes of one job asked for at once.
const DWORD kMostJobProcesses = 64;

struct WindowSearch {
    std::vector<DWORD> processes;
    bool found = false;
};

BOOL CALLBACK FindVisibleWindow(HWND window, LPARAM searchParam)
{
    WindowSearch* search = reinterpret_cast<WindowSearch*>(searchParam);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (IsWindowVisible(window) &&
        std::find(search->processes.begin(), search->processes.end(), process) != search->processes.end())
        search->found = true;
    return !search->found;
}

}  // namespace

ExitMeaning MeaningOfExitCode(DWORD code)
{
    switch (code) {
    case ERROR_SUCCESS:
        return EXIT_DONE;
    case ERROR_SUCCESS_REBOOT_REQUIRED:
    case ERROR_SUCCESS_REBOOT_INITIATED:
        return EXIT_RESTART_NEEDED;
    case ERROR_UNKNOWN_PRODUCT:
        return EXIT_NOT_INSTALLED;
    case ERROR_INSTALL_ALREADY_RUNNING:
        return EXIT_INSTALLER_BUSY;
    default:
        return EXIT_FAILED;
    }
}

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

bool CUninstallWatch::ExitCode(DWORD* code) const
{
    return process && WaitForSingleObject(process, 0) == WAIT_OBJECT_0 && GetExitCodeProcess(process, code);
}

bool CUninstallWatch::ShowsWindow() const
{
    if (!process)
        return false;
    WindowSearch search;
    struct {
        JOBOBJECT_BASIC_PROCESS_ID_LIST list;
        ULONG_PTR more[kMostJobProcesses - 1];
    } ids = {};
    ids.list.NumberOfAssignedProcesses = kMostJobProcesses;
    if (jobHoldsTree &&
        QueryInformationJobObject(job, JobObjectBasicProcessIdList, &ids, sizeof(ids), nullptr)) {
        for (DWORD i = 0; i < ids.list.NumberOfProcessIdsInList && i < kMostJobProcesses; ++i)
            search.processes.push_back(static_cast<DWORD>(ids.list.ProcessIdList[i]));
    } else {
        search.processes.push_back(GetProcessId(process));
    }
    EnumWindows(FindVisibleWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
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
