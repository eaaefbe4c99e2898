#include <algorithm>

#include "SampleProgram.h"

using namespace smarttest;
using Analysis = ProgramTest;

// An accepted target is listed in the one form the file system gives it; refusals
// hold for every spelling of a path, and forget the program folders of before.
TEST_F(Analysis, TargetsAreJudgedInTheirFullLongForm)
{
    std::string folder = base.Path() + "\\A Long Folder Name";
    ASSERT_TRUE(WriteFileText(folder + "\\app.exe"));
    std::string typed = ShortPath(folder) + "/sub/../APP.EXE";
    std::replace(typed.begin(), typed.begin() + 3, '\\', '/');
    std::vector<std::string> expected = {FileTrace(folder + "\\app.exe"), FolderTrace(folder)};
    EXPECT_EQ(expected, Analyze(analyzer, typed)) << typed;
    ASSERT_EQ(std::vector<std::string>{folder}, analyzer.GetProgramFolders());

    std::string windows = WindowsFolder(), slashed = windows, programs = SpecialFolder(CSIDL_PROGRAMS);
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    std::string group = programs + "\\G" + id, direct = ProgramFilesFolder() + "\\" + id + ".exe";
    std::string root = "C:\\" + id + ".exe";
    ScopedDir cleanup1(group), cleanup2(direct), cleanup3(root);
    ASSERT_TRUE(MakeShortcut(group + "\\App.lnk", root) && WriteFileText(direct) && WriteFileText(root));
    const std::string refused[] = {
        "C:\\no such folder\\app.exe", "", windows + "\\*.exe", "C:", "app.exe", slashed + "/notepad.exe",
        windows + "\\system32\\..\\notepad.exe", windows + ".\\notepad.exe",
        "C:\\x\\..\\" + windows.substr(3) + "\\notepad.exe", ProgramFilesFolder(), ShortPath(ProgramFilesFolder()),
        direct, root, programs, group, SpecialFolder(CSIDL_PERSONAL), SpecialFolder(CSIDL_PROFILE) + "\\Downloads",
        "C:\\", windows + "\\SysWOW64\\notepad.exe", SpecialFolder(CSIDL_PROGRAM_FILESX86),
        SpecialFolder(CSIDL_PROGRAM_FILES_COMMONX86), SpecialFolder(CSIDL_PROGRAM_FILES_COMMON)};
    for (const std::string& target : refused) {
        int result = 1;
        bool listed = !Analyze(analyzer, target, &result).empty();
        EXPECT_TRUE(!listed && result == 0 && analyzer.GetProgramFolders().empty()) << target;
    }
}

// Links to folders (back to the program, outside, to an empty folder) are listed
// and removed as links, never entered; a folder whose contents' paths exceed 259
// characters is listed, its contents skipped and never cut.
TEST_F(Analysis, FolderLinksAndOverLongNamesAreListedButNeverEnteredOrCut)
{
    std::string outside = base.Path() + "\\Outside", empty = base.Path() + "\\Empty";
    ASSERT_TRUE(WriteFileText(outside + "\\precious.txt") && MakeDirs(empty));
    ASSERT_TRUE(MakeFolderLink(app + "\\empty", empty) && MakeFolderLink(app + "\\loop", app) &&
                MakeFolderLink(app + "\\other", outside));
    std::string longName(250 - app.size(), 'n');
    std::wstring longFolder =
        L"\\\\?\\" + std::wstring(app.begin(), app.end()) + L"\\" + std::wstring(longName.begin(), longName.end());
    std::wstring longFile = longFolder + L"\\" + std::wstring(20, L'f');
    CreateDirectoryW(longFolder.c_str(), nullptr);
    ASSERT_TRUE(OwnedFile(CreateFileW(longFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)));

    std::vector<std::string> expected = {FileTrace(exe), FolderTrace(app + "\\empty"), FolderTrace(app + "\\loop"),
                                         FolderTrace(app + "\\" + longName), FolderTrace(app + "\\other"),
                                         FolderTrace(app)};
    EXPECT_EQ(expected, Analyze(analyzer, exe));
    for (size_t i = 0; i < analyzer.GetItemCount(); ++i)
        EXPECT_LT(strlen(analyzer.GetItem(i)->path), static_cast<size_t>(MAX_PATH));

    // Removing every trace removes nothing behind the links.
    analyzer.RemoveChecked(std::vector<bool>(analyzer.GetItemCount(), true));
    EXPECT_TRUE(FileExists(outside + "\\precious.txt"));
    EXPECT_TRUE(DirExists(empty));
    for (const char* link : {"\\empty", "\\loop", "\\other"})
        RemoveFolderLink(app + link);
    DeleteFileW(longFile.c_str());
}

TEST_F(Analysis, AsksToStayResponsiveDuringWalksWithoutHits)
{
    // The only trace (the empty folder) comes first; then the walks find nothing,
    // but the caller must still be let to stay responsive all along them.
    std::string empty = base.Path() + "\\Empty";
    ASSERT_TRUE(MakeDirs(empty));
    TraceRecorder recorder;
    analyzer.Analyze(recorder, empty.c_str());
    const DWORD walked = GetTickCount() - recorder.firstTraceTick;
    ASSERT_EQ(1u, analyzer.GetItemCount());
    if (walked < 150)
        GTEST_SKIP() << "the walks were too short to tell";
    EXPECT_GE(recorder.responsiveCalls, 2);
    // Asked about every 10 ms; a loaded machine may stall a thread for a while.
    EXPECT_LT(recorder.longestQuiet, 500u) << "of " << walked << " ms";
}

// The program's own groups (one two levels deep, one in the all-users menu), its
// shortcut in the Startup folder, and a group the user made ("Tools") that also
// starts a portable program and a product installed with Windows Installer, whose
// uninstall entry names no folder.
TEST_F(Analysis, StartMenuGroupsAreNeverProgramFolders)
{
    std::string portable = base.Path() + "\\Portable", msi = base.Path() + "\\Msi", helper = app + "\\sub\\helper.exe";
    for (const std::string& file :
         {helper, portable + "\\portable.exe", portable + "\\settings.ini", msi + "\\msi.exe"})
        ASSERT_TRUE(WriteFileText(file));
    ScopedKey entry(HKEY_LOCAL_MACHINE, std::string(kUninstallKey) + "\\" + id);
    SetString(HKEY_LOCAL_MACHINE, entry.Path(), "UninstallString", "MsiExec.exe /X{" + id + "}");
    std::string tools = SpecialFolder(CSIDL_PROGRAMS) + "\\T" + id, vendor = SpecialFolder(CSIDL_PROGRAMS) + "\\V" + id;
    std::string common = SpecialFolder(CSIDL_COMMON_PROGRAMS) + "\\C" + id;
    std::string startup = SpecialFolder(CSIDL_STARTUP) + "\\" + id + ".lnk";
    ScopedDir cleanup1(tools), cleanup2(vendor), cleanup3(common), cleanup4(startup);
    const std::pair<std::string, std::string> links[] = {
        {tools + "\\App.lnk", exe}, {tools + "\\Msi.lnk", msi + "\\msi.exe"},
        {tools + "\\Portable.lnk", portable + "\\portable.exe"}, {vendor + "\\Product\\App.lnk", exe},
        {vendor + "\\Product\\Helper.lnk", helper}, {common + "\\App.lnk", exe}, {startup, exe}};
    for (const auto& link : links)
        ASSERT_TRUE(MakeShortcut(link.first, link.second));

    std::vector<std::string> program = {FileTrace(helper), FolderTrace(app + "\\sub"), FolderTrace(app)};
    std::vector<std::string> groups = {
        FileTrace(vendor + "\\Product\\App.lnk"), FileTrace(vendor + "\\Product\\Helper.lnk"),
        FolderTrace(vendor + "\\Product"),        FolderTrace(vendor),
        FileTrace(common + "\\App.lnk"),          FolderTrace(common)};
    EXPECT_EQ(Concat({{FileTrace(exe)}, program, {FileTrace(startup), FileTrace(tools + "\\App.lnk")}, groups}),
              Analyze(analyzer, exe));
    // Picked in the user's group, the shortcut leads to its program's folder alone.
    EXPECT_EQ(Concat({{FileTrace(tools + "\\App.lnk"), FileTrace(exe)}, program, {FileTrace(startup)}, groups}),
              Analyze(analyzer, tools + "\\App.lnk"));
    EXPECT_EQ(std::vector<std::string>{app}, analyzer.GetProgramFolders());
    int result = 1;
    EXPECT_TRUE(Analyze(analyzer, tools, &result).empty());
    EXPECT_EQ(0, result);
}

// The sample program's exact list; the same program folder and traces, once each and
// every folder after its contents, whichever way the program is named (a named
// shortcut comes first, then the folder); classes that two registry searches reach
// are listed once.
TEST_F(Analysis, EveryTraceOnceAndEveryFolderAfterWhatItHolds)
{
    SampleProgram s;
    const HKEY cr = HKEY_CLASSES_ROOT, lm = HKEY_LOCAL_MACHINE, cu = HKEY_CURRENT_USER;
    const std::string& group = s.group.Path();
    // The program folder, each folder after its contents, in listing order, the target
    // first and not again; the shortcut's target folder lies outside: offered, unticked.
    // File types: the extension routed through a class id, then through a command; what
    // the class walk reaches again is not listed twice. The vendor key bears the
    // publisher's name; the user key is another tool's.
    std::vector<std::string> all = Concat(
        {{FileTrace(s.exe), FileTrace(s.folder + "\\data\\config.ini"), FileTrace(s.folder + "\\data\\deep\\more.bin"),
          FolderTrace(s.folder + "\\data\\deep"), FolderTrace(s.folder + "\\data"),
          FileTrace(s.folder + "\\hidden.dat"), FileTrace(s.folder + "\\readme.txt"),
          FileTrace(s.folder + "\\Tools.lnk"),
          WeakTrace(FileTrace(s.toolsFolder + "\\tool.exe"), WEAK_OUTSIDE_FOLDER),
          WeakTrace(FolderTrace(s.toolsFolder), WEAK_OUTSIDE_FOLDER), FolderTrace(s.folder),
          FileTrace(s.desktopLink.Path()), FileTrace(s.commonDesktopLink.Path()), FileTrace(s.directMenuLink.Path()),
          FileTrace(group + "\\App.lnk"), FileTrace(group + "\\Readme.lnk"), FolderTrace(group)},
         KeyTree(cr, {s.classA.Path(), s.classB.Path(), s.wowClass.Path(), s.extension2.Path(), s.progId2.Path(),
                      s.extension3.Path(), s.progId3.Path(), s.extension.Path(), s.progId.Path(),
                      s.wowExtension.Path(), s.wowProgId.Path()}),
         KeyTree(lm, {s.uninstallKey.Path(), s.wowUninstallKey.Path()}),
         {ValueTrace(lm, kRunKey, s.runValue), ValueTrace(lm, kWowRunKey, s.runValue),
          ValueTrace(cu, kUserRunKey, s.runValue)},
         KeyTree(lm, {s.vendorKey.Path(), s.wowVendorKey.Path()}),
         {WeakTrace(ValueTrace(cu, s.userKey.Path(), "InstallDir"), WEAK_OTHER_SETTINGS)}});
    int result = 0;
    EXPECT_EQ(all, Analyze(analyzer, s.exe, &result));  // the exact list, in order
    EXPECT_EQ(1, result);
    for (const std::string& target : {group + "\\App.lnk", s.desktopLink.Path(), s.folder}) {
        std::vector<std::string> traces = Analyze(analyzer, target);
        EXPECT_EQ(std::vector<std::string>(), OrderFaults(traces)) << target;
        EXPECT_EQ(std::set<std::string>(all.begin(), all.end()), std::set<std::string>(traces.begin(), traces.end()))
            << target;
        EXPECT_EQ(std::vector<std::string>{s.folder}, analyzer.GetProgramFolders()) << target;
        ASSERT_GE(traces.size(), 2u);
        EXPECT_EQ(FileTrace(target == s.folder ? s.exe : target), traces[0]);
    }
}

// The program's shortcuts lead to a helper folder that also holds the user's file
// and a shortcut of its own, to another product, above the program, to a drive root
// and into the documents.
TEST_F(Analysis, ShortcutsOutOfTheProgramFolderAreOfferedUntickedAtMost)
{
    std::string shared = base.Path() + "\\Shared", other = base.Path() + "\\Other";
    std::string third = base.Path() + "\\Third\\third.exe", above = base.Path() + "\\readme.txt";
    std::string rootFile = "C:\\" + id + ".txt", document = SpecialFolder(CSIDL_PERSONAL) + "\\" + id + ".txt";
    ScopedDir cleanup1(rootFile), cleanup2(document);
    for (const std::string& file :
         {shared + "\\helper.exe", shared + "\\user.txt", third, other + "\\other.exe", above, rootFile, document})
        ASSERT_TRUE(WriteFileText(file)) << file;
    const std::pair<std::string, std::string> links[] = {
        {shared + "\\more.lnk", third}, {app + "\\Docs.lnk", document}, {app + "\\Helper.lnk", shared + "\\helper.exe"},
        {app + "\\Other.lnk", other + "\\other.exe"}, {app + "\\Root.lnk", rootFile}, {app + "\\Up.lnk", above}};
    for (const auto& link : links)
        ASSERT_TRUE(MakeShortcut(link.first, link.second));
    ScopedKey entry(HKEY_LOCAL_MACHINE, std::string(kUninstallKey) + "\\" + id);
    SetString(HKEY_LOCAL_MACHINE, entry.Path(), "InstallLocation", other);
    ScopedKey settings(HKEY_CURRENT_USER, "Software\\" + id);
    SetString(HKEY_CURRENT_USER, settings.Path(), "Path", shared + "\\helper.exe");

    auto outside = [](const std::string& trace) { return WeakTrace(trace, WEAK_OUTSIDE_FOLDER); };
    std::vector<std::string> expected = {
        FileTrace(exe), FileTrace(app + "\\Docs.lnk"), FileTrace(app + "\\Helper.lnk"),
        outside(FileTrace(shared + "\\helper.exe")), outside(FileTrace(shared + "\\more.lnk")),
        outside(FileTrace(shared + "\\user.txt")), outside(FolderTrace(shared)), FileTrace(app + "\\Other.lnk"),
        FileTrace(app + "\\Root.lnk"), FileTrace(app + "\\Up.lnk"), FolderTrace(app)};
    EXPECT_EQ(expected, Analyze(analyzer, exe));
    EXPECT_EQ(std::vector<std::string>{app}, analyzer.GetProgramFolders());
}

// A program in the downloads among the user's files, and a portable program next to
// registered products: only the program file, the shortcuts to it and the registry
// data that names it are listed.
TEST_F(Analysis, TooWideFoldersYieldOnlyTheProgramsOwnFile)
{
    std::string downloads = SpecialFolder(CSIDL_PROFILE) + "\\Downloads";
    std::string tool = downloads + "\\tool" + id + ".exe", photo = downloads + "\\photo" + id + ".jpg";
    std::string rootFile = "C:\\" + id + ".exe", desktop = SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "\\" + id;
    ScopedDir cleanup1(tool), cleanup2(photo), cleanup3(downloads + "\\" + id), cleanup4(rootFile);
    ScopedDir cleanup5(desktop + "T.lnk"), cleanup6(desktop + "P.lnk"), cleanup7(desktop + "R.lnk");
    for (const std::string& file : {tool, photo, downloads + "\\" + id + "\\x.exe", rootFile})
        ASSERT_TRUE(WriteFileText(file)) << file;
    ASSERT_TRUE(MakeShortcut(desktop + "T.lnk", tool) && MakeShortcut(desktop + "P.lnk", photo) &&
                MakeShortcut(desktop + "R.lnk", rootFile));
    ScopedKey settings(HKEY_CURRENT_USER, "Software\\" + id);
    SetString(HKEY_CURRENT_USER, settings.Path(), "Folder", downloads);
    SetString(HKEY_CURRENT_USER, kUserRunKey, id, "\"" + tool + "\" /min");

    std::vector<std::string> expected = {FileTrace(tool), FileTrace(desktop + "T.lnk"),
                                         ValueTrace(HKEY_CURRENT_USER, kUserRunKey, id)};
    EXPECT_EQ(expected, Analyze(analyzer, tool));
    EXPECT_TRUE(analyzer.GetProgramFolders().empty());
    std::swap(expected[0], expected[1]);
    EXPECT_EQ(expected, Analyze(analyzer, desktop + "T.lnk"));
    EXPECT_EQ(std::vector<std::string>{FileTrace(desktop + "R.lnk")}, Analyze(analyzer, desktop + "R.lnk"));
    DeleteValue(HKEY_CURRENT_USER, kUserRunKey, id);

    // Another product's install location, uninstaller or icon below the folder, in
    // either registry view.
    const std::string wow = kWowUninstallKey;
    const struct { std::string key, value, text; } products[] = {
        {kUninstallKey, "InstallLocation", "Product"}, {kUninstallKey, "UninstallString", "\"Product\\unins.exe\" /S"},
        {kUninstallKey, "DisplayIcon", "Product\\product.exe,0"}, {wow, "InstallLocation", "Product"}};
    for (const auto& product : products) {
        TempDir tools("umtools");
        std::string folder = tools.Path() + "\\Tools", text = product.text;
        for (const char* file : {"\\portable.exe", "\\notes.txt", "\\Product\\product.exe"})
            WriteFileText(folder + file);
        text.insert(text[0] == '"' ? 1 : 0, folder + "\\");
        ScopedKey entry(HKEY_LOCAL_MACHINE, product.key + "\\" + id);
        SetString(HKEY_LOCAL_MACHINE, entry.Path(), product.value, text);
        EXPECT_EQ(std::vector<std::string>{FileTrace(folder + "\\portable.exe")},
                  Analyze(analyzer, folder + "\\portable.exe"))
            << product.key << product.value;
    }
}

// Names with a trail byte 0x5C are taken whole; names the code page cannot spell go
// by their short names, and no path with '?' is ever a certain trace.
TEST_F(Analysis, NamesAreAddressedAsTheFileSystemKnowsThem)
{
    const std::string dbcs = "\x95\x5c";  // one character whose second byte is '\'
    std::string target = app + "\\" + dbcs + "tool.exe";
    ASSERT_TRUE(WriteFileText(target) && WriteFileText(app + "\\" + dbcs + "dir\\file.txt"));
    std::wstring wideApp(app.begin(), app.end());
    std::wstring thaiFile = wideApp + L"\\\x0E01\x0E02\x0E03.txt", thaiFolder = wideApp + L"\\\x0E04\x0E05 dir";
    ASSERT_TRUE(CreateDirectoryW(thaiFolder.c_str(), nullptr));
    for (const std::wstring& file : {thaiFile, thaiFolder + L"\\inner.txt"})
        CloseHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    // The short name of the last component (ASCII, as the file system makes them).
    auto shortName = [](const std::wstring& path) {
        WIN32_FIND_DATAW data = {};
        OwnedFind find(FindFirstFileW(path.c_str(), &data));
        return std::string(data.cAlternateFileName, data.cAlternateFileName + wcslen(data.cAlternateFileName));
    };
    std::string thaiFileShort = app + "\\" + shortName(thaiFile), thaiFolderShort = app + "\\" + shortName(thaiFolder);
    ASSERT_NE(app + "\\", thaiFileShort);

    std::vector<std::string> traces = Analyze(analyzer, target);
    std::set<std::string> expected = {
        FileTrace(target), FileTrace(exe), FileTrace(app + "\\" + dbcs + "dir\\file.txt"),
        FolderTrace(app + "\\" + dbcs + "dir"), FileTrace(thaiFileShort), FileTrace(thaiFolderShort + "\\inner.txt"),
        FolderTrace(thaiFolderShort), FolderTrace(app)};
    EXPECT_EQ(expected, std::set<std::string>(traces.begin(), traces.end()));
    EXPECT_EQ(std::vector<std::string>(), OrderFaults(traces));
    EXPECT_EQ(FileTrace(target), traces[0]);
    EXPECT_EQ(std::vector<std::string>{app}, analyzer.GetProgramFolders());
}

// The program's own folders in the application data folders: named as the product,
// directly or in a vendor folder that holds nothing else (whole) or more (only the
// product's). A folder so named that another registered product lives in stays.
TEST_F(Analysis, DataFoldersNamedAsTheProductOrItsVendor)
{
    const HKEY lm = HKEY_LOCAL_MACHINE, cu = HKEY_CURRENT_USER;
    const std::string quill = UniqueWord("Quill"), inkwell = UniqueWord("Inkwell");
    const std::string folder = base.Path() + "\\" + quill, exe = folder + "\\" + quill + ".exe";
    ASSERT_TRUE(WriteFileText(exe));
    ScopedKey entry(lm, std::string(kUninstallKey) + "\\" + quill), other(cu, std::string(kUninstallKey) + "\\O" + quill);
    WriteEntry(lm, entry.Path(), quill + " 2", inkwell + " Software Co., Ltd.", folder, "\"" + folder + "\\uninst.exe\"",
               exe);
    const std::string roaming = SpecialFolder(CSIDL_APPDATA) + "\\" + quill;
    const std::string localVendor = SpecialFolder(CSIDL_LOCAL_APPDATA) + "\\" + inkwell;
    const std::string commonVendor = SpecialFolder(CSIDL_COMMON_APPDATA) + "\\" + inkwell;
    const std::string otherProduct = SpecialFolder(CSIDL_LOCAL_APPDATA) + "\\" + quill;
    ScopedDir cleanup[] = {ScopedDir(roaming), ScopedDir(localVendor), ScopedDir(commonVendor), ScopedDir(otherProduct)};
    for (const std::string& file : {roaming + "\\settings.ini", roaming + "\\logs\\today.log",
                                    localVendor + "\\" + quill + "\\cache.bin", commonVendor + "\\" + quill + "\\license.dat",
                                    commonVendor + "\\Scribe\\license.dat", otherProduct + "\\other.exe"})
        ASSERT_TRUE(WriteFileText(file)) << file;
    WriteEntry(cu, other.Path(), "Other", "Other Ltd", otherProduct, "\"" + otherProduct + "\\other.exe\" /x", "");

    std::vector<std::string> traces = Analyze(analyzer, exe);
    const std::vector<std::string> data = {
        FileTrace(roaming + "\\logs\\today.log"), FolderTrace(roaming + "\\logs"), FileTrace(roaming + "\\settings.ini"),
        FolderTrace(roaming), FileTrace(localVendor + "\\" + quill + "\\cache.bin"),
        FolderTrace(localVendor + "\\" + quill), FolderTrace(localVendor),
        FileTrace(commonVendor + "\\" + quill + "\\license.dat"), FolderTrace(commonVendor + "\\" + quill)};
    std::vector<std::string> listed;
    for (const std::string& trace : traces) {
        for (const std::string& root : {roaming, localVendor, commonVendor, otherProduct}) {
            if (trace.compare(2, root.size(), root) == 0)
                listed.push_back(trace);
        }
    }
    EXPECT_EQ(std::set<std::string>(data.begin(), data.end()), std::set<std::string>(listed.begin(), listed.end()));
    EXPECT_EQ(std::vector<std::string>(), OrderFaults(traces));
    const std::vector<std::string> unlisted = RemoveAllListed(
        analyzer, {base.Path(), ParentFolder(SpecialFolder(CSIDL_PROFILE)), SpecialFolder(CSIDL_COMMON_APPDATA)});
    EXPECT_TRUE(unlisted.empty()) << JoinLines(unlisted);
    EXPECT_TRUE(FileExists(commonVendor + "\\Scribe\\license.dat") && FileExists(otherProduct + "\\other.exe"));
    EXPECT_FALSE(DirExists(roaming) || DirExists(localVendor) || DirExists(commonVendor + "\\" + quill));
}

// A self-updating program: its updater in the folder its product is registered in,
// the program in a folder of its version. And tools kept in other users' profiles,
// which are never a program's folder.
TEST_F(Analysis, RegisteredLocationsAboveAndOtherProfiles)
{
    const std::string flux = UniqueWord("Flux"), root = SpecialFolder(CSIDL_LOCAL_APPDATA) + "\\" + flux;
    ScopedDir cleanup(root);
    const std::string exe = root + "\\app-1.2.3\\" + flux + ".exe";
    for (const std::string& file : {root + "\\Update.exe", exe, root + "\\app-1.2.3\\resources\\app.dat",
                                    root + "\\packages\\" + flux + "-1.2.3-full.nupkg"})
        ASSERT_TRUE(WriteFileText(file)) << file;
    ScopedKey entry(HKEY_CURRENT_USER, std::string(kUninstallKey) + "\\" + flux);
    WriteEntry(HKEY_CURRENT_USER, entry.Path(), flux, "Flux Inc.", root, "\"" + root + "\\Update.exe\" --uninstall",
               root + "\\app.ico");
    std::vector<std::string> traces = Analyze(analyzer, exe);
    EXPECT_EQ(std::vector<std::string>{root}, analyzer.GetProgramFolders());
    for (const std::string& file : {root + "\\Update.exe", root + "\\packages\\" + flux + "-1.2.3-full.nupkg"})
        EXPECT_NE(traces.end(), std::find(traces.begin(), traces.end(), FileTrace(file))) << file;
    // A helper in the version's folder is not named by the entry: only that folder.
    const std::string helper = root + "\\app-1.2.3\\crashpad.exe";
    ASSERT_TRUE(WriteFileText(helper));
    Analyze(analyzer, helper);
    EXPECT_EQ(std::vector<std::string>{root + "\\app-1.2.3"}, analyzer.GetProgramFolders());

    const std::string profiles = ParentFolder(SpecialFolder(CSIDL_PROFILE)), other = profiles + "\\" + UniqueWord("u");
    ScopedDir cleanupOther(other), cleanupDefault(profiles + "\\Default\\" + flux + ".exe");
    for (const std::string& tool : {other + "\\tool.exe", other + "\\Documents\\tool.exe", other + "\\Desktop\\tool.exe",
                                    other + "\\AppData\\Local\\tool.exe", profiles + "\\Default\\" + flux + ".exe"}) {
        ASSERT_TRUE(WriteFileText(tool) && WriteFileText(ParentFolder(tool) + "\\precious.doc")) << tool;
        EXPECT_EQ(std::vector<std::string>{FileTrace(tool)}, Analyze(analyzer, tool));
        EXPECT_TRUE(analyzer.GetProgramFolders().empty()) << tool;
    }
}
