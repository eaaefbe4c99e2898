// What an uninstaller left: the product's folders are noted before it runs and
// searched after it, but never a folder another remaining product names (a plug-in's
// host, an engine shared by several products), never a profile, never a folder cut
// at a comma of its name; the product's own settings are still found by its names.
#include "TraceTestSupport.h"

using namespace smarttest;

namespace {

class LeftoversTest : public testing::Test {
protected:
    // The product's entry goes, as its uninstaller takes it; then the leftovers.
    std::vector<std::string> Uninstall(const ScopedKey& entry, const UninstallClues& clues)
    {
        DeleteKeyTree(clues.root, entry.Path());
        return AnalyzeLeftovers(analyzer, clues);
    }
    // Removes every listed row: nothing unlisted may change.
    void ExpectRemovalKeepsToTheList()
    {
        const std::vector<std::string> unlisted = RemoveAllListed(
            analyzer, {base.Path(), ParentFolder(SpecialFolder(CSIDL_PROFILE)), ProgramFilesFolder(),
                       SpecialFolder(CSIDL_COMMON_APPDATA)});
        EXPECT_TRUE(unlisted.empty()) << JoinLines(unlisted);
    }

    const HKEY lm = HKEY_LOCAL_MACHINE, cu = HKEY_CURRENT_USER;
    TempDir base{"umleft"};
    CTraceAnalyzer analyzer;
};

std::string Quoted(const std::string& path)
{
    return "\"" + path + "\"";
}

}  // namespace

// A language pack registered with the host's folder and icon: after its uninstaller,
// nothing of the host is listed, only the pack's own settings.
TEST_F(LeftoversTest, APlugInNeverTakesItsHost)
{
    const std::string host = UniqueWord("Host"), pack = host + "Pack";
    const std::string folder = base.Path() + "\\" + host, exe = folder + "\\" + host + ".exe";
    const std::string packFolder = folder + "\\plugins\\lang";
    for (const std::string& file : {exe, folder + "\\core.dll", packFolder + "\\zh.dat", packFolder + "\\unins000.exe"})
        ASSERT_TRUE(WriteFileText(file));
    ScopedKey hostEntry(lm, std::string(kUninstallKey) + "\\" + host), packEntry(lm, std::string(kUninstallKey) + "\\" + pack);
    ScopedKey hostKey(lm, "SOFTWARE\\" + host), packKey(cu, "Software\\" + pack);
    WriteEntry(lm, hostEntry.Path(), host, "Host Ltd", folder, Quoted(folder + "\\uninst.exe"), exe + ",0");
    WriteEntry(lm, packEntry.Path(), host + " Pack", "Host Ltd", folder, Quoted(packFolder + "\\unins000.exe"), exe + ",0");
    SetString(lm, hostKey.Path(), "Version", "5.0");
    SetString(cu, packKey.Path(), "Language", "zh-CN");

    const UninstallClues clues = NoteClues(analyzer, lm, packEntry.Path());
    ASSERT_FALSE(clues.folders.empty());
    DeleteFileA((packFolder + "\\zh.dat").c_str());
    const std::vector<std::string> expected = KeyTree(cu, {packKey.Path()});
    EXPECT_EQ(expected, Uninstall(packEntry, clues));
    ExpectRemovalKeepsToTheList();
    EXPECT_TRUE(FileExists(exe) && KeyExists(lm, hostEntry.Path()) && ValueExists(lm, hostKey.Path(), "Version"));
}

// Two products uninstalled by one engine in the common files: the engine's folder is
// neither's, and what the other product keeps there stays with its entry.
TEST_F(LeftoversTest, ASharedEngineIsNoProductsFolder)
{
    const std::string engine = SpecialFolder(CSIDL_PROGRAM_FILES_COMMON) + "\\" + UniqueWord("Engine");
    const std::string run = engine + "\\engine.exe";
    ScopedDir cleanup(engine);
    const std::string x = base.Path() + "\\X", y = base.Path() + "\\Y";
    for (const std::string& file : {run, engine + "\\x.cab", engine + "\\y.cab", x + "\\x.exe", x + "\\x.log", y + "\\y.exe"})
        ASSERT_TRUE(WriteFileText(file));
    const std::string word = UniqueWord("p");
    ScopedKey xEntry(lm, std::string(kUninstallKey) + "\\X" + word), yEntry(lm, std::string(kUninstallKey) + "\\Y" + word);
    WriteEntry(lm, xEntry.Path(), "X " + word, "", x, Quoted(run) + " /uninstall X", run + ",0");
    WriteEntry(lm, yEntry.Path(), "Y " + word, "", y, Quoted(run) + " /uninstall Y", run + ",0");

    const UninstallClues clues = NoteClues(analyzer, lm, xEntry.Path());
    EXPECT_EQ(std::vector<std::string>{x}, clues.folders);
    DeleteFileA((x + "\\x.exe").c_str());
    DeleteFileA((engine + "\\x.cab").c_str());
    const std::vector<std::string> expected = {FileTrace(x + "\\x.log"), FolderTrace(x)};
    EXPECT_EQ(expected, Uninstall(xEntry, clues));
    ExpectRemovalKeepsToTheList();
    EXPECT_TRUE(FileExists(run) && FileExists(engine + "\\y.cab") && KeyExists(lm, yEntry.Path()));
}

// A product kept in another user's profile, and one whose icon path holds a comma in
// a folder's name (unquoted, with an index): neither the profile nor the folder the
// comma would cut to is searched.
TEST_F(LeftoversTest, ProfilesAndCommaFoldersAreNeverTaken)
{
    const std::string profiles = ParentFolder(SpecialFolder(CSIDL_PROFILE)), other = profiles + "\\" + UniqueWord("u");
    ScopedDir cleanupProfile(other);
    const std::string word = UniqueWord("Acme");
    ASSERT_TRUE(WriteFileText(other + "\\tool.exe") && WriteFileText(other + "\\Documents\\letter.doc"));
    ScopedKey toolEntry(cu, std::string(kUninstallKey) + "\\T" + word);
    WriteEntry(cu, toolEntry.Path(), "T " + word, "", other, Quoted(other + "\\tool.exe") + " /u", other + "\\tool.exe");
    UninstallClues clues = NoteClues(analyzer, cu, toolEntry.Path());
    EXPECT_TRUE(clues.folders.empty());
    EXPECT_EQ(std::vector<std::string>(), Uninstall(toolEntry, clues));
    EXPECT_TRUE(FileExists(other + "\\Documents\\letter.doc"));

    const std::string vendor = ProgramFilesFolder() + "\\" + word, product = vendor + "\\Office, Inc\\App";
    ScopedDir cleanupVendor(vendor);
    ASSERT_TRUE(WriteFileText(product + "\\app.exe") && WriteFileText(product + "\\app.log") &&
                WriteFileText(vendor + "\\Office\\precious.txt"));
    ScopedKey entry(lm, std::string(kUninstallKey) + "\\" + word);
    WriteEntry(lm, entry.Path(), word + " App", "", "", Quoted(product + "\\app.exe") + " /uninstall",
               product + "\\app.exe,0");
    clues = NoteClues(analyzer, lm, entry.Path());
    EXPECT_EQ(std::vector<std::string>{product}, clues.folders);
    DeleteFileA((product + "\\app.exe").c_str());
    const std::vector<std::string> expected = {FileTrace(product + "\\app.log"), FolderTrace(product)};
    EXPECT_EQ(expected, Uninstall(entry, clues));
    ExpectRemovalKeepsToTheList();
    EXPECT_TRUE(FileExists(vendor + "\\Office\\precious.txt"));
}
