// Shortcut resolution, the Program Files folder and path tests, the trace list, and
// each search of the analysis run alone over one context.
#include "TraceTestSupport.h"
#include "framework/ProgramFilesFolder.h"
#include "smart/AnalysisContext.h"
#include "smart/ComClassSearch.h"
#include "smart/FileTraceSearch.h"
#include "smart/FileTypeTraceSearch.h"
#include "smart/ProgramLocator.h"
#include "smart/RegistryTraceSearch.h"
#include "smart/SettingsTraceSearch.h"
#include "smart/FolderPaths.h"
#include "smart/ShortcutResolver.h"
#include "smart/TraceList.h"

using namespace smarttest;

namespace {

// A shortcut file written byte by byte (the shell-link object refuses long paths)
// whose stored target is the given local path: the header (the shell-link class id,
// "has link info", shown normally), then link info for a fixed drive with an empty
// label and the local path, then the empty end block.
bool WriteRawShortcut(const std::string& linkPath, const std::string& target)
{
    DWORD pathOffset = 0x1C + 17, suffixOffset = pathOffset + static_cast<DWORD>(target.size()) + 1;
    std::vector<DWORD> fields = {0x4C, 0x21401, 0, 0xC0, 0x46000000, 0x2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0,
                                 suffixOffset + 1, 0x1C, 1, 0x1C, pathOffset, 0, suffixOffset, 17, 3, 0x1234, 0x10};
    std::string bytes(reinterpret_cast<const char*>(fields.data()), fields.size() * sizeof(DWORD));
    return WriteFileText(linkPath, bytes + std::string(1, '\0') + target + std::string(6, '\0'));
}

}  // namespace

TEST(Shortcuts, ResolveAndReadGiveTheTargetOfARealShortcut)
{
    TempDir base("umlnk");
    std::string target = base.Path() + "\\app.exe", stored = base.Path() + "\\Suite\\gone.exe";
    WriteFileText(target);
    ASSERT_TRUE(MakeShortcut(base.Path() + "\\app.lnk", target, "/x"));
    // The stored target is taken as it is, whether it exists or not.
    ASSERT_TRUE(WriteRawShortcut(base.Path() + "\\raw.lnk", stored));
    char resolved[MAX_PATH];
    const std::pair<std::string, std::string> links[] = {{base.Path() + "\\app.lnk", target},
                                                         {base.Path() + "\\raw.lnk", stored}};
    for (const auto& link : links) {
        ASSERT_TRUE(ResolveShortcut(link.first.c_str(), resolved));
        EXPECT_EQ(link.second, resolved);
        EXPECT_EQ(link.second, ReadShortcutTarget(link.first.c_str()));
    }

    // Non-shortcuts, over-long paths and targets have no target: one too long for a
    // path is skipped, never cut to a folder it does not name, and one the code page
    // cannot spell names nothing (reading it without resolving gives its '?' form).
    WriteFileText(base.Path() + "\\plain.lnk", "not a shortcut");
    ASSERT_TRUE(
        WriteRawShortcut(base.Path() + "\\long.lnk", base.Path() + "\\Suite\\" + std::string(250, 'n') + "\\tool.exe"));
    std::wstring folder(base.Path().begin(), base.Path().end());
    CloseHandle(CreateFileW((folder + L"\\\x0E01.exe").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    OwnedInterface<IShellLinkW> link;
    OwnedInterface<IPersistFile> file;
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                           reinterpret_cast<void**>(link.Out()))));
    link->SetPath((folder + L"\\\x0E01.exe").c_str());
    ASSERT_TRUE(SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Out()))));
    ASSERT_TRUE(SUCCEEDED(file->Save((folder + L"\\thai.lnk").c_str(), TRUE)));
    for (const std::string& path :
         {base.Path() + "\\plain.lnk", base.Path() + "\\missing.lnk", base.Path() + "\\long.lnk",
          base.Path() + "\\thai.lnk", "C:\\" + std::string(300, 'a') + ".lnk"}) {
        strcpy(resolved, "junk");
        EXPECT_FALSE(ResolveShortcut(path.c_str(), resolved)) << path;
        EXPECT_STREQ("", resolved) << path;
        EXPECT_TRUE(path.find("thai") != std::string::npos || ReadShortcutTarget(path.c_str()).empty()) << path;
    }
}

TEST(FolderPaths, ProgramFilesContainmentAndDoubleByteSteps)
{
    char folder[MAX_PATH], withSeparator[MAX_PATH];
    ASSERT_EQ(1, GetProgramFilesFolder(folder, MAX_PATH));
    ASSERT_EQ(1, GetProgramFilesFolderWithSeparator(withSeparator, MAX_PATH));
    EXPECT_EQ(ProgramFilesFolder(), folder);
    EXPECT_EQ(std::string(folder) + "\\", withSeparator);
    char tiny[4] = "abc";
    EXPECT_EQ(0, GetProgramFilesFolder(tiny, sizeof(tiny)));
    EXPECT_EQ('\0', tiny[0]);

    EXPECT_TRUE(IsWithinFolder("C:\\Program Files\\Foo\\x.exe", "c:\\program files\\foo"));
    EXPECT_TRUE(IsWithinFolder("C:\\Foo", "C:\\Foo"));
    EXPECT_FALSE(IsWithinFolder("C:\\FooBar\\x.exe", "C:\\Foo"));
    EXPECT_FALSE(IsWithinFolder("C:\\Foo", ""));
    // A trail byte 0x5C is not a backslash, and a trail byte 'a' does not fold to 'A'.
    EXPECT_FALSE(IsWithinFolder("C:\\Foo\x95\\x", "C:\\Foo"));
    EXPECT_FALSE(IsWithinFolder("C:\\\x95" "a", "C:\\\x95" "A"));

    char path[MAX_PATH] = "C:\\App\\\x95\\tool.exe";
    ASSERT_TRUE(CutAtLastBackslash(path));
    EXPECT_STREQ("C:\\App", path);
    EXPECT_TRUE(IsDriveRoot("C:"));
    EXPECT_TRUE(IsDriveRoot("D:\\"));
    EXPECT_FALSE(IsDriveRoot("C:\\x"));
    EXPECT_FALSE(HasDriveColon("\\\\server\\share"));
    char normalized[MAX_PATH];
    ASSERT_TRUE(NormalizeFolderPath("C:", normalized));
    EXPECT_STREQ("C:\\", normalized);
    ASSERT_TRUE(NormalizeFolderPath("C:\\a\\..\\b\\", normalized));
    EXPECT_STREQ("C:\\b", normalized);
}

// Each trace once, whatever its case (double-byte names folded only in their ASCII
// letters); what lies directly below a listed key is its own row, anything deeper
// is covered by the key; every added trace reaches the sink in order.
TEST(TraceList, ListsEachTraceOnceAndReportsItInOrder)
{
    TraceRecorder recorder;
    CTraceList list;
    list.ReportTo(&recorder);
    const HKEY cu = HKEY_CURRENT_USER;
    // Two characters that differ only in a trail byte that reads as an ASCII letter.
    const std::string wide = "\x81\x41", other = "\x81\x61";
    EXPECT_TRUE(list.Add(TRACE_FILE, "C:\\App\\App.exe", nullptr, nullptr, WEAK_NONE));
    EXPECT_FALSE(list.Add(TRACE_FILE, "c:\\app\\APP.EXE", nullptr, nullptr, WEAK_OUTSIDE_FOLDER));
    EXPECT_TRUE(list.Add(TRACE_FOLDER, "C:\\App", nullptr, nullptr, WEAK_NONE));
    EXPECT_TRUE(list.Add(TRACE_REGKEY, ("Software\\" + wide).c_str(), nullptr, cu, WEAK_NONE));
    EXPECT_TRUE(list.Add(TRACE_REGVALUE, ("Software\\" + wide).c_str(), "Path", cu, WEAK_NONE));
    EXPECT_TRUE(list.Add(TRACE_REGKEY, ("SOFTWARE\\" + wide + "\\Sub").c_str(), nullptr, cu, WEAK_NONE));
    EXPECT_FALSE(list.Add(TRACE_REGVALUE, ("Software\\" + wide + "\\Deep\\Er").c_str(), "X", cu, WEAK_NONE));
    EXPECT_FALSE(list.Add(TRACE_REGKEY, ("Software\\" + wide + "\\Deep\\Er").c_str(), nullptr, cu, WEAK_NONE));
    // The same path under another root, and the character that differs in its trail byte, are other traces.
    EXPECT_TRUE(list.Add(TRACE_REGKEY, ("Software\\" + wide).c_str(), nullptr, HKEY_LOCAL_MACHINE, WEAK_NONE));
    EXPECT_TRUE(list.Add(TRACE_REGKEY, ("Software\\" + other).c_str(), nullptr, cu, WEAK_NONE));
    std::string over(MAX_PATH, 'x');
    EXPECT_FALSE(list.Add(TRACE_FILE, over.c_str(), nullptr, nullptr, WEAK_NONE));

    ASSERT_EQ(7u, list.Count());
    ASSERT_EQ(list.Count(), recorder.received.size());
    for (size_t i = 0; i < list.Count(); ++i)
        EXPECT_EQ(list.At(i), recorder.received[i]) << i;
    EXPECT_EQ(nullptr, list.At(list.Count()));
    EXPECT_TRUE(list.IsListed(TRACE_FOLDER, "c:\\APP"));
    EXPECT_FALSE(list.IsListed(TRACE_FILE, "C:\\App"));
    EXPECT_EQ(WEAK_NONE, list.At(0)->weakReason);

    // Due about every 10 ms, only with a sink.
    Sleep(20);
    list.KeepResponsiveIfDue();
    list.KeepResponsiveIfDue();
    EXPECT_EQ(1, recorder.responsiveCalls);
    list.ReportTo(nullptr);
    Sleep(20);
    list.KeepResponsiveIfDue();
    EXPECT_TRUE(list.Add(TRACE_FILE, "C:\\App\\more.dll", nullptr, nullptr, WEAK_NONE));
    EXPECT_EQ(1, recorder.responsiveCalls);
    EXPECT_EQ(7u, recorder.received.size());
    list.Clear();
    EXPECT_EQ(0u, list.Count());
    EXPECT_FALSE(list.IsListed(TRACE_FOLDER, "C:\\App"));
}

// Each search runs alone over a context that holds only the program's folder: it
// lists its own kind of trace and nothing another search would; the class search
// answers the file-type search from what it read; the locator adopts a folder only
// when no other registered product lies below it.
TEST(AnalysisSearches, EachSearchRunsAloneOverOneContext)
{
    const HKEY lm = HKEY_LOCAL_MACHINE, cu = HKEY_CURRENT_USER, cr = HKEY_CLASSES_ROOT;
    TempDir base("umseam");
    const std::string word = UniqueWord("Seam"), folder = base.Path() + "\\" + word;
    const std::string exe = folder + "\\app.exe", classId = "{S" + word + "}";
    ASSERT_TRUE(WriteFileText(exe));
    ASSERT_TRUE(WriteFileText(folder + "\\readme.txt"));
    ScopedKey entry(lm, std::string(kUninstallKey) + "\\" + word), settings(cu, "Software\\" + word);
    ScopedKey classKey(cr, "CLSID\\" + classId), extension(cr, ".s" + word), progId(cr, "S" + word + ".Doc");
    ScopedKeyIsolation userRun(cu, kUserRunKey);
    SetString(lm, entry.Path(), "DisplayName", word);
    SetString(lm, entry.Path(), "UninstallString", "\"" + exe + "\" /u");
    SetString(cu, kUserRunKey, word, exe);
    SetString(cr, classKey.Path() + "\\InprocServer32", "", folder + "\\doc.dll");
    SetString(cr, extension.Path(), "", progId.Path());
    SetString(cr, progId.Path() + "\\CLSID", "", classId);
    SetString(cr, progId.Path() + "\\shell\\open\\command", "", "\"" + exe + "\" \"%1\"");
    SetString(cu, settings.Path(), "Version", "2");

    CAnalysisContext context;
    context.LoadMachine();
    context.programFolders.push_back(folder);
    context.LoadProgramNames(nullptr);
    EXPECT_TRUE(context.names.IsProduct(word.c_str()));

    CFileTraceSearch(context).Run();
    EXPECT_EQ(std::vector<std::string>({FileTrace(exe), FileTrace(folder + "\\readme.txt"), FolderTrace(folder)}),
              DescribeList(context.traces));
    context.traces.Clear();
    CRegistryTraceSearch(context).Run();
    EXPECT_EQ(Concat({KeyTree(lm, {entry.Path()}), {ValueTrace(cu, kUserRunKey, word)}}), DescribeList(context.traces));
    context.traces.Clear();
    CSettingsTraceSearch(context).Run();
    EXPECT_EQ(KeyTree(cu, {settings.Path()}), DescribeList(context.traces));

    context.traces.Clear();
    CComClassSearch classes(context);
    EXPECT_TRUE(classes.ServerMatches(classId.c_str()));
    EXPECT_FALSE(classes.ServerMatches("{00000000-0000-0000-C000-000000000046}"));
    classes.Run();
    EXPECT_EQ(KeyTree(cr, {classKey.Path()}), DescribeList(context.traces));
    // The class is listed already: the type brings its extension and ProgID only.
    CFileTypeTraceSearch(context, classes).Run();
    EXPECT_EQ(KeyTree(cr, {classKey.Path(), extension.Path(), progId.Path()}), DescribeList(context.traces));

    // The locator: the program's own entry names its folder, so it is adopted; a
    // folder above it, where that entry lies below, is another product's home.
    CAnalysisContext located;
    located.LoadMachine();
    CProgramLocator locator(located);
    char full[MAX_PATH];
    ASSERT_EQ(TARGET_ACCEPTED, locator.Screen(exe.c_str(), full));
    locator.ChooseProgramFolder(full, true);
    EXPECT_EQ(std::vector<std::string>{folder}, located.programFolders);
    EXPECT_TRUE(located.Entries().HoldsOtherProduct(base.Path().c_str()));
    EXPECT_FALSE(locator.ScreenLeftoverFolder(base.Path().c_str(), full));
    EXPECT_EQ(TARGET_IGNORED, locator.Screen("relative\\app.exe", full));
    EXPECT_EQ(TARGET_REFUSED, locator.Screen("\\\\server\\share\\app.exe", full));
}
