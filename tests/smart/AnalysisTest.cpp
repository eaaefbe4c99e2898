#include <gtest/gtest.h>

#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <thread>

#include "SampleProgram.h"
#include "TraceTestSupport.h"
#include "framework/ProgramFilesFolder.h"
#include "resource.h"
#include "support/Fixtures.h"

using namespace fixtures;
using namespace smarttest;

namespace {

std::string ProgramFiles()
{
    char folder[MAX_PATH];
    return GetProgramFilesFolder(folder, MAX_PATH) ? folder : "";
}

std::string ShortPath(const std::string& path)
{
    char shortPath[MAX_PATH] = "";
    GetShortPathNameA(path.c_str(), shortPath, MAX_PATH);
    return shortPath;
}

// The short name of the last component (ASCII, as the file system makes them).
std::string ShortName(const std::wstring& path)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(path.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return std::string();
    FindClose(find);
    return std::string(data.cAlternateFileName, data.cAlternateFileName + wcslen(data.cAlternateFileName));
}

}  // namespace

// An accepted target is listed in the one form the file system gives it; refusals
// hold for every spelling of a path, and forget the program folders of before.
TEST(Analysis, TargetsAreJudgedInTheirFullLongForm)
{
    CTraceAnalyzer analyzer;
    TempDir base("umfull");
    std::string folder = base.Path() + "\\A Long Folder Name";
    ASSERT_TRUE(WriteFileText(folder + "\\app.exe"));
    std::string typed = ShortPath(folder) + "/sub/../APP.EXE";
    std::replace(typed.begin(), typed.begin() + 3, '\\', '/');
    std::vector<std::string> expected = {FileTrace(folder + "\\app.exe"), FolderTrace(folder)};
    EXPECT_EQ(expected, Analyze(analyzer, typed)) << typed;
    ASSERT_EQ(std::vector<std::string>{folder}, analyzer.GetProgramFolders());

    std::string windows = WindowsFolder();
    std::string slashed = windows;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    std::string programs = SpecialFolder(CSIDL_PROGRAMS);
    std::string group = programs + "\\" + UniqueName("umgroup");
    std::string direct = ProgramFiles() + "\\" + UniqueName("umdirect") + ".exe";
    std::string root = "C:\\" + UniqueName("umroot") + ".exe";
    ScopedDir cleanup1(group), cleanup2(direct), cleanup3(root);
    ASSERT_TRUE(MakeShortcut(group + "\\App.lnk", root));
    ASSERT_TRUE(WriteFileText(direct) && WriteFileText(root));
    const std::string refused[] = {
        "C:\\no such folder\\app.exe", "", WindowsFolder() + "\\*.exe", "C:", "app.exe",
        slashed + "/notepad.exe", windows + "\\system32\\..\\notepad.exe", windows + ".\\notepad.exe",
        "C:\\x\\..\\" + windows.substr(3) + "\\notepad.exe", ProgramFiles(), ShortPath(ProgramFiles()), direct,
        root, programs, group, SpecialFolder(CSIDL_PERSONAL), SpecialFolder(CSIDL_PROFILE) + "\\Downloads", "C:\\"};
    for (const std::string& target : refused) {
        int result = 1;
        EXPECT_TRUE(Analyze(analyzer, target, &result).empty()) << target;
        EXPECT_EQ(0, result) << target;
        EXPECT_TRUE(analyzer.GetProgramFolders().empty()) << target;
    }
}

// Links to folders (back to the program, outside, to an empty folder) are listed
// and removed as links, never entered.
TEST(Analysis, FolderLinksAreListedButNeverEntered)
{
    TempDir base("umlink");
    std::string app = base.Path() + "\\App";
    std::string outside = base.Path() + "\\Outside";
    std::string empty = base.Path() + "\\Empty";
    WriteFileText(app + "\\app.exe");
    WriteFileText(outside + "\\precious.txt");
    MakeDirs(empty);
    ASSERT_TRUE(MakeFolderLink(app + "\\empty", empty));
    ASSERT_TRUE(MakeFolderLink(app + "\\loop", app));
    ASSERT_TRUE(MakeFolderLink(app + "\\other", outside));

    CTraceAnalyzer analyzer;
    std::vector<std::string> traces = Analyze(analyzer, app + "\\app.exe");
    std::vector<std::string> expected = {FileTrace(app + "\\app.exe"), FolderTrace(app + "\\empty"),
                                         FolderTrace(app + "\\loop"), FolderTrace(app + "\\other"), FolderTrace(app)};
    EXPECT_EQ(expected, traces);

    // Removing every trace removes nothing behind the links.
    analyzer.RemoveChecked(std::vector<bool>(analyzer.GetItemCount(), true));
    EXPECT_TRUE(FileExists(outside + "\\precious.txt"));
    EXPECT_TRUE(DirExists(empty));
    for (const char* link : {"\\empty", "\\loop", "\\other"})
        RemoveFolderLink(app + link);
}

TEST(Analysis, OverLongNamesAreSkippedNotCut)
{
    TempDir base("umlong");
    std::string app = base.Path() + "\\App";
    WriteFileText(app + "\\app.exe");
    // A file whose full path exceeds 259 characters, made through the wide API.
    std::string longName(250 - app.size(), 'n');
    std::wstring wideFolder(app.begin(), app.end());
    std::wstring wideLong = L"\\\\?\\" + wideFolder + L"\\" + std::wstring(longName.begin(), longName.end()) +
                            L"\\" + std::wstring(20, L'f');
    CreateDirectoryW((L"\\\\?\\" + wideFolder + L"\\" + std::wstring(longName.begin(), longName.end())).c_str(),
                     nullptr);
    HANDLE file = CreateFileW(wideLong.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    CloseHandle(file);

    CTraceAnalyzer analyzer;
    std::vector<std::string> traces = Analyze(analyzer, app + "\\app.exe");
    std::vector<std::string> expected = {FileTrace(app + "\\app.exe"), FolderTrace(app + "\\" + longName),
                                         FolderTrace(app)};
    EXPECT_EQ(expected, traces);
    for (size_t i = 0; i < analyzer.GetItemCount(); ++i)
        EXPECT_LT(strlen(analyzer.GetItem(i)->path), static_cast<size_t>(MAX_PATH));
    DeleteFileW(wideLong.c_str());
}

TEST(Analysis, KeepsDispatchingMessagesDuringWalksWithoutHits)
{
    TempDir empty("umquiet");
    TraceRecorder recorder;
    CTraceAnalyzer analyzer;
    // The only trace (the empty folder) comes first; then the registry walks find
    // nothing. A message that arrives during the walks must still be dispatched.
    std::atomic<DWORD> postedAt{0};
    std::atomic<bool> stop{false};
    HWND window = recorder.Window();
    std::thread poster([&] {
        while (!stop && GetWindowLongPtrA(window, GWLP_USERDATA) && postedAt == 0) {
            if (recorder.NotificationCount() > 0) {
                Sleep(5);
                PostMessageA(window, WM_APP, 0, 0);
                postedAt = GetTickCount();
            }
            Sleep(1);
        }
    });
    analyzer.Analyze(window, empty.Path().c_str());
    DWORD finishedAt = GetTickCount();
    stop = true;
    poster.join();
    ASSERT_EQ(1u, analyzer.GetItemCount());
    ASSERT_NE(0u, postedAt.load());
    if (finishedAt - postedAt >= 150)
        EXPECT_EQ(1, recorder.AppMessages());
    else
        GTEST_SKIP() << "the walks were too short to tell";
}

// ---- Shortcuts ----------------------------------------------------------------

// The program's own groups (one two levels deep, one in the all-users menu), its
// shortcut in the Startup folder, and a group the user made ("Tools") that also starts a portable program and a product
// installed with Windows Installer, whose uninstall entry names no folder.
TEST(AnalysisShortcuts, StartMenuGroupsAreNeverProgramFolders)
{
    TempDir base("umgroups");
    std::string app = base.Path() + "\\App", portable = base.Path() + "\\Portable", msi = base.Path() + "\\Msi";
    WriteFileText(app + "\\app.exe");
    WriteFileText(app + "\\sub\\helper.exe");
    WriteFileText(portable + "\\portable.exe");
    WriteFileText(portable + "\\settings.ini");
    WriteFileText(msi + "\\msi.exe");
    std::string id = UniqueName("umgroups");
    ScopedKey entry(HKEY_LOCAL_MACHINE, std::string(kUninstallKey) + "\\" + id);
    SetString(HKEY_LOCAL_MACHINE, entry.Path(), "UninstallString", "MsiExec.exe /X{" + id + "}");
    std::string tools = SpecialFolder(CSIDL_PROGRAMS) + "\\T" + id, vendor = SpecialFolder(CSIDL_PROGRAMS) + "\\V" + id;
    std::string common = SpecialFolder(CSIDL_COMMON_PROGRAMS) + "\\C" + id;
    ScopedDir cleanup1(tools), cleanup2(vendor), cleanup3(common);
    MakeShortcut(tools + "\\App.lnk", app + "\\app.exe");
    MakeShortcut(tools + "\\Msi.lnk", msi + "\\msi.exe");
    MakeShortcut(tools + "\\Portable.lnk", portable + "\\portable.exe");
    MakeShortcut(vendor + "\\Product\\App.lnk", app + "\\app.exe");
    MakeShortcut(vendor + "\\Product\\Helper.lnk", app + "\\sub\\helper.exe");
    MakeShortcut(common + "\\App.lnk", app + "\\app.exe");
    std::string startup = SpecialFolder(CSIDL_STARTUP) + "\\" + id + ".lnk";
    ScopedDir cleanup4(startup);
    MakeShortcut(startup, app + "\\app.exe");

    std::vector<std::string> program = {FileTrace(app + "\\sub\\helper.exe"), FolderTrace(app + "\\sub"),
                                        FolderTrace(app)};
    std::vector<std::string> groups = {FileTrace(vendor + "\\Product\\App.lnk"),
                                       FileTrace(vendor + "\\Product\\Helper.lnk"), FolderTrace(vendor + "\\Product"),
                                       FolderTrace(vendor), FileTrace(common + "\\App.lnk"), FolderTrace(common)};
    CTraceAnalyzer analyzer;
    std::vector<std::string> expected = {FileTrace(app + "\\app.exe")};
    expected.insert(expected.end(), program.begin(), program.end());
    expected.insert(expected.end(), {FileTrace(startup), FileTrace(tools + "\\App.lnk")});
    expected.insert(expected.end(), groups.begin(), groups.end());
    EXPECT_EQ(expected, Analyze(analyzer, app + "\\app.exe"));

    // Picked in the user's group, the shortcut leads to its program's folder alone.
    expected = {FileTrace(tools + "\\App.lnk"), FileTrace(app + "\\app.exe")};
    expected.insert(expected.end(), program.begin(), program.end());
    expected.push_back(FileTrace(startup));
    expected.insert(expected.end(), groups.begin(), groups.end());
    EXPECT_EQ(expected, Analyze(analyzer, tools + "\\App.lnk"));
    std::vector<std::string> folders = {app};
    EXPECT_EQ(folders, analyzer.GetProgramFolders());

    int result = 1;
    EXPECT_TRUE(Analyze(analyzer, tools, &result).empty());
    EXPECT_EQ(0, result);
}

// The sample program's exact list; the same program folder and traces, once each and
// every folder after its contents, whichever way the program is named (a named shortcut comes first, then the folder);
// classes that two registry searches reach are listed once.
TEST(AnalysisShortcuts, EveryTraceOnceAndEveryFolderAfterWhatItHolds)
{
    SampleProgram sample;
    std::vector<std::string> all = sample.ExpectedTraces();
    std::set<std::string> expected(all.begin(), all.end());
    std::vector<std::string> folders = {sample.folder};
    CTraceAnalyzer analyzer;
    int result = 0;
    EXPECT_EQ(all, Analyze(analyzer, sample.Executable(), &result));  // the exact list, in order
    EXPECT_EQ(1, result);
    for (const std::string& target : {sample.group + "\\App.lnk", sample.desktopLink, sample.folder}) {
        std::vector<std::string> traces = Analyze(analyzer, target);
        EXPECT_EQ(std::vector<std::string>(), OrderFaults(traces)) << target;
        EXPECT_EQ(expected, std::set<std::string>(traces.begin(), traces.end())) << target;
        EXPECT_EQ(folders, analyzer.GetProgramFolders()) << target;
        ASSERT_GE(traces.size(), 2u);
        EXPECT_EQ(target == sample.folder ? FileTrace(sample.Executable()) : FileTrace(target), traces[0]);
    }
}

// ---- Folders ------------------------------------------------------------------

// The program's shortcuts lead to a helper folder that also holds the user's file
// and a shortcut of its own, to another product, above the program, to a drive root
// and into the documents.
TEST(AnalysisFolders, ShortcutsOutOfTheProgramFolderAreOfferedUntickedAtMost)
{
    TempDir base("umout");
    std::string id = UniqueName("umout");
    std::string app = base.Path() + "\\App", shared = base.Path() + "\\Shared", other = base.Path() + "\\Other";
    std::string rootFile = "C:\\" + id + ".txt", document = SpecialFolder(CSIDL_PERSONAL) + "\\" + id + ".txt";
    ScopedDir cleanup1(rootFile), cleanup2(document);
    for (const std::string& file : {app + "\\app.exe", shared + "\\helper.exe", shared + "\\user.txt",
                                    base.Path() + "\\Third\\third.exe", other + "\\other.exe",
                                    base.Path() + "\\readme.txt", rootFile, document})
        ASSERT_TRUE(WriteFileText(file)) << file;
    MakeShortcut(shared + "\\more.lnk", base.Path() + "\\Third\\third.exe");
    MakeShortcut(app + "\\Docs.lnk", document);
    MakeShortcut(app + "\\Helper.lnk", shared + "\\helper.exe");
    MakeShortcut(app + "\\Other.lnk", other + "\\other.exe");
    MakeShortcut(app + "\\Root.lnk", rootFile);
    MakeShortcut(app + "\\Up.lnk", base.Path() + "\\readme.txt");
    ScopedKey entry(HKEY_LOCAL_MACHINE, std::string(kUninstallKey) + "\\" + id);
    SetString(HKEY_LOCAL_MACHINE, entry.Path(), "InstallLocation", other);
    ScopedKey settings(HKEY_CURRENT_USER, "Software\\" + id);
    SetString(HKEY_CURRENT_USER, settings.Path(), "Path", shared + "\\helper.exe");

    CTraceAnalyzer analyzer;
    std::vector<std::string> weak;
    for (const std::string& trace : {FileTrace(shared + "\\helper.exe"), FileTrace(shared + "\\more.lnk"),
                                     FileTrace(shared + "\\user.txt"), FolderTrace(shared)})
        weak.push_back(WeakTrace(trace, IDS_WEAK_OUTSIDE_FOLDER));
    std::vector<std::string> expected = {FileTrace(app + "\\app.exe"), FileTrace(app + "\\Docs.lnk"),
                                         FileTrace(app + "\\Helper.lnk")};
    expected.insert(expected.end(), weak.begin(), weak.end());
    expected.insert(expected.end(), {FileTrace(app + "\\Other.lnk"), FileTrace(app + "\\Root.lnk"),
                                     FileTrace(app + "\\Up.lnk"), FolderTrace(app)});
    EXPECT_EQ(expected, Analyze(analyzer, app + "\\app.exe"));
    std::vector<std::string> folders = {app};
    EXPECT_EQ(folders, analyzer.GetProgramFolders());
}

// A program in the downloads among the user's files, and a portable program next to
// registered products: only the program file, the shortcuts to it and the registry
// data that names it are listed.
TEST(AnalysisFolders, TooWideFoldersYieldOnlyTheProgramsOwnFile)
{
    std::string id = UniqueName("umwide");
    std::string downloads = SpecialFolder(CSIDL_PROFILE) + "\\Downloads";
    std::string tool = downloads + "\\tool" + id + ".exe", photo = downloads + "\\photo" + id + ".jpg";
    std::string rootFile = "C:\\" + id + ".exe";
    std::string desktop = SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "\\" + id;
    ScopedDir cleanup1(tool), cleanup2(photo), cleanup3(downloads + "\\" + id), cleanup4(rootFile);
    ScopedDir cleanup5(desktop + "T.lnk"), cleanup6(desktop + "P.lnk"), cleanup7(desktop + "R.lnk");
    for (const std::string& file : {tool, photo, downloads + "\\" + id + "\\x.exe", rootFile})
        ASSERT_TRUE(WriteFileText(file)) << file;
    MakeShortcut(desktop + "T.lnk", tool);
    MakeShortcut(desktop + "P.lnk", photo);
    MakeShortcut(desktop + "R.lnk", rootFile);
    ScopedKey settings(HKEY_CURRENT_USER, "Software\\" + id);
    SetString(HKEY_CURRENT_USER, settings.Path(), "Folder", downloads);
    SetString(HKEY_CURRENT_USER, kRunKey, id, "\"" + tool + "\" /min");

    CTraceAnalyzer analyzer;
    std::vector<std::string> expected = {FileTrace(tool), FileTrace(desktop + "T.lnk"),
                                         ValueTrace(HKEY_CURRENT_USER, kRunKey, id)};
    EXPECT_EQ(expected, Analyze(analyzer, tool));
    EXPECT_TRUE(analyzer.GetProgramFolders().empty());
    std::swap(expected[0], expected[1]);
    EXPECT_EQ(expected, Analyze(analyzer, desktop + "T.lnk"));
    expected = {FileTrace(desktop + "R.lnk")};
    EXPECT_EQ(expected, Analyze(analyzer, desktop + "R.lnk"));
    SHDeleteValueA(HKEY_CURRENT_USER, kRunKey, id.c_str());

    // Another product's install location, uninstaller or icon below the folder, in
    // either registry view.
    const std::string wow = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    const struct {
        std::string key, value, text;
    } products[] = {{kUninstallKey, "InstallLocation", "Product"},
                    {kUninstallKey, "UninstallString", "\"Product\\unins.exe\" /S"},
                    {kUninstallKey, "DisplayIcon", "Product\\product.exe,0"},
                    {wow, "InstallLocation", "Product"}};
    for (const auto& product : products) {
        TempDir base("umtools");
        std::string folder = base.Path() + "\\Tools";
        WriteFileText(folder + "\\portable.exe");
        WriteFileText(folder + "\\notes.txt");
        WriteFileText(folder + "\\Product\\product.exe");
        std::string text = product.text;
        text.insert(text[0] == '"' ? 1 : 0, folder + "\\");
        ScopedKey entry(HKEY_LOCAL_MACHINE, (product.key == wow ? wow : product.key + "\\") + id);
        SetString(HKEY_LOCAL_MACHINE, entry.Path(), product.value, text);
        expected = {FileTrace(folder + "\\portable.exe")};
        EXPECT_EQ(expected, Analyze(analyzer, folder + "\\portable.exe")) << product.key << product.value;
    }
}

// Names with a trail byte 0x5C are taken whole; names the code page cannot spell go
// by their short names, and no path with '?' is ever a certain trace.
TEST(AnalysisFolders, NamesAreAddressedAsTheFileSystemKnowsThem)
{
    TempDir base("umnames");
    const std::string dbcs = "\x95\x5c";  // one character whose second byte is '\'
    std::string app = base.Path() + "\\App";
    std::string target = app + "\\" + dbcs + "tool.exe";
    ASSERT_TRUE(WriteFileText(target));
    ASSERT_TRUE(WriteFileText(app + "\\" + dbcs + "dir\\file.txt"));
    std::wstring wideApp(app.begin(), app.end());
    std::wstring thaiFile = wideApp + L"\\\x0E01\x0E02\x0E03.txt", thaiFolder = wideApp + L"\\\x0E04\x0E05 dir";
    ASSERT_TRUE(CreateDirectoryW(thaiFolder.c_str(), nullptr));
    for (const std::wstring& file : {thaiFile, thaiFolder + L"\\inner.txt"})
        CloseHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    std::string thaiFileShort = app + "\\" + ShortName(thaiFile), thaiFolderShort = app + "\\" + ShortName(thaiFolder);
    ASSERT_NE(app + "\\", thaiFileShort);

    CTraceAnalyzer analyzer;
    std::vector<std::string> traces = Analyze(analyzer, target);
    std::set<std::string> expected = {FileTrace(target), FileTrace(app + "\\" + dbcs + "dir\\file.txt"),
                                      FolderTrace(app + "\\" + dbcs + "dir"), FileTrace(thaiFileShort),
                                      FileTrace(thaiFolderShort + "\\inner.txt"), FolderTrace(thaiFolderShort),
                                      FolderTrace(app)};
    EXPECT_EQ(expected, std::set<std::string>(traces.begin(), traces.end()));
    EXPECT_EQ(std::vector<std::string>(), OrderFaults(traces));
    EXPECT_EQ(FileTrace(target), traces[0]);
    std::vector<std::string> folders = {app};
    EXPECT_EQ(folders, analyzer.GetProgramFolders());
}
