#include "inventory/InstalledSoftwareList.h"

#include "framework/AnsiText.h"
#include "framework/PathExists.h"
#include "framework/RegKey.h"

#include <climits>
#include <cstring>
#include <new>
#include <utility>

const char UNINSTALL_KEY_PATH[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

namespace {

// The text of a quoted path without its quotes; an unterminated quote runs to the end.
void Unquote(const char* text, char* path, size_t pathSize)
{
    const char* start = text + 1;
    const char* end = FindCharDbcs(start, '"');
    size_t length = end ? static_cast<size_t>(end - start) : strlen(start);
    if (length >= pathSize) {
        path[0] = '\0';
        return;
    }
    memcpy(path, start, length);
    path[length] = '\0';
}

// The icon index after a comma: a whole number in int's range (spaces before it
// allowed), else 0 (the first icon).
int IconIndexAfter(const char* text)
{
    const char* at = FindCharDbcs(text, ',');
    if (!at)
        return 0;
    for (++at; *at == ' '; ++at) {
    }
    const bool negative = *at == '-';
    at += negative || *at == '+';
    long long index = 0;
    const char* digits = at;
    for (; *at >= '0' && *at <= '9'; ++at) {
        index = index * 10 + (*at - '0');
        if (index > INT_MAX)
            return 0;
    }
    return at == digits ? 0 : static_cast<int>(negative ? -index : index);
}

// Program named by an uninstall command: the quoted path, or for an unquoted command
// that names no file, the text up to the first dot and three characters after it.
void IconPathFromCommand(const char* command, char* path, size_t pathSize)
{
    if (command[0] == '"')
        Unquote(command, path, pathSize);
    else
        CopyText(path, pathSize, command);
    if (IsExistingFile(path))
        return;
    char* dot = FindCharDbcs(path, '.');
    if (dot && strlen(dot + 1) >= 3)
        dot[4] = '\0';
}

// What Windows' own list of programs leaves out: system components, and updates
// (listed below their product, or released as an update or hotfix).
bool IsHiddenByWindows(HKEY productKey)
{
    DWORD systemComponent = 0;
    if (ReadDwordValue(productKey, nullptr, "SystemComponent", &systemComponent) && systemComponent == 1)
        return true;
    char text[MAX_PATH];
    if (ReadTextValue(productKey, nullptr, "ParentKeyName", text, MAX_PATH))
        return true;
    if (!ReadTextValue(productKey, nullptr, "ReleaseType", text, MAX_PATH))
        return false;
    return FindTextNoCaseDbcs(text, "update") || FindTextNoCaseDbcs(text, "hotfix");
}

}  // namespace

void IconFromDisplayIcon(const char* displayIcon, char* path, size_t pathSize, int* index)
{
    if (displayIcon[0] == '"') {
        Unquote(displayIcon, path, pathSize);
        const char* closing = FindCharDbcs(displayIcon + 1, '"');
        *index = closing ? IconIndexAfter(closing + 1) : 0;
        return;
    }
    CopyText(path, pathSize, displayIcon);
    *index = IconIndexAfter(displayIcon);
    char* comma = FindCharDbcs(path, ',');
    if (comma)
        *comma = '\0';
}


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
    if (!key.Open(uninstallKey, subkeyName) || IsHiddenByWindows(key))
        return false;
    bool hasCommand = ReadTextValue(key, nullptr, "UninstallString", entry->uninstallString, MAX_PATH);
    bool hasName = ReadTextValue(key, nullptr, "DisplayName", entry->displayName, MAX_PATH);
    if (!hasCommand || !hasName)
        return false;
    ReadTextValue(key, nullptr, "Publisher", entry->publisher, MAX_PATH);
    ReadTextValue(key, nullptr, "HelpLink", entry->helpLink, MAX_PATH);
    ReadDwordValue(key, nullptr, "WindowsInstaller", &entry->windowsInstaller);
    ReadTextValue(key, nullptr, "DisplayIcon", entry->displayIcon, MAX_PATH);
    return true;
}

void CInstalledSoftwareList::ResolveIcons(InstalledSoftwareEntry* entry)
{
    if (!entry || entry->iconsResolved)
        return;
    entry->iconsResolved = true;
    char path[MAX_PATH] = "";
    int index = 0;
    if (entry->displayIcon[0])
        IconFromDisplayIcon(entry->displayIcon, path, MAX_PATH, &index);
    else if (entry->windowsInstaller)
        return;
    else
        IconPathFromCommand(entry->uninstallString, path, MAX_PATH);
    if (!path[0])
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
