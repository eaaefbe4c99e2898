#include "smart/SettingsTraceSearch.h"

#include "framework/AnsiText.h"
#include "framework/RegKey.h"
#include "framework/RegistryView.h"
#include "smart/NamedPath.h"
#include "smart/ProgramNames.h"

namespace {

// A settings key is read this deep and this many keys at most to tell whether it
// is wholly the program's.
const int kSettingsKeyDepth = 16;
const int kSettingsKeyBudget = 4096;

}  // namespace

void CSettingsTraceSearch::Run()
{
    for (const RegistryPlace& place : MachineAndUserPlaces("SOFTWARE"))
        SearchSoftwareKeys(place.root, place.path.c_str());
}

// Keys directly under "Software": one named as the product goes whole unless
// something in it names another registered product; one named as the vendor is
// searched for the product's keys; in any other a value that names the program is
// listed alone, unticked, and keys named as the product are looked up below it.
void CSettingsTraceSearch::SearchSoftwareKeys(HKEY root, const char* softwarePath)
{
    if (context.NothingToMatch() && !context.names.HasProducts())
        return;
    RegKey software;
    if (!software.Open(root, softwarePath))
        return;
    software.ForEachSubkey([&](const char* name) {
        context.KeepResponsiveIfDue();
        char keyPath[MAX_PATH];
        // The other view is searched as a place of its own.
        if (EqualsNoCaseDbcs(name, "Wow6432Node") || !FormatText(keyPath, MAX_PATH, "%s\\%s", softwarePath, name))
            return true;
        bool mayHoldKeys = true;
        if (EqualsNoCaseDbcs(name, "Classes"))  // the file-type search's
            ListOtherSettings(root, keyPath);
        else if (context.names.IsProduct(name))
            ExamineNamedKey(root, keyPath, false);
        else if (context.names.IsVendor(name))
            ExamineVendorKey(root, keyPath);
        else if (!context.NothingToMatch() && ListOtherSettings(root, keyPath, &mayHoldKeys) && mayHoldKeys)
            ProbeProductKeys(root, keyPath);
        return true;
    });
}

CSettingsTraceSearch::KeyVerdict CSettingsTraceSearch::JudgeKey(HKEY root, const char* keyPath)
{
    KeyVerdict verdict;
    int budget = kSettingsKeyBudget;
    JudgeKeyTree(root, keyPath, 0, &budget, &verdict);
    return verdict;
}

// What the texts of a key tree name: the program, another registered product (a
// path in its folder, or a key named as it). A link, a value too long to read, a
// tree too deep or too large leave the verdict incomplete.
void CSettingsTraceSearch::JudgeKeyTree(HKEY root, const char* keyPath, int depth, int* budget, KeyVerdict* verdict)
{
    RegKey key;
    if (depth > kSettingsKeyDepth || --*budget < 0 || !key.OpenAsItself(root, keyPath)) {
        verdict->complete = false;
        return;
    }
    bool link = false;
    const bool readWhole = key.ForEachValue([&](const RegValue& value) {
        link = IsRegistryLinkValue(value);
        if (!link && ValueAsText(value, true)) {
            verdict->namesProgram = verdict->namesProgram || context.NamesProgram(value.data);
            verdict->namesOther = verdict->namesOther || context.NamesOtherProduct(value.data);
        }
        return !link && !verdict->namesOther;
    });
    // A link holds nothing of its own: it goes as a link with the key above it.
    if (link || verdict->namesOther || (!readWhole && IsRegistryLink(key)))
        return;
    if (!readWhole) {
        verdict->complete = false;
        return;
    }
    key.ForEachSubkey([&](const char* name) {
        char child[MAX_PATH];
        if (context.otherProductNames.count(NameKey(name)))
            verdict->namesOther = true;
        else if (!FormatText(child, MAX_PATH, "%s\\%s", keyPath, name))
            verdict->complete = false;
        else
            JudgeKeyTree(root, child, depth + 1, budget, verdict);
        return !verdict->namesOther;
    });
}

// A key named as the program's: whole unless something in it names another
// registered product (then only its values that name the program, unticked). With
// needsProgramValue, or when it cannot be read whole, only when a value names the
// program. True when the key was collected.
bool CSettingsTraceSearch::ExamineNamedKey(HKEY root, const char* keyPath, bool needsProgramValue)
{
    const KeyVerdict verdict = JudgeKey(root, keyPath);
    if (verdict.namesOther) {
        ListOtherSettings(root, keyPath);
        return false;
    }
    if ((needsProgramValue || !verdict.complete) && !verdict.namesProgram)
        return false;
    context.CollectRegistryKey(root, keyPath);
    return true;
}

// A vendor key goes whole when all it holds is the program's: its subkeys named as
// the product and whole, its values naming only the program's folders. Otherwise its
// product keys go whole, its values that name the program are listed as the
// program's, and its other keys whole when they name the program.
void CSettingsTraceSearch::ExamineVendorKey(HKEY root, const char* vendorPath)
{
    RegKey vendor;
    if (!vendor.OpenAsItself(root, vendorPath))
        return;
    std::vector<std::string> ownValues;
    bool namesOther = false;
    bool link = false;
    const bool metAll = vendor.ForEachValue([&](const RegValue& value) {
        char named[MAX_PATH];
        link = link || IsRegistryLinkValue(value);
        if (link || !ValueAsText(value, true) || !NamedPath(value.data, named, MAX_PATH))
            return true;  // no path: a version, a language, a number
        if (context.NamesProgram(value.data))
            ownValues.push_back(value.name);
        else
            namesOther = true;
        return true;
    });
    if (link || (!metAll && IsRegistryLink(vendor)))
        return;
    namesOther = namesOther || !metAll;  // a value too long to read may name anything
    std::vector<std::string> productKeys;
    std::vector<std::string> otherKeys;
    const bool readAll = vendor.ForEachSubkey([&](const char* name) {
        char child[MAX_PATH];
        if (FormatText(child, MAX_PATH, "%s\\%s", vendorPath, name))
            (context.names.IsProduct(name) ? productKeys : otherKeys).push_back(child);
        else
            namesOther = true;
        return true;
    });
    vendor.Close();
    bool whole = readAll && !namesOther && otherKeys.empty() && (!ownValues.empty() || !productKeys.empty());
    for (const std::string& product : productKeys) {
        const KeyVerdict verdict = whole ? JudgeKey(root, product.c_str()) : KeyVerdict();
        whole = whole && verdict.complete && !verdict.namesOther;
    }
    if (whole) {
        context.CollectRegistryKey(root, vendorPath);
        return;
    }
    for (const std::string& name : ownValues)
        context.AddTrace(TRACE_REGVALUE, vendorPath, name.c_str(), root);
    for (const std::string& product : productKeys)
        ExamineNamedKey(root, product.c_str(), false);
    for (const std::string& other : otherKeys) {
        context.KeepResponsiveIfDue();
        if (!context.NothingToMatch())
            ExamineNamedKey(root, other.c_str(), true);
    }
}

// Below another vendor's key, only keys spelled as the product's names are looked
// at, and taken only when they name the program.
void CSettingsTraceSearch::ProbeProductKeys(HKEY root, const char* vendorPath)
{
    for (const std::string& name : context.names.ProductSpellings()) {
        char productPath[MAX_PATH];
        if (FormatText(productPath, MAX_PATH, "%s\\%s", vendorPath, name.c_str()))
            ExamineNamedKey(root, productPath, true);
    }
}

// Values of another program's settings key that name the program, each listed alone
// and unticked. False when the key cannot be read or is a registry link;
// mayHoldKeys, when given, is set false when the key has no subkeys.
bool CSettingsTraceSearch::ListOtherSettings(HKEY root, const char* keyPath, bool* mayHoldKeys)
{
    RegKey key;
    if (!key.OpenAsItself(root, keyPath))
        return false;
    DWORD subkeys = 0;
    DWORD values = 0;
    const bool counted = key.CountEntries(&subkeys, &values);
    std::vector<std::string> named;
    const bool notLink = key.ForEachValueOfNonLink([&](const RegValue& value) {
        if (context.ValueNamesProgram(value))
            named.push_back(value.name);
        return true;
    }, RegKey::WITH_DATA, counted ? values : MAXDWORD);
    if (!notLink)
        return false;
    if (counted && mayHoldKeys)
        *mayHoldKeys = subkeys != 0;
    for (const std::string& name : named)
        context.AddTrace(TRACE_REGVALUE, keyPath, name.c_str(), root, WEAK_OTHER_SETTINGS);
    return true;
}
