#include "ui/CommandLineRun.h"

#include "framework/AnsiText.h"
#include "framework/Handles.h"
#include "framework/TableExport.h"
#include "framework/WinApp.h"
#include "inventory/InstallDate.h"
#include "inventory/InstalledSoftwareList.h"
#include "resource.h"
#include "smart/TraceAnalyzer.h"
#include "ui/TraceDescriptions.h"

#include <windows.h>
#include <ole2.h>

#include <string>
#include <vector>

namespace {

struct CommandLineOptions {
    bool list = false;
    bool analyze = false;
    std::string target;
    std::string outFile;
};

bool IsOption(const char* arg, const char* name)
{
    return (arg[0] == '/' || arg[0] == '-') && lstrcmpiA(arg + 1, name) == 0;
}

// False when the arguments are no command at all or one without its operand.
bool ReadOptions(int argc, char** argv, CommandLineOptions* options, bool* wellFormed)
{
    *wellFormed = true;
    for (int i = 1; i < argc; ++i) {
        // An option's operand is never another option.
        const bool hasOperand = i + 1 < argc && argv[i + 1][0] != '/';
        if (IsOption(argv[i], "list")) {
            options->list = true;
        } else if (IsOption(argv[i], "analyze") && hasOperand) {
            options->analyze = true;
            options->target = argv[++i];
        } else if (IsOption(argv[i], "out") && hasOperand) {
            options->outFile = argv[++i];
        } else {
            *wellFormed = false;
            options->analyze = options->analyze || IsOption(argv[i], "analyze");
        }
    }
    *wellFormed = *wellFormed && options->list != options->analyze;
    return options->list || options->analyze;
}

// Where the lines go: the /out file, the redirected standard output, or the console
// of the process that started this one.
class CCommandOutput {
public:
    bool Open(const std::string& outFile)
    {
        if (!outFile.empty()) {
            file.Reset(CreateFileA(outFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
            target = file.Get();
            return target != INVALID_HANDLE_VALUE;
        }
        target = GetStdHandle(STD_OUTPUT_HANDLE);
        if (target && target != INVALID_HANDLE_VALUE)
            return true;
        if (AttachConsole(ATTACH_PARENT_PROCESS)) {
            file.Reset(CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
            target = file.Get();
        }
        return target && target != INVALID_HANDLE_VALUE;
    }

    // One line; a tab or line break inside a field would split the record, so
    // fields are cleaned by Field first.
    bool WriteLine(const std::string& line)
    {
        const std::string bytes = line + "\r\n";
        DWORD written = 0;
        return target && target != INVALID_HANDLE_VALUE &&
               WriteFile(target, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
               written == bytes.size();
    }

private:
    OwnedFile file;
    HANDLE target = nullptr;
};

// A field of a line: tabs and line breaks (registry texts may hold them) become
// spaces. Neither is ever a trail byte of a double-byte character.
std::string Field(const std::string& text)
{
    std::string field = text;
    for (char& ch : field) {
        if (ch == '\t' || ch == '\r' || ch == '\n')
            ch = ' ';
    }
    return field;
}

// The engine's reports are read from its list afterwards; no window to keep alive.
struct QuietSink : TraceSink {
    void OnTrace(const TraceItem&) override {}
    void KeepResponsive() override {}
};

int AnalyzeTarget(const std::string& typed, CCommandOutput& output)
{
    CTraceAnalyzer analyzer;
    QuietSink sink;
    char full[MAX_PATH];
    if (analyzer.ScreenTarget(typed.c_str(), full, &sink) != TARGET_ACCEPTED || !analyzer.Analyze(sink, full)) {
        output.WriteLine(LoadStringText(IDS_REFUSED));
        return 2;
    }
    CTraceDescriptions descriptions;
    for (size_t i = 0; i < analyzer.GetItemCount(); ++i) {
        const TraceItem& trace = *analyzer.GetItem(i);
        output.WriteLine(std::string(trace.weakReason == WEAK_NONE ? "1" : "0") + "\t" +
                         Field(TraceDisplayName(trace)) + "\t" + Field(descriptions.Describe(trace)));
    }
    return 0;
}

// The products in the quick page's order (the registry's, before any sorting).
int ListProducts(CCommandOutput& output)
{
    CInstalledSoftwareList products;
    products.Load();
    for (size_t i = 0; i < products.GetCount(); ++i) {
        const InstalledSoftwareEntry& entry = *products.GetAt(static_cast<int>(i));
        output.WriteLine(Field(entry.displayName) + "\t" + Field(entry.uninstallString) + "\t" + Field(entry.publisher) +
                         "\t" + Field(EntryKeyPathText(entry)) + "\t" + Field(entry.version) + "\t" +
                         UninstallViewName(entry.view) + "\t" + (entry.uninstallerMissing ? "0" : "1"));
    }
    return 0;
}

// /list into a .csv, .htm or .html file writes the quick page's export; any other
// file takes the lines.
bool IsExportFile(const std::string& outFile)
{
    return !outFile.empty() && (HasExtension(outFile.c_str(), ".csv") || TableFormOf(outFile.c_str()) == TABLE_HTML);
}

// One product as the export gives it: its texts, the size in KB that the entry
// estimates (none measured here), the install date as yyyy-mm-dd, where it is kept.
std::vector<std::string> ExportRow(const InstalledSoftwareEntry& entry)
{
    return {entry.displayName,
            entry.uninstallString,
            entry.publisher,
            entry.version,
            entry.hasEstimatedSize ? std::to_string(entry.estimatedSizeKb) : std::string(),
            InstallDateText(entry.installDate),
            UninstallViewName(entry.view)};
}

// The products in the quick page's order, under its column headers; 1 when the file
// cannot be written.
int ExportProducts(const std::string& outFile)
{
    TextTable table;
    for (UINT id : {IDS_COL_NAME, IDS_COL_COMMAND, IDS_COL_PUBLISHER, IDS_COL_VERSION, IDS_COL_SIZE,
                    IDS_COL_INSTALL_DATE, IDS_COL_SOURCE})
        table.headers.push_back(LoadStringText(id));
    CInstalledSoftwareList products;
    products.Load();
    for (size_t i = 0; i < products.GetCount(); ++i)
        table.rows.push_back(ExportRow(*products.GetAt(static_cast<int>(i))));
    return ExportTable(outFile.c_str(), table) ? 0 : 1;
}

}  // namespace

bool RunCommandLine(int argc, char** argv, int* exitCode)
{
    CommandLineOptions options;
    bool wellFormed = false;
    if (!ReadOptions(argc, argv, &options, &wellFormed))
        return false;
    if (wellFormed && options.list && IsExportFile(options.outFile)) {
        *exitCode = ExportProducts(options.outFile);
        return true;
    }
    CCommandOutput output;
    if (!output.Open(options.outFile)) {
        *exitCode = 1;
        return true;
    }
    if (!wellFormed) {
        output.WriteLine(LoadStringText(IDS_COMMAND_USAGE));
        *exitCode = 1;
        return true;
    }
    // Shortcuts are read through the shell's link object.
    const HRESULT com = OleInitialize(nullptr);
    *exitCode = options.analyze ? AnalyzeTarget(options.target, output) : ListProducts(output);
    if (SUCCEEDED(com))
        OleUninitialize();
    return true;
}
