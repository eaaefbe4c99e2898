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
