#include <gtest/gtest.h>

#include <shlwapi.h>

#include <algorithm>
#include <cstdio>

#include "SampleProgram.h"
#include "TraceTestSupport.h"
#include "framework/PlatformVersion.h"
#include "smart/TraceRemoval.h"
#include "support/Fixtures.h"
#include "machine/PendingRenames.h"

using namespace fixtures;
using namespace smarttest;

namespace {

std::string ShortPath(const std::string& path)
{
    char buffer[MAX_PATH] = "";
    GetShortPathNameA(path.c_str(), buffer, MAX_PATH);
    return buffer;
}

std::string ReadText(const std::string& path)
{
    std::string text;
    machine::ReadFileText(path, &text);
    return text;
}

// Keeps wininit.ini as it was and acts as the 95/98/Me family while alive.
class Windows9xFamily {
public:
    Windows9xFamily()
    {
        GetWininitPath(path, MAX_PATH);
        existed = FileExists(path);
        if (existed)
            machine::ReadFileText(path, &original);
        DeleteFileA(path);
        SetPlatformVersionOverride(VER_PLATFORM_WIN32_WINDOWS, 4, 90);
    }
    ~Windows9xFamily()
    {
        ClearPlatformVersionOverride();
        DeleteFileA(path);
        if (existed)
            WriteFileText(path, original);
    }
    std::string Path() const { return path; }

private:
    char path[MAX_PATH];
    bool existed;
    std::string original;
};

// Opens a file without FILE_SHARE_DELETE, so it cannot be deleted while open.
class HeldFile {
public:
    explicit HeldFile(const std::string& path)
        : handle(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr))
    {
    }
    ~HeldFile()
    {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
    bool IsOpen() const { return handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle;
};

TraceItem MakeTrace(int kind, const std::string& path, HKEY root = nullptr, const std::string& valueName = "")
{
    TraceItem item = {};
    item.kind = kind;
    snprintf(item.path, MAX_PATH, "%s", path.c_str());
    snprintf(item.valueName, MAX_PATH, "%s", valueName.c_str());
    item.rootKey = root;
    return item;
}

// The part of a snapshot line that names the thing (path, or key path and value name).
bool StartsWithNoCase(const std::string& text, const std::string& prefix)
{
    return text.size() >= prefix.size() && _strnicmp(text.c_str(), prefix.c_str(), prefix.size()) == 0;
}

bool IsListed(const std::string& line, const std::vector<std::string>& traces)
{
    for (const std::string& trace : traces) {
        std::string kind = trace.substr(0, 2);
        std::string rest = trace.substr(2, trace.rfind(" ~") - 2);  // without a weak reason
        if (kind == "F " || kind == "D ") {
            if (StartsWithNoCase(line, rest + "|"))
                return true;
            continue;
        }
        std::string root = rest.substr(0, 5);  // "HKCR " etc.
        std::string tail = rest.substr(5);
        std::string prefix = root == "HKCR " ? "HKLM Software\\Classes\\" : root;
        if (kind == "K ") {
            std::string keyPath = prefix + tail;
            for (const char* start : {"K ", "V ", "L "}) {
                std::string head = start + keyPath;
                if (StartsWithNoCase(line, head) &&
                    (line.size() == head.size() || line[head.size()] == '\\' || line[head.size()] == '|'))
                    return true;
            }
        } else {
            size_t bar = tail.find('|');
            std::string valueLine = "V " + prefix + tail.substr(0, bar) + "|" + tail.substr(bar + 1) + "|";
            if (StartsWithNoCase(line, valueLine))
                return true;
        }
    }
    return false;
}

std::set<std::string> MachineSnapshot()
{
    std::set<std::string> lines;
    for (const std::string& line : RegistrySnapshot(HKEY_CURRENT_USER, "Software"))
        lines.insert(line.substr(0, 1) + " HKCU " + line.substr(2));
    for (const std::string& line : RegistrySnapshot(HKEY_LOCAL_MACHINE, "Software"))
        lines.insert(line.substr(0, 1) + " HKLM " + line.substr(2));
    for (const std::string& line : FileSnapshot("C:"))
        lines.insert(line);
    return lines;
}

std::wstring Wide(const std::string& text)
{
    wchar_t wide[MAX_PATH] = L"";
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide, MAX_PATH);
    return wide;
}

// A character code page 936 cannot spell: ANSI listings show it as '?'.
const wchar_t kUnspellable[] = L"\x0e01";

bool CreateWideKey(HKEY root, const std::string& parent, const std::wstring& name)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, (Wide(parent) + L"\\" + name).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool WideKeyExists(HKEY root, const std::string& parent, const std::wstring& name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, (Wide(parent) + L"\\" + name).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::vector<bool> TicksExcept(const std::vector<std::string>& traces, const std::set<std::string>& unticked)
{
    std::vector<bool> ticks;
    for (const std::string& trace : traces)
        ticks.push_back(!unticked.count(trace));
    return ticks;
}

}  // namespace

TEST(Removal, TickedRowsGoWithAllTheyHoldButTheUntickedOnes)
{
    SampleProgram sample;
    const std::string vendor = sample.vendorKey;
    // More below the program's keys: a subkey the user keeps, a value kept among
    // others that go, a subkey the code page cannot spell, a link to another key.
    SetString(HKEY_LOCAL_MACHINE, vendor + "\\Keep", "k", "1");
    SetString(HKEY_LOCAL_MACHINE, vendor + "\\Settings", "y", "2");
    ASSERT_TRUE(CreateWideKey(HKEY_LOCAL_MACHINE, vendor, std::wstring(L"x") + kUnspellable));
    ScopedKey victim(HKEY_LOCAL_MACHINE, "Software\\" + sample.Id() + "Victim");
    SetString(HKEY_LOCAL_MACHINE, victim.Path(), "precious", "1");
    ASSERT_TRUE(MakeRegistryLink(HKEY_LOCAL_MACHINE, vendor + "\\Link", victim.Path()));

    CTraceAnalyzer analyzer;
    std::vector<std::string> traces = Analyze(analyzer, sample.Executable());
    const std::string config = sample.folder + "\\data\\config.ini";
    std::set<std::string> unticked = {FileTrace(config), KeyTrace(HKEY_LOCAL_MACHINE, vendor + "\\Keep"),
                                      ValueTrace(HKEY_LOCAL_MACHINE, vendor + "\\Settings", "x")};
    for (const std::string& row : unticked)
        ASSERT_TRUE(std::count(traces.begin(), traces.end(), row)) << row;
    std::vector<bool> ticks = TicksExcept(traces, unticked);
    std::vector<std::string> ticked;
    for (size_t i = 0; i < traces.size(); ++i) {
        if (ticks[i])
            ticked.push_back(traces[i]);
    }
    // Written after the analysis, never listed: inside a ticked key, and inside an unticked one.
    SetString(HKEY_LOCAL_MACHINE, vendor, "Late", "1");
    SetString(HKEY_LOCAL_MACHINE, vendor + "\\Late\\Sub", "z", "1");
    SetString(HKEY_LOCAL_MACHINE, vendor + "\\Keep", "Late", "1");
    std::set<std::string> before = MachineSnapshot();

    RemovalTally tally = analyzer.RemoveChecked(ticks);
    ASSERT_EQ(traces.size(), analyzer.GetItemCount());
    std::set<std::string> after = MachineSnapshot();

    std::vector<std::string> appeared = Missing(after, before);
    EXPECT_TRUE(appeared.empty()) << "added: " << appeared.front();
    for (const std::string& removed : Missing(before, after))
        EXPECT_TRUE(IsListed(removed, ticked)) << "removed but not ticked: " << removed;
    // The unticked rows stay, with the folders and keys on the way to them.
    EXPECT_TRUE(FileExists(config));
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, vendor + "\\Keep", "Late"));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, vendor + "\\Keep", "k"));  // its own row was ticked
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, vendor + "\\Settings", "x"));
    // All else inside the ticked folders and keys went, listed or not.
    EXPECT_FALSE(DirExists(sample.folder + "\\data\\deep"));
    EXPECT_FALSE(FileExists(sample.folder + "\\readme.txt"));  // read-only
    EXPECT_FALSE(FileExists(sample.folder + "\\hidden.dat"));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, vendor, "Path"));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, vendor, "Late"));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, vendor + "\\Settings", "y"));
    EXPECT_EQ((std::vector<std::string>{"Keep", "Settings"}), SubkeyNames(HKEY_LOCAL_MACHINE, vendor));
    EXPECT_FALSE(WideKeyExists(HKEY_LOCAL_MACHINE, vendor, std::wstring(L"x") + kUnspellable));
    EXPECT_FALSE(DirExists(sample.toolsFolder));
    EXPECT_FALSE(FileExists(sample.desktopLink));
    EXPECT_FALSE(DirExists(sample.group));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, sample.classA));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, sample.uninstallKey));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, sample.userKey, "InstallDir"));  // another tool's setting, ticked here
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRunKey, sample.runValue));
    // What the program does not own stays.
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, victim.Path(), "precious"));
    EXPECT_TRUE(FileExists(sample.siblingFolder + "\\x.exe"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, sample.siblingKey));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, sample.classOutOfProcess));
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kRunKey, sample.expandRunValue));

    // Every ticked row went, but the folders and keys that stay for unticked rows.
    std::set<std::string> holders = {FolderTrace(sample.folder), FolderTrace(sample.folder + "\\data"),
                                     KeyTrace(HKEY_LOCAL_MACHINE, vendor),
                                     KeyTrace(HKEY_LOCAL_MACHINE, vendor + "\\Settings")};
    ASSERT_EQ(traces.size(), tally.outcomes.size());
    for (size_t i = 0; i < traces.size(); ++i) {
        RemovalOutcome expected = !ticks[i] ? REMOVAL_IGNORED : holders.count(traces[i]) ? REMOVAL_KEPT : REMOVAL_DONE;
        EXPECT_EQ(expected, tally.outcomes[i]) << traces[i];
    }
}

TEST(Removal, OnlyWhatIsGoneCountsAsRemoved)
{
    ASSERT_TRUE(IsWindowsNT());
    machine::ScopedPendingRenames restore;
    TempDir base("umgone");
    const std::string held = base.Path() + "\\Held";
    const std::string other = base.Path() + "\\Other";
    const std::string bad = base.Path() + "\\Bad";
    WriteFileText(held + "\\sub\\held.dll");
    WriteFileText(other + "\\shared.txt");
    SetFileAttributesA((other + "\\shared.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    MakeDirs(bad);
    HANDLE unspellable = CreateFileW((Wide(bad) + L"\\a" + kUnspellable + L".txt").c_str(), GENERIC_WRITE, 0, nullptr,
                                     CREATE_NEW, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, unspellable);
    CloseHandle(unspellable);
    ASSERT_TRUE(MakeFileLink(bad + "\\link.txt", other + "\\shared.txt"));
    ScopedKey keys(HKEY_CURRENT_USER, "Software\\" + UniqueName("umgone"));
    ASSERT_TRUE(CreateWideKey(HKEY_CURRENT_USER, keys.Path(), std::wstring(L"x") + kUnspellable));
    ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, keys.Path() + "\\x?y"));  // another program's

    std::vector<TraceItem> rows = {
        MakeTrace(TRACE_FILE, held + "\\sub\\held.dll"), MakeTrace(TRACE_FOLDER, held + "\\sub"),
        MakeTrace(TRACE_FOLDER, held),
        MakeTrace(TRACE_FILE, bad + "\\a?.txt"),  // how an ANSI listing names it
        MakeTrace(TRACE_FILE, bad + "\\link.txt"), MakeTrace(TRACE_FILE, bad + "\\gone.txt"),
        MakeTrace(TRACE_FOLDER, bad), MakeTrace(TRACE_REGKEY, keys.Path() + "\\x?y", HKEY_CURRENT_USER),
        MakeTrace(7, keys.Path(), HKEY_CURRENT_USER), MakeTrace(TRACE_REGKEY, "", HKEY_CURRENT_USER)};
    std::vector<const TraceItem*> items;
    for (const TraceItem& row : rows)
        items.push_back(&row);
    std::set<std::string> before = MachineSnapshot();
    RemovalTally tally;
    {
        HeldFile holder(held + "\\sub\\held.dll");
        ASSERT_TRUE(holder.IsOpen());
        tally = RemoveTraces(items, std::vector<bool>(items.size(), true));
    }

    std::vector<RemovalOutcome> expected = {
        REMOVAL_SCHEDULED, REMOVAL_SCHEDULED, REMOVAL_SCHEDULED,  // in use: the file, then its folders
        REMOVAL_FAILED,    REMOVAL_FAILED,    REMOVAL_DONE,       // unspellable, a link, already gone
        REMOVAL_FAILED,    REMOVAL_FAILED,                        // holds what stays; unspellable key
        REMOVAL_IGNORED,   REMOVAL_IGNORED};                      // no such kind; no whole root
    EXPECT_EQ(expected, tally.outcomes);
    // Nothing went yet, and nothing else changed: the link's target keeps its
    // attributes, the key spelt like the unspellable one stays.
    EXPECT_TRUE(Missing(before, MachineSnapshot()).empty()) << Missing(before, MachineSnapshot()).front();
    EXPECT_TRUE(Missing(MachineSnapshot(), before).empty()) << Missing(MachineSnapshot(), before).front();
    // The folders wait for the next start right after the file, inner one first.
    std::string pending;
    for (const std::string& entry : machine::PendingRenameEntries())
        pending += entry + "|";
    size_t file = pending.find("\\??\\" + held + "\\sub\\held.dll|");
    size_t sub = pending.find("\\??\\" + held + "\\sub|");
    size_t top = pending.find("\\??\\" + held + "|");
    EXPECT_TRUE(file != std::string::npos && file < sub && sub < top && top != std::string::npos) << pending;
    EXPECT_EQ(std::string::npos, pending.find("gone.txt"));
    EXPECT_TRUE(CTraceAnalyzer().RemoveChecked({true, true}).outcomes.empty());
}

// On the 95/98/Me family a held file is scheduled in wininit.ini: the [rename]
// section is made, or found in any capitals, and the entry goes at its end.
TEST(Removal, HeldFilesAreScheduledInWininitOnThe9xFamily)
{
    Windows9xFamily family;
    ASSERT_FALSE(IsWindowsNT());
    EXPECT_STREQ((WindowsFolder() + "\\wininit.ini").c_str(), family.Path().c_str());
    TempDir base("umwininit");
    std::string file = base.Path() + "\\f.dll";
    WriteFileText(file);
    HeldFile held(file);
    std::string entry = "NUL=" + ShortPath(file) + "\r\n";
    const struct {
        const char* before;
        std::string after;
    } cases[] = {
        {nullptr, "[rename]\r\n" + entry},
        {"[rename]\r\nNUL=C:\\OLD.DLL\r\n", "[rename]\r\nNUL=C:\\OLD.DLL\r\n" + entry},
        {"[RENAME]\r\nNUL=C:\\OLD.DLL", "[RENAME]\r\nNUL=C:\\OLD.DLL\r\n" + entry},
        {"[other]\r\na=b", "[other]\r\na=b\r\n[rename]\r\n" + entry},
        {"[Rename]\r\nNUL=C:\\OLD.DLL\r\n[other]\r\na=b\r\n", "[Rename]\r\nNUL=C:\\OLD.DLL\r\n" + entry + "[other]\r\na=b\r\n"},
    };
    for (const auto& c : cases) {
        DeleteFileA(family.Path().c_str());
        if (c.before)
            WriteFileText(family.Path(), c.before);
        DeleteFileOrSchedule(file.c_str());
        EXPECT_EQ(c.after, ReadText(family.Path())) << (c.before ? c.before : "(none)");
    }
    EXPECT_TRUE(FileExists(file));
    EXPECT_FALSE(ScheduleDeleteViaWininit((base.Path() + "\\missing.dll").c_str()));
    char tiny[8];
    EXPECT_FALSE(GetWininitPath(tiny, sizeof(tiny)));
    EXPECT_EQ('\0', tiny[0]);
}
