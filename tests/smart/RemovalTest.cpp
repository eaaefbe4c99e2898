#include <gtest/gtest.h>

#include <shlwapi.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "SampleProgram.h"
#include "TraceTestSupport.h"
#include "framework/PlatformVersion.h"
#include "smart/TraceRemoval.h"
#include "support/Fixtures.h"
#include "support/Snapshot.h"

using namespace fixtures;
using namespace smarttest;

namespace {

const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string ShortPath(const std::string& path)
{
    char buffer[MAX_PATH] = "";
    GetShortPathNameA(path.c_str(), buffer, MAX_PATH);
    return buffer;
}

// Reads PendingFileRenameOperations and puts it back as it was when destroyed.
class PendingRenames {
public:
    PendingRenames() { present = Read(&original); }
    ~PendingRenames()
    {
        if (present)
            SetValue(HKEY_LOCAL_MACHINE, kSessionManager, "PendingFileRenameOperations", REG_MULTI_SZ,
                     original.data(), static_cast<DWORD>(original.size()));
        else
            SHDeleteValueA(HKEY_LOCAL_MACHINE, kSessionManager, "PendingFileRenameOperations");
    }
    static bool Read(std::string* data)
    {
        DWORD size = 0;
        data->clear();
        if (SHGetValueA(HKEY_LOCAL_MACHINE, kSessionManager, "PendingFileRenameOperations", nullptr, nullptr,
                        &size) != ERROR_SUCCESS)
            return false;
        data->resize(size);
        return SHGetValueA(HKEY_LOCAL_MACHINE, kSessionManager, "PendingFileRenameOperations", nullptr, &(*data)[0],
                           &size) == ERROR_SUCCESS;
    }
    // The wide text of the value as ANSI, entries separated by '|'.
    static std::string Entries()
    {
        HKEY key = nullptr;
        std::string result;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return result;
        wchar_t data[8192] = {};
        DWORD size = sizeof(data) - 4;
        if (RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr, reinterpret_cast<BYTE*>(data),
                             &size) == ERROR_SUCCESS) {
            for (const wchar_t* p = data; p < data + size / 2; p += wcslen(p) + 1) {
                char text[1024] = "";
                WideCharToMultiByte(CP_ACP, 0, p, -1, text, sizeof(text), nullptr, nullptr);
                result += std::string(text) + "|";
            }
        }
        RegCloseKey(key);
        return result;
    }

private:
    bool present;
    std::string original;
};

// Keeps wininit.ini as it was and acts as the 95/98/Me family while alive.
class Windows9xFamily {
public:
    Windows9xFamily()
    {
        GetWininitPath(path, MAX_PATH);
        existed = FileExists(path);
        if (existed)
            original = ReadBytes(path);
        DeleteFileA(path);
        SetPlatformVersionOverride(VER_PLATFORM_WIN32_WINDOWS, 4, 90);
    }
    ~Windows9xFamily()
    {
        ClearPlatformVersionOverride();
        DeleteFileA(path);
        if (existed)
            WriteBytes(path, original);
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
        std::string rest = trace.substr(2);
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
            for (const char* start : {"K ", "V "}) {
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

}  // namespace

TEST(Removal, WholeProgramGoesAndNothingElseChanges)
{
    SampleProgram sample;
    CTraceAnalyzer analyzer;
    std::vector<std::string> traces = Analyze(analyzer, sample.Executable());
    ASSERT_EQ(sample.ExpectedTraces(), traces);
    std::set<std::string> before = MachineSnapshot();

    for (unsigned i = 0; i < analyzer.GetItemCount(); ++i) {
        analyzer.RemoveItem(i);
        ASSERT_EQ(traces.size(), analyzer.GetItemCount());  // the list stays valid during a run
    }
    analyzer.Clear();
    EXPECT_EQ(0u, analyzer.GetItemCount());
    std::set<std::string> after = MachineSnapshot();

    EXPECT_TRUE(Missing(after, before).empty()) << "added: " << Missing(after, before).front();
    for (const std::string& removed : Missing(before, after))
        EXPECT_TRUE(IsListed(removed, traces)) << "removed but not listed: " << removed;

    EXPECT_FALSE(DirExists(sample.folder));
    EXPECT_FALSE(DirExists(sample.toolsFolder));
    EXPECT_FALSE(FileExists(sample.desktopLink));
    EXPECT_FALSE(DirExists(sample.group));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, sample.classA));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, sample.progId));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, sample.uninstallKey));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRunKey, sample.runValue));
    // What the program does not own stays.
    EXPECT_TRUE(FileExists(sample.siblingFolder + "\\x.exe"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, sample.siblingKey));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, sample.classOutOfProcess));
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kRunKey, sample.expandRunValue));
}

TEST(Removal, FoldersGoOnlyWhenEmptyAndBadIndexesDoNothing)
{
    TempDir base("umrm");
    std::string app = base.Path() + "\\App";
    WriteFileText(app + "\\keep.txt");
    WriteFileText(app + "\\ro.txt");
    SetFileAttributesA((app + "\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    CTraceAnalyzer analyzer;
    analyzer.RemoveItem(0);  // empty list
    std::vector<std::string> traces = Analyze(analyzer, app);
    std::vector<std::string> expected = {FileTrace(app + "\\keep.txt"), FileTrace(app + "\\ro.txt"), FolderTrace(app)};
    ASSERT_EQ(expected, traces);
    analyzer.RemoveItem(3);
    analyzer.RemoveItem(1000);
    EXPECT_TRUE(FileExists(app + "\\keep.txt"));
    analyzer.RemoveItem(1);
    analyzer.RemoveItem(2);  // keep.txt was not ticked: the folder stays
    EXPECT_FALSE(FileExists(app + "\\ro.txt"));
    EXPECT_TRUE(DirExists(app));
    analyzer.RemoveItem(0);
    analyzer.RemoveItem(2);
    EXPECT_FALSE(DirExists(app));
}

TEST(Removal, KeysGoWithTheirSubtreesValuesAlone)
{
    std::string id = UniqueName("umkeys");
    ScopedKey key(HKEY_CURRENT_USER, "Software\\" + id);
    SetString(HKEY_CURRENT_USER, key.Path() + "\\Sub\\Deeper", "a", "1");
    SetString(HKEY_CURRENT_USER, key.Path(), "one", "1");
    SetString(HKEY_CURRENT_USER, key.Path(), "two", "2");

    TraceItem value = MakeTrace(TRACE_REGVALUE, key.Path(), HKEY_CURRENT_USER, "one");
    DeleteTrace(&value);
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, key.Path(), "one"));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, key.Path(), "two"));

    TraceItem bad = MakeTrace(7, key.Path(), HKEY_CURRENT_USER);
    DeleteTrace(&bad);
    TraceItem root = MakeTrace(TRACE_REGKEY, "", HKEY_CURRENT_USER);
    DeleteTrace(&root);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, key.Path()));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software"));

    TraceItem whole = MakeTrace(TRACE_REGKEY, key.Path(), HKEY_CURRENT_USER);
    DeleteTrace(&whole);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key.Path()));
}

TEST(Removal, KeyRemovalNeverFollowsRegistryLinks)
{
    std::string id = UniqueName("umregl");
    ScopedKey victim(HKEY_LOCAL_MACHINE, "Software\\" + id + "Victim");
    SetString(HKEY_LOCAL_MACHINE, victim.Path(), "precious", "1");
    ScopedKey owner(HKEY_CURRENT_USER, "Software\\" + id);
    HKEY link = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, (owner.Path() + "\\Link").c_str(), 0, nullptr,
                                             REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS, nullptr, &link, nullptr));
    std::string target = "\\Registry\\Machine\\Software\\" + id + "Victim";
    std::wstring wideTarget(target.begin(), target.end());
    RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(wideTarget.c_str()),
                   static_cast<DWORD>(wideTarget.size() * sizeof(wchar_t)));
    RegCloseKey(link);
    ASSERT_TRUE(ValueExists(HKEY_CURRENT_USER, owner.Path() + "\\Link", "precious"));

    TraceItem whole = MakeTrace(TRACE_REGKEY, owner.Path(), HKEY_CURRENT_USER);
    DeleteTrace(&whole);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, owner.Path()));
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, victim.Path(), "precious"));
}

TEST(Removal, HeldFileIsScheduledByMoveOnRebootOnNt)
{
    ASSERT_TRUE(IsWindowsNT());
    PendingRenames restore;
    TempDir base("umheld");
    std::string path = base.Path() + "\\held.dll";
    WriteFileText(path);
    {
        HeldFile held(path);
        ASSERT_TRUE(held.IsOpen());
        DeleteFileOrSchedule(path.c_str());
        EXPECT_TRUE(FileExists(path));
    }
    EXPECT_NE(std::string::npos, PendingRenames::Entries().find("\\??\\" + path + "|"));

    // A file that is already gone is not scheduled: a later file of that name must live.
    std::string gone = base.Path() + "\\gone.dll";
    DeleteFileOrSchedule(gone.c_str());
    EXPECT_EQ(std::string::npos, PendingRenames::Entries().find(gone));
}

TEST(Removal, HeldFilesAreScheduledInWininitOnThe9xFamily)
{
    Windows9xFamily family;
    ASSERT_FALSE(IsWindowsNT());
    TempDir base("umwininit");
    std::string first = base.Path() + "\\first.dll";
    std::string second = base.Path() + "\\second.dll";
    WriteFileText(first);
    WriteFileText(second);
    HeldFile heldFirst(first);
    HeldFile heldSecond(second);

    DeleteFileOrSchedule(first.c_str());
    EXPECT_EQ("[rename]\r\nNUL=" + ShortPath(first) + "\r\n", ReadBytes(family.Path()));
    DeleteFileOrSchedule(second.c_str());
    EXPECT_EQ("[rename]\r\nNUL=" + ShortPath(first) + "\r\nNUL=" + ShortPath(second) + "\r\n",
              ReadBytes(family.Path()));
    EXPECT_FALSE(ScheduleDeleteViaWininit((base.Path() + "\\missing.dll").c_str()));
    EXPECT_TRUE(FileExists(first));
}

TEST(Removal, WininitHeaderInCapitalsMissingLineEndAndLaterSections)
{
    Windows9xFamily family;
    TempDir base("umwininit2");
    std::string file = base.Path() + "\\f.dll";
    WriteFileText(file);
    std::string entry = "NUL=" + ShortPath(file) + "\r\n";

    WriteBytes(family.Path(), "[RENAME]\r\nNUL=C:\\OLD.DLL");
    ASSERT_TRUE(ScheduleDeleteViaWininit(file.c_str()));
    EXPECT_EQ("[RENAME]\r\nNUL=C:\\OLD.DLL\r\n" + entry, ReadBytes(family.Path()));

    WriteBytes(family.Path(), "[other]\r\na=b");
    ASSERT_TRUE(ScheduleDeleteViaWininit(file.c_str()));
    EXPECT_EQ("[other]\r\na=b\r\n[rename]\r\n" + entry, ReadBytes(family.Path()));

    WriteBytes(family.Path(), "[Rename]\r\nNUL=C:\\OLD.DLL\r\n[other]\r\na=b\r\n");
    ASSERT_TRUE(ScheduleDeleteViaWininit(file.c_str()));
    EXPECT_EQ("[Rename]\r\nNUL=C:\\OLD.DLL\r\n" + entry + "[other]\r\na=b\r\n", ReadBytes(family.Path()));
}

TEST(Removal, WininitPathIsInTheWindowsFolder)
{
    char path[MAX_PATH];
    ASSERT_TRUE(GetWininitPath(path, MAX_PATH));
    EXPECT_STREQ((WindowsFolder() + "\\wininit.ini").c_str(), path);
    char tiny[8];
    EXPECT_FALSE(GetWininitPath(tiny, sizeof(tiny)));
    EXPECT_EQ('\0', tiny[0]);
}
