// Measuring a folder in small steps: the bytes of a real tree (hidden names, a file
// over 4 GB), links never entered, caps on depth and entries, folders that cannot be
// listed, steps that keep to their budget; and which folders may be measured at all.
#include "framework/Handles.h"
#include "framework/SteadyClock.h"
#include "smart/FolderSizeMeter.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace fixtures;

namespace {

// Runs the meter to its end in steps of budget seconds; the number of steps.
int Measure(CFolderSizeMeter& meter, const std::string& folder, double budget = 0.005)
{
    meter.Start(folder.c_str());
    int steps = 1;
    for (; !meter.Step(budget) && steps < 1000000; ++steps) {
    }
    EXPECT_TRUE(meter.Finished());
    return steps;
}

// A file of the given size; past a few bytes it is sparse (only its end is set).
bool MakeFile(const std::string& path, ULONGLONG size)
{
    if (size < 4096)
        return WriteFileText(path, std::string(static_cast<size_t>(size), 'b'));
    OwnedFile file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    return file && SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
}

TEST(FolderSizeMeter, CountsEveryFileOfARealTreeAndNothingElse)
{
    TempDir dir("umsize");
    const ULONGLONG big = 5ULL << 30;  // past what 32 bits hold
    const std::pair<std::string, ULONGLONG> files[] = {
        {"\\app.exe", 1000}, {"\\.hidden", 7}, {"\\.config\\settings.ini", 30}, {"\\data\\empty.dat", 0},
        {"\\data\\big.bin", big}, {"\\data\\deep\\er\\still\\a.txt", 12}, {"\\\xD6\xD0\xCE\xC4\\\xCE\xC4.txt", 5},
    };
    ULONGLONG expected = 0;
    for (const auto& [name, size] : files) {
        ASSERT_TRUE(MakeDirs(ParentFolder(dir.Path() + name)));
        ASSERT_TRUE(MakeFile(dir.Path() + name, size)) << name;
        expected += size;
    }
    ASSERT_TRUE(MakeDirs(dir.Path() + "\\empty folder"));
    CFolderSizeMeter meter;
    EXPECT_TRUE(meter.Finished());  // nothing started
    Measure(meter, dir.Path());
    EXPECT_EQ(expected, meter.Bytes());
    EXPECT_FALSE(meter.Partial());
    // A trailing backslash names the same folder; a start begins anew.
    Measure(meter, dir.Path() + "\\data\\");
    EXPECT_EQ(big + 12, meter.Bytes());
    // A file, nothing, no path: nothing to measure, finished at once.
    for (const std::string& none : {dir.Path() + "\\app.exe", dir.Path() + "\\missing", std::string()}) {
        meter.Start(none.c_str());
        EXPECT_TRUE(meter.Finished()) << none;
        EXPECT_TRUE(meter.Step(0.005));
        EXPECT_EQ(0u, meter.Bytes()) << none;
    }
    meter.Start(nullptr);
    EXPECT_TRUE(meter.Finished());
}

// Links lead elsewhere or back up: a loop, a link to a folder outside, a link as the
// folder itself. None is entered or counted.
TEST(FolderSizeMeter, NeverEntersALink)
{
    TempDir dir("umsizelink"), outside("umsizeout");
    ASSERT_TRUE(WriteFileText(dir.Path() + "\\App\\app.exe", std::string(100, 'a')));
    ASSERT_TRUE(WriteFileText(outside.Path() + "\\other.bin", std::string(5000, 'o')));
    ASSERT_TRUE(MakeDirs(dir.Path() + "\\App\\sub"));
    ASSERT_TRUE(MakeFolderLink(dir.Path() + "\\App\\loop", dir.Path() + "\\App"));
    ASSERT_TRUE(MakeFolderLink(dir.Path() + "\\App\\sub\\away", outside.Path()));
    ASSERT_TRUE(MakeFolderLink(dir.Path() + "\\linked", dir.Path() + "\\App"));
    CFolderSizeMeter meter;
    Measure(meter, dir.Path() + "\\App");
    EXPECT_EQ(100u, meter.Bytes());
    EXPECT_FALSE(meter.Partial());
    Measure(meter, dir.Path() + "\\linked");
    EXPECT_EQ(0u, meter.Bytes());
    for (const char* link : {"\\App\\loop", "\\App\\sub\\away", "\\linked"})
        EXPECT_TRUE(RemoveFolderLink(dir.Path() + link)) << link;
}

// A tree deeper than the cap counts down to it; one with more entries than the cap
// stops there; a folder held open without sharing cannot be listed and counts nothing.
TEST(FolderSizeMeter, CapsAndUnreadableFoldersEndWithAPartialCount)
{
    TempDir dir("umsizedeep");
    std::string folder = dir.Path();
    for (int depth = 0; depth <= 70; ++depth) {
        ASSERT_TRUE(WriteFileText(folder + "\\f", "1")) << depth;
        folder += "\\d";
    }
    CFolderSizeMeter meter;
    Measure(meter, dir.Path());
    EXPECT_EQ(static_cast<ULONGLONG>(CFolderSizeMeter::kMaxDepth + 1), meter.Bytes());
    EXPECT_TRUE(meter.Partial());
    CFolderSizeMeter shallow(CFolderSizeMeter::kMaxEntries, 3);
    Measure(shallow, dir.Path() + "\\d\\d");
    EXPECT_EQ(4u, shallow.Bytes());

    TempDir wide("umsizewide");
    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(WriteFileText(wide.Path() + "\\f" + std::to_string(i), "12"));
    CFolderSizeMeter few(30, CFolderSizeMeter::kMaxDepth);
    Measure(few, wide.Path());
    EXPECT_EQ(60u, few.Bytes());
    EXPECT_TRUE(few.Partial());
    CFolderSizeMeter enough(50, CFolderSizeMeter::kMaxDepth);
    Measure(enough, wide.Path());
    EXPECT_EQ(100u, enough.Bytes());
    EXPECT_FALSE(enough.Partial());

    ASSERT_TRUE(WriteFileText(wide.Path() + "\\held\\inside.bin", std::string(1000, 'h')));
    OwnedFile held(CreateFileA((wide.Path() + "\\held").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(held);
    CFolderSizeMeter meter2;
    Measure(meter2, wide.Path());
    EXPECT_EQ(100u, meter2.Bytes());
    EXPECT_TRUE(meter2.Partial());
    held.Reset();
    Measure(meter2, wide.Path());
    EXPECT_EQ(1100u, meter2.Bytes());
    EXPECT_FALSE(meter2.Partial());
}

// 20,000 files in steps of 5 ms: every step returns within a few milliseconds of its
// budget, and the whole is counted.
TEST(FolderSizeMeter, StepsKeepToTheirBudget)
{
    TempDir dir("umsizemany");
    for (int folder = 0; folder < 200; ++folder) {  // small folders: Wine makes them faster
        const std::string path = dir.Path() + "\\part" + std::to_string(folder);
        ASSERT_TRUE(MakeDirs(path));
        for (int file = 0; file < 100; ++file) {
            // Made directly: the fixture's writer makes the folders first, each time.
            const std::string name = path + "\\file" + std::to_string(file) + ".dat";
            OwnedFile made(CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
            DWORD written = 0;
            ASSERT_TRUE(made && WriteFile(made, "abc", 3, &written, nullptr) && written == 3) << name;
        }
    }
    CFolderSizeMeter meter;
    meter.Start(dir.Path().c_str());
    double longest = 0;
    int steps = 0;
    for (bool done = false; !done; ++steps) {
        const double start = SteadySeconds();
        done = meter.Step(0.005);
        longest = std::max(longest, SteadySeconds() - start);
    }
    EXPECT_EQ(60000u, meter.Bytes());
    EXPECT_GT(steps, 5);
    EXPECT_LT(longest, 0.025) << steps << " steps";
}

TEST(FolderSizeMeter, OnlyAProgramsOwnFolderMayBeMeasured)
{
    const std::string programFiles = ProgramFilesFolder();
    ScopedDir program(programFiles + "\\" + UniqueName("UmSizeApp"));
    ASSERT_TRUE(WriteFileText(program.Path() + "\\app.exe"));
    char desktop[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, desktop, CSIDL_DESKTOPDIRECTORY, FALSE));
    const struct {
        std::string folder;
        bool may;
    } cases[] = {
        {program.Path(), true},
        {program.Path() + "\\", true},
        {program.Path() + "\\app.exe", false},
        {program.Path() + "\\missing", false},
        {programFiles, false},
        {WindowsFolder(), false},
        {SystemFolder(), false},
        {desktop, false},
        {"C:\\", false},
        {"\\\\umserver\\share\\App", false},
        {"App", false},
        {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.may, MayMeasureFolder(c.folder.c_str())) << c.folder;
}

}  // namespace
