// Benchmark of the analysis and the inventory on a large synthetic machine.
//   um_bench seed   creates the machine (registry, program folder, other products, shortcuts)
//   um_bench run    measures; prints one line per figure ("name: value") for bench/run
// Every time is compared with a bare pass over the same data in the same run.
#include "inventory/InstalledSoftwareList.h"
#include "machine/Files.h"
#include "machine/Registry.h"
#include "machine/Shortcut.h"
#include "machine/ShellFolders.h"
#include "resource.h"
#include "smart/SmartUninstallPage.h"
#include "smart/TraceAnalyzer.h"

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <psapi.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

const int kExtensions = 10000;      // .bxNNNNN -> Bench.TypeNNNNN: 20,000 class keys
const int kClsids = 2000;
const int kProducts = 1000;         // uninstall entries (entry 0 is the benchmark program)
const int kSoftwareKeys = 5000;     // half under HKLM\Software, half under HKCU\Software
const int kTopFolders = 20;         // 20 folders of 24 subfolders: 500 folders
const int kSubFolders = 24;
const int kFilesPerFolder = 20;     // 10,000 files
const int kShortcutsPerPlace = 50;  // user desktop, common desktop, Programs, Programs groups
const char* const kFileExtensions[] = {".dll", ".dat", ".txt", ".xml", ".ini",
                                       ".png", ".cfg", ".bin", ".log", ".htm"};
using machine::kRunKey;
using machine::kUninstallKey;
using machine::SpecialFolder;

std::string Format(const char* format, ...)
{
    char buffer[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    return buffer;
}

std::string ProgramFolder()
{
    return machine::ProgramFilesFolder() + "\\BenchProgram";
}

std::string ProgramExe()
{
    return ProgramFolder() + "\\bench.exe";
}

std::string OtherFolder(int product)
{
    return Format("C:\\BenchApps\\Prod%04d", product);
}

std::string OtherExe(int product)
{
    return Format("C:\\BenchApps\\Prod%04d\\prod%04d.exe", product, product);
}

std::string ClsidName(int index)
{
    return Format("{BE0C0000-0000-4000-8000-0000%08X}", index);
}

double Now()
{
    static LARGE_INTEGER frequency = {};
    if (!frequency.QuadPart)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// ---- Seeding ----------------------------------------------------------------

void SetTexts(HKEY root, const std::string& path, std::initializer_list<std::pair<const char*, std::string>> values)
{
    for (const auto& value : values)
        machine::SetString(root, path, value.first, value.second);
}

void SeedRegistry()
{
    const std::string program = ProgramFolder();
    // File types: every 10th ProgID is served by a COM class, the others by an open
    // command; every 50th command and every 40th class lead into the program folder.
    for (int i = 0; i < kExtensions; ++i) {
        std::string progId = Format("Bench.Type%05d", i);
        machine::SetString(HKEY_CLASSES_ROOT, Format(".bx%05d", i), "", progId);
        if (i % 10 == 9) {
            machine::SetString(HKEY_CLASSES_ROOT, progId + "\\CLSID", "", ClsidName((i / 10) % kClsids));
        } else {
            std::string exe = i % 50 == 0 ? ProgramExe() : OtherExe(i % kProducts);
            machine::SetString(HKEY_CLASSES_ROOT, progId + "\\shell\\open\\command", "", "\"" + exe + "\" \"%1\"");
        }
    }
    for (int c = 0; c < kClsids; ++c) {
        std::string server = c % 40 == 0 ? program + "\\part00\\comp.dll" : OtherFolder(c % kProducts) + "\\comp.dll";
        SetTexts(HKEY_CLASSES_ROOT, "CLSID\\" + ClsidName(c) + "\\InprocServer32",
                 {{"", server}, {"ThreadingModel", "Apartment"}});
    }
    for (int p = 0; p < kProducts; ++p) {
        std::string folder = p == 0 ? program : OtherFolder(p);
        std::string exe = p == 0 ? ProgramExe() : OtherExe(p);
        SetTexts(HKEY_LOCAL_MACHINE, Format("%s\\BenchProd%04d", kUninstallKey, p),
                 {{"DisplayName", Format("Bench Product %04d", p)},
                  {"Publisher", Format("Bench Vendor %03d", p % 100)},
                  {"HelpLink", "http://example.com/help"},
                  {"InstallLocation", folder},
                  {"DisplayIcon", exe + ",0"},
                  {"UninstallString", "\"" + folder + "\\uninst.exe\""}});
    }
    for (int s = 0; s < kSoftwareKeys; ++s) {
        HKEY root = s % 2 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
        std::string path = s % 100 == 0 ? program : OtherFolder(s % kProducts);
        std::string key = Format("Software\\BenchVendor%04d", s);
        SetTexts(root, key, {{"Version", "1.0.0"}, {"Path", path}});
        machine::SetDword(root, key, "Installed", 1);
    }
    for (int r = 0; r < 20; ++r) {
        std::string exe = r % 10 == 0 ? ProgramExe() : OtherExe(r);
        machine::SetString(r % 2 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, kRunKey, Format("BenchRun%02d", r),
                           "\"" + exe + "\" /background");
    }
}

void SeedFiles()
{
    const std::string program = ProgramFolder();
    const std::string sample = machine::SystemFolder() + "\\notepad.exe";
    if (!machine::CopyFileTo(sample, ProgramExe()))
        machine::WriteFileText(ProgramExe(), "MZ");
    int file = 0;
    for (int t = 0; t < kTopFolders; ++t) {
        std::string top = Format("%s\\part%02d", program.c_str(), t);
        for (int s = 0; s <= kSubFolders; ++s) {
            // s == kSubFolders stands for the top folder's own files.
            std::string folder = s < kSubFolders ? Format("%s\\sub%02d", top.c_str(), s) : top;
            for (int f = 0; f < kFilesPerFolder; ++f, ++file)
                machine::WriteFileText(Format("%s\\file%05d%s", folder.c_str(), file, kFileExtensions[file % 10]),
                                       "MZ");
        }
    }
    for (int p = 1; p < kProducts; ++p) {
        if (!machine::CopyFileTo(sample, OtherExe(p)))
            machine::WriteFileText(OtherExe(p), "MZ");
    }
}

void SeedShortcuts()
{
    // One shortcut in ten leads to the program; the first Start-menu group is its own.
    const std::string places[] = {SpecialFolder(CSIDL_DESKTOPDIRECTORY), SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY),
                                  SpecialFolder(CSIDL_PROGRAMS)};
    int made = 0;
    for (const std::string& place : places) {
        for (int i = 0; i < kShortcutsPerPlace; ++i, ++made) {
            std::string target = made % 10 == 0 ? ProgramExe() : OtherExe(1 + made % (kProducts - 1));
            machine::MakeShortcut(Format("%s\\Bench %03d.lnk", place.c_str(), made), target);
        }
    }
    const std::string programs = SpecialFolder(CSIDL_PROGRAMS);
    for (int g = 0; g < 10; ++g) {
        std::string group = Format("%s\\Bench Group %02d", programs.c_str(), g);
        for (int i = 0; i < 5; ++i, ++made) {
            std::string target = g == 0 ? ProgramExe() : OtherExe(1 + made % (kProducts - 1));
            machine::MakeShortcut(Format("%s\\Item %d.lnk", group.c_str(), i), target);
        }
    }
}

int Seed()
{
    double start = Now();
    SeedRegistry();
    SeedFiles();
    SeedShortcuts();
    printf("seed: %.1f s\n", Now() - start);
    return 0;
}

// ---- The bare pass ----------------------------------------------------------

struct BareCount {
    long keys = 0;
    long values = 0;
    long files = 0;
};

// Reads one value of key: the index-th one, or the default one.
bool ReadOne(HKEY key, bool enumerate, DWORD index = 0)
{
    char name[MAX_PATH], data[MAX_PATH];
    DWORD nameSize = MAX_PATH, dataSize = MAX_PATH;
    BYTE* bytes = reinterpret_cast<BYTE*>(data);
    return (enumerate ? RegEnumValueA(key, index, name, &nameSize, nullptr, nullptr, bytes, &dataSize)
                      : RegQueryValueExA(key, "", nullptr, nullptr, bytes, &dataSize)) == ERROR_SUCCESS;
}

// Every subkey of root\path named by enumerating it, opened, one value read, closed.
void BareSubkeys(HKEY root, const char* path, bool firstValue, BareCount* count)
{
    HKEY parent = nullptr, key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &parent) != ERROR_SUCCESS)
        return;
    char name[MAX_PATH];
    for (DWORD index = 0; RegEnumKeyA(parent, index, name, MAX_PATH) == ERROR_SUCCESS; ++index) {
        if (RegOpenKeyExA(parent, name, 0, KEY_READ, &key) != ERROR_SUCCESS)
            continue;
        ++count->keys;
        count->values += ReadOne(key, firstValue) ? 1 : 0;
        RegCloseKey(key);
    }
    RegCloseKey(parent);
}

void BareValues(HKEY root, const char* path, BareCount* count)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    for (DWORD index = 0; ReadOne(key, true, index); ++index)
        ++count->values;
    RegCloseKey(key);
}

void BareFiles(const std::string& folder, int depth, BareCount* count)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*.*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        if (data.cFileName[0] == '.')
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (depth != 0)
                BareFiles(folder + "\\" + data.cFileName, depth - 1, count);
            continue;
        }
        ++count->files;
    } while (FindNextFileA(find, &data));
    FindClose(find);
}

double BarePass(BareCount* count)
{
    double start = Now();
    BareSubkeys(HKEY_CLASSES_ROOT, "", false, count);
    BareSubkeys(HKEY_CLASSES_ROOT, "CLSID", false, count);
    BareSubkeys(HKEY_LOCAL_MACHINE, kUninstallKey, true, count);
    BareValues(HKEY_LOCAL_MACHINE, kRunKey, count);
    BareValues(HKEY_CURRENT_USER, kRunKey, count);
    BareSubkeys(HKEY_LOCAL_MACHINE, "Software", true, count);
    BareSubkeys(HKEY_CURRENT_USER, "Software", true, count);
    BareFiles(ProgramFolder(), -1, count);
    BareFiles(SpecialFolder(CSIDL_DESKTOPDIRECTORY), 0, count);
    BareFiles(SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY), 0, count);
    BareFiles(SpecialFolder(CSIDL_PROGRAMS), 1, count);
    return Now() - start;
}

// ---- Probes -----------------------------------------------------------------

// A thread posts a message to a window of the measured thread whenever the last one
// was dispatched; the time from posting to dispatching is a stretch during which
// that thread dispatched nothing. The longest one is reported.
class DispatchProbe {
public:
    DispatchProbe()
    {
        window = CreateWindowA("STATIC", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Procedure));
    }
    ~DispatchProbe() { DestroyWindow(window); }

    void Start()
    {
        longest = 0;
        dispatched = 0;
        pending = false;
        running = true;
        thread = CreateThread(nullptr, 0, Poster, this, 0, nullptr);
    }

    // Stops posting; a message still waiting counts up to now.
    void Print(const char* label)
    {
        Note(Now());
        running = false;
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        MSG message;
        while (PeekMessageA(&message, window, 0, 0, PM_REMOVE))
            ;
        printf("%s longest stretch without dispatching: %.1f ms (%ld probes)\n", label, longest * 1000, dispatched);
    }

private:
    void Note(double now)
    {
        if (running && pending)
            longest = std::max(longest, now - postedAt.load());
    }

    static DWORD WINAPI Poster(void* parameter)
    {
        auto* self = static_cast<DispatchProbe*>(parameter);
        for (; self->running; Sleep(1)) {
            if (self->pending)
                continue;
            self->postedAt = Now();
            self->pending = true;
            PostMessageA(self->window, WM_APP + 7, 0, 0);
        }
        return 0;
    }

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<DispatchProbe*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (message != WM_APP + 7 || !self)
            return DefWindowProcA(window, message, wParam, lParam);
        self->Note(Now());
        self->dispatched += self->running ? 1 : 0;
        self->pending = false;
        return 0;
    }

    HWND window = nullptr;
    HANDLE thread = nullptr;
    std::atomic<bool> running{false};
    std::atomic<bool> pending{false};
    std::atomic<double> postedAt{0};
    double longest = 0;
    long dispatched = 0;
};

// Working set and private bytes (Wine leaves PrivateUsage at zero; the page-file
// usage is the same figure there).
struct Memory {
    double workingSet = 0, peak = 0, privateBytes = 0;
};

Memory ReadMemory()
{
    PROCESS_MEMORY_COUNTERS_EX c = {};
    c.cb = sizeof(c);
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&c), sizeof(c));
    return {double(c.WorkingSetSize), double(c.PeakWorkingSetSize), double(c.PrivateUsage ? c.PrivateUsage : c.PagefileUsage)};
}

void PrintMemory(const char* label, const Memory& before, size_t traces)
{
    Memory after = ReadMemory();
    double n = traces ? static_cast<double>(traces) : 1.0;
    printf("%s working set: %.1f -> %.1f MB (peak %.1f MB), %.0f bytes per trace\n", label,
           before.workingSet / 1048576.0, after.workingSet / 1048576.0, after.peak / 1048576.0,
           (after.peak - before.workingSet) / n);
    printf("%s private bytes: %.0f bytes per trace\n", label, (after.privateBytes - before.privateBytes) / n);
}

// The page as the program shows it, inside a visible top-level window.
class BenchPage : public CSmartUninstallPage {
public:
    size_t Traces() const { return analyzer.GetItemCount(); }
    double notifyTime = 0;  // spent handling the trace notifications (adding rows)

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg != WM_TRACE_NOTIFY)
            return CSmartUninstallPage::WindowProc(msg, wParam, lParam);
        double start = Now();
        LRESULT result = CSmartUninstallPage::WindowProc(msg, wParam, lParam);
        notifyTime += Now() - start;
        return result;
    }
};

// ---- Inventory --------------------------------------------------------------

// The values the inventory reads, of every uninstall entry.
double BareInventory()
{
    double start = Now();
    HKEY parent = nullptr, key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, &parent) != ERROR_SUCCESS)
        return 0;
    char name[MAX_PATH], data[MAX_PATH];
    for (DWORD index = 0; RegEnumKeyA(parent, index, name, MAX_PATH) == ERROR_SUCCESS; ++index) {
        if (RegOpenKeyExA(parent, name, 0, KEY_READ, &key) != ERROR_SUCCESS)
            continue;
        for (const char* value : {"UninstallString", "DisplayName", "Publisher", "HelpLink", "DisplayIcon",
                                  "WindowsInstaller"}) {
            DWORD size = MAX_PATH;
            RegQueryValueExA(key, value, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
        }
        RegCloseKey(key);
    }
    RegCloseKey(parent);
    return Now() - start;
}

void MeasureInventory(const char* label)
{
    BareInventory();  // warm-up
    double bare = BareInventory();
    CInstalledSoftwareList list;
    double start = Now();
    list.Reload();
    double reload = Now() - start;
    int icons = 0;
    for (size_t i = 0; i < list.GetCount(); ++i)
        icons += list.GetAt(static_cast<int>(i))->smallIcon ? 1 : 0;
    printf("inventory %s: %zu products (%d with icons) reload %.3f s, bare read %.3f s, ratio %.1f\n", label,
           list.GetCount(), icons, reload, bare, bare > 0 ? reload / bare : 0.0);
}

void StripIcons()
{
    for (int p = 0; p < kProducts; ++p) {
        std::string key = Format("%s\\BenchProd%04d", kUninstallKey, p);
        machine::DeleteValue(HKEY_LOCAL_MACHINE, key, "DisplayIcon");
        machine::SetDword(HKEY_LOCAL_MACHINE, key, "WindowsInstaller", 1);
    }
}

// ---- The measurements -------------------------------------------------------

int Run()
{
    const std::string target = ProgramExe();
    DispatchProbe probe;
    BareCount count;
    BarePass(&count);  // warm-up: the first walk of a fresh wineserver is slower
    count = BareCount();
    double bare = BarePass(&count);
    printf("bare pass: %.3f s (%ld keys, %ld values, %ld files)\n", bare, count.keys, count.values, count.files);

    // The analysis reporting to a hidden window that only receives.
    HWND sink = CreateWindowA("STATIC", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    double hiddenTime = 0;
    {
        CTraceAnalyzer analyzer;
        Memory before = ReadMemory();
        probe.Start();
        double start = Now();
        int accepted = analyzer.Analyze(sink, target.c_str());
        hiddenTime = Now() - start;
        printf("analysis (hidden window): %.3f s, %zu traces, accepted %d, ratio to bare pass %.2f\n", hiddenTime,
               analyzer.GetItemCount(), accepted, hiddenTime / bare);
        probe.Print("analysis (hidden window)");
        PrintMemory("analysis (hidden window)", before, analyzer.GetItemCount());
    }
    DestroyWindow(sink);

    // The same analysis on the smart-uninstall page, its list visible.
    {
        CWnd host;
        RECT rect = {0, 0, 760, 560};
        host.CreateEx(0, nullptr, "bench", WS_OVERLAPPEDWINDOW, rect, nullptr, 0);
        BenchPage page;
        page.Create(IDD_SMART_PAGE, &host);
        host.ShowWindow(SW_SHOW);
        page.ShowWindow(SW_SHOW);
        UpdateWindow(host.m_hWnd);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        HWND list = page.GetDlgItem(IDC_LIST);
        SetWindowTextA(page.GetDlgItem(IDC_TARGET), target.c_str());
        Memory before = ReadMemory();
        probe.Start();
        double start = Now();
        SendMessageA(page.GetDlgItem(IDC_ANALYZE), BM_CLICK, 0, 0);
        double pageTime = Now() - start;
        probe.Print("analysis (page)");
        int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
        printf("analysis (page): %.3f s, %d rows, %zu traces, ratio to bare pass %.2f\n", pageTime, rows,
               page.Traces(), pageTime / bare);
        printf("analysis (page) time adding rows: %.3f s\n", page.notifyTime);
        PrintMemory("analysis (page)", before, page.Traces());
        page.DestroyWindow();
        host.DestroyWindow();
    }

    MeasureInventory("with icons");
    StripIcons();
    MeasureInventory("without icons");
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    OleInitialize(nullptr);
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    setvbuf(stdout, nullptr, _IONBF, 0);
    int result = 2;
    if (argc > 1 && strcmp(argv[1], "seed") == 0)
        result = Seed();
    else if (argc > 1 && strcmp(argv[1], "run") == 0)
        result = Run();
    else
        fprintf(stderr, "usage: um_bench seed|run\n");
    OleUninitialize();
    return result;
}
