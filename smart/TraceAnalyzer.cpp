#include "smart/TraceAnalyzer.h"

#include "framework/PathExists.h"
#include "smart/ComClassSearch.h"
#include "smart/FileTraceSearch.h"
#include "smart/FileTypeTraceSearch.h"
#include "smart/RegistryTraceSearch.h"
#include "smart/SettingsTraceSearch.h"

TargetVerdict CTraceAnalyzer::ScreenTarget(const char* typed, char* full, TraceSink* reportTo)
{
    const SinkScope scope(context.traces, reportTo);
    context.LoadMachine();
    return CProgramLocator(context).Screen(typed, full);
}

void CTraceAnalyzer::StartAnalysis()
{
    Clear();
    context.ForgetProgram();
}

int CTraceAnalyzer::Analyze(TraceSink& reportTo, const char* target)
{
    StartAnalysis();
    char full[MAX_PATH];
    if (ScreenTarget(target, full, &reportTo) != TARGET_ACCEPTED)
        return 0;
    const SinkScope scope(context.traces, &reportTo);
    bool isFile = false;
    if (!PathExists(full, &isFile))
        return 0;
    if (isFile)
        context.AddTrace(TRACE_FILE, full, nullptr, nullptr);
    CProgramLocator(context).ChooseProgramFolder(full, isFile);
    SearchEverywhere(nullptr);
    return 1;
}

void CTraceAnalyzer::NoteUninstallClues(UninstallClues* clues)
{
    context.LoadMachine();
    CProgramLocator(context).NoteUninstallClues(clues);
}

std::vector<std::string> CTraceAnalyzer::RegisteredFolders(HKEY root, const char* keyPath)
{
    context.LoadMachine();
    return context.Entries().FoldersOf(root, keyPath);
}

int CTraceAnalyzer::AnalyzeLeftovers(TraceSink& reportTo, const UninstallClues& clues)
{
    StartAnalysis();
    const SinkScope scope(context.traces, &reportTo);
    context.LoadMachine();
    CProgramLocator(context).AdoptLeftoverFolders(clues);
    SearchEverywhere(&clues);
    return 1;
}

void CTraceAnalyzer::SearchEverywhere(const UninstallClues* clues)
{
    context.leftoverClues = clues;
    context.LoadProgramNames(clues);
    CFileTraceSearch(context).Run();
    CComClassSearch comClasses(context);
    comClasses.Run();
    CFileTypeTraceSearch(context, comClasses).Run();
    CRegistryTraceSearch(context).Run();
    CSettingsTraceSearch(context).Run();
    context.leftoverClues = nullptr;
}

RemovalTally CTraceAnalyzer::RemoveChecked(const std::vector<bool>& checked, RemovalSaver* saver)
{
    return RemoveTraces(context.traces.All(), checked, saver);
}
