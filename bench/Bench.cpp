// Benchmark of the analysis and the inventory on a large synthetic machine.
//   um_bench seed   creates the machine (registry, program folder, other products, shortcuts)
//   um_bench run    measures; prints one line per figure ("name: value") for bench/run
//   um_bench run quick   the quick page's figures alone
// Every time is compared with a bare pass over the same data in the same run.
#include "framework/AnsiText.h"
#include "framework/RegKey.h"
#include "machine/Files.h"
#include "machine/Registry.h"
#include "machine/ShellFolders.h"
#include "machine/Shortcut.h"
#include "machine/TreeWalk.h"
#include "resource.h"
#include "smart/TraceAnalyzer.h"
#include "tests/support/ResponsivenessProbe.h"
#include "ui/QuickUninstallPage.h"
#include "ui/SmartUninstallPage.h"

#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <shlobj.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

namespace {

const int kExtensions = 10000;      // .bxNNNNN -> Bench.TypeNNNNN: 20,000 class keys
const int kClsids = 2000;
// Each measurement is taken this often, and the best counts (the inventory's twice).
const int kRounds = 3;
const int kProducts = 1000;         // uninstall entries (entry 0 is the benchmark program)
const int kSoftwareKeys = 5000;     // half under HKLM\Software, half under HKCU\Software
const int kShortcutsPerPlace = 50;  // user desktop, common desktop, Programs, Programs groups
const char* const kFileExtensions[] = {".dll", ".dat", ".txt", ".xml", ".ini", ".png", ".cfg", ".bin", ".log", ".htm"};
using namespace machine;

template <typename... Args>
std::string Format(const char* format, Args... args)
{
    char text[MAX_PATH];
    FormatText(text, sizeof(text), format, args...);
    return text;
}

std::string ProgramFolder() { return ProgramFilesFolder() + "\\BenchProgram"; }
std::string OtherFolder(int product) { return Format("C:\\BenchApps\\Prod%04d", product); }
// The benchmark program's executable when ours, else that of the other product.
std::string Exe(bool ours, int product)
{
    return ours ? ProgramFolder() + "\\bench.exe" : OtherFolder(product) + Format("\\prod%04d.exe", product);
}
std::string ClsidName(int index) { return Format("{BE0C0000-0000-4000-8000-0000%08X}", index); }

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

template <typename Work>
double Seconds(Work&& work)
{
    double start = Now();
    work();
    return Now() - start;
}

// ---- Seeding ----------------------------------------------------------------

void SetTexts(HKEY root, const std::string& path, std::initializer_list<std::pair<const char*, std::string>> values)
{
    for (const auto& value : values)
        SetString(root, path, value.first, value.second);
}

void SeedRegistry()
{
    // File types: every 10th ProgID is served by a COM class, the others by an open
    // command; every 50th command and every 40th class lead into the program folder.
    for (int i = 0; i < kExtensions; ++i) {
        std::string progId = Format("Bench.Type%05d", i);
        SetString(HKEY_CLASSES_ROOT, Format(".bx%05d", i), "", progId);
        if (i % 10 == 9)
            SetString(HKEY_CLASSES_ROOT, progId + "\\CLSID", "", ClsidName((i / 10) % kClsids));
        else
            SetString(HKEY_CLASSES_ROOT, progId + "\\shell\\open\\command", "",
                      "\"" + Exe(i % 50 == 0, i % kProducts) + "\" \"%1\"");
    }
    for (int c = 0; c < kClsids; ++c)
        SetTexts(HKEY_CLASSES_ROOT, "CLSID\\" + ClsidName(c) + "\\InprocServer32",
                 {{"", (c % 40 ? OtherFolder(c % kProducts) : ProgramFolder() + "\\part00") + "\\comp.dll"},
                  {"ThreadingModel", "Apartment"}});
    for (int p = 0; p < kProducts; ++p) {
        std::string folder = p ? OtherFolder(p) : ProgramFolder();
        SetTexts(HKEY_LOCAL_MACHINE, Format("%s\\BenchProd%04d", kUninstallKey, p),
                 {{"DisplayName", Format("Bench Product %04d", p)}, {"Publisher", Format("Bench Vendor %03d", p % 100)},
                  {"HelpLink", "http://example.com/help"}, {"InstallLocation", folder},
                  {"DisplayIcon", Exe(p == 0, p) + ",0"}, {"UninstallString", "\"" + folder + "\\uninst.exe\""}});
    }
    for (int s = 0; s < kSoftwareKeys; ++s) {
        HKEY root = s % 2 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
        std::string key = Format("Software\\BenchVendor%04d", s);
        SetTexts(root, key, {{"Version", "1.0.0"}, {"Path", s % 100 ? OtherFolder(s % kProducts) : ProgramFolder()}});
        SetDword(root, key, "Installed", 1);
    }
    for (int r = 0; r < 20; ++r)
        SetString(r % 2 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, kRunKey, Format("BenchRun%02d", r),
                  "\"" + Exe(r % 10 == 0, r) + "\" /background");
}

// The programs, the program folder and the shortcuts: on both desktops and in
// Programs, then in 10 Programs groups of 5; one in ten of the first leads to the
// program, and so does the whole first group.
void SeedFiles()
{
    for (int p = 0; p < kProducts; ++p)
        CopyFileTo(IconExecutable(), Exe(p == 0, p));
    // 10,000 files, 20 a folder: 20 top folders hold 24 subfolders each and, as the
    // 25th "subfolder", files of their own (500 folders).
    const std::string program = ProgramFolder();
    for (int file = 0; file < 10000; ++file) {
        int sub = file / 20 % 25;
        std::string folder = program + Format("\\part%02d", file / 500) + (sub < 24 ? Format("\\sub%02d", sub) : "");
        WriteFileText(folder + Format("\\file%05d%s", file, kFileExtensions[file % 10]), "MZ");
    }
    const int places[] = {CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_PROGRAMS};
    for (int made = 0; made < 4 * kShortcutsPerPlace; ++made) {
        int place = made / kShortcutsPerPlace, group = made % kShortcutsPerPlace / 5;
        std::string link = place < 3 ? SpecialFolder(places[place]) + Format("\\Bench %03d.lnk", made)
                                     : SpecialFolder(CSIDL_PROGRAMS) + Format("\\Bench Group %02d\\Item %d.lnk", group, made % 5);
        MakeShortcut(link, Exe(place < 3 ? made % 10 == 0 : group == 0, 1 + made % (kProducts - 1)));
    }
}

// ---- The bare pass ----------------------------------------------------------

struct BareCount { long keys = 0, values = 0, files = 0; };

// Every subkey of root\path named by enumerating it, opened, the named values read
// (none named: the first value), closed.
void BareSubkeys(HKEY root, const char* path, std::initializer_list<const char*> names, BareCount* count)
{
    RegKey parent;
    if (!parent.Open(root, path))
        return;
    parent.ForEachSubkey([&](const char* name) {
        OwnedKey key;
        char valueName[MAX_PATH];
        BYTE data[MAX_PATH];
        DWORD nameSize = MAX_PATH, size = MAX_PATH;
        if (RegOpenKeyExA(parent, name, 0, KEY_READ, key.Out()) != ERROR_SUCCESS)
            return true;
        ++count->keys;
        if (names.size() == 0)
            count->values += RegEnumValueA(key, 0, valueName, &nameSize, nullptr, nullptr, data, &size) == ERROR_SUCCESS;
        for (const char* value : names) {
            size = MAX_PATH;
            count->values += RegQueryValueExA(key, value, nullptr, nullptr, data, &size) == ERROR_SUCCESS;
        }
        return true;
    });
}

void BarePass(BareCount* count)
{
    BareSubkeys(HKEY_CLASSES_ROOT, "", {""}, count);
    BareSubkeys(HKEY_CLASSES_ROOT, "CLSID", {""}, count);
    BareSubkeys(HKEY_LOCAL_MACHINE, kUninstallKey, {}, count);
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        RegKey run;
        if (run.Open(root, kRunKey))
            run.ForEachValue([count](const RegValue&) { return ++count->values != 0; });
        BareSubkeys(root, "Software", {}, count);
    }
    for (const std::string& folder : {ProgramFolder(), SpecialFolder(CSIDL_DESKTOPDIRECTORY),
                                      SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY), SpecialFolder(CSIDL_PROGRAMS)})
        WalkFiles(folder, [count](const std::string&, const WIN32_FIND_DATAA& data) {
            count->files += !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        });
}

// ---- Probes -----------------------------------------------------------------

// Stops the probe and prints the longest stretch in which the measured thread
// dispatched nothing.
void PrintStretch(const char* label, fixtures::ResponsivenessProbe& probe)
{
    const double longestMs = probe.Stop();
    printf("%s longest stretch without dispatching: %.1f ms (%ld probes)\n", label, longestMs, probe.Handled());
}

// The process's private bytes (Wine leaves PrivateUsage at zero; the page-file usage
// is the same figure there).
double PrivateBytes()
{
    PROCESS_MEMORY_COUNTERS_EX c = {};
    c.cb = sizeof(c);
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&c), c.cb);
    return double(c.PrivateUsage ? c.PrivateUsage : c.PagefileUsage);
}

// Times analyze (which answers the traces it listed) with the dispatch probe
// running; prints the time against the bare pass, the longest stretch without
// dispatching and the memory per trace.
double MeasureAnalysis(const char* label, double bare, const std::function<size_t()>& analyze)
{
    const double before = PrivateBytes();
    size_t traces = 0;
    fixtures::ResponsivenessProbe probe;
    double time = Seconds([&] { traces = analyze(); });
    PrintStretch(label, probe);
    printf("%s: %.3f s, %zu traces, ratio to bare pass %.2f\n", label, time, traces, time / bare);
    printf("%s private bytes: %.0f bytes per trace\n", label, (PrivateBytes() - before) / double(traces ? traces : 1));
    return time;
}

// The page as the program shows it, inside a visible top-level window.
class BenchPage : public CSmartUninstallPage {
public:
    size_t Traces() const { return analyzer.GetItemCount(); }
    double notifyTime = 0;  // spent handling the reported traces (adding rows)

protected:
    void OnTrace(const TraceItem& item) override
    {
        notifyTime += Seconds([&] { CSmartUninstallPage::OnTrace(item); });
    }
};

// ---- Inventory --------------------------------------------------------------

// A visible top-level window for a page, and the page from its template in it, as the
// program shows it.
void MakeHost(CWnd& host)
{
    host.CreateEx(0, nullptr, "bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, RECT{0, 0, 760, 560}, nullptr, 0);
}

void ShowPage(CWnd& host, CDialog& page, UINT templateId)
{
    page.Create(templateId, &host);
    page.ShowWindow(SW_SHOW);
}

// Whether the rows in view have their icons looked up.
bool IconsInView(const CQuickUninstallPage& page, HWND list)
{
    const int top = static_cast<int>(SendMessageA(list, LVM_GETTOPINDEX, 0, 0));
    const int end = top + static_cast<int>(SendMessageA(list, LVM_GETCOUNTPERPAGE, 0, 0));
    for (int row = top; row < end && page.RowEntry(row); ++row) {
        if (!page.RowEntry(row)->smallIconResolved && !page.RowEntry(row)->iconsResolved)
            return false;
    }
    return true;
}

// The quick page in a visible window against a bare read of the values the inventory
// reads, of every uninstall entry: the times until every name is listed, until the
// icons of the rows in view are drawn, until every row's icon is and until the install
// folders are measured, and the longest stretch without dispatching from the page's
// creation to the last folder size.
void MeasureInventory(const char* label)
{
    BareCount count;
    auto bareRead = [&] {
        BareSubkeys(HKEY_LOCAL_MACHINE, kUninstallKey,
                    {"UninstallString", "DisplayName", "Publisher", "HelpLink", "DisplayIcon", "WindowsInstaller"}, &count);
    };
    bareRead();  // warm-up
    double bare = Seconds(bareRead);
    CWnd host;
    MakeHost(host);
    CQuickUninstallPage page;
    double listed = 0, inView = 0, drawn = 0;
    const double start = Now();
    {
        fixtures::ResponsivenessProbe probe;
        ShowPage(host, page, IDD_QUICK_PAGE);
        HWND list = page.GetDlgItem(IDC_LIST);
        MSG message;
        while ((page.IsLoading() || page.IconsPending() || page.SizesPending()) && Now() - start < 900 &&
               GetMessageA(&message, nullptr, 0, 0)) {
            DispatchMessageA(&message);
            if (!listed && !page.IsReading())
                listed = Now() - start;
            if (!inView && !page.IsReading() && IconsInView(page, list))
                inView = Now() - start;
            if (!drawn && !page.IsReading() && !page.IconsPending())
                drawn = Now() - start;
        }
        PrintStretch(Format("inventory %s", label).c_str(), probe);
    }
    const double sized = Now() - start;
    const CInstalledSoftwareList& list = page.Inventory();
    int icons = 0;
    for (int i = 0; list.GetAt(i); ++i)
        icons += list.GetAt(i)->smallIcon != nullptr;
    int sizes = 0;
    for (int i = 0; list.GetAt(i); ++i)
        sizes += list.GetAt(i)->sizeMeasured;
    printf("inventory %s: %zu products (%d with icons), bare read %.3f s; names listed %.3f s (ratio %.1f), "
           "icons in view %.3f s (ratio %.1f), every icon %.3f s (ratio %.1f); %d folder sizes by %.3f s\n",
           label, list.GetCount(), icons, bare, listed, bare > 0 ? listed / bare : 0.0, inView,
           bare > 0 ? inView / bare : 0.0, drawn, bare > 0 ? drawn / bare : 0.0, sizes, sized);
}

// The filter on the thousand rows: the longest keystroke (each is one message).
void MeasureFilter()
{
    CWnd host;
    MakeHost(host);
    CQuickUninstallPage page;
    ShowPage(host, page, IDD_QUICK_PAGE);
    MSG message;
    while ((page.IsLoading() || page.IconsPending()) && GetMessageA(&message, nullptr, 0, 0))
        DispatchMessageA(&message);
    HWND filter = page.GetDlgItem(IDC_FILTER);
    double longest = 0;
    for (const char* text : {"B", "e", "n", "c", "h", " ", "P", "r", "o", "d", "u", "c", "t", " ", "0", "4", "2"}) {
        const double taken = Seconds([&] { SendMessageA(filter, WM_CHAR, static_cast<unsigned char>(*text), 1); });
        longest = std::max(longest, taken);
    }
    printf("filter: longest keystroke %.1f ms (%d rows left)\n", longest * 1000,
           static_cast<int>(SendMessageA(page.GetDlgItem(IDC_LIST), LVM_GETITEMCOUNT, 0, 0)));
}

// ---- The measurements -------------------------------------------------------

// The analysis alone, reporting to a sink that only receives and dispatches the
// thread's messages when asked (so the stretch without dispatching is measured).
double AnalyzeAlone(double bare, const std::string& target)
{
    struct : TraceSink {
        void OnTrace(const TraceItem&) override {}
        void KeepResponsive() override { DispatchWaitingMessages(); }
    } sink;
    CTraceAnalyzer analyzer;
    return MeasureAnalysis("analysis (no window)", bare, [&] {
        analyzer.Analyze(sink, target.c_str());
        return analyzer.GetItemCount();
    });
}

// The same analysis on the smart-uninstall page, its list visible.
double AnalyzeOnPage(double bare, const std::string& target)
{
    CWnd host;
    MakeHost(host);
    BenchPage page;
    ShowPage(host, page, IDD_SMART_PAGE);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
    SetWindowTextA(page.GetDlgItem(IDC_TARGET), target.c_str());
    double time = MeasureAnalysis("analysis (page)", bare, [&] {
        SendMessageA(page.GetDlgItem(IDC_ANALYZE), BM_CLICK, 0, 0);
        return page.Traces();
    });
    printf("analysis (page) time adding rows: %.3f s (%d rows)\n", page.notifyTime,
           static_cast<int>(SendMessageA(page.GetDlgItem(IDC_LIST), LVM_GETITEMCOUNT, 0, 0)));
    return time;
}

// Wine's server writes its registry files every 30 s when something changed, and
// Wine changes a few values as each process starts. Writing the seeded machine's
// files holds every registry call for about 100 ms, which would fall into one of the
// measurements at random: they wait for that write (a registry read that takes over
// 40 ms), or at most 32 s.
void WaitForRegistrySave()
{
    const double start = Now();
    double longest = 0;
    while (Now() - start < 32 && longest <= 0.040) {
        char data[MAX_PATH];
        DWORD size = sizeof(data);
        const double before = Now();
        RegQueryValueExA(HKEY_LOCAL_MACHINE, "", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
        longest = std::max(longest, Now() - before);
        Sleep(5);
    }
    printf("waited %.1f s for the registry to be saved (longest read %.0f ms)\n", Now() - start, longest * 1000);
}

void MeasureQuickPage()
{
    for (int round = 0; round < 2; ++round)
        MeasureInventory("with icons");
    MeasureFilter();
    for (int p = 0; p < kProducts; ++p) {
        DeleteValue(HKEY_LOCAL_MACHINE, Format("%s\\BenchProd%04d", kUninstallKey, p), "DisplayIcon");
        SetDword(HKEY_LOCAL_MACHINE, Format("%s\\BenchProd%04d", kUninstallKey, p), "WindowsInstaller", 1);
    }
    WaitForRegistrySave();
    for (int round = 0; round < 2; ++round)
        MeasureInventory("without icons");
}

// The whole benchmark, or with quickOnly the quick page alone.
void Run(bool quickOnly)
{
    WaitForRegistrySave();
    if (quickOnly) {
        MeasureQuickPage();
        return;
    }
    const std::string target = Exe(true, 0);
    BareCount warmUp, count;
    BarePass(&warmUp);  // the first walk of a fresh wineserver is slower
    double bare = 1e9;
    for (int round = 0; round < kRounds; ++round)
        bare = std::min(bare, Seconds([&] { BarePass(&(count = BareCount())); }));
    printf("bare pass: %.3f s (%ld keys, %ld values, %ld files)\n", bare, count.keys, count.values, count.files);

    // The first analysis of a process warms the shell and the registry caches and is
    // not counted; then each way kRounds times, taking turns, and the best of each,
    // since the shared machine's speed drifts within a run.
    AnalyzeAlone(bare, target);
    double alone = 1e9, onPage = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        alone = std::min(alone, AnalyzeAlone(bare, target));
        onPage = std::min(onPage, AnalyzeOnPage(bare, target));
    }
    printf("analysis (page) against alone: %.2fx (aim 1.2x), against bare pass: %.2fx (aim 2x); alone against bare "
           "pass: %.2fx\n",
           onPage / alone, onPage / bare, alone / bare);

    MeasureQuickPage();
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode != "seed" && mode != "run") {
        fprintf(stderr, "usage: um_bench seed|run [quick]\n");
        return 2;
    }
    OleInitialize(nullptr);
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    setvbuf(stdout, nullptr, _IONBF, 0);
    if (mode == "run")
        Run(argc > 2 && std::string(argv[2]) == "quick");
    else
        printf("seed: %.1f s\n", Seconds([] { SeedRegistry(), SeedFiles(); }));
    OleUninitialize();
    return 0;
}
