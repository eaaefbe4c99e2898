#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "SampleProgram.h"
#include "TraceTestSupport.h"
#include "framework/ProgramFilesFolder.h"
#include "support/Fixtures.h"
#include "support/UnixLink.h"

using namespace fixtures;
using namespace smarttest;

namespace {

bool Contains(const std::vector<std::string>& list, const std::string& entry)
{
    return std::find(list.begin(), list.end(), entry) != list.end();
}

std::string ProgramFiles()
{
    char folder[MAX_PATH];
    return GetProgramFilesFolder(folder, MAX_PATH) ? folder : "";
}

}  // namespace

TEST(Analysis, SampleProgramGivesTheExactListInOrder)
{
    SampleProgram sample;
    CTraceAnalyzer analyzer;
    int result = 0;
    std::vector<std::string> traces = Analyze(analyzer, sample.Executable(), &result);
    EXPECT_EQ(1, result);
    EXPECT_EQ(sample.ExpectedTraces(), traces);
    std::vector<std::string> folders = {sample.folder, sample.toolsFolder};
    EXPECT_EQ(folders, analyzer.GetProgramFolders());
}

TEST(Analysis, DesktopShortcutAndFolderTargetsLeadToTheProgramFolder)
{
    SampleProgram sample;
    CTraceAnalyzer analyzer;
    std::vector<std::string> traces = Analyze(analyzer, sample.desktopLink);
    ASSERT_GE(traces.size(), 3u);
    EXPECT_EQ(FileTrace(sample.desktopLink), traces[0]);
    EXPECT_EQ(FileTrace(sample.folder + "\\app.exe"), traces[1]);
    std::vector<std::string> folders = {sample.folder, sample.toolsFolder};
    EXPECT_EQ(folders, analyzer.GetProgramFolders());

    traces = Analyze(analyzer, sample.folder);
    ASSERT_FALSE(traces.empty());
    EXPECT_EQ(FileTrace(sample.folder + "\\app.exe"), traces[0]);
    EXPECT_EQ(folders, analyzer.GetProgramFolders());
}

TEST(Analysis, EachAnalysisStartsWithItsOwnProgramFolders)
{
    SampleProgram sample;
    TempDir other("umother");
    WriteFileText(other.Path() + "\\other.exe");
    CTraceAnalyzer analyzer;
    Analyze(analyzer, sample.Executable());
    std::vector<std::string> traces = Analyze(analyzer, other.Path() + "\\other.exe");
    std::vector<std::string> expected = {FileTrace(other.Path() + "\\other.exe"), FileTrace(other.Path() + "\\other.exe"),
                                         FolderTrace(other.Path())};
    EXPECT_EQ(expected, traces);
    EXPECT_TRUE(Containing(traces, sample.Id()).empty());
}

TEST(Analysis, RefusesMissingTargetsAndTheProgramFilesFolder)
{
    CTraceAnalyzer analyzer;
    int result = 1;
    EXPECT_TRUE(Analyze(analyzer, "C:\\no such folder\\app.exe", &result).empty());
    EXPECT_EQ(0, result);
    EXPECT_TRUE(Analyze(analyzer, "", &result).empty());
    EXPECT_EQ(0, result);
    EXPECT_TRUE(Analyze(analyzer, WindowsFolder() + "\\*.exe", &result).empty());
    EXPECT_EQ(0, result);

    std::string programFiles = ProgramFiles();
    ASSERT_FALSE(programFiles.empty());
    EXPECT_TRUE(Analyze(analyzer, programFiles, &result).empty());
    EXPECT_EQ(0, result);
    std::string direct = programFiles + "\\" + UniqueName("umdirect") + ".exe";
    ASSERT_TRUE(WriteFileText(direct));
    EXPECT_TRUE(Analyze(analyzer, direct, &result).empty());
    EXPECT_EQ(0, result);
    DeleteFileA(direct.c_str());

    std::string programs = SpecialFolder(CSIDL_PROGRAMS);
    std::vector<std::string> traces = Analyze(analyzer, programs, &result);
    EXPECT_EQ(0, result);
    EXPECT_TRUE(traces.empty());
    EXPECT_TRUE(analyzer.GetProgramFolders().empty());
}

TEST(Analysis, NeverAdoptsSystemFoldersDriveRootsOrShellFolders)
{
    CTraceAnalyzer analyzer;
    int result = 0;
    std::string root = "C:\\" + UniqueName("umroot") + ".exe";
    std::string documents = SpecialFolder(CSIDL_PERSONAL) + "\\" + UniqueName("umdoc") + ".exe";
    std::string system = SystemFolder() + "\\" + UniqueName("umsys") + ".exe";
    ScopedDir cleanup1(root), cleanup2(documents), cleanup3(system);
    const std::string* targets[] = {&root, &documents, &system};
    for (const std::string* target : targets) {
        ASSERT_TRUE(WriteFileText(*target)) << *target;
        std::vector<std::string> traces = Analyze(analyzer, *target, &result);
        EXPECT_EQ(1, result) << *target;
        std::vector<std::string> expected = {FileTrace(*target)};
        EXPECT_EQ(expected, traces) << *target;
        EXPECT_TRUE(analyzer.GetProgramFolders().empty()) << *target;
    }
    EXPECT_TRUE(Analyze(analyzer, "C:\\", &result).empty());
    EXPECT_TRUE(analyzer.GetProgramFolders().empty());
}

TEST(Analysis, ShortcutsToOverWideFoldersAreListedButNotFollowed)
{
    TempDir base("umwide");
    std::string programFiles = ProgramFiles();
    std::string rootFile = "C:\\" + UniqueName("umrootfile") + ".txt";
    ScopedDir cleanup(rootFile);
    ASSERT_TRUE(WriteFileText(rootFile));
    WriteFileText(base.Path() + "\\App\\app.exe");
    MakeShortcut(base.Path() + "\\App\\root.lnk", rootFile);
    MakeShortcut(base.Path() + "\\App\\pf.lnk", programFiles + "\\" + UniqueName("missing") + ".exe");
    MakeShortcut(base.Path() + "\\App\\profile.lnk", SpecialFolder(CSIDL_PROFILE) + "\\x.txt");
    std::string desktopLink = SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "\\" + UniqueName("umroot") + ".lnk";
    ScopedDir cleanupLink(desktopLink);
    ASSERT_TRUE(MakeShortcut(desktopLink, rootFile));

    CTraceAnalyzer analyzer;
    std::vector<std::string> traces = Analyze(analyzer, base.Path() + "\\App\\app.exe");
    std::vector<std::string> expected = {FileTrace(base.Path() + "\\App\\app.exe"), FileTrace(base.Path() + "\\App\\app.exe"),
                                         FileTrace(base.Path() + "\\App\\pf.lnk"), FileTrace(base.Path() + "\\App\\profile.lnk"),
                                         FileTrace(base.Path() + "\\App\\root.lnk"), FolderTrace(base.Path() + "\\App")};
    EXPECT_EQ(expected, traces);
    std::vector<std::string> folders = {base.Path() + "\\App"};
    EXPECT_EQ(folders, analyzer.GetProgramFolders());

    // A shortcut on the desktop whose target lies in a drive root adopts nothing.
    traces = Analyze(analyzer, desktopLink);
    expected = {FileTrace(desktopLink)};
    EXPECT_EQ(expected, traces);
    EXPECT_TRUE(analyzer.GetProgramFolders().empty());
}

TEST(Analysis, FolderLinksAreListedButNeverEntered)
{
    TempDir base("umlink");
    std::string app = base.Path() + "\\App";
    std::string outside = base.Path() + "\\Outside";
    WriteFileText(app + "\\app.exe");
    WriteFileText(outside + "\\precious.txt");
    ASSERT_TRUE(MakeFolderLink(app + "\\loop", app));
    ASSERT_TRUE(MakeFolderLink(app + "\\other", outside));

    CTraceAnalyzer analyzer;
    std::vector<std::string> traces = Analyze(analyzer, app + "\\app.exe");
    std::vector<std::string> expected = {FileTrace(app + "\\app.exe"), FileTrace(app + "\\app.exe"), FolderTrace(app + "\\loop"),
                                         FolderTrace(app + "\\other"), FolderTrace(app)};
    EXPECT_EQ(expected, traces);

    // Removing every trace removes nothing behind the links.
    analyzer.RemoveChecked(std::vector<bool>(analyzer.GetItemCount(), true));
    EXPECT_TRUE(FileExists(outside + "\\precious.txt"));
    EXPECT_TRUE(DirExists(outside));
    RemoveFolderLink(app + "\\loop");
    RemoveFolderLink(app + "\\other");
}

TEST(Analysis, EmptyLinkTargetFolderSurvivesRemovalOfTheLink)
{
    TempDir base("umlink2");
    std::string app = base.Path() + "\\App";
    std::string empty = base.Path() + "\\Empty";
    WriteFileText(app + "\\app.exe");
    MakeDirs(empty);
    ASSERT_TRUE(MakeFolderLink(app + "\\empty", empty));
    CTraceAnalyzer analyzer;
    std::vector<std::string> traces = Analyze(analyzer, app);
    ASSERT_TRUE(Contains(traces, FolderTrace(app + "\\empty")));
    analyzer.RemoveChecked(std::vector<bool>(analyzer.GetItemCount(), true));
    EXPECT_TRUE(DirExists(empty));
    RemoveFolderLink(app + "\\empty");
}

TEST(Analysis, DoubleByteNamesWithTrailBackslashBytes)
{
    TempDir base("umdbcs");
    const std::string dbcs = "\x95\x5c";  // one character whose second byte is '\'
    std::string app = base.Path() + "\\App";
    std::string target = app + "\\" + dbcs + "tool.exe";
    ASSERT_TRUE(WriteFileText(target));
    ASSERT_TRUE(WriteFileText(app + "\\" + dbcs + "dir\\file.txt"));
    ASSERT_TRUE(FileExists(target));

    CTraceAnalyzer analyzer;
    std::vector<std::string> traces = Analyze(analyzer, target);
    std::vector<std::string> expected = {FileTrace(target), FileTrace(app + "\\" + dbcs + "dir\\file.txt"),
                                         FolderTrace(app + "\\" + dbcs + "dir"), FileTrace(target), FolderTrace(app)};
    EXPECT_EQ(expected, traces);
    std::vector<std::string> folders = {app};
    EXPECT_EQ(folders, analyzer.GetProgramFolders());
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
    std::vector<std::string> expected = {FileTrace(app + "\\app.exe"), FileTrace(app + "\\app.exe"),
                                         FolderTrace(app + "\\" + longName), FolderTrace(app)};
    EXPECT_EQ(expected, traces);
    for (size_t i = 0; i < analyzer.GetItemCount(); ++i)
        EXPECT_LT(strlen(analyzer.GetItem(i)->path), static_cast<size_t>(MAX_PATH));
    DeleteFileW(wideLong.c_str());
}

TEST(Analysis, StartMenuGroupSharedWithAnotherProduct)
{
    TempDir base("umshared");
    std::string app = base.Path() + "\\App";
    std::string other = base.Path() + "\\Other";
    WriteFileText(app + "\\app.exe");
    WriteFileText(other + "\\other.exe");
    std::string id = UniqueName("umshared");
    std::string group = SpecialFolder(CSIDL_PROGRAMS) + "\\" + id;
    ScopedDir groupCleanup(group);
    MakeShortcut(group + "\\App.lnk", app + "\\app.exe");
    MakeShortcut(group + "\\Other.lnk", other + "\\other.exe");
    ScopedKey entry(HKEY_LOCAL_MACHINE, std::string(kUninstallKey) + "\\" + id);
    SetString(HKEY_LOCAL_MACHINE, entry.Path(), "UninstallString", "\"" + other + "\\uninstall.exe\" /S");

    CTraceAnalyzer analyzer;
    std::vector<std::string> traces = Analyze(analyzer, app + "\\app.exe");
    std::vector<std::string> expected = {FileTrace(app + "\\app.exe"), FileTrace(app + "\\app.exe"), FolderTrace(app),
                                         FileTrace(group + "\\App.lnk"), FileTrace(group + "\\Other.lnk"), FolderTrace(group)};
    EXPECT_EQ(expected, traces);
    std::vector<std::string> folders = {app};
    EXPECT_EQ(folders, analyzer.GetProgramFolders());
}

TEST(Analysis, ProgramsMenuDepthAndExactFolderMatch)
{
    TempDir base("umdepth");
    std::string app = base.Path() + "\\App";
    WriteFileText(app + "\\app.exe");
    WriteFileText(app + "\\sub\\helper.exe");
    std::string id = UniqueName("umdepth");
    std::string group = SpecialFolder(CSIDL_PROGRAMS) + "\\" + id;
    ScopedDir groupCleanup(group);
    // Two levels down: never examined. A shortcut into a subfolder: not an exact match.
    MakeShortcut(group + "\\Deeper\\App.lnk", app + "\\app.exe");
    MakeShortcut(group + "\\Helper.lnk", app + "\\sub\\helper.exe");

    CTraceAnalyzer analyzer;
    std::vector<std::string> traces = Analyze(analyzer, app + "\\app.exe");
    EXPECT_TRUE(Containing(traces, id).empty());
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
