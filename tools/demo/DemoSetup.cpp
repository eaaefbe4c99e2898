// Seeds a machine with the sample products: DemoSetup installs them (running it
// again repairs them to the same state), "DemoSetup /remove" takes them away with
// every leftover. The payload programs DemoApp.exe and DemoUninstall.exe are
// taken from the folder DemoSetup.exe lies in.
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "DemoSeed.h"
#include "machine/ShellFolders.h"
#include "machine/Text.h"

namespace {

bool HasPayload(const std::string& folder)
{
    for (const char* name : {demo::DEMO_APP_NAME, demo::DEMO_UNINSTALL_NAME}) {
        if (GetFileAttributesA(machine::JoinPath(folder, name).c_str()) == INVALID_FILE_ATTRIBUTES) {
            printf("DemoSetup: %s is missing in %s\n", name, folder.c_str());
            return false;
        }
    }
    return true;
}

int Install()
{
    std::string payload = machine::ExecutableFolder();
    if (payload.empty() || !HasPayload(payload))
        return 2;
    std::string failedStep;
    if (!demo::SeedDemoMachine(payload, &failedStep)) {
        printf("DemoSetup: failed at %s\n", failedStep.c_str());
        return 1;
    }
    for (const demo::DemoProduct& product : demo::DemoProducts())
        printf("installed %s in %s\n", product.uninstallKey, demo::ProductFolder(product).c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (FAILED(CoInitialize(nullptr)))
        return 3;
    int result = 0;
    if (argc > 1 && _stricmp(argv[1], "/remove") == 0) {
        demo::RemoveDemoMachine();
        printf("removed the sample products\n");
    } else if (argc > 1) {
        printf("usage: DemoSetup [/remove]\n");
        result = 2;
    } else {
        result = Install();
    }
    CoUninitialize();
    return result;
}
