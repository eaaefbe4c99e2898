// "Uninstall, then clean up" through the main window on the demo machine: the quick
// page runs a product's own uninstaller (one that relaunches from the temporary
// folder and exits at once, one that does the work itself), the user answers its
// question, the window waits for it without freezing, then the smart page lists
// exactly what the uninstaller left, ticked, and removes only that. A cancelled
// uninstaller leaves the product listed and nothing analysed.
#include "framework/Handles.h"
#include "resource.h"
#include "support/AppTestSupport.h"
#include "support/Fixtures.h"
#include "support/ForeignDialog.h"
#include "support/MessageBoxAnswerer.h"
#include "support/ResponsivenessProbe.h"
#include "support/TraceCoverage.h"
#include "ui/MainDialog.h"

#include "DemoMachineWindow.h"
#include "DemoSeed.h"
#include "InstallLog.h"
#include "ProductTraces.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <optional>

namespace {

using fixtures::LowerAscii;
using fixtures::detail::Listed;
const DWORD kTimeoutMs = 30000;
// A hang a user would notice is far longer; on a shared, loaded test machine a
// thread may stall about 130 ms where it takes 30 ms alone.
const double kLongestStretchMs = 250;
const DWORD kLingerMs = 1400;  // the demo uninstallers stay 1.5 s after their work

// The lines of a that b lacks, for a failure message.
std::string Minus(const std::set<std::string>& a, const std::set<std::string>& b)
{
    std::vector<std::string> lines;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(lines));
    return fixtures::JoinLines(lines);
}

struct Case {
    size_t product;
    int answer;
};

class LeftoversEndToEndTest : public e2e::DemoMachineWindow<testing::TestWithParam<Case>> {
protected:
    // Back to the seeded machine: the product reinstalled, the deletions waiting for
    // the restart as they were.
    void TearDown() override
    {
        DemoMachineWindow::TearDown();
        const demo::DemoProduct& product = demo::DemoProducts().at(GetParam().product);
        std::string step;
        if (seeded && !demo::InstallProduct(product, demo::BuiltPayloadFolder(), &step))
            seeded = false, failedStep = "reinstalling " + std::string(product.uninstallKey) + ": " + step;
    }

    fixtures::ScopedPendingRenames pendingRenames;
};

TEST_P(LeftoversEndToEndTest, WaitsForTheUninstallerThenRemovesExactlyWhatItLeft)
{
    const demo::DemoProduct& product = demo::DemoProducts().at(GetParam().product);
    const bool yes = GetParam().answer == IDYES, relaunches = product.uninstallerRelaunches;
    const std::string folder = demo::ProductFolder(product), name = fixtures::Ansi(product.displayName);
    demo::InstallLog log;
    ASSERT_TRUE(demo::ReadInstallLog(fixtures::JoinPath(folder, demo::DEMO_INSTALL_LOG), &log));
    const e2e::ProductTraces traces = e2e::TracesOf(product);
    // What the uninstaller takes: what its log lists, the log and its entry. Run from
    // the product folder it cannot delete its own file, which waits for the restart.
    fixtures::ListedTraces taken;
    taken.keys = {"HKEY_LOCAL_MACHINE\\" + demo::UninstallKeyPath(product)};
    taken.paths = {fixtures::JoinPath(folder, demo::DEMO_INSTALL_LOG)};
    for (const std::vector<std::string>* names : {&log.files, &log.folders})
        for (const std::string& each : *names)
            if (relaunches || each != product.uninstallerName)
                taken.paths.push_back(fixtures::JoinPath(folder, each));
    const fixtures::MachineState before;

    // The user answers the uninstaller; the main window waits for all of it, answering
    // messages all the while, then shows the leftovers or, cancelled, what there was.
    HWND quick = dialog.quickPage.m_hWnd, smart = dialog.smartPage.m_hWnd, list = GetDlgItem(quick, IDC_LIST);
    HWND status = GetDlgItem(smart, IDC_STATUS), rowsList = GetDlgItem(smart, IDC_LIST);
    ASSERT_NE(-1, apptest::FindRow(list, name));
    apptest::SelectRow(list, apptest::FindRow(list, name));
    fixtures::ResponsivenessProbe probe;
    std::optional<fixtures::MessageBoxAnswerer> ownBoxes(IDOK);  // the main window has nothing to ask
    SendMessageA(GetDlgItem(quick, IDC_UNINSTALL), BM_CLICK, 0, 0);
    fixtures::ForeignBox box;
    ASSERT_TRUE(fixtures::PressForeignButton(fixtures::Ansi("卸载程序"), GetParam().answer, kTimeoutMs, &box));
    const DWORD answeredAt = GetTickCount();
    ASSERT_TRUE(box.process);
    ASSERT_TRUE(apptest::PumpUntil([&] { return WaitForSingleObject(box.process, 0) == WAIT_OBJECT_0; }, kTimeoutMs));
    const DWORD lingered = GetTickCount() - answeredAt;
    const bool waited = apptest::PumpUntil(
        [&] {
            return yes ? IsWindowVisible(smart) && apptest::WindowText(status) == LoadStringText(IDS_ANALYSIS_DONE)
                       : IsWindowEnabled(GetDlgItem(quick, IDC_REFRESH)) != FALSE;
        },
        kTimeoutMs);
    EXPECT_LT(probe.Stop(), kLongestStretchMs);
    for (const fixtures::MessageBoxAnswerer::Box& each : ownBoxes->Boxes())  // but the main window's activations
        EXPECT_EQ(dialog.m_hWnd, each.window) << each.text;
    ownBoxes.reset();

    // The one that asked ran from a copy in the temporary folder, which waits for the
    // restart, or from the product folder, lingered, and took exactly what it should.
    EXPECT_EQ(fixtures::Ansi("确定要卸载 ") + name + fixtures::Ansi(" 吗?"), box.text);
    DWORD exitCode = 0;
    EXPECT_TRUE(GetExitCodeProcess(box.process, &exitCode) && exitCode == (yes ? 0u : 1u)) << exitCode;
    EXPECT_GE(lingered, yes ? kLingerMs : 0);
    char temp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temp);
    const std::string asker = LowerAscii(box.program);
    const std::string own = LowerAscii(fixtures::JoinPath(folder, product.uninstallerName));
    const bool fromTemp = asker.find(LowerAscii(temp)) == 0;
    EXPECT_TRUE(relaunches ? fromTemp : asker == own) << asker;
    EXPECT_EQ(relaunches || yes, fixtures::PendingDeletions().count(relaunches ? asker : own) == 1) << asker;
    // The copy goes as the restart would take it, so that the machine compares.
    EXPECT_TRUE(!fromTemp || DeleteFileA(asker.c_str())) << asker;
    const std::vector<std::string> byUninstaller =
        fixtures::UnlistedChanges(before, fixtures::MachineState(), yes ? taken : fixtures::ListedTraces());
    EXPECT_TRUE(byUninstaller.empty()) << fixtures::JoinLines(byUninstaller);
    for (const std::string& path : taken.paths)
        EXPECT_NE(yes, fixtures::FileExists(path) || fixtures::DirExists(path)) << path;
    EXPECT_NE(yes, e2e::KeyRowExists(taken.keys[0]));

    ASSERT_TRUE(waited) << (yes ? "no analysis of the leftovers on the smart page" : "still waiting");
    EXPECT_EQ(yes, apptest::FindRow(list, name) == -1);
    EXPECT_EQ(yes, IsWindowVisible(smart) != FALSE);
    if (!yes)
        return;
    EXPECT_EQ(LowerAscii(folder), LowerAscii(apptest::WindowText(GetDlgItem(smart, IDC_TARGET))));

    // Listed, each ticked: the product's traces but what the uninstaller took.
    std::set<std::string> expected, listed;
    for (const std::string& trace : traces.All())
        if (!Listed(trace, taken.paths, false) && !Listed(trace, taken.keys, true))
            expected.insert(LowerAscii(trace));
    const std::vector<std::string> rows = apptest::ColumnTexts(rowsList);
    for (size_t row = 0; row < rows.size(); ++row) {
        listed.insert(LowerAscii(rows[row]));
        EXPECT_TRUE(apptest::ItemChecked(rowsList, static_cast<int>(row))) << rows[row];
    }
    EXPECT_TRUE(expected == listed) << "listed, not left over:\n"
                                    << Minus(listed, expected) << "left over, not listed:\n"
                                    << Minus(expected, listed);

    // The removal takes every trace of the product and nothing else.
    EXPECT_FALSE(fixtures::MessageBoxAnswerer::TextsDuring(IDOK, [&] {
        SendMessageA(GetDlgItem(smart, IDC_UNINSTALL), BM_CLICK, 0, 0);
        apptest::Pump();
    }).empty());
    const std::set<std::string> waiting = fixtures::PendingDeletions();
    for (const std::string& path : traces.files)
        EXPECT_TRUE(waiting.count(LowerAscii(path)) || !(fixtures::FileExists(path) || fixtures::DirExists(path)))
            << path;
    for (const std::string& key : traces.keys)
        EXPECT_FALSE(e2e::KeyRowExists(key)) << key;
    for (const std::string& value : traces.values)
        EXPECT_FALSE(e2e::ValueRowExists(value)) << value;
    const fixtures::ListedTraces all{{traces.files.begin(), traces.files.end()},
                                     {traces.keys.begin(), traces.keys.end()},
                                     {traces.values.begin(), traces.values.end()}};
    const std::vector<std::string> changes = fixtures::UnlistedChanges(before, fixtures::MachineState(), all);
    EXPECT_TRUE(changes.empty()) << fixtures::JoinLines(changes);
}

INSTANTIATE_TEST_SUITE_P(DemoMachine, LeftoversEndToEndTest,
                         testing::Values(Case{0, IDYES}, Case{2, IDYES}, Case{2, IDNO}),
                         [](const testing::TestParamInfo<Case>& info) {
                             return "Product" + std::to_string(info.param.product) +
                                    (info.param.answer == IDYES ? "_Yes" : "_No");
                         });

}  // namespace
