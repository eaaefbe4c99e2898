// Forced removal of a product's registration, for one whose uninstaller cannot run
// or did not take it: its uninstall entry and, for a Windows Installer product, the
// Installer's own registration of it (so the product can be installed again), saved
// in one backup run and deleted together, never through a registry link.
#pragma once
#include "backup/BackupStore.h"
#include "inventory/InstalledSoftwareEntry.h"
#include "smart/TraceItem.h"

#include <vector>

// What a forced removal of entry takes: its key, then the Installer's registration
// as it stands (InstallerRegistration). A path that does not fit a trace is left out.
std::vector<TraceItem> ForcedRemovalTraces(const InstalledSoftwareEntry& entry);

// Saves every trace of ForcedRemovalTraces in one backup run of store (named after
// the product), then deletes them. ERROR_SUCCESS when all are gone;
// ERROR_INVALID_OWNER when the store is not safe and ERROR_CANNOT_MAKE when the
// backup could not be made (then nothing was removed); ERROR_ACCESS_DENIED when
// something stays.
LONG ForceRemoveRegistration(const CBackupStore& store, const InstalledSoftwareEntry& entry);
