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

// Three products' leftovers searched together, as after a batch: two whose uninstallers
// ran (their vendor's settings key, which holds both, goes whole only because both
// names are searched), one still registered, which is left out with all it has. Each
// trace is the first product's that it shows (its folder, a shortcut or value leading
// there, its name, its vendor's) or that of the key it lies in or names.
TEST_F(LeftoversTest, SeveralProductsAreSearchedTogetherAndEachTraceIsGrouped)
{
    const std::string vendor = UniqueWord("Vend"), alpha = UniqueWord("Alpha"), beta = UniqueWord("Beta");
    const std::string gamma = UniqueWord("Gamma"), extension = "." + UniqueWord("x"), progId = alpha + ".Doc";
    // The second product's folder does not bear its name: only its clues name it.
    const std::string alphaFolder = base.Path() + "\\" + alpha, betaFolder = base.Path() + "\\" + UniqueWord("Files");
    const std::string gammaFolder = base.Path() + "\\" + gamma;
    const std::string alphaExe = alphaFolder + "\\a.exe", betaExe = betaFolder + "\\b.exe";
    for (const std::string& file : {alphaExe, alphaFolder + "\\a.log", betaExe, betaFolder + "\\b.cfg",
                                    gammaFolder + "\\g.exe"})
        ASSERT_TRUE(WriteFileText(file));
    ScopedKey alphaEntry(lm, std::string(kUninstallKey) + "\\" + alpha), betaEntry(lm, std::string(kUninstallKey) + "\\" + beta);
    ScopedKey gammaEntry(lm, std::string(kUninstallKey) + "\\" + gamma);
    WriteEntry(lm, alphaEntry.Path(), alpha + " 1.0", vendor + " Software Ltd.", alphaFolder,
               Quoted(alphaFolder + "\\uninst.exe"), alphaExe + ",0");
    WriteEntry(lm, betaEntry.Path(), beta, vendor + " Software Ltd.", betaFolder, Quoted(betaFolder + "\\uninst.exe"),
               betaExe);
    WriteEntry(lm, gammaEntry.Path(), gamma, "Other", gammaFolder, Quoted(gammaFolder + "\\uninst.exe"), "");
    ScopedKey vendorKey(cu, "Software\\" + vendor), gammaKey(cu, "Software\\" + gamma);
    ScopedKey extensionKey(HKEY_CLASSES_ROOT, extension), progIdKey(HKEY_CLASSES_ROOT, progId);
    ScopedDir shortcut(SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "\\" + beta + ".lnk");
    ScopedKeyIsolation userRun(cu, kUserRunKey);
    SetString(cu, vendorKey.Path() + "\\" + alpha, "Language", "zh-CN");
    SetString(cu, vendorKey.Path() + "\\" + beta, "Theme", "dark");
    SetString(cu, gammaKey.Path(), "Path", gammaFolder);
    SetString(HKEY_CLASSES_ROOT, extension, "", progId);
    SetString(HKEY_CLASSES_ROOT, progId + "\\shell\\open\\command", "", Quoted(alphaExe) + " \"%1\"");
    SetString(cu, kUserRunKey, beta + "Tray", Quoted(betaExe) + " /tray");
    ASSERT_TRUE(MakeShortcut(shortcut.Path(), betaExe));

    std::vector<UninstallClues> products = {NoteClues(analyzer, lm, alphaEntry.Path()),
                                            NoteClues(analyzer, lm, gammaEntry.Path()),
                                            NoteClues(analyzer, lm, betaEntry.Path())};
    // A folder no product may have, as a forged journal could name it.
    products[2].folders.push_back(WindowsFolder());
    // The uninstallers take the entries and programs of the first and third.
    DeleteKeyTree(lm, alphaEntry.Path());
    DeleteKeyTree(lm, betaEntry.Path());
    DeleteFileA(alphaExe.c_str());
    DeleteFileA(betaExe.c_str());

    const std::vector<std::string> listed = AnalyzeLeftovers(analyzer, products);
    std::vector<std::string> expected = Concat(
        {{FileTrace(alphaFolder + "\\a.log"), FolderTrace(alphaFolder), FileTrace(betaFolder + "\\b.cfg"),
          FolderTrace(betaFolder), FileTrace(shortcut.Path()), ValueTrace(cu, kUserRunKey, beta + "Tray")},
         KeyTree(HKEY_CLASSES_ROOT, {extension, progId}), KeyTree(cu, {vendorKey.Path()})});
    std::sort(expected.begin(), expected.end());
    std::vector<std::string> sorted = listed;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(expected, sorted);
    for (size_t i = 0; i < listed.size(); ++i) {
        const std::string& trace = listed[i];
        const bool ofBeta = trace.find(beta) != std::string::npos || trace.find(betaFolder) != std::string::npos;
        const int product = ofBeta ? 2 : 0;  // the vendor's key itself: the first whose vendor it is
        EXPECT_EQ(product, analyzer.GetItemProduct(i)) << trace;
    }
    EXPECT_EQ(-1, analyzer.GetItemProduct(listed.size()));
    ExpectRemovalKeepsToTheList();
    EXPECT_TRUE(FileExists(gammaFolder + "\\g.exe") && KeyExists(cu, gammaKey.Path()));

    // Not one of them was uninstalled: nothing is searched.
    DeleteKeyTree(lm, alphaEntry.Path());
    WriteEntry(lm, alphaEntry.Path(), alpha, "", alphaFolder, Quoted(alphaFolder + "\\uninst.exe"), "");
    TraceRecorder recorder;
    EXPECT_EQ(0, analyzer.AnalyzeLeftovers(recorder, std::vector<UninstallClues>{products[0], products[1]}));
    EXPECT_EQ(0u, analyzer.GetItemCount());
    // A single product's search groups nothing.
    Analyze(analyzer, gammaFolder);
    ASSERT_NE(0u, analyzer.GetItemCount());
    EXPECT_EQ(-1, analyzer.GetItemProduct(0));
}
