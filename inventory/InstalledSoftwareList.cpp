#include "inventory/InstalledSoftwareList.h"

#include "framework/AnsiText.h"
#include "framework/IconReference.h"
#include "framework/ParseCommandLine.h"
#include "framework/RegKey.h"

#include <cstring>
#include <new>
#include <utility>

const char UNINSTALL_KEY_PATH[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

namespace {

// The program the uninstall command starts: its icons stand for the product.
bool CommandIconPath(const char* command, char* path)
{
    std::string program;
    std::string arguments;
    return FindStartableProgram(command, &program, &arguments) && CopyText(path, MAX_PATH, program.c_str());
}

// A value of a product key that the load reads: text into a MAX_PATH buffer, or a
// number of at most four bytes, as ReadTextValue and ReadDwordValue read them.
struct ProductValue {
    const char* name;
    char* text;
    DWORD* number;
    bool found;
};

void ReadProductValue(const RegValue& value, ProductValue* wanted)
{
    if (wanted->text) {
        wanted->found = ValueAsText(value, true) && CopyText(wanted->text, MAX_PATH, value.data);
        return;
    }
    if (value.size > sizeof(DWORD))
        return;
    DWORD number = 0;
    memcpy(&number, value.data, value.size);
    *wanted->number = number;
    wanted->found = true;
}

// Reads the wanted values of a key opened as itself with one walk over its values
// when it holds no more than are wanted, else with one query each: the fewer trips
// to the registry. False for a registry link, refused as RegKey::Open refuses it.
bool ReadProductValues(const RegKey& key, ProductValue* wanted, size_t count)
{
    DWORD subkeys = 0;
    DWORD values = 0;
    if (!key.CountEntries(&subkeys, &values) || values > count) {
        if (IsRegistryLink(key))
            return false;
        for (ProductValue* value = wanted; value != wanted + count; ++value)
            value->found = value->text ? ReadTextValue(key, nullptr, value->name, value->text, MAX_PATH)
                                       : ReadDwordValue(key, nullptr, value->name, value->number);
        return true;
    }
    return key.ForEachValueOfNonLink([&](const RegValue& value) {
        for (ProductValue* named = wanted; named != wanted + count; ++named) {
            if (_stricmp(named->name, value.name) == 0)
                ReadProductValue(value, named);
        }
        return true;
    }, RegKey::WITH_DATA, values);
}

// What Windows' own list of programs leaves out: system components, and updates
// (listed below their product, or released as an update or hotfix).
bool IsHiddenByWindows(const ProductValue& systemComponent, const ProductValue& parentKeyName,
                       const ProductValue& releaseType)
{
    if (systemComponent.found && *systemComponent.number == 1)
        return true;
    if (parentKeyName.found)
        return true;
    return releaseType.found &&
           (FindTextNoCaseDbcs(releaseType.text, "update") || FindTextNoCaseDbcs(releaseType.text, "hotfix"));
}

}  // namespace

void CInstalledSoftwareList::Load()
{
    for (const RegistryPlace& place : MachineAndUserPlaces(UNINSTALL_KEY_PATH)) {
        RegKey uninstallKey;
        if (!uninstallKey.Open(place.root, place.path.c_str()))
            continue;
        uninstallKey.ForEachSubkey([&](const char* subkeyName) {
            std::unique_ptr<InstalledSoftwareEntry> entry(new (std::nothrow) InstalledSoftwareEntry());
            if (entry && ReadEntry(place, uninstallKey, subkeyName, entry.get())) {
                entry->loadIndex = entries.size();
                entries.push_back(std::move(entry));
            }
            return true;
        });
    }
}

// Fills one record; false when the product does not qualify. A key path that does
// not fit is skipped rather than cut, because the forced uninstall deletes that key.
bool CInstalledSoftwareList::ReadEntry(const RegistryPlace& place, HKEY uninstallKey, const char* subkeyName,
                                       InstalledSoftwareEntry* entry)
{
    entry->root = place.root;
    if (!FormatText(entry->keyPath, MAX_PATH, "%s\\%s", place.path.c_str(), subkeyName))
        return false;
    RegKey key;
    if (!key.OpenAsItself(uninstallKey, subkeyName))
        return false;
    DWORD systemComponent = 0;
    char parentKeyName[MAX_PATH] = "";
    char releaseType[MAX_PATH] = "";
    ProductValue values[] = {{"SystemComponent", nullptr, &systemComponent, false},
                             {"ParentKeyName", parentKeyName, nullptr, false},
                             {"ReleaseType", releaseType, nullptr, false},
                             {"UninstallString", entry->uninstallString, nullptr, false},
                             {"DisplayName", entry->displayName, nullptr, false},
                             {"Publisher", entry->publisher, nullptr, false},
                             {"HelpLink", entry->helpLink, nullptr, false},
                             {"WindowsInstaller", nullptr, &entry->windowsInstaller, false},
                             {"DisplayIcon", entry->displayIcon, nullptr, false}};
    if (!ReadProductValues(key, values, sizeof(values) / sizeof(values[0])) ||
        IsHiddenByWindows(values[0], values[1], values[2]))
        return false;
    return values[3].found && values[4].found;
}

void CInstalledSoftwareList::ResolveIcons(InstalledSoftwareEntry* entry)
{
    if (!entry || entry->iconsResolved)
        return;
    entry->iconsResolved = true;
    char path[MAX_PATH] = "";
    int index = 0;
    // A Windows Installer product without an icon of its own has none: its command
    // runs the installer, whose icon is no product's.
    const bool named = entry->displayIcon[0] ? ReadIconReference(entry->displayIcon, path, MAX_PATH, &index)
                                             : !entry->windowsInstaller && CommandIconPath(entry->uninstallString, path);
    if (!named)
        return;
    const ProductIcons& icons = iconCache.Find(path, index);
    entry->smallIcon = icons.small;
    entry->largeIcon = icons.large;
}

void CInstalledSoftwareList::Clear()
{
    entries.clear();
    iconCache.Clear();
}

void CInstalledSoftwareList::Reload()
{
    Clear();
    Load();
}

bool CInstalledSoftwareList::GetFirst(int& position, InstalledSoftwareEntry*& entry) const
{
    position = -1;
    if (entries.empty())
        return false;
    position = 0;
    entry = entries[0].get();
    return true;
}

bool CInstalledSoftwareList::GetNext(int& position, InstalledSoftwareEntry*& entry) const
{
    ++position;
    if (static_cast<unsigned>(position) >= entries.size())
        return false;
    entry = entries[position].get();
    return true;
}

InstalledSoftwareEntry* CInstalledSoftwareList::GetAt(int index) const
{
    if (static_cast<unsigned>(index) >= entries.size())
        return nullptr;
    return entries[index].get();
}

int CInstalledSoftwareList::IndexOf(const InstalledSoftwareEntry* entry) const
{
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].get() == entry)
            return static_cast<int>(i);
    }
    return -1;
}

void CInstalledSoftwareList::RemoveAt(int index)
{
    if (static_cast<unsigned>(index) >= entries.size())
        return;
    entries.erase(entries.begin() + index);
}
