// Shortcut resolution, the Program Files folder, the platform tests and path tests.
#include <gtest/gtest.h>

#include "framework/AnsiText.h"
#include "smart/FolderPaths.h"
#include "framework/PlatformVersion.h"
#include "framework/ProgramFilesFolder.h"
#include "smart/ShortcutResolver.h"
#include "support/Fixtures.h"
#include "TraceTestSupport.h"

#include <shlobj.h>

using namespace fixtures;

TEST(Shortcuts, ResolveAndReadGiveTheTargetOfARealShortcut)
{
    TempDir base("umlnk");
    std::string target = base.Path() + "\\app.exe";
    WriteFileText(target);
    ASSERT_TRUE(MakeShortcut(base.Path() + "\\app.lnk", target, "/x"));
    char resolved[MAX_PATH];
    ASSERT_TRUE(ResolveShortcut((base.Path() + "\\app.lnk").c_str(), resolved));
    EXPECT_STREQ(target.c_str(), resolved);
    EXPECT_EQ(target, ReadShortcutTarget((base.Path() + "\\app.lnk").c_str()));

    // Non-shortcuts and over-long paths have no target.
    std::string plain = base.Path() + "\\plain.lnk";
    WriteFileText(plain, "not a shortcut");
    strcpy(resolved, "junk");
    EXPECT_FALSE(ResolveShortcut(plain.c_str(), resolved));
    EXPECT_STREQ("", resolved);
    EXPECT_EQ("", ReadShortcutTarget(plain.c_str()));
    EXPECT_FALSE(ResolveShortcut((base.Path() + "\\missing.lnk").c_str(), resolved));
    std::string tooLong = "C:\\" + std::string(300, 'a') + ".lnk";
    EXPECT_FALSE(ResolveShortcut(tooLong.c_str(), resolved));
    EXPECT_EQ("", ReadShortcutTarget(tooLong.c_str()));

    // The stored target is taken as it is; one too long for a path is skipped, never
    // cut to a folder it does not name.
    std::string stored = base.Path() + "\\Suite\\gone.exe";
    ASSERT_TRUE(smarttest::WriteRawShortcut(base.Path() + "\\raw.lnk", stored));
    ASSERT_TRUE(ResolveShortcut((base.Path() + "\\raw.lnk").c_str(), resolved));
    EXPECT_EQ(stored, resolved);
    stored = base.Path() + "\\Suite\\" + std::string(250, 'n') + "\\tool.exe";
    ASSERT_TRUE(smarttest::WriteRawShortcut(base.Path() + "\\long.lnk", stored));
    EXPECT_FALSE(ResolveShortcut((base.Path() + "\\long.lnk").c_str(), resolved));
    EXPECT_EQ("", ReadShortcutTarget((base.Path() + "\\long.lnk").c_str()));

    // A target the code page cannot spell names nothing.
    std::wstring folder(base.Path().begin(), base.Path().end());
    CloseHandle(CreateFileW((folder + L"\\\x0E01.exe").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                           reinterpret_cast<void**>(&link))));
    link->SetPath((folder + L"\\\x0E01.exe").c_str());
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        EXPECT_TRUE(SUCCEEDED(file->Save((folder + L"\\thai.lnk").c_str(), TRUE)));
        file->Release();
    }
    link->Release();
    EXPECT_FALSE(ResolveShortcut((base.Path() + "\\thai.lnk").c_str(), resolved));
}

TEST(ProgramFiles, FolderWithAndWithoutSeparator)
{
    char folder[MAX_PATH];
    char withSeparator[MAX_PATH];
    ASSERT_EQ(1, GetProgramFilesFolder(folder, MAX_PATH));
    ASSERT_EQ(1, GetProgramFilesFolderWithSeparator(withSeparator, MAX_PATH));
    EXPECT_FALSE(EndsWithBackslash(folder));
    EXPECT_TRUE(DirExists(folder));
    EXPECT_EQ(std::string(folder) + "\\", withSeparator);
    char tiny[4] = "abc";
    EXPECT_EQ(0, GetProgramFilesFolder(tiny, sizeof(tiny)));
    EXPECT_EQ('\0', tiny[0]);
}

TEST(Platform, OverridesDecideFamilyAndVersion)
{
    EXPECT_TRUE(IsWindowsNT());  // Wine reports the NT family
    const struct {
        DWORD platform, major, minor;
        bool nt, xp;
    } versions[] = {{VER_PLATFORM_WIN32_WINDOWS, 4, 90, false, false}, {VER_PLATFORM_WIN32_NT, 5, 0, true, false},
                    {VER_PLATFORM_WIN32_NT, 5, 1, true, true},          {VER_PLATFORM_WIN32_NT, 5, 2, true, true},
                    {VER_PLATFORM_WIN32_NT, 6, 1, true, false}};
    for (const auto& v : versions) {
        SetPlatformVersionOverride(v.platform, v.major, v.minor);
        EXPECT_EQ(v.nt, IsWindowsNT() != FALSE) << v.major << "." << v.minor;
        EXPECT_EQ(v.xp, IsWindowsXPFamily() != FALSE) << v.major << "." << v.minor;
    }
    ClearPlatformVersionOverride();
    EXPECT_TRUE(IsWindowsNT());
}

TEST(FolderPaths, ContainmentAndDoubleByteSteps)
{
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
