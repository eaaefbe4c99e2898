// The command line on the demo machine: /list gives the quick page's products and
// /analyze the smart page's traces, in the same order, with the same texts and
// ticks; the program itself, started with them, exits 0, 2 for a refused target
// (with the page's message) and 1 for arguments that make no sense.
#include "ui/MainDialog.h"
#include "framework/WinApp.h"
#include "resource.h"
#include "support/AppTestSupport.h"
#include "support/Fixtures.h"
#include "support/TableReaders.h"
#include "ui/CommandLineRun.h"

#include "DemoCatalog.h"
#include "DemoMachineWindow.h"
#include "DemoSeed.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Fields(const std::string& line)
{
    std::vector<std::string> fields;
    std::stringstream stream(line);
    for (std::string field; std::getline(stream, field, '\t');)
        fields.push_back(field);
    return fields;
}

// The lines of a file written by the command line; each must end in CR LF.
std::vector<std::string> Lines(const std::string& file)
{
    std::string text;
    EXPECT_TRUE(fixtures::ReadFileText(file, &text)) << file;
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find("\r\n", start);
        EXPECT_NE(std::string::npos, end) << "unterminated line in " << file;
        if (end == std::string::npos)
            break;
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

class CommandLineEndToEndTest : public e2e::DemoMachineWindow<::testing::Test> {
protected:
    // Runs the command line in this process, as WinMain does, into file; its exit code.
    static int RunInto(std::vector<std::string> args, const std::string& file)
    {
        args.insert(args.begin(), "UninstallManager.exe");
        args.push_back("/out");
        args.push_back(file);
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(&arg[0]);
        int exitCode = -1;
        EXPECT_TRUE(RunCommandLine(static_cast<int>(argv.size()), argv.data(), &exitCode));
        return exitCode;
    }

    // The same into the out file, and its lines.
    std::vector<std::string> Run(std::vector<std::string> args, int expectedExit = 0)
    {
        EXPECT_EQ(expectedExit, RunInto(std::move(args), out));
        return Lines(out);
    }

    // Starts the built program itself and waits for it; its exit code.
    DWORD RunProgram(const std::string& arguments, const std::string& file = std::string()) const
    {
        const std::string program = machine::ParentFolder(machine::ExecutableFolder()) + "\\UninstallManager.exe";
        std::string commandLine =
            "\"" + program + "\" " + arguments + " /out \"" + (file.empty() ? out : file) + "\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process = {};
        if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process)) {
            ADD_FAILURE() << "cannot start " << program << ": " << GetLastError();
            return 0xFFFFFFFF;
        }
        const bool ended = WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0;
        DWORD exitCode = 0xFFFFFFFF;
        GetExitCodeProcess(process.hProcess, &exitCode);
        if (!ended)
            TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        EXPECT_TRUE(ended) << "the program did not end";
        return exitCode;
    }

    fixtures::TempDir outFolder{"umcommandline"};
    const std::string out = outFolder.Path() + "\\out.txt";
};

TEST_F(CommandLineEndToEndTest, ListGivesTheQuickPagesProductsWithTheirDetails)
{
    // A broken entry of the user's own, and the demo machine's products.
    const std::string userKey = std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") +
                                fixtures::UniqueName("CmdBroken");
    fixtures::ScopedKey broken(HKEY_CURRENT_USER, userKey);
    ASSERT_TRUE(fixtures::SetString(HKEY_CURRENT_USER, userKey, "DisplayName", "Broken\tTool"));
    ASSERT_TRUE(fixtures::SetString(HKEY_CURRENT_USER, userKey, "UninstallString", "\"C:\\no such\\uninst.exe\" /S"));
    ASSERT_TRUE(fixtures::SetString(HKEY_CURRENT_USER, userKey, "DisplayVersion", "0.9"));
    HWND quick = dialog.quickPage.m_hWnd, list = GetDlgItem(quick, IDC_LIST);
    SendMessageA(GetDlgItem(quick, IDC_REFRESH), BM_CLICK, 0, 0);
    ASSERT_TRUE(apptest::PumpUntil([&] { return !dialog.quickPage.IsLoading(); }, 30000));

    const std::vector<std::string> lines = Run({"/list"});
    ASSERT_EQ(apptest::ItemCount(list), static_cast<int>(lines.size()));
    int demoProducts = 0;
    bool sawBroken = false;
    for (int row = 0; row < apptest::ItemCount(list); ++row) {
        const std::vector<std::string> fields = Fields(lines[row]);
        ASSERT_EQ(7u, fields.size()) << lines[row];
        // The icons arrive meanwhile: the details must stay with the selected row.
        apptest::SelectOnly(list, {row});
        apptest::Pump();
        // The name's tab is a space on the line; the window shows the text as it is.
        std::string name = apptest::ItemText(list, row, 0);
        for (char& ch : name)
            ch = ch == '\t' ? ' ' : ch;
        EXPECT_EQ(name, fields[0]);
        EXPECT_EQ(apptest::ItemText(list, row, 1), fields[1]);
        EXPECT_EQ(apptest::ItemText(list, row, 2), fields[2]);
        EXPECT_EQ(apptest::WindowText(GetDlgItem(quick, IDC_KEY_PATH)), fields[3]) << row;
        for (const demo::DemoProduct& product : demo::DemoProducts()) {
            if (fields[0] != fixtures::Ansi(product.displayName))
                continue;
            ++demoProducts;
            EXPECT_EQ(product.version, fields[4]);
            EXPECT_EQ("HKLM", fields[5]);
            // An Installer product that Windows Installer does not know leaves MsiExec
            // nothing to remove: its uninstaller counts as missing, as one that is gone.
            const bool missing = (product.windowsInstaller && !demo::HasInstallerRegistration(product)) ||
                                 product.uninstallerMissing;
            EXPECT_EQ(missing ? "0" : "1", fields[6]) << "whether its uninstaller is there";
        }
        if (fields[0] == "Broken Tool") {
            sawBroken = true;
            EXPECT_EQ("HKEY_CURRENT_USER\\" + userKey, fields[3]);
            EXPECT_EQ((std::vector<std::string>{"0.9", "HKCU", "0"}), std::vector<std::string>(fields.begin() + 4, fields.end()));
        }
    }
    EXPECT_EQ(static_cast<int>(demo::DemoProducts().size()), demoProducts);
    EXPECT_TRUE(sawBroken);

    // The program itself writes the same lines.
    EXPECT_EQ(0u, RunProgram("/list"));
    EXPECT_EQ(lines, Lines(out));
}

// /list into a .csv or .html file: the quick page's export, the same products in the
// same order under the page's column headers, with the estimated size and the install
// date; a name with a comma, quotes and a double-byte character intact. Any other
// file still takes the lines; a file that cannot be written ends with 1.
TEST_F(CommandLineEndToEndTest, ListExportsTheQuickPagesTableToCsvAndHtml)
{
    const std::string userKey = std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") +
                                fixtures::UniqueName("CmdExport");
    const std::string name = "Tool, \"Pro\" \x95\x5C";  // a second byte that is '\\'
    fixtures::ScopedKey entry(HKEY_CURRENT_USER, userKey);
    ASSERT_TRUE(fixtures::SetString(HKEY_CURRENT_USER, userKey, "DisplayName", name));
    ASSERT_TRUE(fixtures::SetString(HKEY_CURRENT_USER, userKey, "UninstallString", "\"C:\\no such\\uninst.exe\" /S"));
    ASSERT_TRUE(fixtures::SetString(HKEY_CURRENT_USER, userKey, "DisplayVersion", "3.1"));
    ASSERT_TRUE(fixtures::SetDword(HKEY_CURRENT_USER, userKey, "EstimatedSize", 2048));
    ASSERT_TRUE(fixtures::SetString(HKEY_CURRENT_USER, userKey, "InstallDate", "20230405"));
    SYSTEMTIME today;
    GetLocalTime(&today);
    char seeded[16];
    snprintf(seeded, sizeof(seeded), "%04d-%02d-%02d", today.wYear, today.wMonth, today.wDay);

    const std::vector<std::string> lines = Run({"/list"});
    const std::string csvFile = outFolder.Path() + "\\products.csv", htmlFile = outFolder.Path() + "\\products.html";
    ASSERT_EQ(0, RunInto({"/list"}, csvFile));
    ASSERT_EQ(0, RunInto({"/list"}, htmlFile));
    std::string csv, html;
    ASSERT_TRUE(fixtures::ReadFileText(csvFile, &csv) && fixtures::ReadFileText(htmlFile, &html));
    const tablereaders::Rows rows = tablereaders::ReadCsv(csv);
    EXPECT_EQ(rows, tablereaders::ReadHtml(html));
    ASSERT_EQ(lines.size() + 1, rows.size());
    std::vector<std::string> headers;
    for (UINT id : {IDS_COL_NAME, IDS_COL_COMMAND, IDS_COL_PUBLISHER, IDS_COL_VERSION, IDS_COL_SIZE,
                    IDS_COL_INSTALL_DATE, IDS_COL_SOURCE})
        headers.push_back(LoadStringText(id));
    EXPECT_EQ(headers, rows[0]);
    int demoProducts = 0;
    bool sawEntry = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::vector<std::string> fields = Fields(lines[i]), &row = rows[i + 1];
        ASSERT_EQ(7u, row.size()) << lines[i];
        // Name, command, publisher, version and source as the lines give them.
        EXPECT_EQ((std::vector<std::string>{fields[0], fields[1], fields[2], fields[4], fields[5]}),
                  (std::vector<std::string>{row[0], row[1], row[2], row[3], row[6]}));
        for (const demo::DemoProduct& product : demo::DemoProducts()) {
            if (row[0] != fixtures::Ansi(product.displayName))
                continue;
            ++demoProducts;
            EXPECT_EQ("", row[4]) << "no size estimated";
            EXPECT_EQ(seeded, row[5]) << "the day its key was written";
        }
        if (row[0] == name) {
            sawEntry = true;
            EXPECT_EQ((std::vector<std::string>{"3.1", "2048", "2023-04-05", "HKCU"}),
                      std::vector<std::string>(row.begin() + 3, row.end()));
        }
    }
    EXPECT_EQ(static_cast<int>(demo::DemoProducts().size()), demoProducts);
    EXPECT_TRUE(sawEntry);

    // The program itself writes the same table; a file that cannot be written ends with 1.
    ASSERT_TRUE(DeleteFileA(csvFile.c_str()));
    EXPECT_EQ(0u, RunProgram("/list", csvFile));
    std::string written;
    ASSERT_TRUE(fixtures::ReadFileText(csvFile, &written));
    EXPECT_EQ(csv, written);
    const std::string unwritable = outFolder.Path() + "\\missing\\products.csv";
    EXPECT_EQ(1, RunInto({"/list"}, unwritable));
    EXPECT_EQ(1u, RunProgram("/list", outFolder.Path() + "\\missing\\products.html"));
    EXPECT_FALSE(fixtures::DirExists(outFolder.Path() + "\\missing"));
}

TEST_F(CommandLineEndToEndTest, AnalyzeGivesTheSmartPagesTracesTicksAndDescriptions)
{
    dialog.SendMessage(WM_COMMAND, MAKEWPARAM(ID_PAGE_SMART, BN_CLICKED), 0);
    HWND smart = dialog.smartPage.m_hWnd, rows = GetDlgItem(smart, IDC_LIST);
    // An unticked row too: another tool's settings naming the first product's program.
    const std::string firstProgram = demo::ProductFile(demo::DemoProducts()[0], demo::DemoProducts()[0].exeName);
    fixtures::ScopedKey otherTool(HKEY_CURRENT_USER, "Software\\" + fixtures::UniqueName("CmdOtherTool"));
    ASSERT_TRUE(fixtures::SetString(HKEY_CURRENT_USER, otherTool.Path(), "Viewer", firstProgram));
    int unticked = 0;
    for (const demo::DemoProduct& product : demo::DemoProducts()) {
        const std::string target = demo::ProductFile(product, product.exeName);
        SCOPED_TRACE(target);
        SetWindowTextA(GetDlgItem(smart, IDC_TARGET), target.c_str());
        SendMessageA(GetDlgItem(smart, IDC_ANALYZE), BM_CLICK, 0, 0);
        apptest::Pump();
        ASSERT_EQ(LoadStringText(IDS_ANALYSIS_DONE), apptest::WindowText(GetDlgItem(smart, IDC_STATUS)));

        const std::vector<std::string> lines = Run({"/analyze", target});
        ASSERT_EQ(apptest::ItemCount(rows), static_cast<int>(lines.size()));
        ASSERT_GE(lines.size(), 10u);
        for (int row = 0; row < apptest::ItemCount(rows); ++row) {
            const std::string shown = std::string(apptest::ItemChecked(rows, row) ? "1" : "0") + "\t" +
                                      apptest::ItemText(rows, row, 0) + "\t" + apptest::ItemText(rows, row, 1);
            EXPECT_EQ(shown, lines[row]);
            unticked += !apptest::ItemChecked(rows, row);
        }
    }
    EXPECT_GE(unticked, 1);
}

TEST_F(CommandLineEndToEndTest, RefusedTargetsAndBadArgumentsEndWithTheirCodeAndMessage)
{
    const std::string refused = fixtures::WindowsFolder() + "\\notepad.exe";
    EXPECT_EQ(std::vector<std::string>{LoadStringText(IDS_REFUSED)}, Run({"/analyze", refused}, 2));
    EXPECT_EQ(std::vector<std::string>{LoadStringText(IDS_REFUSED)}, Run({"/analyze", "relative\\app.exe"}, 2));
    std::vector<std::string> usage = Lines(out);
    for (const auto& args : {std::vector<std::string>{"/analyze"}, std::vector<std::string>{"/list", "/bogus"},
                             std::vector<std::string>{"/list", "/analyze", refused}}) {
        usage = Run(args, 1);
        ASSERT_FALSE(usage.empty());
        EXPECT_EQ(LoadStringText(IDS_COMMAND_USAGE).substr(0, usage[0].size()), usage[0]);
    }
    // No command: the window is wanted, and nothing was written.
    std::vector<char*> none = {const_cast<char*>("UninstallManager.exe")};
    int exitCode = -1;
    EXPECT_FALSE(RunCommandLine(1, none.data(), &exitCode));
    EXPECT_EQ(-1, exitCode);

    EXPECT_EQ(2u, RunProgram("/analyze \"" + refused + "\""));
    EXPECT_EQ(std::vector<std::string>{LoadStringText(IDS_REFUSED)}, Lines(out));
    EXPECT_EQ(1u, RunProgram("/analyze"));
}

}  // namespace
