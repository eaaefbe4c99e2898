#include "support/Snapshot.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <iterator>

namespace fixtures {

namespace {

bool IsLink(HKEY key)
{
    DWORD type = 0;
    return RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
           type == REG_LINK;
}

void SnapshotKey(HKEY root, const std::string& path, std::set<std::string>* lines)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), REG_OPTION_OPEN_LINK, KEY_READ, &key) != ERROR_SUCCESS) {
        lines->insert("K|" + path + "|unreadable");
        return;
    }
    if (IsLink(key)) {
        lines->insert("L|" + path);
        RegCloseKey(key);
        return;
    }
    lines->insert("K|" + path);
    size_t last = path.find_last_of('\\');
    std::string leaf = last == std::string::npos ? path : path.substr(last + 1);
    if (_stricmp(leaf.c_str(), "Perflib") == 0) {
        RegCloseKey(key);
        return;
    }
    DWORD maxName = 0;
    DWORD maxData = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName, &maxData,
                     nullptr, nullptr);
    std::string name(maxName + 2, '\0');
    std::string data(maxData + 2, '\0');
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = 0;
        LONG status = RegEnumValueA(key, index, &name[0], &nameSize, nullptr, &type,
                                    reinterpret_cast<BYTE*>(&data[0]), &dataSize);
        if (status != ERROR_SUCCESS)
            break;
        char hash[32];
        snprintf(hash, sizeof(hash), "%lu|%zx", type, std::hash<std::string>()(data.substr(0, dataSize)));
        lines->insert("V|" + path + "|" + std::string(name.c_str(), nameSize) + "|" + hash);
    }
    std::vector<std::string> children;
    char child[1024];
    for (DWORD index = 0;; ++index) {
        DWORD childSize = sizeof(child);
        if (RegEnumKeyExA(key, index, child, &childSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        children.push_back(child);
    }
    RegCloseKey(key);
    for (const std::string& name : children)
        SnapshotKey(root, path.empty() ? name : path + "\\" + name, lines);
}

void SnapshotFolder(const std::string& folder, std::set<std::string>* lines)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    std::vector<std::string> subfolders;
    do {
        std::string name = data.cFileName;
        if (name == "." || name == "..")
            continue;
        std::string path = folder + "\\" + name;
        char info[64];
        snprintf(info, sizeof(info), "|%lx|%lu", data.dwFileAttributes, data.nFileSizeLow);
        lines->insert(path + info);
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            subfolders.push_back(path);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    for (const std::string& path : subfolders)
        SnapshotFolder(path, lines);
}

}  // namespace

std::set<std::string> RegistrySnapshot(HKEY root, const std::string& path)
{
    std::set<std::string> lines;
    SnapshotKey(root, path, &lines);
    return lines;
}

std::set<std::string> FileSnapshot(const std::string& folder)
{
    std::set<std::string> lines;
    SnapshotFolder(folder, &lines);
    return lines;
}

std::vector<std::string> Missing(const std::set<std::string>& a, const std::set<std::string>& b)
{
    std::vector<std::string> result;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(result));
    return result;
}

}  // namespace fixtures
