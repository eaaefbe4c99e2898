#include "inventory/UninstallEntries.h"

#include "framework/AnsiText.h"
#include "framework/RegKey.h"
#include "framework/RegistryView.h"
#include "inventory/InstallDate.h"

#include <cstring>

const char UNINSTALL_KEY_PATH[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

namespace {

// The text values an entry keeps, by name.
struct TextField {
    const char* name;
    std::string UninstallEntry::*text;
};
const TextField kTextFields[] = {
    {"DisplayName", &UninstallEntry::displayName},         {"DisplayVersion", &UninstallEntry::version},
    {"Publisher", &UninstallEntry::publisher},             {"HelpLink", &UninstallEntry::helpLink},
    {"UninstallString", &UninstallEntry::uninstallString}, {"DisplayIcon", &UninstallEntry::displayIcon},
    {"InstallLocation", &UninstallEntry::installLocation},
    {"QuietUninstallString", &UninstallEntry::quietUninstallString},
};

// What tells an entry that Windows' own list of programs leaves out.
struct HidingValues {
    DWORD systemComponent = 0;
    bool hasParent = false;  // listed below the product it updates
    std::string releaseType;
};

UninstallView ViewOf(const RegistryPlace& place)
{
    if (place.root == HKEY_CURRENT_USER)
        return VIEW_HKCU;
    return IsRedirectedPath(place.root, place.path.c_str()) ? VIEW_HKLM32 : VIEW_HKLM;
}

bool IsNamed(const RegValue& value, const char* name)
{
    return EqualsNoCaseDbcs(value.name, name);
}

// A number stored in at most four bytes, whatever its type says (little-endian).
bool ReadNumber(const RegValue& value, DWORD* number)
{
    if (value.size > sizeof(DWORD))
        return false;
    *number = 0;
    memcpy(number, value.data, value.size);
    return true;
}

void ReadTextField(const RegValue& value, UninstallEntry* entry)
{
    for (const TextField& field : kTextFields) {
        if (IsNamed(value, field.name))
            entry->*field.text = value.data;
    }
    entry->hasDisplayName = entry->hasDisplayName || IsNamed(value, "DisplayName");
    entry->hasUninstallString = entry->hasUninstallString || IsNamed(value, "UninstallString");
}

// "EstimatedSize" counts only as a REG_DWORD: a text or a number of another size
// may mean anything.
void ReadEstimatedSize(const RegValue& value, UninstallEntry* entry)
{
    entry->hasEstimatedSize = value.type == REG_DWORD && value.size == sizeof(DWORD);
    if (entry->hasEstimatedSize)
        memcpy(&entry->estimatedSizeKb, value.data, sizeof(DWORD));
}

void ReadValue(const RegValue& value, UninstallEntry* entry, HidingValues* hiding)
{
    if (IsNamed(value, "SystemComponent") || IsNamed(value, "WindowsInstaller")) {
        ReadNumber(value, IsNamed(value, "SystemComponent") ? &hiding->systemComponent : &entry->windowsInstaller);
        return;
    }
    if (IsNamed(value, "EstimatedSize"))
        ReadEstimatedSize(value, entry);
    if (!ValueAsText(value, true))
        return;
    if (value.type == REG_SZ) {
        entry->plainTexts.push_back(value.data);
        if (IsNamed(value, "InstallDate"))
            entry->installDate = ParseInstallDate(value.data);
    }
    ReadTextField(value, entry);
    if (IsNamed(value, "ParentKeyName"))
        hiding->hasParent = true;
    else if (IsNamed(value, "ReleaseType"))
        hiding->releaseType = value.data;
}

// Windows' own list leaves out system components and updates (listed below their
// product, or released as an update or hotfix).
bool IsHiddenByWindows(const HidingValues& hiding)
{
    const char* release = hiding.releaseType.c_str();
    return hiding.systemComponent == 1 || hiding.hasParent || FindTextNoCaseDbcs(release, "update") ||
           FindTextNoCaseDbcs(release, "hotfix");
}

// One walk over the entry's values; false for a registry link, which is no entry.
bool ReadEntry(HKEY uninstallKey, const char* name, const RegistryPlace& place, UninstallEntry* entry)
{
    RegKey key;
    if (!key.OpenAsItself(uninstallKey, name))
        return false;
    entry->root = place.root;
    entry->view = ViewOf(place);
    char keyPath[MAX_PATH];
    if (FormatText(keyPath, MAX_PATH, "%s\\%s", place.path.c_str(), name))
        entry->keyPath = keyPath;
    HidingValues hiding;
    if (!key.ForEachValueOfNonLink([&](const RegValue& value) {
            ReadValue(value, entry, &hiding);
            return true;
        }))
        return false;
    entry->hiddenByWindows = IsHiddenByWindows(hiding);
    FILETIME written;
    if (!entry->installDate && key.LastWriteTime(&written))
        entry->installDate = LocalDateOf(written);
    return true;
}

}  // namespace

const char* UninstallViewName(UninstallView view)
{
    switch (view) {
    case VIEW_HKLM32:
        return "HKLM32";
    case VIEW_HKCU:
        return "HKCU";
    default:
        return "HKLM";
    }
}

const char* UninstallKeyName(const char* keyPath)
{
    const char* backslash = FindLastCharDbcs(keyPath, '\\');
    return backslash ? backslash + 1 : keyPath;
}

void ReadUninstallEntries(const std::function<bool(UninstallEntry& entry)>& visit)
{
    CUninstallEntryWalk walk;
    walk.Read(visit);
}

CUninstallEntryWalk::CUninstallEntryWalk() : places(MachineAndUserPlaces(UNINSTALL_KEY_PATH))
{
}

bool CUninstallEntryWalk::OpenPlace()
{
    for (; place < places.size(); ++place, nextSubkey = 0) {
        if (uninstallKey || uninstallKey.Open(places[place].root, places[place].path.c_str()))
            return true;
    }
    return false;
}

// Subkeys are named by their index, so the walk goes on where it stopped; a name that
// does not fit MAX_PATH is passed over.
bool CUninstallEntryWalk::Read(const std::function<bool(UninstallEntry& entry)>& visit)
{
    char name[MAX_PATH];
    while (OpenPlace()) {
        DWORD nameSize = MAX_PATH;
        const LONG status = RegEnumKeyExA(uninstallKey, nextSubkey++, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS) {
            uninstallKey.Close();
            ++place;
            nextSubkey = 0;
            continue;
        }
        UninstallEntry entry;
        if (ReadEntry(uninstallKey, name, places[place], &entry) && !visit(entry))
            return Finished();
    }
    return true;
}
