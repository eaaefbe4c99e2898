// A machine full of strange data: values of every type where text belongs, texts
// without terminators, names and data around MAX_PATH, thousands of subkeys, deep
// nesting, a folder that links back to itself, names whose second byte is '\',
// broken, looping and root-pointing shortcuts and a file held open. The inventory
// loads, an analysis finishes and the removal takes nothing that was not listed.
#include "inventory/InstalledSoftwareList.h"
#include "backup/RemovalBackup.h"
#include "backup/RestoreRun.h"
#include "framework/RegistryTree.h"
#include "smart/TraceAnalyzer.h"
#include "support/Fixtures.h"
#include "support/TraceCoverage.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

using fixtures::ListedTraces;


bool StartsWithNoCase(const std::string& text, const std::string& prefix)
{
    return fixtures::LowerAscii(text).compare(0, prefix.size(), fixtures::LowerAscii(prefix)) == 0;
}

// Creates a file through the wide API with a \\?\ path, so that names past
// MAX_PATH can be made.
bool WriteLongFile(const std::string& folder, const std::string& name)
{
    std::string full = "\\\\?\\" + folder + "\\" + name;
    wchar_t wide[1024];
    if (!MultiByteToWideChar(CP_ACP, 0, full.c_str(), -1, wide, 1024))
        return false;
    HANDLE file = CreateFileW(wide, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    WriteFile(file, "x", 1, &written, nullptr);
    CloseHandle(file);
    return true;
}

// Values of every type, empty, unterminated and around MAX_PATH, some naming
// the program folder in text.
void WriteStrangeValues(HKEY root, const std::string& key, const std::string& folder)
{
    fixtures::CreateKey(root, key);
    const BYTE bytes[] = {'C', ':', '\\', 0xFF, 0x5C, 0x00, 0x81};
    const DWORD types[] = {REG_NONE, REG_BINARY, REG_DWORD, REG_DWORD_BIG_ENDIAN, REG_QWORD, REG_MULTI_SZ,
                           REG_EXPAND_SZ, REG_LINK, REG_RESOURCE_LIST, REG_FULL_RESOURCE_DESCRIPTOR, 0x1234};
    const char* const names[] = {"DisplayName", "UninstallString", "DisplayIcon", "InstallLocation", "Path"};
    for (DWORD type : types) {
        std::string tag = "_" + std::to_string(type);
        for (const char* name : names)
            fixtures::SetValue(root, key, name + tag, type, folder.c_str(), static_cast<DWORD>(folder.size()));
        fixtures::SetValue(root, key, "Bytes" + tag, type, bytes, sizeof(bytes));
        fixtures::SetValue(root, key, "Empty" + tag, type, nullptr, 0);
    }
    fixtures::SetValue(root, key, "EmptyText", REG_SZ, nullptr, 0);
    fixtures::SetValue(root, key, "OneByte", REG_SZ, "C", 1);
    fixtures::SetStringUnterminated(root, key, "Unterminated", folder + "\\app.exe");
    for (size_t length : {259u, 260u, 261u, 520u}) {
        std::string tail = std::to_string(length);
        std::string data = folder + "\\";
        data += std::string(length > data.size() ? length - data.size() : 0, 'd');
        fixtures::SetStringUnterminated(root, key, "Data" + tail, data);
        fixtures::SetString(root, key, "Terminated" + tail, data);
        fixtures::SetString(root, key, std::string(length, 'n'), folder);
        fixtures::SetValue(root, key, "Multi" + tail, REG_MULTI_SZ, data.c_str(), static_cast<DWORD>(data.size()));
    }
    // A key name of the longest kind the registry takes, and the ones past it.
    for (size_t length : {255u, 256u, 259u, 260u, 261u})
        fixtures::SetString(root, key + "\\" + std::string(length, 'k'), "Path", folder);
    fixtures::SetString(root, key + "\\" + fixtures::Ansi("乗俓僜"), fixtures::Ansi("刓匼"), folder + "\\app.exe");
}

class HostileMachineTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        char programFiles[MAX_PATH] = "";
        ExpandEnvironmentStringsA("%ProgramFiles%", programFiles, MAX_PATH);
        name = fixtures::UniqueName("Hostile");
        folder = std::string(programFiles) + "\\" + name;
        outside = "C:\\" + name + "_outside";
        program = folder + "\\app.exe";
        desktop = fixtures::SpecialFolder(CSIDL_DESKTOPDIRECTORY);
        programs = fixtures::SpecialFolder(CSIDL_PROGRAMS);
        group = programs + "\\" + name;
        windowsStrange = folder + "\\" + fixtures::Ansi("乗俓僜");
        cheapCount = 0;

        // The program folder.
        fixtures::MakeDirs(folder + "\\sub");
        fixtures::WriteFileText(program, "MZ");
        fixtures::WriteFileText(folder + "\\sub\\data.bin", "data");
        fixtures::WriteFileText(folder + "\\locked.dat", "locked");
        fixtures::MakeDirs(windowsStrange);
        fixtures::WriteFileText(windowsStrange + "\\" + fixtures::Ansi("嘰圽塡.txt"), "gbk");
        fixtures::WriteFileText(folder + "\\" + fixtures::Ansi("奬.exe"), "MZ");
        // Names whose full paths are 259, 260 and 261 bytes long.
        for (size_t length : {258u, 259u, 260u, 261u, 300u}) {
            size_t used = folder.size() + 1;
            WriteLongFile(folder, std::string(length > used ? length - used : 1, 'L'));
        }
        // Files outside that links and shortcuts point at.
        fixtures::MakeDirs(outside);
        fixtures::WriteFileText(outside + "\\keep.txt", "keep");
        loopLinked = fixtures::MakeFolderLink(folder + "\\loop", folder);
        outsideLinked = fixtures::MakeFolderLink(folder + "\\outside", outside);
        fixtures::MakeShortcut(folder + "\\broken.lnk", folder + "\\gone\\gone.exe");
        fixtures::MakeShortcut(folder + "\\self.lnk", folder + "\\self.lnk");
        fixtures::MakeShortcut(folder + "\\root.lnk", "C:\\");
        fixtures::MakeShortcut(desktop + "\\" + name + "_out.lnk", outside + "\\keep.txt");
        fixtures::WriteFileText(folder + "\\garbage.lnk", "not a shell link at all");

        // The desktop and the Start menu.
        fixtures::MakeShortcut(desktop + "\\" + name + ".lnk", program);
        fixtures::MakeShortcut(desktop + "\\" + name + "_broken.lnk", "C:\\" + name + "_gone\\x.exe");
        fixtures::MakeShortcut(desktop + "\\" + name + "_self.lnk", desktop + "\\" + name + "_self.lnk");
        fixtures::MakeShortcut(desktop + "\\" + name + "_root.lnk", "C:\\");
        fixtures::WriteFileText(desktop + "\\" + name + "_garbage.lnk", "garbage");
        fixtures::MakeShortcut(desktop + "\\" + name + fixtures::Ansi("乗") + ".lnk", windowsStrange);
        fixtures::MakeShortcut(programs + "\\" + name + "_root.lnk", "C:\\");
        fixtures::MakeShortcut(programs + "\\" + name + "_self.lnk", programs + "\\" + name + "_self.lnk");
        fixtures::MakeShortcut(group + "\\app.lnk", program);
        fixtures::MakeShortcut(group + "\\broken.lnk", folder + "\\gone.exe");
        fixtures::MakeShortcut(group + "\\root.lnk", "C:\\");
        fixtures::WriteFileText(group + "\\garbage.lnk", "garbage");
        fixtures::MakeDirs(programs + "\\" + name + "_deep\\a\\b\\c");
        fixtures::MakeShortcut(programs + "\\" + name + "_deep\\a\\b\\c\\app.lnk", program);

        // The registry.
        uninstallKey = std::string(fixtures::kUninstallKey) + "\\" + name;
        WriteStrangeValues(HKEY_LOCAL_MACHINE, uninstallKey, folder);
        fixtures::SetString(HKEY_LOCAL_MACHINE, uninstallKey + "_fine", "DisplayName", name);
        fixtures::SetString(HKEY_LOCAL_MACHINE, uninstallKey + "_fine", "UninstallString", program + " /u");
        fixtures::SetString(HKEY_LOCAL_MACHINE, uninstallKey + "_fine", "DisplayIcon", program + ",0");
        fixtures::SetValue(HKEY_LOCAL_MACHINE, uninstallKey + "_dword", "DisplayName", REG_DWORD, "\1\0\0\0", 4);
        fixtures::SetValue(HKEY_LOCAL_MACHINE, uninstallKey + "_dword", "UninstallString", REG_BINARY,
                           program.c_str(), static_cast<DWORD>(program.size()));
        fixtures::SetStringUnterminated(HKEY_LOCAL_MACHINE, uninstallKey + "_unterminated", "DisplayName",
                                        std::string(261, 'N'));
        fixtures::SetStringUnterminated(HKEY_LOCAL_MACHINE, uninstallKey + "_unterminated", "UninstallString",
                                        std::string(260, 'U'));
        fixtures::SetStringUnterminated(HKEY_LOCAL_MACHINE, uninstallKey + "_unterminated", "DisplayIcon",
                                        std::string(259, 'I'));
        fixtures::SetStringUnterminated(HKEY_LOCAL_MACHINE, uninstallKey + "_unterminated", "Publisher",
                                        std::string(300, 'P'));
        softwareKey = "Software\\" + name;
        WriteStrangeValues(HKEY_CURRENT_USER, softwareKey, folder);
        WriteStrangeValues(HKEY_LOCAL_MACHINE, softwareKey, folder);
        // Thousands of subkeys, one of them naming the program deep down.
        for (int i = 0; i < 3000; ++i)
            cheapCount += fixtures::SetDword(HKEY_CURRENT_USER, softwareKey + "_many\\k" + std::to_string(i), "v", 0);
        // A hundred levels of nesting, the program named at the bottom.
        // Made one level at a time: the whole path is longer than a key path may be.
        deepLevels = 0;
        HKEY level = nullptr;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, (softwareKey + "_deep").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &level, nullptr);
        while (level && deepLevels < 100) {
            HKEY child = nullptr;
            if (RegCreateKeyExA(level, ("level" + std::to_string(deepLevels)).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, &child, nullptr) != ERROR_SUCCESS)
                child = nullptr;
            RegCloseKey(level);
            level = child;
            if (!level)
                break;
            ++deepLevels;
            RegSetValueExA(level, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(program.c_str()),
                           static_cast<DWORD>(program.size() + 1));
        }
        if (level)
            RegCloseKey(level);
        // Classes: a file type and a class whose texts are not texts.
        extension = "." + fixtures::LowerAscii(name);
        clsid = "{0BAD0BAD-0000-4000-8000-" + std::string("000000000000").substr(0, 12 - std::to_string(GetCurrentProcessId() % 100000).size()) +
                std::to_string(GetCurrentProcessId() % 100000) + "}";
        fixtures::SetValue(HKEY_CLASSES_ROOT, extension, "", REG_BINARY, name.c_str(), static_cast<DWORD>(name.size()));
        fixtures::SetStringUnterminated(HKEY_CLASSES_ROOT, extension + "_unterminated", "", std::string(300, 'x'));
        fixtures::SetValue(HKEY_CLASSES_ROOT, "CLSID\\" + clsid + "\\InprocServer32", "", REG_MULTI_SZ,
                           program.c_str(), static_cast<DWORD>(program.size()));
        fixtures::SetStringUnterminated(HKEY_CLASSES_ROOT, "CLSID\\" + clsid + "_a\\InprocServer32", "",
                                        folder + "\\server.dll");
        WriteStrangeValues(HKEY_CLASSES_ROOT, name + ".Strange", folder);
        fixtures::SetString(HKEY_CURRENT_USER, machine::kRunKey, name,
                            "\"" + program + "\" /tray");
        fixtures::SetValue(HKEY_LOCAL_MACHINE, machine::kRunKey, name + "_bin",
                           REG_BINARY, program.c_str(), static_cast<DWORD>(program.size()));
        fixtures::SetStringUnterminated(HKEY_LOCAL_MACHINE, machine::kRunKey,
                                        name + "_long", std::string(300, 'r'));
    }

    static void TearDownTestSuite()
    {
        fixtures::RemoveFolderLink(folder + "\\loop");
        fixtures::RemoveFolderLink(folder + "\\outside");
        fixtures::RemoveTree(folder);
        fixtures::RemoveTree(outside);
        fixtures::RemoveTree(group);
        fixtures::RemoveTree(programs + "\\" + name + "_deep");
        for (const char* suffix : {".lnk", "_broken.lnk", "_self.lnk", "_root.lnk", "_garbage.lnk", "_out.lnk"})
            DeleteFileA((desktop + "\\" + name + suffix).c_str());
        DeleteFileA((desktop + "\\" + name + fixtures::Ansi("乗") + ".lnk").c_str());
        DeleteFileA((programs + "\\" + name + "_root.lnk").c_str());
        DeleteFileA((programs + "\\" + name + "_self.lnk").c_str());
        for (const char* suffix : {"", "_fine", "_dword", "_unterminated"})
            fixtures::DeleteKeyTree(HKEY_LOCAL_MACHINE, uninstallKey + suffix);
        for (const char* suffix : {"", "_many"})
            fixtures::DeleteKeyTree(HKEY_CURRENT_USER, softwareKey + suffix);
        for (const char* suffix : {"", "_deep"})
            fixtures::DeleteKeyTree(HKEY_LOCAL_MACHINE, softwareKey + suffix);
        fixtures::DeleteKeyTree(HKEY_CLASSES_ROOT, extension);
        fixtures::DeleteKeyTree(HKEY_CLASSES_ROOT, extension + "_unterminated");
        fixtures::DeleteKeyTree(HKEY_CLASSES_ROOT, "CLSID\\" + clsid);
        fixtures::DeleteKeyTree(HKEY_CLASSES_ROOT, "CLSID\\" + clsid + "_a");
        fixtures::DeleteKeyTree(HKEY_CLASSES_ROOT, name + ".Strange");
        fixtures::DeleteValue(HKEY_CURRENT_USER, machine::kRunKey, name);
        fixtures::DeleteValue(HKEY_LOCAL_MACHINE, machine::kRunKey, name + "_bin");
        fixtures::DeleteValue(HKEY_LOCAL_MACHINE, machine::kRunKey, name + "_long");
    }

    // Whether a listed trace may belong to the program: inside its folder, a shortcut
    // on the desktop or in the Start menu, or below one of the keys made here.
    static bool Plausible(const TraceItem* item)
    {
        std::string path = item->path;
        if (item->kind == TRACE_FILE || item->kind == TRACE_FOLDER)
            return StartsWithNoCase(path, folder + "\\") || fixtures::LowerAscii(path) == fixtures::LowerAscii(folder) ||
                   StartsWithNoCase(path, desktop + "\\" + name) || StartsWithNoCase(path, programs + "\\" + name);
        std::string full = fixtures::TraceRowText(item->kind, item->path, item->valueName, item->rootKey);
        for (const std::string& root :
             {"HKEY_LOCAL_MACHINE\\" + uninstallKey, "HKEY_CURRENT_USER\\" + softwareKey,
              "HKEY_LOCAL_MACHINE\\" + softwareKey, "HKEY_CLASSES_ROOT\\" + extension,
              "HKEY_CLASSES_ROOT\\CLSID\\" + clsid, "HKEY_CLASSES_ROOT\\" + name,
              "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\" + name,
              "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\" + name}) {
            if (StartsWithNoCase(full, root))
                return true;
        }
        return false;
    }

    static inline std::string name, folder, outside, program, desktop, programs, group, windowsStrange;
    static inline std::string uninstallKey, softwareKey, extension, clsid;
    static inline int deepLevels, cheapCount;
    static inline bool loopLinked, outsideLinked;
    // The analyses here are judged by the analyzer's list alone.
    struct : TraceSink {
        void OnTrace(const TraceItem&) override {}
        void KeepResponsive() override {}
    } sink;
};

TEST_F(HostileMachineTest, TheStrangeDataIsReallyThere)
{
    EXPECT_TRUE(loopLinked);
    EXPECT_TRUE(outsideLinked);
    EXPECT_EQ(3000, cheapCount);
    EXPECT_EQ(100, deepLevels);
    EXPECT_TRUE(fixtures::DirExists(windowsStrange));
    EXPECT_TRUE(fixtures::ValueExists(HKEY_CURRENT_USER, softwareKey, "Unterminated"));
    EXPECT_TRUE(fixtures::ValueExists(HKEY_LOCAL_MACHINE, uninstallKey + "_unterminated", "DisplayName"));
}

TEST_F(HostileMachineTest, InventoryLoadsEveryQualifyingEntryWithBoundedTexts)
{
    CInstalledSoftwareList list;
    DWORD start = GetTickCount();
    list.Load();
    EXPECT_LT(GetTickCount() - start, 20000u);
    bool fineFound = false;
    for (size_t i = 0; i < list.GetCount(); ++i) {
        InstalledSoftwareEntry* entry = list.GetAt(static_cast<int>(i));
        ASSERT_NE(nullptr, entry);
        list.ResolveIcons(entry);  // the strange "DisplayIcon" values too
        ASSERT_LT(strnlen(entry->displayName, MAX_PATH), static_cast<size_t>(MAX_PATH));
        ASSERT_LT(strnlen(entry->uninstallString, MAX_PATH), static_cast<size_t>(MAX_PATH));
        ASSERT_LT(strnlen(entry->publisher, MAX_PATH), static_cast<size_t>(MAX_PATH));
        ASSERT_LT(strnlen(entry->keyPath, MAX_PATH), static_cast<size_t>(MAX_PATH));
        std::string key = entry->keyPath;
        if (key == uninstallKey + "_fine") {
            fineFound = true;
            EXPECT_EQ(name, std::string(entry->displayName));
        }
        // A name that is a number, or a command stored as bytes, is no product.
        EXPECT_NE(uninstallKey + "_dword", key);
    }
    EXPECT_TRUE(fineFound);
    list.Reload();
    EXPECT_GE(list.GetCount(), 1u);
}

TEST_F(HostileMachineTest, AnalysesFinishAndListOnlyWhatBelongsToTheProgram)
{
    const std::vector<std::string> targets = {
        program, folder, desktop + "\\" + name + ".lnk", group + "\\app.lnk",
        desktop + "\\" + name + "_broken.lnk", desktop + "\\" + name + "_self.lnk",
        desktop + "\\" + name + "_root.lnk", desktop + "\\" + name + "_garbage.lnk",
        programs + "\\" + name + "_root.lnk", desktop + "\\" + name + fixtures::Ansi("乗") + ".lnk",
        windowsStrange, folder + "\\loop", folder + "\\outside", "C:\\", "C:"};
    for (const std::string& target : targets) {
        CTraceAnalyzer analyzer;
        DWORD start = GetTickCount();
        analyzer.Analyze(sink, target.c_str());
        EXPECT_LT(GetTickCount() - start, 20000u) << target;
        std::vector<std::string> implausible;
        for (size_t i = 0; i < analyzer.GetItemCount(); ++i) {
            const TraceItem* item = analyzer.GetItem(i);
            ASSERT_NE(nullptr, item);
            ASSERT_LT(strnlen(item->path, MAX_PATH), static_cast<size_t>(MAX_PATH));
            if (!Plausible(item))
                implausible.push_back(fixtures::TraceRowText(item->kind, item->path, item->valueName, item->rootKey));
        }
        EXPECT_TRUE(implausible.empty()) << target << " listed:\n" << fixtures::JoinLines(implausible);
        // Nothing below the linked-to folder outside, and never the drive root.
        for (size_t i = 0; i < analyzer.GetItemCount(); ++i) {
            std::string path = analyzer.GetItem(i)->path;
            EXPECT_FALSE(StartsWithNoCase(path, outside)) << target << ": " << path;
            EXPECT_NE("c:\\", fixtures::LowerAscii(path)) << target;
        }
    }
}

TEST_F(HostileMachineTest, RemovalTakesOnlyListedTracesAndSchedulesTheLockedFile)
{
    machine::ScopedPendingRenames pendingGuard;
    CTraceAnalyzer analyzer;
    ASSERT_EQ(1, analyzer.Analyze(sink, program.c_str()));
    ASSERT_GT(analyzer.GetItemCount(), 5u);
    ListedTraces traces;
    std::set<std::string> listedFiles;
    for (size_t i = 0; i < analyzer.GetItemCount(); ++i) {
        const TraceItem* item = analyzer.GetItem(i);
        std::string row = fixtures::TraceRowText(item->kind, item->path, item->valueName, item->rootKey);
        if (item->kind == TRACE_REGKEY)
            traces.keys.push_back(row);
        else if (item->kind == TRACE_REGVALUE)
            traces.values.push_back(row);
        else {
            traces.paths.push_back(row);
            listedFiles.insert(fixtures::LowerAscii(row));
        }
    }
    EXPECT_TRUE(listedFiles.count(fixtures::LowerAscii(program)));
    EXPECT_TRUE(listedFiles.count(fixtures::LowerAscii(folder + "\\locked.dat")));
    EXPECT_TRUE(listedFiles.count(fixtures::LowerAscii(desktop + "\\" + name + ".lnk")));
    EXPECT_TRUE(listedFiles.count(fixtures::LowerAscii(group + "\\app.lnk")));
    // Names whose second bytes are backslashes are taken whole, never cut there.
    const std::string strangeFile = windowsStrange + "\\" + fixtures::Ansi("嘰圽塡.txt");
    const std::string strangeLink = desktop + "\\" + name + fixtures::Ansi("乗") + ".lnk";
    EXPECT_TRUE(listedFiles.count(fixtures::LowerAscii(strangeFile)));
    EXPECT_TRUE(listedFiles.count(fixtures::LowerAscii(windowsStrange)));
    EXPECT_TRUE(listedFiles.count(fixtures::LowerAscii(strangeLink)));
    // Shortcuts that lead elsewhere, nowhere or to themselves are not the program's.
    for (const char* suffix : {"_broken.lnk", "_self.lnk", "_root.lnk", "_garbage.lnk", "_out.lnk"}) {
        EXPECT_FALSE(listedFiles.count(fixtures::LowerAscii(desktop + "\\" + name + suffix))) << suffix;
        EXPECT_FALSE(listedFiles.count(fixtures::LowerAscii(programs + "\\" + name + suffix))) << suffix;
    }

    // The keys that name the program through a proper text are listed, whole.
    std::set<std::string> listedKeys;
    for (const std::string& key : traces.keys)
        listedKeys.insert(fixtures::LowerAscii(key));
    EXPECT_TRUE(listedKeys.count(fixtures::LowerAscii("HKEY_CURRENT_USER\\" + softwareKey)));
    EXPECT_TRUE(listedKeys.count(fixtures::LowerAscii("HKEY_LOCAL_MACHINE\\" + softwareKey)));
    EXPECT_TRUE(listedKeys.count(fixtures::LowerAscii("HKEY_LOCAL_MACHINE\\" + uninstallKey + "_fine")));
    EXPECT_FALSE(listedKeys.count(fixtures::LowerAscii("HKEY_CURRENT_USER\\" + softwareKey + "_many")));

    fixtures::TempDir backups("umhostilebackups");
    std::set<std::string> filesBefore = fixtures::FileSnapshot("C:");
    std::set<std::string> userBefore = fixtures::RegistrySnapshot(HKEY_CURRENT_USER, "");
    std::set<std::string> softwareBefore = fixtures::RegistrySnapshot(HKEY_LOCAL_MACHINE, "Software");

    // Held open the way a running program holds its files: it can be read, not moved.
    HANDLE locked =
        CreateFileA((folder + "\\locked.dat").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, locked);
    const CBackupStore store(backups.Path());
    CRemovalBackup backup(store, name);
    DWORD start = GetTickCount();
    RemovalTally tally = analyzer.RemoveChecked(std::vector<bool>(analyzer.GetItemCount(), true), &backup);
    EXPECT_LT(GetTickCount() - start, 20000u);
    CloseHandle(locked);
    EXPECT_FALSE(tally.notSaved);
    EXPECT_EQ(1, tally.Count(REMOVAL_SCHEDULED));
    EXPECT_TRUE(fixtures::PendingDeletions().count(fixtures::LowerAscii(folder + "\\locked.dat")));

    std::set<std::string> filesAfter = fixtures::FileSnapshot("C:");
    std::set<std::string> userAfter = fixtures::RegistrySnapshot(HKEY_CURRENT_USER, "");
    std::set<std::string> softwareAfter = fixtures::RegistrySnapshot(HKEY_LOCAL_MACHINE, "Software");
    std::vector<std::string> lostFiles =
        fixtures::UnaccountedFileLines(fixtures::Missing(filesBefore, filesAfter), traces);
    std::vector<std::string> lostUser = fixtures::UnaccountedRegistryLines(fixtures::Missing(userBefore, userAfter),
                                                                           "HKEY_CURRENT_USER", traces);
    std::vector<std::string> lostSoftware = fixtures::UnaccountedRegistryLines(
        fixtures::Missing(softwareBefore, softwareAfter), "HKEY_LOCAL_MACHINE", traces);
    EXPECT_TRUE(lostFiles.empty()) << fixtures::JoinLines(lostFiles);
    EXPECT_TRUE(lostUser.empty()) << fixtures::JoinLines(lostUser);
    EXPECT_TRUE(lostSoftware.empty()) << fixtures::JoinLines(lostSoftware);

    EXPECT_FALSE(fixtures::FileExists(program));
    EXPECT_FALSE(fixtures::FileExists(strangeFile));
    EXPECT_FALSE(fixtures::DirExists(windowsStrange));
    EXPECT_FALSE(fixtures::FileExists(strangeLink));
    EXPECT_TRUE(fixtures::FileExists(outside + "\\keep.txt"));
    EXPECT_TRUE(fixtures::FileExists(folder + "\\locked.dat"));  // held open: waits for the restart
    EXPECT_TRUE(fixtures::KeyExists(HKEY_CURRENT_USER, softwareKey + "_many\\k2999"));
    // Its text values hold bytes that no code page 936 text spells: a .reg file cannot
    // keep them, so the key is not saved and stays, with both views' copies.
    EXPECT_TRUE(fixtures::KeyExists(HKEY_CURRENT_USER, softwareKey));
    EXPECT_TRUE(fixtures::KeyExists(HKEY_LOCAL_MACHINE, softwareKey));
    EXPECT_FALSE(fixtures::KeyExists(HKEY_LOCAL_MACHINE, uninstallKey + "_fine"));
    EXPECT_TRUE(fixtures::KeyExists(HKEY_LOCAL_MACHINE, uninstallKey + "_dword"));

    // The restore puts every file, folder, link, key and value back as it was.
    CRestoreRun restore(store, backup.RunName());
    std::string reason;
    ASSERT_TRUE(restore.Load(&reason)) << reason;
    EXPECT_EQ(0, restore.Run().failed);
    EXPECT_FALSE(fixtures::PendingDeletions().count(fixtures::LowerAscii(folder + "\\locked.dat")));
    std::vector<std::string> differences;
    const std::set<std::string> restored[] = {fixtures::FileSnapshot("C:"),
                                              fixtures::RegistrySnapshot(HKEY_CURRENT_USER, ""),
                                              fixtures::RegistrySnapshot(HKEY_LOCAL_MACHINE, "Software")};
    const std::set<std::string>* taken[] = {&filesBefore, &userBefore, &softwareBefore};
    for (int i = 0; i < 3; ++i) {
        for (const auto& change : {fixtures::Missing(*taken[i], restored[i]), fixtures::Missing(restored[i], *taken[i])})
            for (const std::string& line : change)
                if (!fixtures::IsBookkeeping(line))
                    differences.push_back(line);
    }
    EXPECT_TRUE(differences.empty()) << fixtures::JoinLines(differences);
}

// The user owns HKCU and may change it between the analysis and the removal: the
// vendor key above the program's settings becomes a link to a machine key holding a
// key of the product's name. Nothing goes through the link and that row could not be
// removed; the rest goes, and the restore puts it back but never writes through it.
TEST_F(HostileMachineTest, AKeyTurnedIntoALinkAfterTheAnalysisLeadsNowhere)
{
    const HKEY cu = HKEY_CURRENT_USER, lm = HKEY_LOCAL_MACHINE;
    const std::string vendor = name + "Soft", product = name + "Pad";
    fixtures::ScopedDir vendorFolder(fixtures::ProgramFilesFolder() + "\\" + vendor);
    const std::string padFolder = vendorFolder.Path() + "\\" + product, pad = padFolder + "\\pad.exe";
    ASSERT_TRUE(fixtures::WriteFileText(pad, "MZ"));
    fixtures::ScopedKey victim(lm, "SOFTWARE\\" + name + "Victim");
    ASSERT_TRUE(fixtures::SetString(lm, victim.Path() + "\\" + product, "precious", "1"));
    fixtures::ScopedKey vendorKey(cu, "Software\\" + vendor);
    const std::string productKey = vendorKey.Path() + "\\" + product;
    ASSERT_TRUE(fixtures::SetString(cu, productKey, "Theme", "dark"));
    ASSERT_TRUE(fixtures::SetString(cu, vendorKey.Path() + "\\Shared", "Backups", "C:\\Docs"));
    // Listed: the file, its folder, the product's key and its value.
    CTraceAnalyzer analyzer;
    ASSERT_EQ(1, analyzer.Analyze(sink, pad.c_str()));
    ASSERT_EQ(4u, analyzer.GetItemCount());
    std::vector<RemovalOutcome> expected;
    for (size_t i = 0; i < analyzer.GetItemCount(); ++i) {
        const TraceItem* item = analyzer.GetItem(i);
        const bool inProductKey = item->rootKey == cu && productKey == item->path;
        EXPECT_EQ(inProductKey, item->kind == TRACE_REGKEY || item->kind == TRACE_REGVALUE);
        expected.push_back(inProductKey ? REMOVAL_FAILED : REMOVAL_DONE);
    }

    fixtures::DeleteKeyTree(cu, vendorKey.Path());
    ASSERT_TRUE(fixtures::MakeRegistryLink(cu, vendorKey.Path(), victim.Path()));
    const std::set<std::string> machineBefore = fixtures::RegistrySnapshot(lm, "Software");
    fixtures::TempDir backups("umhostilelinkbackups");
    const CBackupStore store(backups.Path());
    CRemovalBackup backup(store, product);
    RemovalTally tally = analyzer.RemoveChecked(std::vector<bool>(analyzer.GetItemCount(), true), &backup);
    EXPECT_EQ(expected, tally.outcomes);
    EXPECT_FALSE(fixtures::FileExists(pad));
    const std::vector<std::string> lost = fixtures::Missing(machineBefore, fixtures::RegistrySnapshot(lm, "Software"));
    EXPECT_TRUE(lost.empty()) << fixtures::JoinLines(lost);

    CRestoreRun restore(store, backup.RunName());
    std::string reason;
    ASSERT_TRUE(restore.Load(&reason)) << reason;
    // The product's key cannot be written back without passing the link: that one
    // row fails, the file and its folder come back.
    const RestoreTally restored = restore.Run();
    EXPECT_EQ(1, restored.failed);
    EXPECT_EQ(2, restored.restored);
    EXPECT_TRUE(fixtures::FileExists(pad));
    const std::set<std::string> machineAfter = fixtures::RegistrySnapshot(lm, "Software");
    EXPECT_TRUE(machineAfter == machineBefore) << fixtures::JoinLines(fixtures::Missing(machineAfter, machineBefore));
    EXPECT_EQ(ERROR_SUCCESS, ::DeleteKeyTree(cu, vendorKey.Path().c_str()));  // the link alone, as a link
}

}  // namespace
