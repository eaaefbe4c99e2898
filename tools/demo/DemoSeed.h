// Installs the sample products the way real installers do, and takes them away
// again. Needs COM initialised on the calling thread (shell links).
#pragma once
#include "DemoCatalog.h"

#include <string>

namespace demo {

// The payload programs that the setup copies into the product folders.
extern const char* const DEMO_APP_NAME;
extern const char* const DEMO_UNINSTALL_NAME;

// Installs one product from the payload folder; running it again over an
// installed product leaves the same state. False names the first failing step.
bool InstallProduct(const DemoProduct& product, const std::string& payloadFolder, std::string* failedStep);

// Installs every product; stops at the first failure.
bool SeedDemoMachine(const std::string& payloadFolder, std::string* failedStep);

// The payload as a test program finds it: tests\ and tools\demo\ are siblings
// in the build folder.
std::string BuiltPayloadFolder();

// Removes everything the setup made for the product, leftovers included.
void RemoveProduct(const DemoProduct& product);
void RemoveDemoMachine();

}  // namespace demo
