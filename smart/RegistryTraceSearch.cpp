#include "smart/RegistryTraceSearch.h"

#include "framework/RegKey.h"
#include "framework/RegistryView.h"

namespace {

const char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

}  // namespace

void CRegistryTraceSearch::Run()
{
    SearchUninstallEntries();
    for (const RegistryPlace& place : MachineAndUserPlaces(kRunKey))
        SearchRunValues(place.root, place.path.c_str());
}

// The values are those read with the entries.
void CRegistryTraceSearch::SearchUninstallEntries()
{
    if (context.NothingToMatch())
        return;
    for (RegisteredEntry& entry : context.Entries().All()) {
        context.KeepResponsiveIfDue();
        // After an uninstall, every entry left is another product's.
        const bool other = context.leftoverClues && !entry.own;
        for (const std::string& text : entry.plainTexts) {
            if (!other && context.NamesProgram(text.c_str())) {
                context.CollectRegistryKey(entry.root, entry.keyPath.c_str());
                break;
            }
        }
        // Nothing else reads the texts: their memory goes now.
        std::vector<std::string>().swap(entry.plainTexts);
    }
}

void CRegistryTraceSearch::SearchRunValues(HKEY root, const char* keyPath)
{
    if (context.NothingToMatch())
        return;
    RegKey key;
    if (!key.Open(root, keyPath))
        return;
    key.ForEachValue([&](const RegValue& value) {
        if (context.ValueNamesProgram(value))
            context.AddTrace(TRACE_REGVALUE, keyPath, value.name, root);
        return true;
    });
}
