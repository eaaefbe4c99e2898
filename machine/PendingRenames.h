// The file operations Windows carries out at the next start
// (PendingFileRenameOperations under the Session Manager key).
#pragma once
#include <windows.h>

#include <set>
#include <string>
#include <vector>

namespace machine {

// Puts the list back exactly as it was (or absent) when the object goes.
class ScopedPendingRenames {
public:
    ScopedPendingRenames();
    ~ScopedPendingRenames();
    ScopedPendingRenames(const ScopedPendingRenames&) = delete;
    ScopedPendingRenames& operator=(const ScopedPendingRenames&) = delete;

private:
    bool existed = false;
    DWORD type = 0;
    std::vector<BYTE> data;
};

// Every entry in order, in the system's code page: pairs of source and
// destination, an empty destination meaning "delete"; sources start with "\??\".
std::vector<std::string> PendingRenameEntries();

// The files scheduled for deletion, lower-case, without "\??\".
std::set<std::string> PendingDeletions();

}  // namespace machine
