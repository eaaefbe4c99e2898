#include "machine/TreeWalk.h"

#include "machine/Handle.h"
#include "machine/Text.h"

#include <vector>

namespace machine {

namespace {

bool IsLink(HKEY key)
{
    DWORD type = 0;
    return RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
           type == REG_LINK;
}

bool IsPerflib(const std::string& path)
{
    size_t last = LastBackslash(path);
    std::string leaf = last == std::string::npos ? path : path.substr(last + 1);
    return _stricmp(leaf.c_str(), "Perflib") == 0;
}

void VisitValues(HKEY key, const std::string& path, const ValueVisitor& onValue)
{
    DWORD maxName = 0;
    DWORD maxData = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName, &maxData, nullptr,
                     nullptr);
    std::string name(maxName + 2, '\0');
    std::string data(maxData + 2, '\0');
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (RegEnumValueA(key, index, &name[0], &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]),
                          &dataSize) != ERROR_SUCCESS)
            break;
        onValue(path, std::string(name.c_str(), nameSize), type, data.substr(0, dataSize));
    }
}

std::vector<std::string> SubkeysOf(HKEY key)
{
    std::vector<std::string> children;
    char child[1024];
    for (DWORD index = 0;; ++index) {
        DWORD childSize = sizeof(child);
        if (RegEnumKeyExA(key, index, child, &childSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        children.push_back(child);
    }
    return children;
}

}  // namespace

void WalkRegistry(HKEY root, const std::string& path, const KeyVisitor& onKey, const ValueVisitor& onValue)
{
    std::vector<std::string> children;
    {
        KeyHandle key;
        if (RegOpenKeyExA(root, path.c_str(), REG_OPTION_OPEN_LINK, KEY_READ, key.Out()) != ERROR_SUCCESS) {
            onKey(path, KeyKind::Unreadable);
            return;
        }
        if (IsLink(key.Get())) {
            onKey(path, KeyKind::Link);
            return;
        }
        onKey(path, KeyKind::Key);
        if (IsPerflib(path))
            return;
        VisitValues(key.Get(), path, onValue);
        children = SubkeysOf(key.Get());
    }
    for (const std::string& name : children)
        WalkRegistry(root, path.empty() ? name : path + "\\" + name, onKey, onValue);
}

void WalkFiles(const std::string& folder, const FileVisitor& visit)
{
    std::vector<std::string> subfolders;
    {
        WIN32_FIND_DATAA data;
        FindHandle find(FindFirstFileA((folder + "\\*").c_str(), &data));
        if (!find)
            return;
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string path = folder + "\\" + name;
            visit(path, data);
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                subfolders.push_back(path);
        } while (FindNextFileA(find.Get(), &data));
    }
    for (const std::string& path : subfolders)
        WalkFiles(path, visit);
}

void RegistryTreeRows(HKEY root, const std::string& rootName, const std::string& path, std::set<std::string>* keys,
                      std::set<std::string>* values)
{
    WalkRegistry(
        root, path,
        [&](const std::string& key, KeyKind kind) {
            if (kind != KeyKind::Unreadable)
                keys->insert(rootName + "\\" + key);
        },
        [&](const std::string& key, const std::string& name, DWORD, const std::string&) {
            values->insert(rootName + "\\" + key + "\\" + name);
        });
}

void FileTreeRows(const std::string& folder, std::set<std::string>* rows)
{
    DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    rows->insert(folder);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return;
    WalkFiles(folder, [rows](const std::string& path, const WIN32_FIND_DATAA&) { rows->insert(path); });
}

}  // namespace machine
