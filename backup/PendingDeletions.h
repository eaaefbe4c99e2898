// Taking a file or folder out of the deletions that wait for the next start of the
// machine: the move-on-reboot list (NT family) and wininit.ini's [rename] section.
#pragma once

// Drops every pending deletion of path from both places; true when neither holds
// one any longer.
bool CancelPendingDeletion(const char* path);
