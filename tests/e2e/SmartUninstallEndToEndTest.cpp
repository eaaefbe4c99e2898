// The whole smart uninstall as a user does it on the demo machine: the main window,
// the smart page, a target named four ways, the analysis, the removal. Every listed
// trace must be one the product's setup made, every one it made must be listed, and
// afterwards nothing but the listed traces may be missing from the machine.
#include "framework/WinApp.h"
#include "resource.h"
#include "support/AppTestSupport.h"
#include "support/Fixtures.h"
#include "support/MessageBoxAnswerer.h"
#include "support/TraceCoverage.h"
#include "ui/MainDialog.h"

#include "DemoCatalog.h"
#include "DemoSeed.h"
#include "ProductTraces.h"

#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

using fixtures::ListedTraces;

enum TargetKind { DESKTOP_SHORTCUT, START_MENU_SHORTCUT, EXECUTABLE, PROGRAM_FOLDER };

const char* TargetKindName(int kind)
{
    static const char* const names[] = {"DesktopShortcut", "StartMenuShortcut", "Executable", "Folder"};
    return names[kind];
}

using e2e::KeyRowExists;
using e2e::Lower;
using e2e::ProductTraces;
using e2e::TracesOf;
using e2e::ValueRowExists;

struct Case {
    size_t product;
    int target;
};

std::string CaseName(const testing::TestParamInfo<Case>& info)
{
    return "Product" + std::to_string(info.param.product) + "_" + TargetKindName(info.param.target);
}

class SmartUninstallEndToEndTest : public testing::TestWithParam<Case> {
protected:
    // The demo machine is seeded once, and every case puts back the product it
    // removed, so each case starts from the same machine as the first one did.
    static void SetUpTestSuite()
    {
        demo::RemoveDemoMachine();
        seeded = demo::SeedDemoMachine(demo::BuiltPayloadFolder(), &failedStep);
        if (seeded)
            baseline.emplace();
    }
    static void TearDownTestSuite() { demo::RemoveDemoMachine(); }

    void SetUp() override
    {
        ASSERT_TRUE(seeded) << failedStep << " from " << demo::BuiltPayloadFolder();
        ASSERT_TRUE(dialog.Create(IDD_MAIN_DIALOG));
        dialog.SendMessage(WM_COMMAND, MAKEWPARAM(ID_PAGE_SMART, BN_CLICKED), 0);
        apptest::Pump();
        page = dialog.smartPage.m_hWnd;
        list = GetDlgItem(page, IDC_LIST);
        ASSERT_NE(nullptr, list);
        ASSERT_TRUE(GetWindowLongPtrA(page, GWL_STYLE) & WS_VISIBLE);
    }
    void TearDown() override
    {
        if (dialog.IsWindow())
            dialog.DestroyWindow();
        std::string step;
        const demo::DemoProduct& product = demo::DemoProducts().at(GetParam().product);
        if (seeded && !restored && !demo::InstallProduct(product, demo::BuiltPayloadFolder(), &step)) {
            seeded = false;
            failedStep = "reinstalling " + std::string(product.uninstallKey) + ": " + step;
        }
    }

    static inline bool seeded = false;
    static inline std::string failedStep;
    static inline std::optional<fixtures::MachineState> baseline;

    std::string Target(const demo::DemoProduct& product, int kind) const
    {
        switch (kind) {
        case DESKTOP_SHORTCUT:
            return demo::DesktopShortcutPath(product);
        case START_MENU_SHORTCUT:
            return demo::GroupShortcutPath(product, product.shortcutName);
        case EXECUTABLE:
            return demo::ProductFile(product, product.exeName);
        default:
            return demo::ProductFolder(product);
        }
    }

    // Restores the newest backup through the restore page, as the user does, and
    // checks that the machine is as it was before the removal.
    void RestoreAndCompare(const fixtures::MachineState& before)
    {
        dialog.SendMessage(WM_COMMAND, MAKEWPARAM(ID_PAGE_RESTORE, BN_CLICKED), 0);
        HWND restorePage = dialog.restorePage.m_hWnd;
        HWND backups = GetDlgItem(restorePage, IDC_BACKUP_LIST);
        ASSERT_GE(apptest::ItemCount(backups), 1);
        EXPECT_EQ(LoadStringText(IDS_STATE_READY), apptest::ItemText(backups, 0, 3));
        apptest::SelectOnly(backups, {0});
        {
            fixtures::MessageBoxAnswerer answerer(IDYES);
            SendMessageA(GetDlgItem(restorePage, IDC_RESTORE), BM_CLICK, 0, 0);
            apptest::Pump();
            ASSERT_GE(answerer.Count(), 1u);
            EXPECT_EQ(LoadStringText(IDS_CONFIRM_RESTORE), answerer.Boxes()[0].text);
        }
        std::string status = apptest::WindowText(GetDlgItem(restorePage, IDC_RESTORE_STATUS));
        int restoredCount = atoi(status.c_str() + std::min(status.size(), status.find_first_of("0123456789")));
        EXPECT_GT(restoredCount, 0) << status;
        EXPECT_EQ(apptest::FormatString(IDS_RESTORE_SUMMARY, restoredCount, 0), status);
        EXPECT_EQ(LoadStringText(IDS_STATE_RESTORED), apptest::ItemText(backups, 0, 3));
        const std::vector<std::string> differences = fixtures::MachineDifferences(before, fixtures::MachineState());
        EXPECT_TRUE(differences.empty()) << "not as before the removal:\n" << fixtures::JoinLines(differences);
        restored = differences.empty();
    }

    CMainDialog dialog;
    HWND page = nullptr;
    HWND list = nullptr;
    bool restored = false;
};

TEST_P(SmartUninstallEndToEndTest, ListsExactlyTheProductsTracesAndRemovesOnlyThem)
{
    const demo::DemoProduct& product = demo::DemoProducts().at(GetParam().product);
    std::string target = Target(product, GetParam().target);
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(target.c_str())) << target;
    ProductTraces expected = TracesOf(product);
    ASSERT_GE(expected.files.size(), 10u);
    ASSERT_GE(expected.keys.size(), 8u);
    std::set<std::string> others;
    for (const demo::DemoProduct& other : demo::DemoProducts()) {
        if (&other != &product) {
            std::set<std::string> all = TracesOf(other).All();
            others.insert(all.begin(), all.end());
        }
    }
    const fixtures::MachineState& before = *baseline;

    // The analysis, started as the user starts it.
    SetWindowTextA(GetDlgItem(page, IDC_TARGET), target.c_str());
    SendMessageA(GetDlgItem(page, IDC_ANALYZE), BM_CLICK, 0, 0);
    apptest::Pump();
    std::vector<std::string> rows = apptest::ColumnTexts(list);
    ASSERT_FALSE(rows.empty()) << target;
    EXPECT_EQ(LoadStringText(IDS_ANALYSIS_DONE), apptest::WindowText(GetDlgItem(page, IDC_STATUS)));

    std::set<std::string> listed(rows.begin(), rows.end());
    std::set<std::string> expectedLower = Lower(expected.All());
    std::set<std::string> listedLower = Lower(listed);
    std::set<std::string> othersLower = Lower(others);
    std::vector<std::string> foreign, notOfProduct, unlisted;
    for (const std::string& row : listedLower) {
        if (othersLower.count(row))
            foreign.push_back(row);
        else if (!expectedLower.count(row))
            notOfProduct.push_back(row);
    }
    for (const std::string& trace : expectedLower) {
        if (!listedLower.count(trace))
            unlisted.push_back(trace);
    }
    EXPECT_TRUE(foreign.empty()) << "another product's traces listed:\n" << fixtures::JoinLines(foreign);
    EXPECT_TRUE(notOfProduct.empty()) << "listed, but not made by the setup:\n" << fixtures::JoinLines(notOfProduct);
    EXPECT_TRUE(unlisted.empty()) << "made by the setup, not listed:\n" << fixtures::JoinLines(unlisted);

    // Each row is checked and carries the icon of its kind.
    ListedTraces traces;
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
        EXPECT_TRUE(apptest::ItemChecked(list, row)) << rows[row];
        std::string lower = fixtures::LowerAscii(rows[row]);
        int image = apptest::ItemImage(list, row);
        if (Lower(expected.keys).count(lower)) {
            EXPECT_EQ(3, image) << rows[row];
            traces.keys.push_back(rows[row]);
        } else if (Lower(expected.values).count(lower)) {
            EXPECT_EQ(2, image) << rows[row];
            traces.values.push_back(rows[row]);
        } else {
            DWORD attributes = GetFileAttributesA(rows[row].c_str());
            EXPECT_EQ((attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0, image) << rows[row];
            traces.paths.push_back(rows[row]);
        }
    }

    {
        fixtures::MessageBoxAnswerer answerer(IDOK);
        SendMessageA(GetDlgItem(page, IDC_UNINSTALL), BM_CLICK, 0, 0);
        apptest::Pump();
        // The question is asked once; the hook also sees the main window when it
        // becomes active again, and the main window ignores Enter.
        ASSERT_GE(answerer.Count(), 1u);
        EXPECT_EQ(LoadStringText(IDS_CONFIRM_REMOVE), answerer.Boxes()[0].text);
    }
    ASSERT_TRUE(dialog.IsWindow());
    EXPECT_EQ(0, SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    std::string status = apptest::WindowText(GetDlgItem(page, IDC_STATUS));
    const std::string summary = LoadStringText(IDS_REMOVAL_SUMMARY);
    EXPECT_EQ(0u, status.find(summary.substr(0, summary.find('%')))) << status;
    EXPECT_NE(std::string::npos, status.find(LoadStringText(IDS_REMOVAL_UNDOABLE))) << status;

    // Every trace is gone or waits for the next start.
    std::set<std::string> pending = fixtures::PendingDeletions();
    for (const std::string& path : traces.paths) {
        bool gone = GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES;
        EXPECT_TRUE(gone || pending.count(fixtures::LowerAscii(path))) << path;
    }
    const fixtures::MachineState after;
    for (const std::string& key : traces.keys)
        EXPECT_FALSE(KeyRowExists(key)) << key;
    for (const std::string& value : traces.values)
        EXPECT_FALSE(ValueRowExists(value)) << value;

    // Nothing else went, and nothing appeared.
    const std::vector<std::string> changes = fixtures::UnlistedChanges(before, after, traces);
    EXPECT_TRUE(changes.empty()) << fixtures::JoinLines(changes);

    // The other products are whole.
    for (const std::string& trace : others) {
        if (trace.compare(0, 5, "HKEY_") != 0) {
            EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(trace.c_str())) << trace;
        }
    }
    RestoreAndCompare(before);
}

// The user unticks a folder of the product and a subkey of one of its keys: those
// rows and the path to them stay, and every other ticked row goes.
class PartialRemovalTest : public SmartUninstallEndToEndTest {};

TEST_P(PartialRemovalTest, RemovesExactlyTheTickedRows)
{
    const demo::DemoProduct& product = demo::DemoProducts().at(GetParam().product);
    SetWindowTextA(GetDlgItem(page, IDC_TARGET), Target(product, GetParam().target).c_str());
    SendMessageA(GetDlgItem(page, IDC_ANALYZE), BM_CLICK, 0, 0);
    apptest::Pump();
    std::vector<std::string> rows = apptest::ColumnTexts(list);
    const std::string keptFolder = fixtures::LowerAscii(demo::ProductFile(product, demo::DEMO_PLUGIN_FOLDER));
    const std::string keptKey =
        fixtures::LowerAscii(std::string("HKEY_CLASSES_ROOT\\CLSID\\") + product.clsid + "\\InprocServer32");
    std::vector<std::string> kept;
    ListedTraces ticked;
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
        std::string lower = fixtures::LowerAscii(rows[row]);
        if (lower == keptFolder || lower == keptKey) {
            ASSERT_TRUE(apptest::ClickCheckBox(list, row));
            kept.push_back(lower);
            continue;
        }
        ASSERT_TRUE(apptest::ItemChecked(list, row)) << rows[row];
        int image = apptest::ItemImage(list, row);
        (image == 3 ? ticked.keys : image == 2 ? ticked.values : ticked.paths).push_back(rows[row]);
    }
    ASSERT_EQ(2u, kept.size()) << fixtures::JoinLines(rows);
    const fixtures::MachineState before;
    {
        fixtures::MessageBoxAnswerer answerer(IDOK);
        SendMessageA(GetDlgItem(page, IDC_UNINSTALL), BM_CLICK, 0, 0);
        apptest::Pump();
    }

    // The unticked rows stay, and so does every ticked folder or key that holds one.
    EXPECT_TRUE(fixtures::DirExists(keptFolder));
    EXPECT_TRUE(fixtures::KeyExists(HKEY_CLASSES_ROOT, keptKey.substr(strlen("HKEY_CLASSES_ROOT\\"))));
    auto holdsKept = [&](const std::string& row) {  // a kept row lies below it
        const std::string prefix = fixtures::LowerAscii(row) + "\\";
        return std::any_of(kept.begin(), kept.end(), [&](const std::string& k) { return k.rfind(prefix, 0) == 0; });
    };
    std::set<std::string> pending = fixtures::PendingDeletions();
    for (const std::string& path : ticked.paths) {
        bool exists = GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
        if (holdsKept(path))
            EXPECT_TRUE(exists) << path;
        else
            EXPECT_TRUE(!exists || pending.count(fixtures::LowerAscii(path))) << path;
    }
    for (const std::string& key : ticked.keys)
        EXPECT_EQ(holdsKept(key), KeyRowExists(key)) << key;
    for (const std::string& value : ticked.values)
        EXPECT_FALSE(ValueRowExists(value)) << value;

    // Whatever went was ticked: a kept key's own lines are accounted for by no trace.
    const fixtures::MachineState after;
    ListedTraces accounting = ticked;
    accounting.keys.clear();
    for (const std::string& key : ticked.keys) {
        if (!holdsKept(key))
            accounting.keys.push_back(key);
    }
    const std::vector<std::string> unlisted = fixtures::UnlistedChanges(before, after, accounting);
    EXPECT_TRUE(unlisted.empty()) << fixtures::JoinLines(unlisted);
    RestoreAndCompare(before);
}

std::vector<Case> AllCases()
{
    std::vector<Case> cases;
    for (size_t product = 0; product < demo::DemoProducts().size(); ++product) {
        for (int target = DESKTOP_SHORTCUT; target <= PROGRAM_FOLDER; ++target)
            cases.push_back({product, target});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(DemoMachine, SmartUninstallEndToEndTest, testing::ValuesIn(AllCases()), CaseName);

std::vector<Case> DesktopShortcutCases()
{
    std::vector<Case> cases;
    for (size_t product = 0; product < demo::DemoProducts().size(); ++product)
        cases.push_back({product, DESKTOP_SHORTCUT});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(DemoMachine, PartialRemovalTest, testing::ValuesIn(DesktopShortcutCases()), CaseName);

}  // namespace
