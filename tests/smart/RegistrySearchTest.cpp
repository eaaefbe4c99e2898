#include <gtest/gtest.h>

#include <shlwapi.h>

#include "SampleProgram.h"
#include "TraceTestSupport.h"
#include "support/Fixtures.h"

using namespace fixtures;
using namespace smarttest;

namespace {

struct Program {
    TempDir base{"umreg"};
    std::string folder = base.Path() + "\\App";
    std::string id = UniqueName("umreg");
    Program() { WriteFileText(folder + "\\app.exe"); }
    std::vector<std::string> Registry(CTraceAnalyzer& analyzer)
    {
        std::vector<std::string> traces = Analyze(analyzer, folder);
        std::vector<std::string> registry;
        for (const std::string& trace : traces) {
            if (trace[0] == 'K' || trace[0] == 'V')
                registry.push_back(trace);
        }
        return registry;
    }
};

}  // namespace

TEST(RegistrySearch, ProgIdWithAnotherProgramsCommandIsNotExaminedThroughItsClass)
{
    Program program;
    std::string classKey = "CLSID\\{Q" + program.id + "}";
    std::string progId = "Q" + program.id;
    ScopedKey classCleanup(HKEY_CLASSES_ROOT, classKey);
    ScopedKey progCleanup(HKEY_CLASSES_ROOT, progId);
    SetString(HKEY_CLASSES_ROOT, classKey + "\\InprocServer32", "", program.folder + "\\q.dll");
    SetString(HKEY_CLASSES_ROOT, progId + "\\shell\\open\\command", "", "C:\\Elsewhere\\other.exe %1");
    SetString(HKEY_CLASSES_ROOT, progId + "\\CLSID", "", "{Q" + program.id + "}");
    CTraceAnalyzer analyzer;
    std::vector<std::string> registry = program.Registry(analyzer);
    std::vector<std::string> expected = {KeyTrace(HKEY_CLASSES_ROOT, classKey),
                                         KeyTrace(HKEY_CLASSES_ROOT, classKey + "\\InprocServer32"),
                                         ValueTrace(HKEY_CLASSES_ROOT, classKey + "\\InprocServer32", "")};
    EXPECT_EQ(expected, registry);
}

TEST(RegistrySearch, RunValuesNeedTextTypeAndDriveLetterPaths)
{
    Program program;
    std::string prefix = program.id;
    std::vector<std::string> names = {prefix + "a", prefix + "b", prefix + "c", prefix + "d", prefix + "e",
                                      prefix + "f", prefix + "g"};
    SetString(HKEY_CURRENT_USER, kRunKey, names[0], std::string(300, 'x'));  // over-long: skipped
    SetString(HKEY_CURRENT_USER, kRunKey, names[1], "\"" + program.folder + "\\app.exe\" -q");
    SetString(HKEY_CURRENT_USER, kRunKey, names[2], program.folder + "\\app.exe", REG_EXPAND_SZ);
    SetValue(HKEY_CURRENT_USER, kRunKey, names[3], REG_BINARY, program.folder.c_str(),
             static_cast<DWORD>(program.folder.size() + 1));
    SetString(HKEY_CURRENT_USER, kRunKey, names[4], "run " + program.folder + "\\app.exe");  // no drive at 2/3
    SetStringUnterminated(HKEY_CURRENT_USER, kRunKey, names[5], program.folder + "\\app.exe");
    SetStringUnterminated(HKEY_CURRENT_USER, kRunKey, names[6], program.folder + std::string(260, 'y'));
    CTraceAnalyzer analyzer;
    std::vector<std::string> registry = program.Registry(analyzer);
    for (const std::string& name : names)
        SHDeleteValueA(HKEY_CURRENT_USER, kRunKey, name.c_str());
    std::vector<std::string> expected = {ValueTrace(HKEY_CURRENT_USER, kRunKey, names[1]),
                                         ValueTrace(HKEY_CURRENT_USER, kRunKey, names[5])};
    EXPECT_EQ(expected, registry);
}

TEST(RegistrySearch, SoftwareKeysOneLevelAndOverLongKeyPaths)
{
    Program program;
    std::string vendor = "Software\\W" + program.id;
    ScopedKey cleanup(HKEY_CURRENT_USER, vendor);
    ScopedKey own(HKEY_CURRENT_USER, "Software\\O" + program.id);
    // A product key below a vendor key is not examined.
    SetString(HKEY_CURRENT_USER, vendor + "\\Product", "Path", program.folder);
    // A collected key whose subkey path would not fit is listed without that subkey.
    SetString(HKEY_CURRENT_USER, own.Path(), "Path", program.folder);
    std::string longName(240, 'k');
    SetString(HKEY_CURRENT_USER, own.Path() + "\\" + longName, "v", "1");
    SetString(HKEY_CURRENT_USER, own.Path() + "\\Short", "v", "1");
    CTraceAnalyzer analyzer;
    std::vector<std::string> registry = program.Registry(analyzer);
    std::vector<std::string> expected = {KeyTrace(HKEY_CURRENT_USER, own.Path()), ValueTrace(HKEY_CURRENT_USER, own.Path(), "Path"),
                                         KeyTrace(HKEY_CURRENT_USER, own.Path() + "\\Short"),
                                         ValueTrace(HKEY_CURRENT_USER, own.Path() + "\\Short", "v")};
    EXPECT_EQ(expected, registry);
}
