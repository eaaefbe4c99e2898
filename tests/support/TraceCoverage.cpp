#include "support/TraceCoverage.h"

#include "smart/SmartUninstallPage.h"
#include "smart/TraceItem.h"

namespace fixtures {

namespace {

bool SameOrBelow(const std::string& lowerPath, const std::string& lowerParent)
{
    if (lowerPath == lowerParent)
        return true;
    return lowerPath.size() > lowerParent.size() && lowerPath.compare(0, lowerParent.size(), lowerParent) == 0 &&
           lowerPath[lowerParent.size()] == '\\';
}

bool KeyCovered(const std::string& fullKey, const ListedTraces& traces)
{
    std::string lower = LowerAscii(fullKey);
    for (const std::string& key : traces.keys) {
        if (SameOrBelow(lower, LowerAscii(key)))
            return true;
    }
    return false;
}

// The names a key has: itself, and for a class key its HKEY_CLASSES_ROOT name.
std::vector<std::string> KeyAliases(const std::string& fullKey)
{
    std::vector<std::string> aliases = {fullKey};
    for (const char* prefix : {"hkey_local_machine\\software\\classes\\", "hkey_current_user\\software\\classes\\"}) {
        std::string lowerPrefix = prefix;
        if (LowerAscii(fullKey).compare(0, lowerPrefix.size(), lowerPrefix) == 0)
            aliases.push_back("HKEY_CLASSES_ROOT\\" + fullKey.substr(lowerPrefix.size()));
    }
    return aliases;
}

}  // namespace

std::string LowerAscii(std::string text)
{
    for (char& ch : text) {
        if (ch >= 'A' && ch <= 'Z')
            ch = static_cast<char>(ch - 'A' + 'a');
    }
    return text;
}

std::string TraceRowText(int kind, const char* path, const char* valueName, HKEY root)
{
    switch (kind) {
    case TRACE_FILE:
    case TRACE_FOLDER:
        return path;
    case TRACE_REGKEY:
        return std::string(GetRootKeyName(root)) + "\\" + path;
    case TRACE_REGVALUE:
        return std::string(GetRootKeyName(root)) + "\\" + path + "\\" + (valueName ? valueName : "");
    default:
        return std::string();
    }
}

std::vector<std::string> UnaccountedFileLines(const std::vector<std::string>& lines, const ListedTraces& traces)
{
    std::vector<std::string> result;
    for (const std::string& line : lines) {
        // "path|attributes|size"
        size_t sizeBar = line.rfind('|');
        size_t attributeBar = sizeBar == std::string::npos ? std::string::npos : line.rfind('|', sizeBar - 1);
        std::string path = LowerAscii(line.substr(0, attributeBar));
        bool covered = false;
        for (const std::string& listed : traces.paths)
            covered = covered || SameOrBelow(path, LowerAscii(listed));
        if (!covered)
            result.push_back(line);
    }
    return result;
}

std::vector<std::string> UnaccountedRegistryLines(const std::vector<std::string>& lines, const std::string& rootName,
                                                  const ListedTraces& traces)
{
    std::vector<std::string> result;
    for (const std::string& line : lines) {
        bool covered = false;
        if (line.compare(0, 2, "K|") == 0 || line.compare(0, 2, "L|") == 0) {
            std::string path = line.substr(2);
            size_t unreadable = path.find("|unreadable");
            if (unreadable != std::string::npos)
                path.erase(unreadable);
            std::string full = path.empty() ? rootName : rootName + "\\" + path;
            for (const std::string& alias : KeyAliases(full))
                covered = covered || KeyCovered(alias, traces);
        } else if (line.compare(0, 2, "V|") == 0) {
            // "V|key|name|type|hash": the last two fields are fixed.
            size_t hashBar = line.rfind('|');
            size_t typeBar = line.rfind('|', hashBar - 1);
            std::string keyAndName = line.substr(2, typeBar - 2);
            // Key names in the tests carry no '|'; the first one ends the key.
            size_t bar = keyAndName.find('|');
            std::string path = keyAndName.substr(0, bar);
            std::string name = keyAndName.substr(bar + 1);
            std::string full = path.empty() ? rootName : rootName + "\\" + path;
            for (const std::string& alias : KeyAliases(full)) {
                covered = covered || KeyCovered(alias, traces);
                std::string lowerValue = LowerAscii(alias + "\\" + name);
                for (const std::string& value : traces.values)
                    covered = covered || LowerAscii(value) == lowerValue;
            }
        }
        if (!covered)
            result.push_back(line);
    }
    return result;
}

void RegistryTreeRows(HKEY root, const std::string& rootName, const std::string& path, std::set<std::string>* keys,
                      std::set<std::string>* values)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    std::string full = rootName + "\\" + path;
    keys->insert(full);
    char name[1024];
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = sizeof(name);
        if (RegEnumValueA(key, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        values->insert(full + "\\" + std::string(name, nameSize));
    }
    std::vector<std::string> children;
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = sizeof(name);
        if (RegEnumKeyExA(key, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        children.push_back(name);
    }
    RegCloseKey(key);
    for (const std::string& child : children)
        RegistryTreeRows(root, rootName, path + "\\" + child, keys, values);
}

void FileTreeRows(const std::string& folder, std::set<std::string>* rows)
{
    DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    rows->insert(folder);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    std::vector<std::string> children;
    do {
        std::string name = data.cFileName;
        if (name != "." && name != "..")
            children.push_back(folder + "\\" + name);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    for (const std::string& child : children)
        FileTreeRows(child, rows);
}

std::set<std::string> PendingDeletions()
{
    std::set<std::string> result;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return result;
    DWORD size = 0;
    DWORD type = 0;
    if (RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        size > 0) {
        std::wstring data(size / sizeof(wchar_t) + 2, L'\0');
        RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, reinterpret_cast<BYTE*>(&data[0]),
                         &size);
        // Pairs of source and destination; an empty destination deletes the source.
        size_t position = 0;
        while (position < data.size() && data[position]) {
            std::wstring source = data.c_str() + position;
            position += source.size() + 1;
            std::wstring destination = position < data.size() ? data.c_str() + position : L"";
            position += destination.size() + 1;
            if (!destination.empty())
                continue;
            if (source.compare(0, 4, L"\\??\\") == 0)
                source.erase(0, 4);
            char ansi[MAX_PATH * 2] = "";
            WideCharToMultiByte(CP_ACP, 0, source.c_str(), -1, ansi, sizeof(ansi), nullptr, nullptr);
            result.insert(LowerAscii(ansi));
        }
    }
    RegCloseKey(key);
    return result;
}

std::string JoinLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (size_t i = 0; i < lines.size() && i < 40; ++i)
        text += "  " + lines[i] + "\n";
    if (lines.size() > 40)
        text += "  ...\n";
    return text;
}

}  // namespace fixtures
