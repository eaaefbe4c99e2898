#include "inventory/UninstallChoice.h"

#include "framework/AnsiText.h"
#include "framework/ParseCommandLine.h"
#include "framework/PathExists.h"
#include "framework/ReadWholeFile.h"
#include "inventory/WindowsInstallerProduct.h"

#include <cstring>

namespace {

// A Nullsoft setup's header lies at a 512-byte boundary after its program, within
// what a setup's program can be: flags, then the signature.
const DWORD kHeaderSearchBytes = 1024 * 1024;
const size_t kHeaderAlignment = 512;
const char kHeaderSignature[] = "\xEF\xBE\xAD\xDE" "NullsoftInst";
const size_t kSignatureBytes = sizeof(kHeaderSignature) - 1;
const unsigned char kUninstallerFlag = 1;
const unsigned char kKnownFlags = 15;

const char kUninsPairSwitches[] = "/VERYSILENT /SUPPRESSMSGBOXES /NORESTART";
const char kNullsoftSwitches[] = "/S";

// An unins*.exe with the unins*.dat of the same name beside it.
bool IsUninsPair(const std::string& program)
{
    const char* backslash = FindLastCharDbcs(program.c_str(), '\\');
    const char* name = backslash ? backslash + 1 : program.c_str();
    if (!SkipPrefixNoCaseDbcs(name, "unins") || !HasExtension(name, ".exe"))
        return false;
    return IsExistingFile((program.substr(0, program.size() - 4) + ".dat").c_str());
}

// The uninstaller's switches that make it quiet, when its files tell its kind.
QuietKind QuietSwitchesOf(const std::string& program, const char** switches)
{
    if (IsUninsPair(program)) {
        *switches = kUninsPairSwitches;
        return QUIET_UNINS_PAIR;
    }
    if (IsNullsoftUninstaller(program.c_str())) {
        *switches = kNullsoftSwitches;
        return QUIET_NULLSOFT;
    }
    return QUIET_NONE;
}

// The entry's uninstaller with the switches that make it quiet, when it is of a
// kind that has them.
bool QuietUninstallerCommand(const char* uninstallString, UninstallChoice* choice)
{
    std::string program, arguments;
    const char* switches = nullptr;
    if (!FindStartableProgram(uninstallString, &program, &arguments) ||
        (choice->kind = QuietSwitchesOf(program, &switches)) == QUIET_NONE)
        return false;
    choice->command = "\"" + program + "\" " + switches + (arguments.empty() ? "" : " " + arguments);
    return true;
}

}  // namespace

bool IsNullsoftUninstaller(const char* path)
{
    std::string bytes;
    if (!ReadFileStart(path, kHeaderSearchBytes, &bytes))
        return false;
    for (size_t at = kHeaderAlignment; at + 4 + kSignatureBytes <= bytes.size(); at += kHeaderAlignment) {
        if (memcmp(bytes.data() + at + 4, kHeaderSignature, kSignatureBytes) != 0)
            continue;
        const unsigned char* flags = reinterpret_cast<const unsigned char*>(bytes.data() + at);
        if (!(flags[0] & ~kKnownFlags) && !flags[1] && !flags[2] && !flags[3])
            return (flags[0] & kUninstallerFlag) != 0;
    }
    return false;
}

UninstallChoice ChooseUninstallCommand(const InstalledSoftwareEntry& entry, UninstallMode wanted)
{
    UninstallChoice choice;
    choice.productCode = InstallerProductCode(entry);
    if (wanted == UNINSTALL_QUIET) {
        choice.mode = UNINSTALL_QUIET;
        if (entry.quietUninstallString[0]) {
            choice.kind = QUIET_ENTRY;
            choice.command = entry.quietUninstallString;
            return choice;
        }
        if (!choice.productCode.empty()) {
            choice.kind = QUIET_WINDOWS_INSTALLER;
            choice.command = InstallerUninstallCommand(choice.productCode, true);
            return choice;
        }
        if (QuietUninstallerCommand(entry.uninstallString, &choice))
            return choice;
    }
    choice.mode = UNINSTALL_INTERACTIVE;
    choice.kind = QUIET_NONE;
    choice.command = choice.productCode.empty() ? std::string(entry.uninstallString)
                                                : InstallerUninstallCommand(choice.productCode, false);
    return choice;
}
