// Helpers of the demo machine tests: reading back what the setup wrote, and
// running the built demo programs.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "DemoCatalog.h"

namespace demotest {

// The folder that holds the built DemoSetup.exe, DemoApp.exe and DemoUninstall.exe.
std::string PayloadFolder();

// A text value (REG_SZ) or "" with *type set when given; "<missing>" when absent.
std::string ReadString(HKEY root, const std::string& key, const std::string& name, DWORD* type = nullptr);
// The same value read through the wide API, to check the code-page conversion.
std::wstring ReadWideString(HKEY root, const std::string& key, const std::string& name);
bool ReadDword(HKEY root, const std::string& key, const std::string& name, DWORD* value);

// Runs a command line and waits; the process's exit code, or -1 when it could not run.
int RunAndWait(const std::string& commandLine);

// The stored target of a shell link, or "".
std::string ShortcutTarget(const std::string& linkPath);

// Every file and folder below root (relative paths, sorted); folders end in '\'.
std::vector<std::string> ListTree(const std::string& root);

// The files scheduled for deletion at restart (PendingFileRenameOperations), the
// entries joined by '|'.
std::wstring PendingRenames();

// Puts PendingFileRenameOperations back as it was when the object goes.
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

// Everything a product's setup leaves on the machine, each as a description.
std::vector<std::string> MissingTraces(const demo::DemoProduct& product);
// The traces that remain although the product was removed.
std::vector<std::string> RemainingTraces(const demo::DemoProduct& product);

}  // namespace demotest
