#include "machine/Snapshot.h"

#include "machine/TreeWalk.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <iterator>

namespace machine {

std::set<std::string> RegistrySnapshot(HKEY root, const std::string& path)
{
    std::set<std::string> lines;
    WalkRegistry(
        root, path,
        [&lines](const std::string& key, KeyKind kind) {
            if (kind == KeyKind::Link)
                lines.insert("L|" + key);
            else
                lines.insert("K|" + key + (kind == KeyKind::Unreadable ? "|unreadable" : ""));
        },
        [&lines](const std::string& key, const std::string& name, DWORD type, const std::string& data) {
            char hash[32];
            snprintf(hash, sizeof(hash), "%lu|%zx", type, std::hash<std::string>()(data));
            lines.insert("V|" + key + "|" + name + "|" + hash);
        });
    return lines;
}

std::set<std::string> FileSnapshot(const std::string& folder)
{
    std::set<std::string> lines;
    WalkFiles(folder, [&lines](const std::string& path, const WIN32_FIND_DATAA& data) {
        char info[64];
        snprintf(info, sizeof(info), "|%lx|%lu", data.dwFileAttributes, data.nFileSizeLow);
        lines.insert(path + info);
    });
    return lines;
}

std::vector<std::string> Missing(const std::set<std::string>& a, const std::set<std::string>& b)
{
    std::vector<std::string> result;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(result));
    return result;
}

}  // namespace machine
