#include "smart/TraceAnalyzer.h"

#include "framework/PathExists.h"
#include "smart/ComClassSearch.h"
#include "smart/FileTraceSearch.h"
#include "smart/FileTypeTraceSearch.h"
#include "smart/ProductGroups.h"
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
    SearchEverywhere({});
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
    CProgramLocator(context).AdoptLeftoverFolders({&clues});
    SearchEverywhere({&clues});
    return 1;
}

int CTraceAnalyzer::AnalyzeLeftovers(TraceSink& reportTo, const std::vector<UninstallClues>& products)
{
    StartAnalysis();
    const SinkScope scope(context.traces, &reportTo);
    context.LoadMachine();
    groupedProducts = products;
    std::vector<const UninstallClues*> removed;
    std::vector<int> indexes;
    CProgramLocator locator(context);
    for (size_t index = 0; index < groupedProducts.size(); ++index) {
        UninstallClues& clues = groupedProducts[index];
        if (context.Entries().IsRegistered(clues))
            continue;
        locator.RescreenClues(&clues);
        removed.push_back(&clues);
        indexes.push_back(static_cast<int>(index));
    }
    if (removed.empty())
        return 0;
    locator.AdoptLeftoverFolders(removed);
    SearchEverywhere(removed);
    itemProducts = CProductGroups(context, removed).Assign();
    for (int& product : itemProducts)
        product = indexes[product];
    return 1;
}

int CTraceAnalyzer::GetItemProduct(size_t index) const
{
    return index < itemProducts.size() ? itemProducts[index] : -1;
}

void CTraceAnalyzer::Clear()
{
    context.traces.Clear();
    itemProducts.clear();
}

void CTraceAnalyzer::SearchEverywhere(const std::vector<const UninstallClues*>& products)
{
    context.leftovers = products;
    context.LoadProgramNames(products);
    CFileTraceSearch(context).Run();
    CComClassSearch comClasses(context);
    comClasses.Run();
    CFileTypeTraceSearch(context, comClasses).Run();
    CRegistryTraceSearch(context).Run();
    CSettingsTraceSearch(context).Run();
    context.leftovers.clear();
}

RemovalTally CTraceAnalyzer::RemoveChecked(const std::vector<bool>& checked, RemovalSaver* saver)
{
    return RemoveTraces(context.traces.All(), checked, saver);
}
