// A product installed by a real installer engine: the NSIS setup built from
// tests/e2e/installer, run silently, then the program started once. What the setup
// and that start made is what two snapshots of the machine differ by. The smart page,
// given the program, lists exactly that; the product's own uninstaller, started from
// the quick page and answered as a user answers it, leaves what real uninstallers
// leave, and the smart page then lists exactly that and takes it, until the machine
// is as it was before the setup.
#include "framework/Handles.h"
#include "resource.h"
#include "support/AppTestSupport.h"
#include "support/Fixtures.h"
#include "support/ForeignDialog.h"
#include "support/MessageBoxAnswerer.h"
#include "support/TraceCoverage.h"
#include "ui/MainDialog.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

using fixtures::JoinPath;
using fixtures::LowerAscii;

// Bounds: a silent setup takes about a second under Wine, an analysis a few.
const DWORD kProcessTimeoutMs = 30000;
const DWORD kAnalysisTimeoutMs = 60000;

const char kProduct[] = "Acme Writer";
const std::string kUninstallKey = std::string(machine::kUninstallKey) + "\\AcmeWriter";
// The uninstaller's window is titled by its page.
const char kConfirmTitle[] = "Acme Writer Uninstall: Confirmation";
const char kDoneTitle[] = "Acme Writer Uninstall: Completed";

// The setup as built, and where it runs from: an NSIS setup reads itself, which
// fails through Wine's "\\?\unix\" name of a folder outside the drives, so it runs
// from the temporary folder, as a downloaded setup does.
std::string BuiltSetup() { return JoinPath(fixtures::ExecutableFolder(), "AcmeWriterSetup.exe"); }
std::string SetupProgram()
{
    char temp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temp);
    return JoinPath(fixtures::ParentFolder(temp), "AcmeWriterSetup.exe");
}
std::string InstallFolder() { return JoinPath(fixtures::ProgramFilesFolder(), kProduct); }
std::string MainProgram() { return JoinPath(InstallFolder(), "AcmeWriter.exe"); }
std::string ProgramLog() { return JoinPath(InstallFolder(), "AcmeWriter.log"); }
std::string SettingsFolder() { return JoinPath(fixtures::SpecialFolder(CSIDL_APPDATA), "AcmeWriter"); }

// Everything of the product that the setup, the program and the uninstaller may
// have made, so that a failed run leaves nothing for the next suite.
void RemoveProduct()
{
    fixtures::RemoveTree(InstallFolder());
    fixtures::RemoveTree(SettingsFolder());
    fixtures::RemoveTree(JoinPath(fixtures::SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY), "Acme Writer.lnk"));
    fixtures::RemoveTree(JoinPath(fixtures::SpecialFolder(CSIDL_COMMON_PROGRAMS), kProduct));
    fixtures::DeleteKeyTree(HKEY_LOCAL_MACHINE, kUninstallKey);
    fixtures::DeleteKeyTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Acme");
    fixtures::DeleteKeyTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\.acmew");
    fixtures::DeleteKeyTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\AcmeWriter.Document");
    fixtures::DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Acme");
}

// Runs the program and waits for its own process alone (a silent setup leaves Wine's
// desktop process running), answering this thread's messages meanwhile; its exit
// code, or a text saying why there is none.
bool RunAndWait(const std::string& program, const std::string& arguments, DWORD* exitCode, std::string* failure)
{
    std::string commandLine = "\"" + program + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    const std::string folder = fixtures::ParentFolder(program);
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &started)) {
        *failure = "cannot start " + program + ", error " + std::to_string(GetLastError());
        return false;
    }
    OwnedKernel process(started.hProcess), thread(started.hThread);
    if (!apptest::PumpUntil([&] { return WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }, kProcessTimeoutMs)) {
        TerminateProcess(process, 1);
        *failure = program + " did not end in time";
        return false;
    }
    GetExitCodeProcess(process, exitCode);
    return true;
}

// Ends an uninstaller window left open by a failed run, so nothing waits on it.
void EndForeignWindow(const std::string& title)
{
    HWND window = fixtures::FindForeignBox(title);
    DWORD processId = 0;
    if (window && GetWindowThreadProcessId(window, &processId)) {
        OwnedKernel process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId));
        if (process && TerminateProcess(process, 1))
            WaitForSingleObject(process, kProcessTimeoutMs);
    }
}

// A row as these comparisons name it: lower case, a class key by its physical place
// (Wine's HKEY_CLASSES_ROOT is the machine's classes alone).
std::string Canonical(const std::string& row)
{
    const std::string lower = LowerAscii(row), classes = "hkey_classes_root\\";
    if (lower.compare(0, classes.size(), classes) == 0)
        return "hkey_local_machine\\software\\classes\\" + lower.substr(classes.size());
    return lower;
}

// Traces as the smart page names them, canonical.
struct Rows {
    std::set<std::string> paths, keys, values;
    bool Has(const std::string& row) const { return paths.count(row) || keys.count(row) || values.count(row); }
    std::set<std::string> All() const
    {
        std::set<std::string> all = paths;
        all.insert(keys.begin(), keys.end());
        all.insert(values.begin(), values.end());
        return all;
    }
};

// The row of a FileSnapshot line ("path|attributes|size").
void AddFileLine(const std::string& line, Rows* rows)
{
    rows->paths.insert(Canonical(line.substr(0, line.rfind('|', line.rfind('|') - 1))));
}

// The row of a RegistrySnapshot line taken at rootName: "K|key", "L|key",
// "K|key|unreadable" or "V|key|name|type|hash" (value names may hold '|').
void AddRegistryLine(const std::string& line, const std::string& rootName, Rows* rows)
{
    const size_t keyEnd = line.find('|', 2);
    const std::string key = rootName + "\\" + line.substr(2, keyEnd == std::string::npos ? keyEnd : keyEnd - 2);
    if (line[0] != 'V') {
        rows->keys.insert(Canonical(key));
        return;
    }
    const size_t nameEnd = line.rfind('|', line.rfind('|') - 1);
    rows->values.insert(Canonical(key + "\\" + line.substr(keyEnd + 1, nameEnd - keyEnd - 1)));
}

// Everything that is in after and was not in before, as rows; Wine's record of the
// system parameters of open windows aside (on these machines the only noise a setup,
// a program's start and the main window make).
Rows NewRows(const fixtures::MachineState& before, const fixtures::MachineState& after)
{
    Rows rows;
    for (const std::string& line : fixtures::Missing(after.files, before.files))
        if (!fixtures::IsBookkeeping(line))
            AddFileLine(line, &rows);
    for (const std::string& line : fixtures::Missing(after.user, before.user))
        if (!fixtures::IsBookkeeping(line))
            AddRegistryLine(line, "HKEY_CURRENT_USER", &rows);
    for (const std::string& line : fixtures::Missing(after.software, before.software))
        if (!fixtures::IsBookkeeping(line))
            AddRegistryLine(line, "HKEY_LOCAL_MACHINE", &rows);
    return rows;
}

// The lines of a that b lacks, bookkeeping aside, a registry line with its root.
std::vector<std::string> LinesMissing(const fixtures::MachineState& a, const fixtures::MachineState& b)
{
    const struct {
        const std::set<std::string>&a, &b;
        std::string root;
    } parts[] = {{a.files, b.files, ""},
                 {a.user, b.user, "HKEY_CURRENT_USER "},
                 {a.software, b.software, "HKEY_LOCAL_MACHINE "}};
    std::vector<std::string> lines;
    for (const auto& part : parts)
        for (const std::string& line : fixtures::Missing(part.a, part.b))
            if (!fixtures::IsBookkeeping(line))
                lines.push_back(part.root + line);
    return lines;
}

// Empty when the machine is as expected; otherwise what differs, both ways.
std::string StateDifference(const fixtures::MachineState& expected, const fixtures::MachineState& actual)
{
    const std::vector<std::string> gone = LinesMissing(expected, actual), added = LinesMissing(actual, expected);
    if (gone.empty() && added.empty())
        return std::string();
    return "gone:\n" + fixtures::JoinLines(gone) + "there, not before:\n" + fixtures::JoinLines(added);
}

// A listed key goes with all it holds, so it accounts for every row below it.
bool BelowListedKey(const std::string& row, const Rows& listed)
{
    for (const std::string& key : listed.keys)
        if (row.size() > key.size() && row.compare(0, key.size(), key) == 0 && row[key.size()] == '\\')
            return true;
    return false;
}

// Empty when the page lists exactly what is expected: every listed row is expected,
// every expected row is listed or lies below a listed key; otherwise both ways.
std::string Disagreement(const Rows& listed, const Rows& expected)
{
    std::vector<std::string> extra, missing;
    for (const std::string& row : listed.All())
        if (!expected.Has(row))
            extra.push_back(row);
    for (const std::string& row : expected.All())
        if (!listed.Has(row) && !BelowListedKey(row, listed))
            missing.push_back(row);
    if (extra.empty() && missing.empty())
        return std::string();
    return "listed, not expected:\n" + fixtures::JoinLines(extra) + "expected, not listed:\n" +
           fixtures::JoinLines(missing);
}

// The smart page's rows by their icons (3 a key, 2 a value, else a file or folder),
// as rows and as traces for the unlisted-changes check, and the unticked ones.
struct PageRows {
    Rows rows;
    fixtures::ListedTraces traces;
    std::vector<std::string> unticked;
};

PageRows ReadPage(HWND list)
{
    PageRows page;
    const std::vector<std::string> texts = apptest::ColumnTexts(list);
    for (int row = 0; row < static_cast<int>(texts.size()); ++row) {
        const int image = apptest::ItemImage(list, row);
        (image == 3 ? page.traces.keys : image == 2 ? page.traces.values : page.traces.paths).push_back(texts[row]);
        (image == 3 ? page.rows.keys : image == 2 ? page.rows.values : page.rows.paths).insert(Canonical(texts[row]));
        if (!apptest::ItemChecked(list, row))
            page.unticked.push_back(texts[row]);
    }
    return page;
}

bool AnalysisDone(HWND smartPage)
{
    return IsWindowVisible(smartPage) &&
           apptest::WindowText(GetDlgItem(smartPage, IDC_STATUS)) == LoadStringText(IDS_ANALYSIS_DONE);
}

class RealInstallerEndToEndTest : public testing::Test {
protected:
    // Installed once: the snapshot before the setup, the setup, the first start, the
    // snapshot after it.
    static void SetUpTestSuite()
    {
        RemoveProduct();
        if (!fixtures::CopyFileTo(BuiltSetup(), SetupProgram())) {
            failedStep = "cannot copy " + BuiltSetup() + " (built by makensis) to " + SetupProgram();
            return;
        }
        beforeSetup.emplace();
        DWORD exitCode = 0;
        if (!RunAndWait(SetupProgram(), "/S", &exitCode, &failedStep))
            return;
        if (exitCode != 0) {
            failedStep = "the setup ended with " + std::to_string(exitCode);
            return;
        }
        if (!RunAndWait(MainProgram(), "/background", &exitCode, &failedStep))
            return;
        if (exitCode != 0) {
            failedStep = "the program's first start ended with " + std::to_string(exitCode);
            return;
        }
        afterFirstStart.emplace();
        installed = true;
    }
    static void TearDownTestSuite()
    {
        RemoveProduct();
        DeleteFileA(SetupProgram().c_str());
        beforeSetup.reset();
        afterFirstStart.reset();
    }
    void SetUp() override
    {
        ASSERT_TRUE(installed) << failedStep;
        ASSERT_TRUE(dialog.Create(IDD_MAIN_DIALOG));
        // The quick page reads the entries between messages.
        ASSERT_TRUE(apptest::PumpUntil([&] { return !dialog.quickPage.IsLoading(); }, 30000));
    }
    void TearDown() override
    {
        EndForeignWindow(kConfirmTitle);
        EndForeignWindow(kDoneTitle);
        RemoveUninstallerCopy();
        if (dialog.IsWindow())
            dialog.DestroyWindow();
    }

    // The uninstaller's copy in the temporary folder waits for the restart to delete
    // it; it goes now, as the restart would take it.
    void RemoveUninstallerCopy() const
    {
        char temp[MAX_PATH] = "";
        GetTempPathA(MAX_PATH, temp);
        const std::set<std::string> pending = fixtures::PendingDeletions();
        for (auto path = pending.rbegin(); path != pending.rend(); ++path)  // a file before its folder
            if (!pendingBefore.count(*path) && path->find(LowerAscii(temp)) == 0)
                fixtures::RemoveTree(*path);
    }

    static inline bool installed = false;
    static inline std::string failedStep;
    static inline std::optional<fixtures::MachineState> beforeSetup, afterFirstStart;
    fixtures::ScopedPendingRenames pendingRenames;
    const std::set<std::string> pendingBefore = fixtures::PendingDeletions();
    CMainDialog dialog;
};

TEST_F(RealInstallerEndToEndTest, SmartPageListsEverythingTheSetupAndTheFirstStartMade)
{
    // The snapshots saw the setup's layout and the first start's settings.
    const Rows made = NewRows(*beforeSetup, *afterFirstStart);
    for (const std::string& path :
         {MainProgram(), JoinPath(InstallFolder(), "uninstall.exe"), ProgramLog(), SettingsFolder(),
          JoinPath(SettingsFolder(), "settings.ini"),
          JoinPath(fixtures::SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY), "Acme Writer.lnk")})
        ASSERT_TRUE(made.paths.count(Canonical(path))) << path << " not made; made:\n"
                                                       << fixtures::JoinLines({made.paths.begin(), made.paths.end()});
    for (const std::string& key :
         {"HKEY_LOCAL_MACHINE\\" + kUninstallKey, std::string("HKEY_CLASSES_ROOT\\.acmew"),
          std::string("HKEY_CURRENT_USER\\Software\\Acme\\AcmeWriter")})
        ASSERT_TRUE(made.keys.count(Canonical(key))) << key;

    dialog.SendMessage(WM_COMMAND, MAKEWPARAM(ID_PAGE_SMART, BN_CLICKED), 0);
    HWND page = dialog.smartPage.m_hWnd;
    SetWindowTextA(GetDlgItem(page, IDC_TARGET), MainProgram().c_str());
    SendMessageA(GetDlgItem(page, IDC_ANALYZE), BM_CLICK, 0, 0);
    ASSERT_TRUE(apptest::PumpUntil([&] { return AnalysisDone(page); }, kAnalysisTimeoutMs)) << "no analysis";

    const PageRows listed = ReadPage(GetDlgItem(page, IDC_LIST));
    EXPECT_TRUE(listed.unticked.empty()) << "unticked:\n" << fixtures::JoinLines(listed.unticked);
    const std::string disagreement = Disagreement(listed.rows, made);
    EXPECT_TRUE(disagreement.empty()) << "against what the setup and the first start made:\n" << disagreement;

    // Analysed, not removed: closing the window changes nothing.
    dialog.DestroyWindow();
    const std::string changes = StateDifference(*afterFirstStart, fixtures::MachineState());
    EXPECT_TRUE(changes.empty()) << "changed by an analysis:\n" << changes;
}

TEST_F(RealInstallerEndToEndTest, UninstallerLeavesWhatRealOnesLeaveAndThePageTakesExactlyThat)
{
    HWND quick = dialog.quickPage.m_hWnd, smart = dialog.smartPage.m_hWnd, products = GetDlgItem(quick, IDC_LIST);
    const int row = apptest::FindRow(products, kProduct);
    ASSERT_NE(-1, row);
    apptest::SelectRow(products, row);

    // The uninstaller's copy asks, works, says it is done; the main window waits for
    // all of it, then analyses what it left.
    std::optional<fixtures::MessageBoxAnswerer> ownBoxes(IDOK);  // the main window has nothing to ask
    SendMessageA(GetDlgItem(quick, IDC_UNINSTALL), BM_CLICK, 0, 0);
    fixtures::ForeignBox asker;
    ASSERT_TRUE(fixtures::PressForeignButton(kConfirmTitle, IDOK, kProcessTimeoutMs, &asker)) << "nothing asked";
    ASSERT_TRUE(fixtures::PressForeignButton(kDoneTitle, IDOK, kProcessTimeoutMs)) << "the uninstaller did not finish";
    ASSERT_TRUE(asker.process);
    ASSERT_TRUE(apptest::PumpUntil([&] { return WaitForSingleObject(asker.process, 0) == WAIT_OBJECT_0; },
                                   kProcessTimeoutMs));
    const bool analysed = apptest::PumpUntil([&] { return AnalysisDone(smart); }, kAnalysisTimeoutMs);
    for (const fixtures::MessageBoxAnswerer::Box& each : ownBoxes->Boxes())  // but the main window's activations
        EXPECT_EQ(dialog.m_hWnd, each.window) << each.text;
    ownBoxes.reset();

    // It was the copy in the temporary folder, which goes as the restart would take
    // it, so that the machine compares.
    char temp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temp);
    EXPECT_EQ(0u, LowerAscii(asker.program).find(LowerAscii(temp))) << asker.program;
    EXPECT_EQ(1u, fixtures::PendingDeletions().count(LowerAscii(asker.program))) << asker.program;
    RemoveUninstallerCopy();

    // It took what the setup installed and left what real uninstallers leave.
    const fixtures::MachineState afterUninstall;
    EXPECT_FALSE(fixtures::KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    EXPECT_FALSE(fixtures::FileExists(MainProgram()));
    EXPECT_TRUE(fixtures::FileExists(ProgramLog()));
    EXPECT_TRUE(fixtures::FileExists(JoinPath(SettingsFolder(), "settings.ini")));
    EXPECT_TRUE(fixtures::ValueExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Acme", "InstallPath"));
    EXPECT_TRUE(fixtures::KeyExists(HKEY_CURRENT_USER, "Software\\Acme\\AcmeWriter"));
    const Rows left = NewRows(*beforeSetup, afterUninstall), made = NewRows(*beforeSetup, *afterFirstStart);
    for (const std::string& row : left.All())
        EXPECT_TRUE(made.Has(row)) << "made by the uninstaller: " << row;

    ASSERT_TRUE(analysed) << "no analysis of the leftovers on the smart page";
    EXPECT_EQ(-1, apptest::FindRow(products, kProduct));
    const PageRows listed = ReadPage(GetDlgItem(smart, IDC_LIST));
    EXPECT_TRUE(listed.unticked.empty()) << "unticked:\n" << fixtures::JoinLines(listed.unticked);
    const std::string disagreement = Disagreement(listed.rows, left);
    EXPECT_TRUE(disagreement.empty()) << "against what the uninstaller left:\n" << disagreement;

    // The removal takes the listed rows and nothing else; then the machine is as it
    // was before the setup.
    EXPECT_FALSE(fixtures::MessageBoxAnswerer::TextsDuring(IDOK, [&] {
        SendMessageA(GetDlgItem(smart, IDC_UNINSTALL), BM_CLICK, 0, 0);
        apptest::Pump();
    }).empty());
    const fixtures::MachineState afterRemoval;
    const std::vector<std::string> unlisted = fixtures::UnlistedChanges(afterUninstall, afterRemoval, listed.traces);
    EXPECT_TRUE(unlisted.empty()) << "changed, not listed:\n" << fixtures::JoinLines(unlisted);
    const std::string differences = StateDifference(*beforeSetup, afterRemoval);
    EXPECT_TRUE(differences.empty()) << "not as before the setup:\n" << differences;
}

}  // namespace
